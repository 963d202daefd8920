// The capture window on a dummy JACK device (48000 Hz, 512 samples): the tone on the chosen output
// only and the input meter, the run states and the clicks in each, clipping, the block-size box,
// the output-file name fix-up and overwrite question, refusals, closing and destroying mid-run,
// and the temporary files. A JACK client of the test records the outputs; signals reach the
// input through JACK connections, a jconvolver or a source client of the test.
#include "CaptureWindowSupport.h"
#include "app/MainContentComponent.h"
#include "engine/JackRecorder.h"
#include "ui/PellmixIrBlock.h"
#include "ui/PellmixIrPanel.h"

#include <algorithm>
#include <atomic>
#include <iostream>
#include <regex>
#include <unistd.h>

using namespace capture_window_test;

namespace
{
constexpr int rate = 48000;
const juce::String clipText = "Audio clipping occured. Lower the input gain and try again.";
const juce::String deviceLostText =
    "The capture stopped because the audio device went away. Start it again once the device is back.";

std::vector<std::vector<float>> recordOutputs (const std::string& client, int ms)
{
    static int serial = 0;
    engine_test::JackRecorder recorder (4, (size_t)rate * (size_t)(ms / 1000 + 2));
    std::string error;
    EXPECT_TRUE (
        recorder.open ("pellmix_rec_" + std::to_string (getpid()) + "_" + std::to_string (++serial), error))
        << error;
    const auto outputs = recorder.findOutputs ("^" + client + ":out_");
    EXPECT_EQ (outputs.size(), 4u);
    EXPECT_TRUE (recorder.connect (outputs));
    pump (100);
    recorder.start();
    pump (ms);
    return recorder.finish();
}

float peakOf (const std::vector<float>& x)
{
    float p = 0.0f;
    for (float v : x)
        p = std::max (p, std::abs (v));
    return p;
}

int upwardCrossings (const std::vector<float>& x)
{
    int n = 0;
    for (size_t i = 1; i < x.size(); ++i)
        if (x[i - 1] < 0.0f && x[i] >= 0.0f)
            ++n;
    return n;
}

juce::String cannotWrite (const juce::File& file)
{
    return "The file \"" + file.getFileName() + "\" cannot be written in " +
           file.getParentDirectory().getFullPathName() + ".";
}
} // namespace

// ---------------------------------------------------------------------------------------------
// The tone and the meter

class ToneOutput : public CaptureWindowTest, public ::testing::WithParamInterface<int>
{
};

TEST_P (ToneOutput, PlaysOnTheChosenOutputOnlyAndTheMeterReadsMinus3dB)
{
    const int out = GetParam();
    ASSERT_NO_FATAL_FAILURE (start());
    makeWindow();
    config->captureAudioOut = out;
    ASSERT_TRUE (loopOutput (out));
    BoxRecorder boxes;

    click (capture->getToneButton());
    ASSERT_EQ (state(), State::tone);
    EXPECT_EQ (capture->getToneButton().getButtonText(), "Stop test signal");
    EXPECT_EQ (capture->getCaptureButton().getButtonText(), "Start capture");
    EXPECT_EQ (capture->getRunRate(), rate);
    pump (400);
    // The tone's peak sample is 0.7071068 (a 1 kHz sine at 48 kHz hits its crest): -3.0103 dB.
    EXPECT_EQ (capture->getInputMeter().getReadout(), "-3.01 dB");

    auto rec = recordOutputs (client, 500);
    for (int c = 0; c < 4; ++c)
    {
        SCOPED_TRACE (c);
        if (c == out)
        {
            EXPECT_NEAR (peakOf (rec[(size_t)c]), 0.70710677f, 1.0e-6f);
            const double seconds = (double)rec[(size_t)c].size() / rate;
            EXPECT_NEAR (upwardCrossings (rec[(size_t)c]) / seconds, 1000.0, 6.0);
        }
        else
        {
            EXPECT_EQ (peakOf (rec[(size_t)c]), 0.0f);
        }
    }

    // An output position the device lacks silences every output; the tone goes on.
    config->captureAudioOut = 5;
    pump (200);
    rec = recordOutputs (client, 300);
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ (peakOf (rec[(size_t)c]), 0.0f) << c;
    EXPECT_EQ (capture->getInputMeter().getReadout(), "-96 dB");
    EXPECT_EQ (state(), State::tone);

    config->captureAudioOut = out;
    pump (200);
    EXPECT_EQ (capture->getInputMeter().getReadout(), "-3.01 dB");
    click (capture->getToneButton());
    EXPECT_EQ (state(), State::idle);
    expectIdleControls();
    pump (100); // the fade-out block
    rec = recordOutputs (client, 200);
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ (peakOf (rec[(size_t)c]), 0.0f) << c;
    EXPECT_TRUE (boxes.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P (Outputs, ToneOutput, ::testing::Values (0, 2),
                          [] (const auto& testInfo) { return "Output" + std::to_string (testInfo.param); });

TEST_F (CaptureWindowTest, IdleMeterFollowsTheCaptureInput)
{
    ASSERT_NO_FATAL_FAILURE (start());
    config->captureAudioIn = 1;
    makeWindow();
    EXPECT_EQ (capture->getInputMeter().getReadout(), "-96 dB");
    {
        JackSource source ("pellmix_source_" + std::to_string (getpid()), 0.5f, 1000.0, rate);
        ASSERT_TRUE (source.started());
        ASSERT_TRUE (
            connect (*jack, "pellmix_source_" + std::to_string (getpid()) + ":out", client + ":in_2"));
        EXPECT_TRUE (waitFor ([&] { return capture->getInputMeter().getReadout() == "-6.02 dB"; }, 2000))
            << capture->getInputMeter().getReadout();
    }
    // The readout follows the level down as soon as the input is silent.
    EXPECT_TRUE (waitFor ([&] { return capture->getInputMeter().getReadout() == "-96 dB"; }, 2000));
    EXPECT_EQ (state(), State::idle);
}

TEST_F (CaptureWindowTest, EachChangeOfBlockSizeRaisesOneBoxAndTheToneCanBeStopped)
{
    ASSERT_NO_FATAL_FAILURE (start());
    makeWindow();
    ASSERT_TRUE (loopOutput());
    BoxRecorder boxes;
    boxes.hold = true;

    click (capture->getToneButton());
    ASSERT_EQ (state(), State::tone);
    pump (300);
    EXPECT_TRUE (boxes.boxes.empty());

    // The device's block size changes while the tone plays (the run expects 512); back at 512 the
    // blocks are as expected again.
    for (const auto* size : {"256", "1024", "512"})
    {
        SCOPED_TRACE (size);
        const auto seen = boxes.boxes.size();
        ASSERT_TRUE (jack->ports().setBufferSize (std::stoi (size)));
        if (std::string (size) == "512")
        {
            pump (1000);
            EXPECT_EQ (boxes.boxes.size(), seen);
            continue;
        }
        ASSERT_TRUE (waitFor ([&] { return boxes.openBoxes() == 1; }, 3000));
        ASSERT_EQ (boxes.boxes.size(), seen + 1);
        EXPECT_EQ (boxes.boxes.back().title, "Sampling rate");
        EXPECT_EQ (boxes.boxes.back().text, "Wrong buffer size.");
        EXPECT_EQ (boxes.boxes.back().icon, juce::MessageBoxIconType::WarningIcon);
        pump (500);
        EXPECT_EQ (boxes.boxes.size(), seen + 1);

        // After OK the box stays away while the block size stays: the controls can be reached.
        boxes.closeOpenBoxes();
        pump (1000);
        EXPECT_EQ (boxes.openBoxes(), 0);
        EXPECT_EQ (boxes.boxes.size(), seen + 1);
        EXPECT_EQ (state(), State::tone);
    }

    click (capture->getToneButton());
    EXPECT_EQ (state(), State::idle);
    EXPECT_EQ (capture->getToneButton().getButtonText(), "Play test signal");
}

TEST_F (CaptureWindowTest, OpenDeviceBlockSizeIsExpectedWhateverTheSettingsHeld)
{
    // A first session: the settings still hold the default, the device opened at its own size.
    ASSERT_NO_FATAL_FAILURE (start());
    config->settings.bufferSize = 1024; // the device runs at 512
    makeWindow();
    EXPECT_EQ (config->settings.bufferSize.load(), 512);
    ASSERT_TRUE (loopOutput());
    BoxRecorder boxes;

    click (capture->getToneButton());
    ASSERT_EQ (state(), State::tone);
    pump (500);
    EXPECT_TRUE (boxes.boxes.empty());
    click (capture->getToneButton());
    EXPECT_EQ (state(), State::idle);
}

// ---------------------------------------------------------------------------------------------
// Clipping

struct ClipCase
{
    const char* name;
    bool
        throughConvolver; // a loop through jconvolver with gain `value`; else a constant `value` at the input
    float value;
    bool aborts;
};

std::ostream& operator<< (std::ostream& os, const ClipCase& c)
{
    return os << c.name;
}

class Clipping : public CaptureWindowTest, public ::testing::WithParamInterface<ClipCase>
{
};

TEST_P (Clipping, FullScaleAbortsWithABoxAndLeavesNoRecording)
{
    const auto c = GetParam();
    ASSERT_NO_FATAL_FAILURE (start());
    makeWindow();
    BoxRecorder boxes;
    ChooserStub chooser;
    chooser.answer = {impulses().getChildFile ("clip.vir")};

    std::unique_ptr<Jconvolver> convolver;
    std::unique_ptr<JackSource> source;
    if (c.throughConvolver)
    {
        convolver = std::make_unique<Jconvolver> (
            *jack, home.path(), "/impulse/dirac 1 1 " + std::to_string (c.value) + " 0", 512);
        ASSERT_TRUE (convolver->started());
        ASSERT_TRUE (connect (*jack, client + ":out_1", convolver->name + ":in"));
        ASSERT_TRUE (connect (*jack, convolver->name + ":out", client + ":in_1"));
    }
    else
    {
        const auto name = "pellmix_dc_" + std::to_string (getpid());
        source = std::make_unique<JackSource> (name, c.value, 0.0, rate);
        ASSERT_TRUE (source->started());
        ASSERT_TRUE (connect (*jack, name + ":out", client + ":in_1"));
    }

    click (capture->getCaptureButton());
    ASSERT_EQ (state(), State::recording);

    if (!c.aborts)
    {
        pump (1500);
        EXPECT_EQ (state(), State::recording);
        EXPECT_TRUE (boxes.boxes.empty());
        click (capture->getCaptureButton());
        EXPECT_EQ (state(), State::idle);
        return;
    }

    // The sweep fades in over one second; through a gain of 2 it reaches full scale within it.
    ASSERT_TRUE (waitFor ([&] { return !boxes.boxes.empty(); }, 3000));
    EXPECT_EQ (boxes.boxes[0].title, "");
    EXPECT_EQ (boxes.boxes[0].text, clipText);
    EXPECT_EQ (boxes.boxes[0].icon, juce::MessageBoxIconType::WarningIcon);
    EXPECT_EQ (state(), State::idle);
    expectIdleControls();

    pump (2500); // longer than the worker's start pause: nothing is handed over
    EXPECT_EQ (boxes.boxes.size(), 1u);
    EXPECT_FALSE (capture->getWorker().isThreadRunning());
    EXPECT_EQ (capture->getWorker().progress.load(), 0);
    EXPECT_EQ (capture->getCaptureFolder().getChildFile ("record.raw").getSize(), 0);
    EXPECT_FALSE (impulses().getChildFile ("clip.vir").exists());
    EXPECT_TRUE (config->lastCapturePath.isEmpty());

    // The next chooser proposes the same name.
    chooser.answer.clear();
    click (capture->getCaptureButton());
    ASSERT_EQ (chooser.requests.size(), 2u);
    EXPECT_EQ (chooser.requests[1].initialFileOrDirectory, impulses().getChildFile ("clip.vir"));
    EXPECT_EQ (state(), State::idle);
}

INSTANTIATE_TEST_SUITE_P (Inputs, Clipping,
                          ::testing::Values (ClipCase{"LoopWithGain2", true, 2.0f, true},
                                             ClipCase{"ExactlyFullScale", false, 1.0f, true},
                                             ClipCase{"JustBelowFullScale", false, 0.999f, false}),
                          [] (const auto& testInfo) { return std::string (testInfo.param.name); });

// ---------------------------------------------------------------------------------------------
// The output-file chooser

TEST_F (CaptureWindowTest, OutputNameGetsTheVirExtensionAndAnExistingCompletedNameIsAskedAbout)
{
    ASSERT_NO_FATAL_FAILURE (start());
    makeWindow();
    BoxRecorder boxes;
    ChooserStub chooser;
    const auto other = juce::File (home.path()).getChildFile ("other");
    ASSERT_TRUE (other.createDirectory());
    ASSERT_TRUE (impulses().getChildFile ("old.vir").replaceWithText ("old"));
    const auto impulsesAtStart = impulses();

    struct NameCase
    {
        const char* chosen;
        bool inOtherFolder;
        int answer;       // to the question: 1 replace, 0 cancel
        bool asked;       // whether the window asks about replacing
        const char* used; // the output name, nullptr when no capture starts
    };
    const NameCase cases[] = {
        {"take", false, 0, false, "take.vir"},
        {"take.wav", false, 0, false, "take.vir"},
        {"take.VIR", false, 0, false, "take.VIR"},
        {"take.Vir", false, 0, false, "take.Vir"},
        {"old", false, 0, true, nullptr},
        {"old", false, 1, true, "old.vir"},
        {"old.wav", false, 1, true, "old.vir"},
        {"old.vir", false, 0, false, "old.vir"},
        {"elsewhere.aiff", true, 0, false, "elsewhere.vir"},
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.chosen);
        const auto folder = c.inOtherFolder ? other : impulses();
        const auto initial = capture->getLastOutputName().isEmpty()
                                 ? impulses()
                                 : impulses().getChildFile (capture->getLastOutputName());
        const auto lastName = capture->getLastOutputName();
        boxes.result = c.answer;
        boxes.boxes.clear();
        chooser.answer = {folder.getChildFile (c.chosen)};

        click (capture->getCaptureButton());
        ASSERT_FALSE (chooser.requests.empty());
        const auto& request = chooser.requests.back();
        EXPECT_EQ (request.title, "Output file");
        EXPECT_EQ (request.patterns, "*.vir;");
        EXPECT_EQ (request.mode, PellmixFileChooser::Mode::save);
        EXPECT_TRUE (request.warnAboutOverwriting);
        EXPECT_EQ (request.initialFileOrDirectory, initial);

        if (c.asked)
        {
            ASSERT_EQ (boxes.boxes.size(), 1u);
            EXPECT_EQ (boxes.boxes[0].title, "File already exists");
            EXPECT_EQ (boxes.boxes[0].text,
                       "There's already a file called: " + folder.getChildFile ("old.vir").getFullPathName() +
                           "\n\nAre you sure you want to overwrite it?");
        }
        else
        {
            EXPECT_TRUE (boxes.boxes.empty());
        }

        if (c.used == nullptr)
        {
            EXPECT_EQ (state(), State::idle);
            EXPECT_EQ (capture->getLastOutputName(), lastName);
            expectIdleControls();
            continue;
        }
        ASSERT_EQ (state(), State::recording);
        EXPECT_EQ (capture->getLastOutputName(), c.used);
        EXPECT_EQ (impulses(), folder);
        config->settings.impulsesFolder = impulsesAtStart;

        // Stopped: an empty recording file, no worker, no box.
        click (capture->getCaptureButton());
        EXPECT_EQ (state(), State::idle);
        expectIdleControls();
        EXPECT_EQ (capture->getCaptureFolder().getChildFile ("record.raw").getSize(), 0);
        EXPECT_FALSE (capture->getWorker().isThreadRunning());
    }
    pump (2500); // no worker was started by any of them
    EXPECT_TRUE (boxes.boxes.empty());
    EXPECT_FALSE (capture->getWorker().isThreadRunning());
    EXPECT_EQ (impulses().getChildFile ("old.vir").loadFileAsString(), "old");
}

// ---------------------------------------------------------------------------------------------
// Refusals

TEST_F (CaptureWindowTest, ClosedCaptureWhoseDeviceGoesAwayEndsWithAMessageAndFreesTheHandOff)
{
    ASSERT_NO_FATAL_FAILURE (start());
    BoxRecorder boxes;
    ChooserStub chooser;
    chooser.answer = {impulses().getChildFile ("lost.vir")};
    const struct
    {
        const char* name;
        std::function<void()> breakIt;
        juce::String text;
    } cases[] = {
        // The device closing comes last: nothing opens it again.
        {"input gone", [&] { config->captureAudioIn = 2; },
         "The capture input channel is not available on the audio device. Choose one in "
         "\"Hardware I/O options\"."},
        {"device closed", [] { getSharedAudioDeviceManager()->closeAudioDevice(); }, deviceLostText},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        config->captureAudioIn = 0;
        boxes.boxes.clear();
        ContentOnScreen ui;
        auto* window = ui.window;
        window->setSweepSecondsForTests (8);
        ASSERT_NO_FATAL_FAILURE (ui.openCaptureFrom (3));
        auto& block = ui.content->getIrPanel()->getBlock (3);
        ui.click (window->getCaptureButton());
        ASSERT_EQ (window->getRun().getState(), State::recording);
        ui.click (window->getCloseButton());
        ASSERT_TRUE (waitFor ([&] { return !window->isVisible(); }, 1500));

        c.breakIt();
        ASSERT_TRUE (waitFor ([&] { return config->captureState == PellmixCaptureHandOff::idle; }, 3000));
        EXPECT_EQ (boxes.count (c.text), 1);
        EXPECT_EQ (window->getRun().getState(), State::idle);
        EXPECT_FALSE (window->isCloseHeld());
        EXPECT_FALSE (config->engine.isLoaded (3));
        EXPECT_TRUE (waitFor ([&] { return block.getLook() == PellmixIrBlock::Look::empty; }, 1000));
    }
}

TEST_F (CaptureWindowTest, StartsThatCannotWorkAreRefusedWithAMessageAndTheControlsStayIdle)
{
    ASSERT_NO_FATAL_FAILURE (start());
    makeWindow();
    BoxRecorder boxes;
    ChooserStub chooser;
    chooser.answer = {impulses().getChildFile ("refused.vir")};
    const auto tempFolder = temp();
    const auto blocker = juce::File (home.path()).getChildFile ("a-file");
    ASSERT_TRUE (blocker.replaceWithText ("x"));

    struct RefusalCase
    {
        const char* name;
        std::function<void()> breakIt, repair;
        juce::String toneText, captureText;
        bool chooserAsked;
    };
    const juce::String inputText =
        "The capture input channel is not available on the audio device. Choose one in "
        "\"Hardware I/O options\".";
    const juce::String outputText =
        "The capture output channel is not available on the audio device. Choose one in "
        "\"Hardware I/O options\".";
    const juce::String deviceText = "No audio device is open. Choose one in \"Audio device settings\".";
    const auto unwritable = blocker.getChildFile ("Temp");
    const auto noTempFolderText =
        "The temporary files cannot be written in " + unwritable.getFullPathName() + ".";
    const RefusalCase cases[] = {
        {"input", [&] { config->captureAudioIn = 2; }, [&] { config->captureAudioIn = 0; }, inputText,
         inputText, false},
        {"negative input", [&] { config->captureAudioIn = -1; }, [&] { config->captureAudioIn = 0; },
         inputText, inputText, false},
        {"output", [&] { config->captureAudioOut = 4; }, [&] { config->captureAudioOut = 0; }, outputText,
         outputText, false},
        {"device", [] { getSharedAudioDeviceManager()->closeAudioDevice(); },
         [] { reopenSharedDeviceForTests(); }, deviceText, deviceText, false},
        {"temporary folder", [&] { config->settings.tempFolder = unwritable; },
         [&] { config->settings.tempFolder = tempFolder; }, noTempFolderText, noTempFolderText, true},
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        c.breakIt();
        boxes.boxes.clear();
        chooser.requests.clear();

        click (capture->getToneButton());
        ASSERT_TRUE (waitFor ([&] { return !boxes.boxes.empty(); }, 1000));
        EXPECT_EQ (boxes.boxes.back().text, c.toneText);
        EXPECT_EQ (boxes.boxes.back().icon, juce::MessageBoxIconType::WarningIcon);
        EXPECT_EQ (state(), State::idle);
        expectIdleControls();
        ASSERT_TRUE (waitFor ([&] { return boxes.openBoxes() == 0; }, 1000));

        click (capture->getCaptureButton());
        ASSERT_TRUE (waitFor ([&] { return boxes.boxes.size() == 2; }, 1000));
        EXPECT_EQ (boxes.boxes.back().text, c.captureText);
        EXPECT_EQ (chooser.requests.size(), c.chooserAsked ? 1u : 0u);
        EXPECT_EQ (state(), State::idle);
        expectIdleControls();
        ASSERT_TRUE (waitFor ([&] { return boxes.openBoxes() == 0; }, 1000));

        c.repair();
        ASSERT_NE (getSharedAudioDeviceManager()->getCurrentAudioDevice(), nullptr);
    }

    // Repaired, a start works again.
    click (capture->getToneButton());
    EXPECT_EQ (state(), State::tone);
    click (capture->getToneButton());
}

TEST_F (CaptureWindowTest, RecordingFileThatCannotBeWrittenAtTheEndIsReportedAndNothingIsHandedOver)
{
    ASSERT_NO_FATAL_FAILURE (start());
    makeWindow (2);
    ASSERT_TRUE (loopOutput());
    BoxRecorder boxes;
    ChooserStub chooser;
    chooser.answer = {impulses().getChildFile ("lost.vir")};

    click (capture->getCaptureButton());
    ASSERT_EQ (state(), State::recording);
    const auto record = capture->getCaptureFolder().getChildFile ("record.raw");
    ASSERT_TRUE (record.deleteFile());
    ASSERT_TRUE (record.getChildFile ("in-the-way").create()); // a folder of that name

    ASSERT_TRUE (waitFor ([&] { return !boxes.boxes.empty(); }, 5000));
    EXPECT_EQ (boxes.boxes[0].text, cannotWrite (record));
    EXPECT_EQ (state(), State::idle);
    expectIdleControls();
    pump (2500);
    EXPECT_EQ (boxes.boxes.size(), 1u);
    EXPECT_FALSE (capture->getWorker().isThreadRunning());
    EXPECT_FALSE (impulses().getChildFile ("lost.vir").exists());
}

// ---------------------------------------------------------------------------------------------
// States and clicks

namespace
{
enum class Click
{
    tone,
    capture,
    close
};

struct StateCase
{
    const char* name;
    State from;
    Click click;
    State after;
    bool held;        // the close is held back
    int captureState; // PellmixConfig::captureState right after the click
    const char* toneText;
    const char* captureText;
    bool toneEnabled;
    bool chooserAsked;
};

// Every click in every state of the run: where it leads, and what the window shows then.
namespace every_click
{
const char* const play = "Play test signal";
const char* const stopTone = "Stop test signal";
const char* const startText = "Start capture";
const char* const stopText = "Stop capture";
const int shown = PellmixCaptureHandOff::windowShown;
const int closed = PellmixCaptureHandOff::windowClosed;
const StateCase cases[] = {
    {"idle, tone", State::idle, Click::tone, State::tone, false, shown, stopTone, startText, true, false},
    {"idle, capture", State::idle, Click::capture, State::recording, false, shown, play, stopText, false,
     true},
    {"idle, close", State::idle, Click::close, State::idle, false, closed, play, startText, true, false},
    {"tone, tone", State::tone, Click::tone, State::idle, false, shown, play, startText, true, false},
    {"tone, capture", State::tone, Click::capture, State::recording, false, shown, play, stopText, false,
     true},
    {"tone, close", State::tone, Click::close, State::tone, false, closed, stopTone, startText, true, false},
    {"recording, tone", State::recording, Click::tone, State::recording, false, shown, play, stopText, false,
     false},
    {"recording, capture", State::recording, Click::capture, State::idle, false, shown, play, startText, true,
     false},
    {"recording, close", State::recording, Click::close, State::recording, true, shown, play, stopText, false,
     false},
    {"complete, tone", State::complete, Click::tone, State::complete, false, shown, play, stopText, false,
     false},
    {"complete, capture", State::complete, Click::capture, State::complete, false, shown, play, stopText,
     false, false},
    {"complete, close", State::complete, Click::close, State::complete, true, shown, play, stopText, false,
     false},
    {"handing over, tone", State::handingOver, Click::tone, State::handingOver, false, shown, play, stopText,
     false, false},
    {"handing over, capture", State::handingOver, Click::capture, State::handingOver, false, shown, play,
     stopText, false, false},
    {"handing over, close", State::handingOver, Click::close, State::handingOver, true, shown, play, stopText,
     false, false},
};
} // namespace every_click
} // namespace

TEST_F (CaptureWindowTest, EveryClickInEveryState)
{
    ASSERT_NO_FATAL_FAILURE (start());
    makeWindow (2);
    ASSERT_TRUE (loopOutput());
    BoxRecorder boxes;
    ChooserStub chooser;
    chooser.answer = {impulses().getChildFile ("states.vir")};

    for (const auto& c : every_click::cases)
    {
        SCOPED_TRACE (c.name);
        config->captureState = PellmixCaptureHandOff::windowShown;
        config->lastCapturePath.clear();

        // Enter the state.
        const int interval = capture->getTimerInterval();
        if (c.from == State::tone)
            click (capture->getToneButton());
        if (c.from == State::recording || c.from == State::complete || c.from == State::handingOver)
        {
            if (c.from != State::recording)
                capture->stopTimer(); // the timer would hand a complete run over
            click (capture->getCaptureButton());
        }
        if (c.from == State::handingOver)
        {
            ASSERT_TRUE (waitForState (State::complete, 5000));
            capture->startTimer (interval);
        }
        ASSERT_TRUE (waitForState (c.from, 5000))
            << (boxes.boxes.empty() ? juce::String ("no box") : boxes.boxes.back().text) << "\n"
            << jack->logText();
        const auto asked = chooser.requests.size();

        juce::Component& target = c.click == Click::tone      ? (juce::Component&)capture->getToneButton()
                                  : c.click == Click::capture ? (juce::Component&)capture->getCaptureButton()
                                                              : (juce::Component&)capture->getCloseButton();
        click (target);

        EXPECT_EQ (state(), c.after);
        EXPECT_EQ (capture->isCloseHeld(), c.held);
        EXPECT_EQ (config->captureState.load(), c.captureState);
        EXPECT_EQ (capture->getToneButton().getButtonText(), c.toneText);
        EXPECT_EQ (capture->getCaptureButton().getButtonText(), c.captureText);
        EXPECT_EQ (capture->getToneButton().isEnabled(), c.toneEnabled);
        EXPECT_EQ (chooser.requests.size(), asked + (c.chooserAsked ? 1u : 0u));
        if (c.after == State::recording)
        {
            EXPECT_TRUE (capture->getProgressMeter().isVisible());
            EXPECT_TRUE (capture->getProgressLabel().isVisible());
            EXPECT_TRUE (capture->getMaxLabel().isVisible());
            EXPECT_EQ (capture->getStatusLabel().getText(), "Recording...");
        }
        if (c.from == State::recording && c.after == State::idle)
        {
            // A stopped capture: the recording file stays empty, no worker, no box.
            expectIdleControls();
            pump (2500);
            EXPECT_EQ (capture->getCaptureFolder().getChildFile ("record.raw").getSize(), 0);
            EXPECT_FALSE (capture->getWorker().isThreadRunning());
            EXPECT_EQ (capture->getWorker().progress.load(), 0);
            EXPECT_TRUE (boxes.boxes.empty());
        }

        // Back to idle for the next case; a held close is released when the run has ended.
        if (!capture->isTimerRunning())
            capture->startTimer (interval);
        if (state() == State::tone)
            capture->buttonClicked (&capture->getToneButton());
        if (state() == State::recording)
            capture->buttonClicked (&capture->getCaptureButton());
        ASSERT_TRUE (waitFor (
            [&]
            {
                return state() == State::idle && !capture->getWorker().isThreadRunning() &&
                       capture->getWorker().progress.load() != PellmixCaptureHandOff::runEnded &&
                       !capture->isCloseHeld();
            },
            15000));
        if (c.held)
        {
            EXPECT_EQ (config->captureState.load(), PellmixCaptureHandOff::windowClosed);
        }
        boxes.boxes.clear();
    }
}

// The progress meter and the status through a whole (short) capture, the timer's period after
// it, and the names the next chooser proposes.
TEST_F (CaptureWindowTest, ProgressFollowsTheRecordingThenTheWorker)
{
    ASSERT_NO_FATAL_FAILURE (start());
    makeWindow (2);
    ASSERT_TRUE (loopOutput());
    BoxRecorder boxes;
    ChooserStub chooser;
    chooser.answer = {impulses().getChildFile ("progress.vir")};
    EXPECT_EQ (capture->getTimerInterval(), PellmixCapture::fastTimerMs);

    click (capture->getCaptureButton());
    ASSERT_EQ (state(), State::recording);
    EXPECT_EQ (capture->getProgressMeter().getLevel(), 0.0);
    EXPECT_EQ (capture->getRun().getTotal(), 2 * rate + capture->getRun().getLatency());

    std::vector<double> recording, working;
    juce::StringArray statuses;
    bool sawHundredWhenComplete = false;
    // What the window shows from the recording's end on: the first look, and whether the bar was
    // ever empty with no word under it.
    std::optional<std::pair<double, juce::String>> atRecordingEnd;
    bool emptyAndSilent = false, stopOffered = false;
    auto sample = [&]
    {
        const auto s = state();
        const double level = capture->getProgressMeter().getLevel();
        const auto status = capture->getStatusLabel().getText();
        if (s == State::recording)
            recording.push_back (level);
        if (s == State::handingOver)
        {
            working.push_back (level);
            sawHundredWhenComplete = sawHundredWhenComplete || level == 100.0;
            if (!atRecordingEnd)
                atRecordingEnd = std::make_pair (level, status);
            emptyAndSilent = emptyAndSilent || (level == 0.0 && status.isEmpty());
            stopOffered = stopOffered || capture->getCaptureButton().isEnabled();
        }
        statuses.addIfNotAlreadyThere (status);
    };
    // The worker waits at its box: the window shows its final status and progress meanwhile.
    boxes.closeAfterMs = 600;
    boxes.onTick = sample;
    const bool ended = waitFor (
        [&]
        {
            sample();
            return state() == State::idle &&
                   capture->getWorker().progress.load() == PellmixCaptureHandOff::runEndSeen;
        },
        20000);
    boxes.onTick = nullptr;
    ASSERT_TRUE (ended) << (boxes.boxes.empty() ? juce::String ("no box") : boxes.boxes.back().text);

    ASSERT_FALSE (recording.empty());
    EXPECT_TRUE (std::is_sorted (recording.begin(), recording.end()));
    EXPECT_GE (recording.front(), 0.0);
    EXPECT_LE (recording.back(), 100.0);
    EXPECT_GT (recording.back(), 50.0);
    for (double v : working)
        EXPECT_TRUE (v == 0.0 || v == 4.0 || v == 8.0 ||
                     (v >= 10.0 && v <= 100.0 && std::fmod (v, 5.0) == 0.0))
            << v;
    EXPECT_TRUE (sawHundredWhenComplete);
    // The recording's end shows at once, then the processing; the bar never empties silently, and
    // no stop is offered for a recording that is over.
    ASSERT_TRUE (atRecordingEnd.has_value());
    EXPECT_EQ (atRecordingEnd->first, 100.0);
    EXPECT_EQ (atRecordingEnd->second, "Recording complete.");
    EXPECT_FALSE (emptyAndSilent);
    EXPECT_FALSE (stopOffered);
    EXPECT_TRUE (statuses.contains ("Recording..."));
    EXPECT_TRUE (statuses.contains ("Process successful !"));

    EXPECT_EQ (boxes.count ("Process successful !"), 1);
    EXPECT_EQ (boxes.boxes.back().icon, juce::MessageBoxIconType::InfoIcon);
    EXPECT_EQ (config->lastCapturePath.get(), impulses().getChildFile ("progress.vir").getFullPathName());
    expectIdleControls();
    EXPECT_EQ (capture->getTimerInterval(), PellmixCapture::slowTimerMs);
    EXPECT_TRUE (capture->getLastOutputName().isEmpty());

    // After a finished capture the chooser proposes the folder only; the period stays, also
    // during a tone.
    chooser.answer.clear();
    click (capture->getCaptureButton());
    EXPECT_EQ (chooser.requests.back().initialFileOrDirectory, impulses());
    click (capture->getToneButton());
    EXPECT_EQ (capture->getTimerInterval(), PellmixCapture::slowTimerMs);
    click (capture->getToneButton());
}

TEST_F (CaptureWindowTest, ExtractionRerunsTheLastRecordingIntoTestRaw)
{
    ASSERT_NO_FATAL_FAILURE (start());
    makeWindow (2);
    ASSERT_TRUE (loopOutput());
    BoxRecorder boxes;
    ChooserStub chooser;
    chooser.answer = {impulses().getChildFile ("first.vir")};

    // Without a recording it does nothing.
    capture->buttonClicked (&capture->getExtractionButton());
    EXPECT_FALSE (capture->getWorker().isThreadRunning());
    EXPECT_FALSE (capture->getExtractionButton().isVisible());

    click (capture->getCaptureButton());
    ASSERT_TRUE (waitFor (
        [&] { return capture->getWorker().progress.load() == PellmixCaptureHandOff::runEndSeen; }, 20000));
    config->lastCapturePath.clear();

    capture->buttonClicked (&capture->getExtractionButton());
    EXPECT_TRUE (capture->getWorker().isThreadRunning());
    // While the worker runs the tone button does nothing.
    click (capture->getToneButton());
    EXPECT_EQ (state(), State::idle);
    EXPECT_EQ (capture->getToneButton().getButtonText(), "Play test signal");

    ASSERT_TRUE (waitFor (
        [&] { return capture->getWorker().progress.load() == PellmixCaptureHandOff::runEndSeen; }, 20000));
    const auto testRaw = temp().getChildFile ("test.raw");
    EXPECT_EQ (config->lastCapturePath.get(), testRaw.getFullPathName());
    EXPECT_GT (testRaw.getSize(), 0);
    EXPECT_EQ (boxes.count ("Process successful !"), 2);
    expectIdleControls();
}

// ---------------------------------------------------------------------------------------------
// Closing and destroying mid-run

TEST_F (CaptureWindowTest, ClosingMidCaptureHidesTheWindowAndHoldsTheHandOffUntilTheWorkerEnds)
{
    ASSERT_NO_FATAL_FAILURE (start());
    BoxRecorder boxes;
    ChooserStub chooser;
    chooser.answer = {impulses().getChildFile ("held.vir")};
    ContentOnScreen ui;
    auto* window = ui.window;
    window->setSweepSecondsForTests (2);
    ASSERT_TRUE (loopOutput());

    // The IR block of slot 3 asks for the capture.
    ASSERT_NO_FATAL_FAILURE (ui.openCaptureFrom (3));
    auto& block = ui.content->getIrPanel()->getBlock (3);
    ui.click (window->getCaptureButton());
    ASSERT_EQ (window->getRun().getState(), State::recording);
    ui.click (window->getCloseButton());
    EXPECT_TRUE (window->isCloseHeld());

    // Hidden at the content's next tick while the state stays 1 and the block waits; 2 only once
    // the file is there, and then the block takes it.
    bool handOffBeforeFile = false;
    auto watch = [&]
    {
        if (config->captureState == PellmixCaptureHandOff::windowClosed &&
            config->lastCapturePath.isEmpty() && !config->engine.isLoaded (3))
            handOffBeforeFile = true;
    };
    ASSERT_TRUE (waitFor (
        [&]
        {
            watch();
            return !window->isVisible();
        },
        1500));
    EXPECT_EQ (config->captureState.load(), PellmixCaptureHandOff::windowShown);
    EXPECT_TRUE (waitFor ([&] { return block.getLook() == PellmixIrBlock::Look::capturing; }, 1000));
    EXPECT_EQ (block.getIrLabel().getText(), "Capturing ...");
    ASSERT_TRUE (waitFor (
        [&]
        {
            watch();
            return config->captureState == PellmixCaptureHandOff::idle;
        },
        20000));
    EXPECT_FALSE (handOffBeforeFile);
    EXPECT_FALSE (window->isCloseHeld());
    EXPECT_EQ (boxes.count ("Process successful !"), 1);
    EXPECT_TRUE (config->engine.isLoaded (3));
    EXPECT_EQ (config->project.irRecords[3].path, impulses().getChildFile ("held.vir"));
    EXPECT_TRUE (waitFor ([&] { return block.getLook() == PellmixIrBlock::Look::loaded; }, 1000));
    pump (1200);
    EXPECT_FALSE (window->isVisible());
}

namespace
{
enum class DestroyAt
{
    recording,
    workerPause,
    workerWriting
};

struct DestroyCase
{
    const char* name;
    DestroyAt when;
};

std::ostream& operator<< (std::ostream& os, const DestroyCase& c)
{
    return os << c.name;
}

class Destroying : public CaptureWindowTest, public ::testing::WithParamInterface<DestroyCase>
{
};
} // namespace

TEST_P (Destroying, WaitsForTheWorkerRemovesItsCaptureFolderAndKeepsTestRaw)
{
    const auto c = GetParam();
    ASSERT_NO_FATAL_FAILURE (start());
    // Long enough a recording that the deconvolution takes a while.
    makeWindow (c.when == DestroyAt::workerWriting ? 30 : c.when == DestroyAt::workerPause ? 2 : 60);
    ASSERT_TRUE (loopOutput());
    BoxRecorder boxes;
    ChooserStub chooser;
    const auto output = impulses().getChildFile ("gone.vir");
    chooser.answer = {output};
    // "test.raw" of a re-run, and a file of the temporary folder that is not this copy's.
    ASSERT_TRUE (temp().getChildFile ("test.raw").replaceWithText ("kept"));
    ASSERT_TRUE (temp().getChildFile ("deconv.raw").replaceWithText ("not mine"));
    click (capture->getToneButton());
    click (capture->getToneButton());
    click (capture->getCaptureButton());
    ASSERT_EQ (state(), State::recording);

    if (c.when == DestroyAt::recording)
        pump (1000);
    else if (c.when == DestroyAt::workerPause)
        ASSERT_TRUE (waitForState (State::handingOver, 8000));
    else
        ASSERT_TRUE (waitFor ([&] { return capture->getWorker().progress.load() >= 20; }, 40000));
    ASSERT_EQ (capture->getWorker().isThreadRunning(), c.when != DestroyAt::recording)
        << "the worker ended before the window could be destroyed";

    const auto files = capture->getCaptureFolder();
    ASSERT_TRUE (files.getChildFile ("sinus.wav").existsAsFile());
    const auto before = juce::Time::getMillisecondCounter();
    screen.reset();
    capture.reset();
    const auto took = juce::Time::getMillisecondCounter() - before;
    EXPECT_LT (took, (juce::uint32)PellmixCapture::workerStopWaitMs);
    std::cout << c.name << ": the window was destroyed in " << took << " ms\n";

    pump (1000);
    // The copy's folder of capture files is gone; nothing else of the temporary folder is touched.
    EXPECT_FALSE (files.exists());
    EXPECT_FALSE (files.withFileExtension ("lock").exists());
    EXPECT_EQ (temp().getNumberOfChildFiles (juce::File::findFilesAndDirectories), 2);
    EXPECT_EQ (temp().getChildFile ("test.raw").loadFileAsString(), "kept");
    EXPECT_EQ (temp().getChildFile ("deconv.raw").loadFileAsString(), "not mine");
    // A stopped worker shows no box; any output file is whole.
    EXPECT_EQ (boxes.count ("Process successful !"), 0);
    EXPECT_EQ (config->lastCapturePath.get(), output.exists() ? output.getFullPathName() : juce::String());
}

INSTANTIATE_TEST_SUITE_P (Moments, Destroying,
                          ::testing::Values (DestroyCase{"MidRecording", DestroyAt::recording},
                                             DestroyCase{"WorkerPause", DestroyAt::workerPause},
                                             DestroyCase{"WorkerWriting", DestroyAt::workerWriting}),
                          [] (const auto& testInfo) { return std::string (testInfo.param.name); });

// ---------------------------------------------------------------------------------------------
// Captures the worker would refuse, dropouts, a lost device and copies side by side

TEST_F (CaptureWindowTest, CapturesTheWorkerWouldRefuseAreRefusedBeforeTheSweep)
{
    ASSERT_NO_FATAL_FAILURE (start());
    makeWindow();
    BoxRecorder boxes;
    ChooserStub chooser;
    ASSERT_TRUE (impulses().getChildFile ("a-folder.vir").createDirectory());

    struct RefusalCase
    {
        const char* name;
        int sweepSeconds;
        juce::File output;
        juce::String text; // the start of the box's text
        bool chooserAsked;
    };
    const juce::String cannotWriteIr = "The IR file cannot be written: ";
    const RefusalCase cases[] = {
        // Ten minutes at 48 kHz: a transform of 2^26 points.
        {"too long for memory", 600, impulses().getChildFile ("long.vir"),
         "The recording is too long to be processed: it would need about ", false},
        {"output folder missing", 60, impulses().getChildFile ("missing/take.vir"),
         cannotWriteIr + impulses().getChildFile ("missing/take.vir").getFullPathName(), true},
        {"output is a folder", 60, impulses().getChildFile ("a-folder.vir"),
         cannotWriteIr + impulses().getChildFile ("a-folder.vir").getFullPathName(), true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        capture->setSweepSecondsForTests (c.sweepSeconds);
        chooser.answer = {c.output};
        chooser.requests.clear();
        boxes.boxes.clear();

        click (capture->getCaptureButton());
        // At once, not after the sweep.
        ASSERT_TRUE (waitFor ([&] { return !boxes.boxes.empty(); }, 1000));
        EXPECT_TRUE (boxes.boxes[0].text.startsWith (c.text)) << boxes.boxes[0].text;
        EXPECT_EQ (boxes.boxes[0].icon, juce::MessageBoxIconType::WarningIcon);
        EXPECT_EQ (chooser.requests.size(), c.chooserAsked ? 1u : 0u);
        EXPECT_EQ (state(), State::idle);
        expectIdleControls();
        EXPECT_FALSE (capture->getCaptureFolder().getChildFile ("sinus.wav").exists());
        ASSERT_TRUE (waitFor ([&] { return boxes.openBoxes() == 0; }, 1000));
    }
    EXPECT_FALSE (capture->getWorker().isThreadRunning());
    EXPECT_TRUE (impulses().getChildFile ("a-folder.vir").isDirectory());
}

namespace
{
// A JACK client that makes every fifth cycle late by four periods while `stalling` is set: on a
// server without --sync the server then reports a dropout to every client.
class JackStaller
{
public:
    explicit JackStaller (const std::string& name)
    {
        client = jack_client_open (name.c_str(), JackNoStartServer, nullptr);
        if (client == nullptr)
            return;
        jack_set_process_callback (client, &JackStaller::process, this);
        ok = jack_activate (client) == 0;
    }
    ~JackStaller()
    {
        if (client != nullptr)
        {
            jack_deactivate (client);
            jack_client_close (client);
        }
    }
    bool started() const { return ok; }
    std::atomic<bool> stalling{false};

private:
    static int process (jack_nframes_t n, void* arg)
    {
        auto& self = *static_cast<JackStaller*> (arg);
        if (self.stalling && ++self.cycles % 5 == 0)
            usleep ((useconds_t)(4 * n * 1000000 / (jack_nframes_t)rate));
        return 0;
    }

    jack_client_t* client = nullptr;
    int cycles = 0;
    bool ok = false;
};
} // namespace

TEST_F (CaptureWindowTest, RecordingWithDropoutsIsNotHandedOverAndSaysHowMany)
{
    // Without --sync a late client makes the server drop the cycle; the window counts what the
    // device reports.
    ASSERT_NO_FATAL_FAILURE (start ({rate, 512, 2, 4, false}));
    makeWindow (2);
    capture->setDeviceDropoutsIgnoredForTests (false);
    ASSERT_TRUE (loopOutput());
    BoxRecorder boxes;
    ChooserStub chooser;
    const auto output = impulses().getChildFile ("dropouts.vir");
    chooser.answer = {output};
    JackStaller staller ("pellmix_staller_" + std::to_string (getpid()));
    ASSERT_TRUE (staller.started());

    click (capture->getCaptureButton());
    ASSERT_EQ (state(), State::recording);
    staller.stalling = true;
    ASSERT_TRUE (waitFor ([&] { return !boxes.boxes.empty(); }, 10000));
    staller.stalling = false;

    const std::regex said ("The recording had ([0-9]+) dropouts?: the audio device lost samples, so the IR "
                           "would be wrong\\. Make the capture again\\.");
    std::smatch m;
    const auto text = boxes.boxes[0].text.toStdString();
    ASSERT_TRUE (std::regex_match (text, m, said)) << text << "\nJACK server log:\n" << jack->logText();
    EXPECT_GE (std::stoi (m[1]), 1);
    EXPECT_EQ (boxes.boxes[0].icon, juce::MessageBoxIconType::WarningIcon);
    EXPECT_EQ (state(), State::idle);
    expectIdleControls();

    // Nothing reaches the worker or the asking block.
    pump (2500);
    EXPECT_EQ (boxes.boxes.size(), 1u);
    EXPECT_FALSE (capture->getWorker().isThreadRunning());
    EXPECT_EQ (capture->getWorker().progress.load(), 0);
    EXPECT_FALSE (output.exists());
    EXPECT_TRUE (config->lastCapturePath.isEmpty());
    EXPECT_EQ (capture->getCaptureFolder().getChildFile ("record.raw").getSize(), 0);
}

// The JACK device gives no block time stamps: a block shorter than the device's block size is
// what shows lost samples there. The block size drops to 256 during the recording; the device's
// own dropout count is left out, so the short blocks alone refuse the capture.
TEST_F (CaptureWindowTest, ShortBlocksDuringARecordingAreDropoutsThatRefuseTheCapture)
{
    ASSERT_NO_FATAL_FAILURE (start());
    makeWindow (2);
    ASSERT_TRUE (loopOutput());
    BoxRecorder boxes;
    ChooserStub chooser;
    const auto output = impulses().getChildFile ("short.vir");
    chooser.answer = {output};

    click (capture->getCaptureButton());
    ASSERT_EQ (state(), State::recording);
    ASSERT_TRUE (jack->ports().setBufferSize (256));
    const std::regex said ("The recording had ([0-9]+) dropouts?: the audio device lost samples, so the IR "
                           "would be wrong\\. Make the capture again\\.");
    const auto dropoutBox = [&]
    {
        return std::find_if (boxes.boxes.begin(), boxes.boxes.end(),
                             [&] (const BoxRecorder::Box& b)
                             { return std::regex_match (b.text.toStdString(), said); });
    };
    ASSERT_TRUE (waitFor ([&] { return dropoutBox() != boxes.boxes.end(); }, 15000))
        << (boxes.boxes.empty() ? juce::String ("no box") : boxes.boxes.back().text);
    std::smatch m;
    const auto text = dropoutBox()->text.toStdString();
    ASSERT_TRUE (std::regex_match (text, m, said));
    EXPECT_GE (std::stoi (m[1]), 1);
    EXPECT_EQ (capture->getRun().getDropouts(), std::stoi (m[1]));
    EXPECT_EQ (state(), State::idle);
    expectIdleControls();
    EXPECT_FALSE (capture->getWorker().isThreadRunning());
    EXPECT_FALSE (output.exists());
    EXPECT_TRUE (config->lastCapturePath.isEmpty());
}

namespace
{
// The parameter: a capture runs when the device goes away, else the tone.
class DeviceLost : public CaptureWindowTest, public ::testing::WithParamInterface<bool>
{
};
} // namespace

TEST_P (DeviceLost, TheMeterFallsToSilenceAndACaptureSaysWhyItStopped)
{
    const bool recording = GetParam();
    ASSERT_NO_FATAL_FAILURE (start());
    makeWindow (20);
    ASSERT_TRUE (loopOutput());
    BoxRecorder boxes;
    ChooserStub chooser;
    chooser.answer = {impulses().getChildFile ("lost.vir")};
    auto* window = capture.get();

    click (recording ? window->getCaptureButton() : window->getToneButton());
    ASSERT_EQ (window->getRun().getState(), recording ? State::recording : State::tone);
    auto& meter = window->getInputMeter();
    ASSERT_TRUE (waitFor ([&] { return meter.getReadout() == "-3.01 dB"; }, 3000)) << meter.getReadout();

    // The JACK server goes away under the open device.
    boxes.hold = true;
    jack.reset();
    ASSERT_TRUE (waitFor ([&] { return meter.getReadout() == "-96 dB" && meter.getLevel() == -96.0; }, 2000))
        << meter.getReadout();
    if (recording)
    {
        ASSERT_TRUE (waitFor ([&] { return !boxes.boxes.empty(); }, 1000));
        EXPECT_EQ (boxes.boxes[0].text, deviceLostText);
        EXPECT_EQ (boxes.boxes[0].icon, juce::MessageBoxIconType::WarningIcon);
        EXPECT_EQ (window->getRun().getState(), State::idle);
        EXPECT_EQ (window->getCaptureButton().getButtonText(), "Start capture");
        EXPECT_FALSE (window->getProgressMeter().isVisible());
        pump (300);
        app_test::processDisplay().keepScreenshot ("capture-device-lost.png");
    }
    else
    {
        EXPECT_TRUE (boxes.boxes.empty());
    }
    boxes.closeOpenBoxes();
    // It stays silent.
    pump (500);
    EXPECT_EQ (meter.getReadout(), "-96 dB");
    EXPECT_EQ (meter.getFilledWidth(), 0.0f);
}

INSTANTIATE_TEST_SUITE_P (Runs, DeviceLost, ::testing::Bool(),
                          [] (const auto& testInfo)
                          { return std::string (testInfo.param ? "DuringACapture" : "DuringTheTone"); });

TEST_F (CaptureWindowTest, ACopyThatQuitsLeavesAnotherCopysCaptureAlone)
{
    ASSERT_NO_FATAL_FAILURE (start());
    BoxRecorder boxes;
    ChooserStub chooser;
    const auto output = impulses().getChildFile ("second.vir");
    chooser.answer = {output};

    // Another copy on the same temporary folder has played its tone, so it has files there.
    auto other = std::make_unique<PellmixCapture>();
    other->buttonClicked (&other->getToneButton());
    ASSERT_EQ (other->getRun().getState(), State::tone);
    other->buttonClicked (&other->getToneButton());
    const auto otherFiles = other->getCaptureFolder();
    ASSERT_TRUE (otherFiles.getChildFile ("sinustest.wav").existsAsFile());

    makeWindow (2);
    ASSERT_TRUE (loopOutput());
    click (capture->getCaptureButton());
    ASSERT_EQ (state(), State::recording);
    const auto files = capture->getCaptureFolder();
    EXPECT_NE (files, otherFiles);
    EXPECT_EQ (files.getParentDirectory(), temp());

    // The other copy quits in the middle of this one's recording.
    pump (500);
    other.reset();
    EXPECT_FALSE (otherFiles.exists());
    EXPECT_TRUE (files.getChildFile ("inverse.raw").existsAsFile());

    ASSERT_TRUE (waitFor (
        [&] { return capture->getWorker().progress.load() == PellmixCaptureHandOff::runEndSeen; }, 20000));
    EXPECT_EQ (boxes.count ("Process successful !"), 1) << (boxes.boxes.empty() ? "" : boxes.boxes[0].text);
    EXPECT_EQ (config->lastCapturePath.get(), output.getFullPathName());
    EXPECT_EQ (files.getChildFile ("record.raw").getSize(), (2 * rate + capture->getRun().getLatency()) * 4);
}
