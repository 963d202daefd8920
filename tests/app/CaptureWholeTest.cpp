// Whole captures through the application's own window (the main content with its capture window,
// shown because an IR block asked for it) on a dummy JACK server at 48000 Hz with 60-second
// sweeps: the output looped straight back to the input, looped through a jconvolver that holds a
// known IR, and a silent input. An IR block asks for the capture; the temporary files have the
// sizes of a 48 kHz capture, the straight loop's recording is the sweep itself, band 0 of the
// written IR matches the known IR, and once the window is closed the block has loaded the file.
#include "CaptureWindowSupport.h"
#include "app/MainContentComponent.h"
#include "capture/CaptureSupport.h"
#include "support/Process.h"
#include "ui/PellmixIrBlock.h"
#include "ui/PellmixIrPanel.h"

#include <functional>
#include <iostream>

using namespace capture_window_test;

namespace
{
enum class Route
{
    direct,
    convolver,
    silent
};

struct WholeCase
{
    const char* name;
    Route route;
    const char* kind; // the known IR, as the capture oracle names it
};

std::ostream& operator<< (std::ostream& os, const WholeCase& c)
{
    return os << c.name;
}

constexpr int rate = 48000;
constexpr int slot = 5;

class WholeCapture : public CaptureWindowTest, public ::testing::WithParamInterface<WholeCase>
{
protected:
    // The capture output reaches the input straight, through a jconvolver holding the known IR, or
    // not at all.
    void route (const WholeCase& c, std::unique_ptr<Jconvolver>& convolver)
    {
        if (c.route == Route::direct)
        {
            ASSERT_TRUE (loopOutput());
        }
        if (c.route == Route::convolver)
        {
            const auto ir = home.child ("known-ir.wav");
            pellmix_test::runPythonScript ("capture_oracle.py", {"irwav", ir, std::to_string (rate), c.kind});
            convolver =
                std::make_unique<Jconvolver> (*jack, home.path(), "/impulse/read 1 1 1.0 0 0 0 1 " + ir, 512);
            ASSERT_TRUE (convolver->started());
            ASSERT_TRUE (connect (*jack, client + ":out_1", convolver->name + ":in"));
            ASSERT_TRUE (connect (*jack, convolver->name + ":out", client + ":in_1"));
        }
    }

    // Band 0 of the written IR against the known IR (read by the capture oracle).
    void expectTheKnownIr (const WholeCase& c, const juce::File& output,
                           const std::function<std::string()>& log)
    {
        const auto bands = capture_test::CaptureFolder::decodeVir (output);
        ASSERT_FALSE (bands[0].empty()) << "the vir file does not decode";
        std::vector<float> all;
        for (const auto& b : bands)
            all.insert (all.end(), b.begin(), b.end());
        const auto bandsFile = juce::File (home.child ("bands.raw"));
        capture_test::writeFloats (bandsFile, all);
        auto fit = capture_test::parseValues (pellmix_test::runPythonScript (
            "capture_oracle.py", {"check", bandsFile.getFullPathName().toStdString(), c.kind}));
        for (const auto& [key, value] : fit)
            std::cout << c.name << " " << key << " = " << value << "\n";
        ASSERT_TRUE (fit.count ("band0_error_db"));
        EXPECT_GT (fit["band0_scale"], 0.0);
        if (c.route == Route::convolver)
        {
            // The accuracy the worker's own whole-run tests reach.
            EXPECT_LT (fit["band0_error_db"], -50.0) << log();
        }
        else
        {
            // A delay: flat, and what the worker makes of a perfect loop (see the oracle).
            EXPECT_LT (fit["band0_flatness_db"], 0.5) << log();
            EXPECT_LT (fit["band0_error_db"], -37.5);
        }
    }
};

// The temporary files of a 60-second capture at 48 kHz (read before the window deletes them); for
// the straight loop, every sample of the recording is the sweep's, one period late.
void expectTheTemporaryFiles (PellmixCapture& window, const WholeCase& c)
{
    const auto latency = window.getRun().getLatency();
    std::cout << c.name << ": device latency " << latency << " samples\n";
    EXPECT_EQ (window.getCaptureFolder().getChildFile ("inverse.raw").getSize(), 11520000);
    EXPECT_EQ (window.getCaptureFolder().getChildFile ("record.raw").getSize(), (2880000 + latency) * 4);
    if (c.route != Route::direct)
        return;
    auto loop = capture_test::parseValues (pellmix_test::runPythonScript (
        "capture_oracle.py",
        {"loop", window.getCaptureFolder().getChildFile ("record.raw").getFullPathName().toStdString(),
         window.getCaptureFolder().getChildFile ("sinus.wav").getFullPathName().toStdString(),
         std::to_string (latency)}));
    EXPECT_EQ (loop["loop_delay"], 512.0);
    EXPECT_EQ (loop["loop_max_error"], 0.0);
}
} // namespace

TEST_P (WholeCapture, WritesTheIrAndHandsItToTheAskingBlock)
{
    const auto c = GetParam();
    ASSERT_NO_FATAL_FAILURE (start ({rate, 512, 2, 4, true, c.route == Route::convolver}));
    BoxRecorder boxes;
    ChooserStub chooser;
    chooser.answer = {impulses().getChildFile ("whole")}; // the window adds ".vir"
    const auto output = impulses().getChildFile ("whole.vir");

    std::unique_ptr<Jconvolver> convolver;
    ASSERT_NO_FATAL_FAILURE (route (c, convolver));

    auto content = std::make_unique<MainContentComponent>();
    ui_test::OnScreen onScreen (*content);
    auto* window = content->getCaptureWindow();
    window->setDeviceDropoutsIgnoredForTests (true); // see CaptureWindowTest
    auto at = [&] (juce::Component& child)
    { return content->getLocalPoint (&child, child.getLocalBounds().getCentre()).toFloat(); };

    // The user asks an empty IR block for a capture into its slot.
    auto& block = content->getIrPanel()->getBlock (slot);
    ASSERT_TRUE (waitFor ([&] { return block.getCaptureButton().isShowing(); }, 1500));
    onScreen.click (at (block.getCaptureButton()));
    EXPECT_EQ (config->captureSlot.load(), slot);
    ASSERT_TRUE (waitFor ([&] { return window->isShowing(); }, 1500));
    EXPECT_TRUE (waitFor ([&] { return block.getLook() == PellmixIrBlock::Look::capturing; }, 1000));

    auto* device = getSharedAudioDeviceManager()->getCurrentAudioDevice();
    const int xrunsBefore = device->getXRunCount();
    onScreen.click (at (window->getCaptureButton()));
    ASSERT_EQ (window->getRun().getState(), State::recording);
    ASSERT_TRUE (waitFor ([&] { return window->getRun().getState() != State::recording; }, 70000));
    // With --sync a late cycle loses nothing: the dummy driver's count is printed, not held against the
    // capture.
    const int xruns = device->getXRunCount() - xrunsBefore;
    std::cout << c.name << ": " << xruns << " xruns during the recording\n";
    const auto serverLog = [&]
    { return "xruns: " + std::to_string (xruns) + "\nJACK server log:\n" + jack->logText(); };
    // A recording with dropouts is refused at once, without the worker.
    const auto refused = [&]
    { return window->getRun().getState() == State::idle && window->getWorker().progress.load() == 0; };
    ASSERT_TRUE (waitFor (
        [&] { return window->getWorker().progress.load() == PellmixCaptureHandOff::runEndSeen || refused(); },
        120000))
        << "state " << (int)window->getRun().getState() << ", progress "
        << window->getWorker().progress.load();
    ASSERT_FALSE (refused()) << (boxes.boxes.empty() ? juce::String() : boxes.boxes.back().text) << "\n"
                             << serverLog();

    ASSERT_NO_FATAL_FAILURE (expectTheTemporaryFiles (*window, c));

    if (c.route == Route::silent)
    {
        ASSERT_FALSE (boxes.boxes.empty());
        EXPECT_EQ (boxes.boxes.back().text, "The recording is silent.");
        EXPECT_EQ (boxes.boxes.back().icon, juce::MessageBoxIconType::WarningIcon);
        EXPECT_EQ (boxes.count ("Process successful !"), 0);
        EXPECT_FALSE (output.exists());
        EXPECT_TRUE (config->lastCapturePath.isEmpty());
    }
    else
    {
        EXPECT_EQ (window->getCaptureFolder().getChildFile ("deconv.raw").getSize(), 33554432);
        EXPECT_EQ (boxes.count ("Process successful !"), 1);
        EXPECT_EQ (output.getSize(), PellmixVir::spectralFileSize);
        EXPECT_EQ (config->lastCapturePath.get(), output.getFullPathName());

        ASSERT_NO_FATAL_FAILURE (expectTheKnownIr (c, output, serverLog));
    }

    // Closing the window completes the hand-off: the asking block takes the new file and loads
    // it (after a failed capture it goes back to empty), and the hand-off returns to idle.
    onScreen.click (at (window->getCloseButton()));
    EXPECT_FALSE (window->isCloseHeld());
    EXPECT_TRUE (waitFor ([&] { return config->captureState == PellmixCaptureHandOff::idle; }, 1500));
    EXPECT_TRUE (waitFor ([&] { return !window->isVisible(); }, 1500));
    EXPECT_TRUE (config->lastCapturePath.isEmpty());
    const bool captured = c.route != Route::silent;
    EXPECT_EQ (block.getLook(), captured ? PellmixIrBlock::Look::loaded : PellmixIrBlock::Look::empty);
    EXPECT_EQ (config->engine.isLoaded (slot), captured);
    EXPECT_EQ (config->project.irRecords[slot].path, captured ? output : juce::File());
}

INSTANTIATE_TEST_SUITE_P (Routes, WholeCapture,
                          ::testing::Values (WholeCase{"DirectLoop", Route::direct, "dirac"},
                                             WholeCase{"ThroughJconvolver", Route::convolver, "cabinet"},
                                             WholeCase{"SilentInput", Route::silent, "wire"}),
                          [] (const auto& testInfo) { return std::string (testInfo.param.name); });
