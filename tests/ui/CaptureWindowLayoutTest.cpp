// The capture window as built: its children in their order, places, names, texts and looks, the
// close button's pictures, the meters' modes and timers, and the background picture drawn
// unscaled from the top-left corner.
#include "BinaryData.h"
#include "ui/PellmixPictures.h"
#include "UiTestSupport.h"
#include "ui/PellmixCapture.h"

using ui_test::differingPixels;

TEST (CaptureWindowLayout, ChildrenPicturesAndMetersAsBuilt)
{
    ASSERT_TRUE (ui_test::processDisplay().started());
    ui_test::ConfigEnvironment env;
    ASSERT_NE (env.config, nullptr) << env.jack.logText();
    PellmixCapture capture;

    EXPECT_EQ (capture.getBounds(), juce::Rectangle<int> (0, 0, 471, 172));
    EXPECT_EQ (capture.getTimerInterval(), PellmixCapture::fastTimerMs);
    EXPECT_EQ (capture.getRun().getState(), PellmixCaptureRun::State::idle);

    struct Child
    {
        juce::Component* component;
        const char* name;
        const char* text; // nullptr: not a button or label
        juce::Rectangle<int> bounds;
        bool visible;
    };
    const Child children[] = {
        {&capture.getToneButton(), "Play test signal", "Play test signal", {54, 94, 100, 24}, true},
        {&capture.getCaptureButton(), "Start capture", "Start capture", {54, 129, 100, 24}, true},
        {&capture.getExtractionButton(), "Extraction", "Extraction", {10, 10, 100, 24}, false},
        {&capture.getInputMeter(), "", nullptr, {169, 99, 300, 16}, true},
        {&capture.getProgressMeter(), "", nullptr, {169, 133, 300, 16}, false},
        {&capture.getDeviceLabel(), "Audio device label", "Audio device : ", {55, 50, 375, 24}, true},
        {&capture.getStatusLabel(), "", "", {169, 148, 192, 24}, true},
        {&capture.getInputLevelLabel(), "Input level label", "Input level : ", {169, 79, 260, 24}, true},
        {&capture.getMaxLabel(), "Max label", "Max : ", {362, 75, 100, 24}, false},
        {&capture.getProgressLabel(), "Progress label", "Progress : ", {169, 114, 260, 24}, false},
        {&capture.getCloseButton(), "", nullptr, {402, 43, 30, 22}, true},
    };
    ASSERT_EQ (capture.getNumChildComponents(), (int)std::size (children));
    for (int i = 0; i < (int)std::size (children); ++i)
    {
        const auto& c = children[i];
        SCOPED_TRACE (i);
        EXPECT_EQ (capture.getChildComponent (i), c.component);
        EXPECT_EQ (c.component->getName(), c.name);
        EXPECT_EQ (c.component->getBounds(), c.bounds);
        // Nothing is cut by the panel's edges.
        EXPECT_TRUE (capture.getLocalBounds().contains (c.bounds));
        EXPECT_EQ (c.component->isVisible(), c.visible);
        if (auto* button = dynamic_cast<juce::TextButton*> (c.component))
        {
            EXPECT_EQ (button->getButtonText(), c.text);
        }
        if (auto* label = dynamic_cast<juce::Label*> (c.component))
        {
            EXPECT_EQ (label->getText(), c.text);
        }
    }
    for (auto* b : {&capture.getToneButton(), &capture.getCaptureButton()})
        EXPECT_EQ (b->findColour (juce::TextButton::buttonColourId), juce::Colour (0xff808080));
    EXPECT_EQ (capture.getDeviceLabel().getJustificationType(), juce::Justification::centred);
    EXPECT_EQ (capture.getStatusLabel().getJustificationType(), juce::Justification::centred);

    EXPECT_TRUE (capture.getInputMeter().isDbMode());
    EXPECT_EQ (capture.getInputMeter().getReadout(), "-96 dB");
    EXPECT_EQ (capture.getInputMeter().getTimerInterval(), 30);
    EXPECT_FALSE (capture.getProgressMeter().isDbMode());
    EXPECT_EQ (capture.getProgressMeter().getLevel(), 0.0);
    EXPECT_EQ (capture.getProgressMeter().getTimerInterval(), 200);

    auto& close = capture.getCloseButton();
    const struct
    {
        juce::Image shown, expected;
    } looks[] = {
        {close.getNormalImage(), PELLMIX_PICTURE (close_normal_png)},
        {close.getOverImage(), PELLMIX_PICTURE (close_over_png)},
        {close.getDownImage(), PELLMIX_PICTURE (close_pressed_png)},
    };
    for (const auto& look : looks)
    {
        EXPECT_EQ (look.expected.getBounds(), juce::Rectangle<int> (20, 20));
        EXPECT_EQ (differingPixels (look.shown, look.expected), 0);
    }

    // White under the picture, which shows unscaled from the top-left corner; the title band has
    // no child over it.
    const auto background = PELLMIX_PICTURE (capture_background_png);
    ASSERT_EQ (background.getBounds(), juce::Rectangle<int> (473, 200));
    const auto drawn = ui_test::snapshot (capture);
    const juce::Rectangle<int> band (0, 0, 471, 40);
    EXPECT_EQ (differingPixels (drawn.getClippedImage (band), background.getClippedImage (band)), 0);
}

TEST (CaptureWindowLayout, DestroyedAfterTheDeviceManagerItMakesNoNewOne)
{
    ASSERT_TRUE (ui_test::processDisplay().started());
    ui_test::ConfigEnvironment env;
    ASSERT_NE (env.config, nullptr) << env.jack.logText();
    auto capture = std::make_unique<PellmixCapture>();
    // A tone played and stopped: the window has its folder of capture files.
    capture->buttonClicked (&capture->getToneButton());
    capture->buttonClicked (&capture->getToneButton());
    const auto files = capture->getCaptureFolder();
    ASSERT_TRUE (files.getChildFile ("sinustest.wav").existsAsFile());

    deleteSharedAudioDeviceManager();
    capture.reset();
    EXPECT_EQ (getExistingSharedAudioDeviceManager(), nullptr);
    EXPECT_FALSE (files.exists()) << "the temporary files still go";
}
