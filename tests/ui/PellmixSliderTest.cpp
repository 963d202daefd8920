// PellmixSlider with real mouse, wheel and key events sent through the peer of a window on a
// virtual display: Alt reset and Alt drag, one interval per wheel event, double-click editing of
// a read-only value box, the value box's visibility, and value boxes built by the look-and-feel.
#include "UiTestSupport.h"
#include "ui/PellmixLookAndFeel.h"
#include "ui/PellmixSlider.h"

#include <vector>

using ui_test::OnScreen;

namespace
{
// Records every value change and whether the mouse button was still down at that moment.
struct ValueRecorder : juce::Slider::Listener
{
    void sliderValueChanged (juce::Slider* s) override
    {
        values.push_back (s->getValue());
        buttonDown.push_back (juce::ModifierKeys::currentModifiers.isLeftButtonDown());
    }
    std::vector<double> values;
    std::vector<bool> buttonDown;
};

// A window with the look-and-feel holding one slider at (20, 20), like an EQ band with its box.
class SliderWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (displayStarted);
        host.setLookAndFeel (PellmixLookAndFeel::getInstance());
        host.setSize (300, 300);
        host.addAndMakeVisible (slider);
        host.addAndMakeVisible (elsewhere);
        elsewhere.setBounds (200, 200, 60, 60);
        slider.setName ("EQ Slider");
        slider.setRange (-12.0, 12.0, 1.0);
        slider.setSliderStyle (juce::Slider::LinearVertical);
        slider.setTextBoxStyle (juce::Slider::TextBoxBelow, true, 40, 16);
        slider.setBounds (20, 20, 40, 140);
        slider.addListener (&recorder);
        screen = std::make_unique<OnScreen> (host);
    }
    void TearDown() override
    {
        screen.reset();
        host.setLookAndFeel (nullptr);
    }

    juce::Point<float> inSlider (float y = 60.0f) const { return {40.0f, 20.0f + y}; }
    juce::Point<float> inBox() const
    {
        return slider.getValueBox()->getBounds().toFloat().getCentre() + slider.getPosition().toFloat();
    }
    juce::Point<float> away() const { return {230.0f, 230.0f}; }

    // Before any component: the framework opens the X display when the first one is made.
    const bool displayStarted = ui_test::processDisplay().started();
    juce::Component host, elsewhere;
    PellmixSlider slider{juce::Slider::LinearVertical, juce::Slider::TextBoxBelow};
    ValueRecorder recorder;
    std::unique_ptr<OnScreen> screen;
};
} // namespace

TEST_F (SliderWindow, AltClickResetsWithinTheClickAndAltDragDoesNothing)
{
    slider.setValue (7.0, juce::dontSendNotification);
    const auto alt = juce::ModifierKeys (juce::ModifierKeys::altModifier);

    screen->move (inSlider (30.0f), alt);
    screen->down (inSlider (30.0f), alt);
    EXPECT_DOUBLE_EQ (slider.getValue(), 0.0);
    ASSERT_FALSE (recorder.values.empty());
    EXPECT_DOUBLE_EQ (recorder.values.back(), 0.0);
    EXPECT_TRUE (recorder.buttonDown.back()); // told before the button is released

    // Dragging with Alt held keeps the reset value.
    for (float y : {10.0f, 5.0f, 100.0f})
        screen->drag (inSlider (y), alt);
    EXPECT_DOUBLE_EQ (slider.getValue(), 0.0);

    // Releasing Alt in the middle of the drag lets the drag move the value again.
    screen->drag (inSlider (2.0f));
    EXPECT_GT (slider.getValue(), 0.0);
    screen->up (inSlider (2.0f));
}

TEST_F (SliderWindow, PlainClickDoesNotReset)
{
    slider.setValue (7.0, juce::dontSendNotification);
    screen->click (slider.getValueBox()->getBounds().getCentre().toFloat() + slider.getPosition().toFloat());
    EXPECT_DOUBLE_EQ (slider.getValue(), 7.0);
}

TEST_F (SliderWindow, EveryWheelEventMovesOneInterval)
{
    struct Case
    {
        double minimum, maximum, interval, start;
        float deltaY, deltaX;
        double expected;
    };
    const Case cases[] = {
        {-12, 12, 1, 11, 0.1f, 0, 12},
        {-12, 12, 1, 12, 0.1f, 0, 12},
        {-12, 12, 1, -12, -0.1f, 0, -12},
        {-12, 12, 1, 0, 5.0f, 0, 1},
        {-12, 12, 1, 0, -0.0001f, 0, -1},
        {-12, 12, 1, 0, 0.0f, 0.4f, -1},
        {-12, 12, 1, 0, 0.0f, 0, -1},
        {0, 2048, 16, 1792, 1.0f, 0, 1808},
        {0, 31.68, 0.01, 31.67, 1.0f, 0, 31.68},
        {0, 10, 0, 5, 1.0f, 0, 5},
        {0, 10, 0, 5, -1.0f, 0, 5},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << c.minimum << ".." << c.maximum << " step " << c.interval << " at "
                                         << c.start << ", deltaY " << c.deltaY);
        slider.setRange (c.minimum, c.maximum, c.interval);
        slider.setValue (c.start, juce::dontSendNotification);
        recorder.values.clear();
        screen->wheel (inSlider(), c.deltaY, c.deltaX);
        EXPECT_NEAR (slider.getValue(), c.expected, 1e-9);
        EXPECT_EQ (recorder.values.size(), slider.getValue() != c.start ? 1u : 0u); // told at once
    }
}

TEST_F (SliderWindow, WheelStepIgnoresTheSkew)
{
    slider.setRange (0.0, 100.0, 1.0);
    slider.setSkewFactor (0.2);
    slider.setValue (50.0, juce::dontSendNotification);
    screen->wheel (inSlider(), 1.0f);
    EXPECT_DOUBLE_EQ (slider.getValue(), 51.0);
    screen->wheel (inSlider(), -3.0f);
    EXPECT_DOUBLE_EQ (slider.getValue(), 50.0);
}

TEST_F (SliderWindow, DoubleClickEditsAReadOnlyBox)
{
    struct Case
    {
        const char* typed;
        double expected;
    };
    const Case cases[] = {{"5", 5.0}, {"-3.4", -3.0}, {"99", 12.0}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.typed);
        slider.setValue (0.0, juce::dontSendNotification);
        auto* box = slider.getValueBox();
        ASSERT_NE (box, nullptr);
        ASSERT_FALSE (box->isEditable());
        screen->doubleClick (inSlider (30.0f));
        ASSERT_TRUE (box->isBeingEdited());

        auto* editor = box->getCurrentTextEditor();
        ASSERT_NE (editor, nullptr);
        ASSERT_TRUE (editor->hasKeyboardFocus (false));
        editor->selectAll();
        screen->type (c.typed);
        screen->key (juce::KeyPress (juce::KeyPress::returnKey));
        OnScreen::pump (50); // the editor reports Return through a posted message
        EXPECT_FALSE (box->isBeingEdited());
        EXPECT_DOUBLE_EQ (slider.getValue(), c.expected);
        screen->move (away());
        OnScreen::pump (450); // the next click is not part of a double-click
    }
}

TEST_F (SliderWindow, ValueBoxShowsOnHoverAndHidesAtTheOwnersCall)
{
    auto* box = slider.getValueBox();
    ASSERT_NE (box, nullptr);
    // The framework makes every box it builds visible: here it is hidden until shown, so a panel's
    // first paint shows no value box.
    screen->move (away());
    EXPECT_FALSE (box->isVisible());

    screen->move (inSlider());
    EXPECT_TRUE (box->isVisible()); // shown as soon as the mouse enters

    screen->move (away());
    EXPECT_TRUE (box->isVisible()); // leaving does not hide it...
    slider.setValueShown (false);
    EXPECT_FALSE (box->isVisible()); // ...the owner's next tick does

    slider.setValueShown (true);
    EXPECT_TRUE (box->isVisible());
    slider.setValueShown (false);
    EXPECT_FALSE (box->isVisible());

    // Over the box itself (it is visible again after entering the slider).
    screen->move (inSlider());
    screen->move (inBox());
    ASSERT_EQ (juce::Desktop::getInstance().getMainMouseSource().getComponentUnderMouse(), box);
    slider.setValueShown (false);
    EXPECT_TRUE (box->isVisible());

    // While the editor is open the box stays, wherever the mouse is.
    slider.showValueEditor();
    screen->move (away());
    slider.setValueShown (false);
    EXPECT_TRUE (box->isVisible());
    box->hideEditor (true);
    slider.setValueShown (false);
    EXPECT_FALSE (box->isVisible());
}

TEST_F (SliderWindow, SliderWithoutTextBoxIgnoresShowingAndDoubleClicks)
{
    slider.setTextBoxStyle (juce::Slider::NoTextBox, true, 0, 0);
    ASSERT_EQ (slider.getValueBox(), nullptr);
    slider.setValueShown (true);
    slider.setValueShown (false);
    slider.setValue (3.0, juce::dontSendNotification);
    screen->doubleClick (inSlider (30.0f));
    EXPECT_EQ (slider.getValueBox(), nullptr);
    EXPECT_TRUE (slider.isValueShown() == false);
}

//==============================================================================
TEST (PellmixSliderBox, BoxComesFromTheLookAndFeelOfTheParent)
{
    // The framework builds the box in the slider's constructor, with no parent yet.
    juce::Component panel;
    panel.setLookAndFeel (PellmixLookAndFeel::getInstance());

    struct Case
    {
        const char* what;
        std::function<std::unique_ptr<PellmixSlider>()> make;
    };
    const Case cases[] = {
        {"style and box",
         [] {
             return std::make_unique<PellmixSlider> (juce::Slider::RotaryVerticalDrag,
                                                     juce::Slider::TextBoxBelow);
         }},
        {"name, box set later",
         []
         {
             auto s = std::make_unique<PellmixSlider> ("EQ Slider");
             s->setTextBoxStyle (juce::Slider::TextBoxBelow, true, 30, 14);
             return s;
         }},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        auto slider = c.make();
        slider->setValue (0.0);
        panel.addAndMakeVisible (slider.get());
        auto* box = slider->getValueBox();
        ASSERT_NE (box, nullptr);
        EXPECT_EQ (box->getFont().getTypefaceName(), "Pellmix Sans Medium");
        EXPECT_EQ (box->getJustificationType(), juce::Justification (juce::Justification::centred));
        EXPECT_EQ (box->findColour (juce::TextEditor::highlightColourId).getARGB(), 0xffffffffu);
        EXPECT_EQ (box->getText(), slider->getTextFromValue (0.0)); // the text survives the rebuild
        EXPECT_FALSE (box->isVisible()) << "a rebuilt box shows only when asked";

        // Set elsewhere, the box follows again; taken out, it is the framework's once more.
        panel.removeChildComponent (slider.get());
        EXPECT_NE (slider->getValueBox()->getFont().getTypefaceName(), "Pellmix Sans Medium");
    }
    panel.setLookAndFeel (nullptr);
}

TEST (PellmixSliderBox, ConstructionDefaults)
{
    PellmixSlider named ("EQ Slider");
    PellmixSlider styled (juce::Slider::RotaryHorizontalVerticalDrag, juce::Slider::TextBoxBelow);
    for (auto* s : {&named, &styled})
    {
        EXPECT_DOUBLE_EQ (s->getResetValue(), 0.0);
        EXPECT_FALSE (s->isValueShown());
        EXPECT_NE (s->getCachedComponentImage(), nullptr);
    }
    EXPECT_EQ (named.getName(), "EQ Slider");
    EXPECT_EQ (named.getSliderStyle(), juce::Slider::LinearHorizontal);
    EXPECT_EQ (named.getTextBoxPosition(), juce::Slider::TextBoxLeft);
    EXPECT_EQ (styled.getSliderStyle(), juce::Slider::RotaryHorizontalVerticalDrag);
    EXPECT_EQ (styled.getTextBoxPosition(), juce::Slider::TextBoxBelow);
}
