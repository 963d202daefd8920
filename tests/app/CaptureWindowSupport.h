#pragma once
// Helpers of the capture-window tests: the configuration on a dummy JACK server, the window on
// the virtual display with clicks through its peer, the output-file chooser answered by the test,
// every message box recorded (and closed, unless the test holds it open), JACK connections and a
// jconvolver standing in for the user's gear between the output and the input.
#include "InProcessDevice.h"
#include "app/MainContentComponent.h"
#include "ui/PellmixCapture.h"
#include "ui/PellmixIrPanel.h"
#include "ui/PellmixLookAndFeel.h"
#include "ui/UiTestSupport.h"

#include <jack/jack.h>

#include <cmath>
#include <functional>
#include <optional>
#include <unistd.h>
#include <vector>

namespace capture_window_test
{
using State = PellmixCaptureRun::State;

// Pumps the message loop until the condition holds or the time is up.
inline bool waitFor (const std::function<bool()>& condition, int timeoutMs)
{
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32)timeoutMs;
    while (!condition())
    {
        if (juce::Time::getMillisecondCounter() > end)
            return false;
        juce::MessageManager::getInstance()->runDispatchLoopUntil (10);
    }
    return true;
}

inline void pump (int ms)
{
    juce::MessageManager::getInstance()->runDispatchLoopUntil (ms);
}

// Records every alert box. Boxes are closed with `result` (for a two-button box, 1 is the first
// button) at the first tick (every 50 ms) at least `closeAfterMs` after they came up, unless
// `hold` is set. `onTick` runs at every tick, also while a box runs its own modal loop.
class BoxRecorder : public juce::LookAndFeel_V4, private juce::Timer
{
public:
    struct Box
    {
        juce::String title, text;
        juce::MessageBoxIconType icon;
    };

    BoxRecorder()
    {
        juce::LookAndFeel::setDefaultLookAndFeel (this);
        startTimer (50);
    }
    ~BoxRecorder() override
    {
        stopTimer();
        hold = false;
        for (int i = 0; i < 20 && openBoxes() > 0; ++i)
        {
            closeOpenBoxes();
            pump (20);
        }
        juce::LookAndFeel::setDefaultLookAndFeel (nullptr);
    }

    juce::AlertWindow* createAlertWindow (const juce::String& title, const juce::String& message,
                                          const juce::String& button1, const juce::String& button2,
                                          const juce::String& button3, juce::MessageBoxIconType icon,
                                          int numButtons, juce::Component* associated) override
    {
        boxes.push_back ({title, message, icon});
        return LookAndFeel_V4::createAlertWindow (title, message, button1, button2, button3, icon, numButtons,
                                                  associated);
    }

    int openBoxes() const
    {
        int n = 0;
        auto* modal = juce::ModalComponentManager::getInstance();
        for (int i = 0; i < modal->getNumModalComponents(); ++i)
            if (dynamic_cast<juce::AlertWindow*> (modal->getModalComponent (i)) != nullptr)
                ++n;
        return n;
    }

    void closeOpenBoxes()
    {
        auto* modal = juce::ModalComponentManager::getInstance();
        for (int i = modal->getNumModalComponents(); --i >= 0;)
            if (auto* w = dynamic_cast<juce::AlertWindow*> (modal->getModalComponent (i)))
                w->exitModalState (result);
    }

    int count (const juce::String& text) const
    {
        return (int)std::count_if (boxes.begin(), boxes.end(), [&] (const Box& b) { return b.text == text; });
    }

    std::vector<Box> boxes;
    bool hold = false;
    int result = 0;
    int closeAfterMs = 0;
    std::function<void()> onTick;

private:
    void timerCallback() override
    {
        if (onTick)
            onTick();
        const auto now = juce::Time::getMillisecondCounter();
        if (openBoxes() == 0)
        {
            firstSeen = 0;
            return;
        }
        if (firstSeen == 0)
            firstSeen = now;
        if (!hold && now - firstSeen >= (juce::uint32)closeAfterMs)
        {
            closeOpenBoxes();
            firstSeen = 0;
        }
    }

    juce::uint32 firstSeen = 0;
};

using ui_test::ChooserStub;

// jconvolver with one input "in" and one output "out" on the test's JACK server, under a client
// name of this process's own.
class Jconvolver
{
public:
    // impulse: the config's impulse command(s), e.g. "/impulse/dirac 1 1 2.0 0".
    Jconvolver (const pellmix_test::JackServer& server, const std::string& folder, const std::string& impulse,
                int partition)
    {
        const auto config = folder + "/jconvolver.conf";
        juce::File (config).replaceWithText ("/convolver/new 1 1 " + juce::String (partition) +
                                             " 262144 1.0\n/input/name 1 in\n/output/name 1 out\n" + impulse +
                                             "\n");
        process = std::make_unique<pellmix_test::Process> (
            std::vector<std::string>{"jconvolver", "-N", name, config}, server.environment(),
            folder + "/jconvolver.log");
        ok = server.ports().waitForClient (name, {"in", "out"}, std::chrono::seconds (10)) == name;
    }
    ~Jconvolver()
    {
        if (process)
            process->stop (std::chrono::milliseconds (3000));
    }

    bool started() const { return ok; }
    const std::string name = "pellmix_jconv_" + std::to_string (getpid());

private:
    std::unique_ptr<pellmix_test::Process> process;
    bool ok = false;
};

// A JACK client with one output port "out" playing a sine of the given peak and frequency
// (frequency 0: a constant of that value), from activation until destruction.
class JackSource
{
public:
    JackSource (const std::string& name, float peakToUse, double frequencyHz, double rate)
        : peak (peakToUse)
        , step (2.0 * juce::MathConstants<double>::pi * frequencyHz / rate)
    {
        client = jack_client_open (name.c_str(), JackNoStartServer, nullptr);
        if (client == nullptr)
            return;
        port = jack_port_register (client, "out", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
        jack_set_process_callback (client, &JackSource::process, this);
        ok = port != nullptr && jack_activate (client) == 0;
    }
    ~JackSource()
    {
        if (client != nullptr)
        {
            jack_deactivate (client);
            jack_client_close (client);
        }
    }
    bool started() const { return ok; }

private:
    static int process (jack_nframes_t n, void* arg)
    {
        auto& self = *static_cast<JackSource*> (arg);
        auto* out = static_cast<float*> (jack_port_get_buffer (self.port, n));
        for (jack_nframes_t i = 0; i < n; ++i)
        {
            out[i] = self.step == 0.0 ? self.peak : self.peak * (float)std::sin (self.phase);
            self.phase += self.step;
        }
        return 0;
    }

    jack_client_t* client = nullptr;
    jack_port_t* port = nullptr;
    const float peak;
    const double step;
    double phase = 0.0;
    bool ok = false;
};

// The JUCE client of this process's device on the server ("JUCEJack", or "JUCEJack-01" when a
// client of that name was still registered), once it has registered the ports the tests use;
// empty when it did not come.
inline std::string juceClient (const pellmix_test::JackServer& server)
{
    return server.ports().waitForClient ("JUCEJack(-[0-9]+)?", {"in_1", "out_1"});
}

inline bool connect (const pellmix_test::JackServer& server, const std::string& from, const std::string& to)
{
    return server.ports().connect (from, to);
}

// The main content on the display as the user works with it, and its capture window; click() aims
// at a child's centre through the content's peer.
struct ContentOnScreen
{
    std::unique_ptr<MainContentComponent> content = std::make_unique<MainContentComponent>();
    ui_test::OnScreen onScreen{*content};
    PellmixCapture* const window = content->getCaptureWindow();

    ContentOnScreen() { window->setDeviceDropoutsIgnoredForTests (true); }

    void click (juce::Component& child)
    {
        onScreen.click (content->getLocalPoint (&child, child.getLocalBounds().getCentre()).toFloat());
    }

    // Clicks IR block `slot`'s capture button once it shows, then waits for the capture window.
    void openCaptureFrom (int slot)
    {
        auto& block = content->getIrPanel()->getBlock (slot);
        ASSERT_TRUE (waitFor ([&] { return block.getCaptureButton().isShowing(); }, 1500));
        click (block.getCaptureButton());
        ASSERT_TRUE (waitFor ([&] { return window->isShowing(); }, 1500));
    }
};

// The configuration on a dummy JACK server (48000 Hz, 512 samples, --sync), the temporary folder
// emptied, and a capture window made by the test. The dummy driver reports a dropout whenever a
// cycle ends late, as a busy machine makes some do, though with --sync no sample is lost: the
// windows of these tests leave the device's dropout count out (setDeviceDropoutsIgnoredForTests).
class CaptureWindowTest : public app_test::InProcessDevice
{
protected:
    void start (pellmix_test::JackOptions options = {48000, 512, 2, 4, true})
    {
        ASSERT_NO_FATAL_FAILURE (startConfiguration (options));
        config->captureAudioIn = 0;
        config->captureAudioOut = 0;
        config->settings.bufferSize = options.period;
        temp().createDirectory();
        client = juceClient (*jack);
        ASSERT_FALSE (client.empty()) << jack->ports().listing();
    }

    void makeWindow (int sweepSeconds = PellmixCapture::sweepSeconds)
    {
        capture = std::make_unique<PellmixCapture>();
        capture->setSweepSecondsForTests (sweepSeconds);
        capture->setDeviceDropoutsIgnoredForTests (true);
        capture->setLookAndFeel (PellmixLookAndFeel::getInstance());
        screen = std::make_unique<ui_test::OnScreen> (*capture);
    }

    void TearDown() override
    {
        screen.reset();
        capture.reset();
        app_test::InProcessDevice::TearDown();
    }

    juce::File temp() const { return config->settings.tempFolder; }
    juce::File impulses() const { return config->settings.impulsesFolder; }

    void click (juce::Component& child)
    {
        screen->click (capture->getLocalPoint (&child, child.getLocalBounds().getCentre()).toFloat());
    }

    // Loops output `out` (a position, 0-based) straight back to input 1.
    bool loopOutput (int out = 0)
    {
        return connect (*jack, client + ":out_" + std::to_string (out + 1), client + ":in_1");
    }

    State state() const { return capture->getRun().getState(); }
    bool waitForState (State s, int timeoutMs)
    {
        return waitFor ([&] { return state() == s; }, timeoutMs);
    }

    // The look of idle controls.
    void expectIdleControls()
    {
        EXPECT_EQ (capture->getToneButton().getButtonText(), "Play test signal");
        EXPECT_EQ (capture->getCaptureButton().getButtonText(), "Start capture");
        EXPECT_TRUE (capture->getToneButton().isEnabled());
        EXPECT_FALSE (capture->getProgressMeter().isVisible());
        EXPECT_FALSE (capture->getProgressLabel().isVisible());
        EXPECT_FALSE (capture->getMaxLabel().isVisible());
        EXPECT_EQ (capture->getProgressMeter().getLevel(), 0.0);
        EXPECT_EQ (capture->getStatusLabel().getText(), "");
    }

    std::unique_ptr<PellmixCapture> capture;
    std::unique_ptr<ui_test::OnScreen> screen;
    std::string client;
};
} // namespace capture_window_test
