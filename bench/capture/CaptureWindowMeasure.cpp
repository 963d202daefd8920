// One whole capture through the capture window, measured: the JACK server named by
// JACK_DEFAULT_SERVER plays the 60-second sweep from output 1 straight back into input 1 (this
// program connects them), and the program prints one line of key=value figures:
//   rate, block                  the device's sample rate and block size
//   worst_block_us, period_us    the capture callback's longest block during the recording,
//                                and the length of one block
//   idle_xruns_per_min           the device's xruns per minute over 20 s with the window idle
//                                (metering only), before the capture: the machine's own share
//   recording_xruns_per_min      ... over the recording
//   processing_xruns_per_min     ... from the end of the recording to the IR written (the worker
//                                deconvolves on its own thread meanwhile)
//   written_ms                   from the end of the sweep (the recording complete) to the IR
//                                file written (the worker stores its path)
//   box_ms                       ... to the "Process successful !" box
//   loaded_ms                    ... to the IR loaded and blended by the asking IR block, not
//                                counting the user's time on the box and the close button: the
//                                time to the file written plus the time from the close button to
//                                the block's load (its timer looks every 250 ms)
//   block_ms                     that second part alone
// scripts/measure_capture.sh runs it with a virtual display, a fresh HOME and each server set-up.
#include "app/MainContentComponent.h"
#include "settings/SharedAudioDeviceManager.h"
#include "settings/PellmixConfig.h"
#include "support/JackPorts.h"
#include "ui/PellmixCapture.h"
#include "ui/PellmixFileChooser.h"
#include "ui/PellmixIrBlock.h"
#include "ui/PellmixIrPanel.h"
#include "ui/PellmixMenu.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>

namespace
{
using State = PellmixCaptureRun::State;

double nowMs()
{
    return juce::Time::getMillisecondCounterHiRes();
}

// Notes when a box comes up and closes every box at once.
struct BoxCloser : juce::LookAndFeel_V4, juce::Timer
{
    BoxCloser()
    {
        juce::LookAndFeel::setDefaultLookAndFeel (this);
        startTimer (2);
    }
    ~BoxCloser() override { juce::LookAndFeel::setDefaultLookAndFeel (nullptr); }

    juce::AlertWindow* createAlertWindow (const juce::String& title, const juce::String& message,
                                          const juce::String& b1, const juce::String& b2,
                                          const juce::String& b3, juce::MessageBoxIconType icon, int n,
                                          juce::Component* c) override
    {
        if (message == "Process successful !" && boxShown < 0.0)
            boxShown = nowMs();
        else
            std::printf ("box: %s\n", message.toRawUTF8());
        return LookAndFeel_V4::createAlertWindow (title, message, b1, b2, b3, icon, n, c);
    }

    void timerCallback() override
    {
        auto* modal = juce::ModalComponentManager::getInstance();
        for (int i = modal->getNumModalComponents(); --i >= 0;)
            if (auto* w = dynamic_cast<juce::AlertWindow*> (modal->getModalComponent (i)))
                w->exitModalState (0);
    }

    double boxShown = -1.0;
};

bool pumpUntil (const std::function<bool()>& condition, double timeoutMs)
{
    const double end = nowMs() + timeoutMs;
    while (!condition())
    {
        if (nowMs() > end)
            return false;
        juce::MessageManager::getInstance()->runDispatchLoopUntil (1);
    }
    return true;
}

// The server the measurement runs on (scripts/measure_capture.sh names it).
pellmix_test::JackPorts server()
{
    const char* name = std::getenv ("JACK_DEFAULT_SERVER");
    return pellmix_test::JackPorts (name != nullptr ? name : "default");
}

int measure()
{
    // As the application's start-up makes them.
    auto* config = PellmixConfig::getInstance();
    config->menu = std::make_unique<PellmixMenu>();
    auto* device = getSharedAudioDeviceManager()->getCurrentAudioDevice();
    if (device == nullptr)
    {
        std::printf ("error=no audio device\n");
        return 1;
    }
    const int rate = juce::roundToInt (device->getCurrentSampleRate());
    const int block = device->getCurrentBufferSizeSamples();
    config->settings.bufferSize = block;
    config->captureAudioIn = 0;
    config->captureAudioOut = 0;

    // The application's client, once it has registered the loop's ports.
    const auto client = server().waitForClient ("JUCEJack(-[0-9]+)?", {"in_1", "out_1"});
    if (client.empty() || !server().connect (client + ":out_1", client + ":in_1"))
    {
        std::printf ("error=the loop could not be connected (%s)\n", client.c_str());
        return 1;
    }

    const auto output = config->settings.impulsesFolder.getChildFile ("measure.vir");
    PellmixFileChooser::setHandler ([output] (const PellmixFileChooser::Request&)
                                    { return juce::Array<juce::File> (output); });
    BoxCloser boxes;
    MainContentComponent content;
    auto* window = content.getCaptureWindow();
    // The dummy server's dropouts are counted and printed below; the capture goes on to the worker
    // whatever they are, so that its times are measured.
    window->setDeviceDropoutsIgnoredForTests (true);
    constexpr int slot = 0;
    auto& irBlock = content.getIrPanel()->getBlock (slot);
    pumpUntil ([&] { return irBlock.getCaptureButton().isVisible(); }, 2000);
    irBlock.getCaptureButton().triggerClick();
    if (!pumpUntil ([&] { return config->captureState == PellmixCaptureHandOff::windowShown; }, 2000))
    {
        std::printf ("error=the IR block did not ask for a capture\n");
        return 1;
    }
    content.timerCallback();

    // The machine's own xruns, with the window only metering.
    const int idleXruns = device->getXRunCount();
    const double idleStart = nowMs();
    pumpUntil ([] { return false; }, 20000);
    const double idleMinutes = (nowMs() - idleStart) / 60000.0;
    const double idleXrunsPerMinute = (device->getXRunCount() - idleXruns) / idleMinutes;

    const int xrunsBefore = device->getXRunCount();
    const double runStart = nowMs();
    window->getCaptureButton().triggerClick();
    if (!pumpUntil ([&] { return window->getRun().getState() == State::recording; }, 5000))
    {
        std::printf ("error=the capture did not start\n");
        return 1;
    }

    // The end of the sweep: the recording holds all it records.
    if (!pumpUntil ([&] { return window->getRun().getState() != State::recording; }, 120000) ||
        window->getRun().getState() == State::idle)
    {
        std::printf ("error=the recording did not complete\n");
        return 1;
    }
    const double sweepEnd = nowMs();
    const int xrunsAtSweepEnd = device->getXRunCount();
    const double recordingXrunsPerMinute =
        (xrunsAtSweepEnd - xrunsBefore) / ((sweepEnd - runStart) / 60000.0);
    const double worstBlockUs = window->getRun().getWorstBlockMicroseconds();

    double written = -1.0;
    if (!pumpUntil (
            [&]
            {
                if (written < 0.0 && config->lastCapturePath.get() == output.getFullPathName())
                    written = nowMs();
                return window->getWorker().progress.load() == PellmixCaptureHandOff::runEndSeen;
            },
            120000) ||
        written < 0.0)
    {
        std::printf ("error=no IR was written\n");
        return 1;
    }
    const double processingXrunsPerMinute =
        (device->getXRunCount() - xrunsAtSweepEnd) / ((nowMs() - sweepEnd) / 60000.0);

    // The user closes the window; the asking block takes the file at its next look.
    const double closed = nowMs();
    window->getCloseButton().triggerClick();
    const bool loaded = pumpUntil (
        [&]
        {
            return config->captureState == PellmixCaptureHandOff::idle && config->engine.isLoaded (slot) &&
                   irBlock.getLook() == PellmixIrBlock::Look::loaded;
        },
        5000);
    const double blockMs = nowMs() - closed;

    std::printf ("rate=%d block=%d worst_block_us=%.1f period_us=%.1f idle_xruns_per_min=%.1f "
                 "recording_xruns_per_min=%.1f processing_xruns_per_min=%.1f written_ms=%.0f box_ms=%.0f "
                 "loaded_ms=%.0f block_ms=%.0f loaded=%d\n",
                 rate, block, worstBlockUs, 1.0e6 * block / rate, idleXrunsPerMinute, recordingXrunsPerMinute,
                 processingXrunsPerMinute, written - sweepEnd, boxes.boxShown - sweepEnd,
                 written - sweepEnd + blockMs, blockMs, loaded ? 1 : 0);
    PellmixFileChooser::setHandler ({});
    return loaded ? 0 : 1;
}
} // namespace

int main()
{
    // Without a window manager Xlib would end the process on the first window; the framework
    // installs its error handler only when no application object exists.
    juce::JUCEApplicationBase::createInstance = []() -> juce::JUCEApplicationBase* { return nullptr; };
    juce::ScopedJuceInitialiser_GUI juce;
    const int result = measure();
    deleteSharedAudioDeviceManager();
    return result;
}
