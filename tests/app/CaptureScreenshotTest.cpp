// The main content on the virtual display with the capture window shown for an IR block,
// photographed from the display while idle, during the test tone, during a capture, at its end and
// while the worker processes it.
// The screenshots are kept in the build folder (screenshots/capture-*.png) for people to look at;
// the test checks that the window is on them at its place and that they differ as they should.
#include "BinaryData.h"
#include "ui/PellmixPictures.h"
#include "CaptureWindowSupport.h"

using namespace capture_window_test;

namespace
{
juce::Image loadPng (const std::string& path)
{
    return juce::ImageFileFormat::loadFrom (juce::File (path)).convertedToFormat (juce::Image::ARGB);
}

// Pixels of the capture window's title band on the screenshot that equal the background picture.
int titleBandMatches (const juce::Image& shot, juce::Point<int> origin)
{
    const auto background = PELLMIX_PICTURE (capture_background_png);
    int n = 0;
    for (int y = 0; y < 36; ++y)
        for (int x = 0; x < 471; ++x)
            if ((shot.getPixelAt (origin.x + x, origin.y + y).getARGB() & 0xffffff) ==
                (background.getPixelAt (x, y).getARGB() & 0xffffff))
                ++n;
    return n;
}
} // namespace

TEST_F (CaptureWindowTest, ScreenshotsIdleToneCaptureAndProcessing)
{
    ASSERT_NO_FATAL_FAILURE (start());
    BoxRecorder boxes;
    ChooserStub chooser;
    chooser.answer = {impulses().getChildFile ("shot.vir")};
    ContentOnScreen ui;
    auto* window = ui.window;
    window->setSweepSecondsForTests (8);
    ASSERT_TRUE (loopOutput());
    ASSERT_NO_FATAL_FAILURE (ui.openCaptureFrom (2));

    std::vector<juce::Image> shots;
    auto shoot = [&] (const std::string& name)
    {
        pump (300); // painted
        const auto path = app_test::processDisplay().keepScreenshot ("capture-" + name + ".png");
        EXPECT_FALSE (path.empty()) << name;
        shots.push_back (loadPng (path));
        EXPECT_GT (titleBandMatches (shots.back(), window->getScreenPosition()), 471 * 36 * 95 / 100) << name;
    };

    shoot ("idle");
    ui.click (window->getToneButton());
    ASSERT_EQ (window->getRun().getState(), State::tone);
    pump (500);
    shoot ("tone");
    ui.click (window->getToneButton());

    ui.click (window->getCaptureButton());
    ASSERT_EQ (window->getRun().getState(), State::recording);
    ASSERT_TRUE (waitFor ([&] { return window->getProgressMeter().getLevel() >= 40.0; }, 10000));
    shoot ("recording");
    // The recording's end, before the worker has begun.
    ASSERT_TRUE (
        waitFor ([&] { return window->getStatusLabel().getText() == "Recording complete."; }, 20000));
    shoot ("recording-end");
    ASSERT_TRUE (waitFor ([&] { return window->getWorker().progress.load() >= 10; }, 20000));
    shoot ("processing");
    ASSERT_TRUE (waitFor (
        [&] { return window->getWorker().progress.load() == PellmixCaptureHandOff::runEndSeen; }, 20000));

    // The meter and progress areas change from one state to the next.
    const auto origin = window->getScreenPosition();
    const juce::Rectangle<int> meters (origin.x + 169, origin.y + 79, 300, 90);
    for (size_t i = 1; i < shots.size(); ++i)
        EXPECT_GT (ui_test::differingPixels (shots[i - 1].getClippedImage (meters),
                                             shots[i].getClippedImage (meters)),
                   100)
            << i;
}
