// Measures what knob changes in the IR panel cost while audio runs: the IR panel on a virtual
// display, the engine on a JACK dummy device (48 kHz, 64-sample blocks) playing looping noise
// through the playback callback with two IRs blended, and mouse drags sent through the window's
// peer to block 0's gain slider and to an EQ band, alternating every half second, one drag event
// every 20 ms, for 10 s. The server and the device's process thread run with real-time
// scheduling, as on a studio machine. A 10 s run without drags comes first, so that xruns of the
// machine itself can be told from ours.
//
// Reports: every audio callback's duration (the whole playback callback, which holds
// PellmixEngine::processBlock), the JACK xruns the device saw, and the message-thread time of each
// drag event that changed a value (the slider's listener writes the record and re-blends inside
// it). Run through scripts/irpanel-load.sh; not a test.
#include "bench/BenchTiming.h"
#include "engine/EngineTestHelpers.h"
#include "engine/PlayerTestHelpers.h"
#include "ui/PellmixIrPanel.h"
#include "ui/UiTestSupport.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <vector>

namespace
{
using pellmix_bench::Clock;
using pellmix_bench::microsecondsSince;
using pellmix_bench::threadCpuMicroseconds;

// Times every callback of the playback callback it wraps, in wall-clock and in thread CPU time;
// the durations go into buffers sized up front (nothing allocates on the audio thread).
class TimedCallback : public juce::AudioIODeviceCallback
{
public:
    explicit TimedCallback (juce::AudioIODeviceCallback& wrapped)
        : inner (wrapped)
        , durations (1 << 20, 0.0f)
        , cpuDurations (1 << 20, 0.0f)
    {
    }

    void audioDeviceIOCallbackWithContext (const float* const* in, int numIn, float* const* out, int numOut,
                                           int numSamples,
                                           const juce::AudioIODeviceCallbackContext& context) override
    {
        const auto start = Clock::now();
        const auto cpuStart = threadCpuMicroseconds();
        inner.audioDeviceIOCallbackWithContext (in, numIn, out, numOut, numSamples, context);
        const auto cpu = (float)(threadCpuMicroseconds() - cpuStart);
        const auto us = (float)microsecondsSince (start);
        const auto i = count.load();
        if (recording.load() && i < durations.size())
        {
            durations[i] = us;
            cpuDurations[i] = cpu;
            count = i + 1;
        }
    }
    void audioDeviceAboutToStart (juce::AudioIODevice* device) override
    {
        inner.audioDeviceAboutToStart (device);
    }
    void audioDeviceStopped() override { inner.audioDeviceStopped(); }

    void start()
    {
        count = 0;
        recording = true;
    }
    // Wall-clock and CPU durations of the callbacks since start().
    std::pair<std::vector<float>, std::vector<float>> stop()
    {
        recording = false;
        const auto n = (long)count.load();
        return {std::vector<float> (durations.begin(), durations.begin() + n),
                std::vector<float> (cpuDurations.begin(), cpuDurations.begin() + n)};
    }

private:
    juce::AudioIODeviceCallback& inner;
    std::vector<float> durations, cpuDurations;
    std::atomic<size_t> count{0};
    std::atomic<bool> recording{false};
};

double percentile (std::vector<float> v, double p)
{
    if (v.empty())
        return 0.0;
    std::sort (v.begin(), v.end());
    return v[(size_t)std::min ((double)v.size() - 1.0, p / 100.0 * (double)v.size())];
}

void report (const char* name, const std::pair<std::vector<float>, std::vector<float>>& callbacks,
             double periodUs, int xruns)
{
    const auto& [wall, cpu] = callbacks;
    auto worst = [] (const std::vector<float>& v)
    { return v.empty() ? 0.0f : *std::max_element (v.begin(), v.end()); };
    auto over = [] (const std::vector<float>& v, double limit)
    { return (long)std::count_if (v.begin(), v.end(), [=] (float d) { return d > limit; }); };
    std::printf ("%s: %zu callbacks, JACK xruns %d (period %.0f us)\n", name, wall.size(), xruns, periodUs);
    std::printf (
        "  wall clock: median %6.1f us  p99.9 %7.1f us  worst %7.1f us  over half a period %ld  over a "
        "period %ld\n",
        percentile (wall, 50), percentile (wall, 99.9), worst (wall), over (wall, periodUs / 2),
        over (wall, periodUs));
    std::printf ("  thread CPU: median %6.1f us  p99.9 %7.1f us  worst %7.1f us  over half a period %ld\n",
                 percentile (cpu, 50), percentile (cpu, 99.9), worst (cpu), over (cpu, periodUs / 2));
}
} // namespace

static int run()
{
    constexpr int rate = 48000, period = 64;
    pellmix_test::TempDir home{"pellmix-irpanel-load"};
    pellmix_test::ScopedEnv homeEnv{"HOME", home.path()};
    pellmix_test::JackServer jack{{rate, period, 2, 4, false, true}};
    if (!ui_test::processDisplay().started() || !jack.started() || !openSharedDeviceForTests())
    {
        std::fprintf (stderr, "no display or no JACK device\n%s\n", jack.logText().c_str());
        return 1;
    }
    auto& config = *PellmixConfig::getInstance();
    auto* device = getSharedAudioDeviceManager()->getCurrentAudioDevice();
    std::printf ("device %s, %.0f Hz, %d samples\n", device->getTypeName().toRawUTF8(),
                 device->getCurrentSampleRate(), device->getCurrentBufferSizeSamples());

    int result = 0;
    {
        PellmixIrPanel panel;
        ui_test::OnScreen screen (panel);
        ui_test::OnScreen::pump (300);

        // Two IRs in blocks 0 and 1, dropped through the peer.
        for (int slot = 0; slot < 2; ++slot)
        {
            const auto f =
                engine_test::writeWav (home.child ("ir" + std::to_string (slot) + ".wav"),
                                       engine_test::decayingIr (4000, 48000.0, 1.0 + slot), 48000.0);
            juce::ComponentPeer::DragInfo info;
            info.files = {f.getFullPathName()};
            info.position = panel.getLocalPoint (&panel.getBlock (slot), juce::Point<int> (60, 60));
            screen.peer->handleDragDrop (info);
            ui_test::OnScreen::pump (300);
        }
        if (!config.engine.isLoaded (0) || !config.engine.isLoaded (1))
        {
            std::fprintf (stderr, "the IRs did not load\n");
            return 1;
        }

        // Looping noise through the playback callback, timed.
        engine_test::TransportedSignal source (pellmix_test::noise (rate, 3), true);
        auto& transport = source.transport;
        PellmixAudioSourcePlayer player (config.engine, config.processingEnabled, config.mainAudioOut,
                                         config.playingChannel);
        player.setSource (&transport);
        TimedCallback timed (player);
        getSharedAudioDeviceManager()->addAudioCallback (&timed);
        transport.start();
        ui_test::OnScreen::pump (500);
        const double periodUs = 1e6 * period / rate;

        // Without drags.
        int xruns = device->getXRunCount();
        timed.start();
        ui_test::OnScreen::pump (10000);
        report ("idle", timed.stop(), periodUs, device->getXRunCount() - xruns);

        // With drags: half a second on block 0's gain slider, half a second on the 1 kHz band,
        // one event every 20 ms sweeping up and down over each track.
        auto& gain = panel.getBlock (0).getGainSlider();
        auto& band = panel.getEq().getBandSlider (17);
        std::vector<double> changeUs;
        double largestLockUs = 0.0;
        xruns = device->getXRunCount();
        timed.start();
        const auto end = Clock::now() + std::chrono::seconds (10);
        for (int phase = 0; Clock::now() < end; ++phase)
        {
            auto& slider = phase % 2 == 0 ? (juce::Slider&)gain : (juce::Slider&)band;
            const int top = 8, bottom = slider.getHeight() - 22;
            auto point = [&] (int y)
            { return panel.getLocalPoint (&slider, juce::Point<int> (slider.getWidth() / 2, y)).toFloat(); };
            int y = top + (phase * 13) % (bottom - top);
            int step = 6;
            screen.move (point (y));
            screen.down (point (y));
            const auto phaseEnd = Clock::now() + std::chrono::milliseconds (500);
            while (Clock::now() < phaseEnd)
            {
                const auto tick = Clock::now();
                if (y + step > bottom || y + step < top)
                    step = -step;
                y += step;
                const auto before = slider.getValue();
                const auto t = Clock::now();
                screen.drag (point (y));
                const auto us = microsecondsSince (t);
                if (slider.getValue() != before)
                {
                    changeUs.push_back (us);
                    largestLockUs = std::max (largestLockUs, config.engine.getLastBlendLockMicroseconds());
                }
                const auto spent = (int)(microsecondsSince (tick) / 1000.0);
                ui_test::OnScreen::pump (std::max (1, 20 - spent));
            }
            screen.up (point (y));
        }
        report ("dragging", timed.stop(), periodUs, device->getXRunCount() - xruns);

        std::vector<float> changes (changeUs.begin(), changeUs.end());
        std::printf (
            "knob changes %zu in 10 s (%.1f per second): message-thread time per change median %.0f us, "
            "p99 %.0f us, worst %.0f us; longest audio-lock hold of a blend %.1f us\n",
            changes.size(), changes.size() / 10.0, percentile (changes, 50), percentile (changes, 99),
            changes.empty() ? 0.0 : *std::max_element (changes.begin(), changes.end()), largestLockUs);

        getSharedAudioDeviceManager()->removeAudioCallback (&timed);
        transport.setSource (nullptr);
        player.setSource (nullptr);
        juce::ModifierKeys::currentModifiers = {};
    }
    deleteSharedAudioDeviceManager();
    return result;
}

int main()
{
    // No application object: JUCE then installs its X error handler (see the GUI test entry).
    juce::JUCEApplicationBase::createInstance = []() -> juce::JUCEApplicationBase* { return nullptr; };
    juce::ScopedJuceInitialiser_GUI juceInit;
    return run();
}
