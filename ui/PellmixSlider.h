#pragma once
#include <juce_gui_basics/juce_gui_basics.h>

// The slider of the graphic-EQ bands and the IR blocks: Alt-click resets the value, dragging does
// nothing while Alt is held, every wheel event moves the value by exactly one interval, a
// double-click opens the value box's editor (also when the box is read-only), and the value box
// is visible only while the mouse is over the slider or the box, the box is being edited, or the
// owner asked for it with setValueShown(true). Owners call setValueShown(false) from their timers:
// that is what hides a box again after the mouse has left.
//
// The value box is always the look-and-feel's createSliderTextBox: the framework builds the box
// in the slider's constructor, before the slider has a parent, so the box is built again when
// the slider's look-and-feel changes by being placed under another parent.
//
// Threads: message thread only.
class PellmixSlider : public juce::Slider
{
public:
    explicit PellmixSlider (const juce::String& name);
    PellmixSlider (juce::Slider::SliderStyle style, juce::Slider::TextEntryBoxPosition textBoxPosition);
    ~PellmixSlider() override;

    void setValueShown (bool shown);
    void updateValueBoxVisibility();
    void showValueEditor();

    // The value box (a child label built by the look-and-feel), or null without a text box.
    juce::Label* getValueBox() const;
    double getResetValue() const { return resetValue; }
    bool isValueShown() const { return valueShown; }

    void mouseEnter (const juce::MouseEvent&) override;
    void mouseDown (const juce::MouseEvent&) override;
    void mouseDrag (const juce::MouseEvent&) override;
    void mouseDoubleClick (const juce::MouseEvent&) override;
    void mouseWheelMove (const juce::MouseEvent&, const juce::MouseWheelDetails&) override;
    void lookAndFeelChanged() override;
    void parentHierarchyChanged() override;

private:
    void initialise();

    double resetValue = 0.0;
    bool valueShown = false;
    // The look-and-feel that built the current value box.
    juce::LookAndFeel* boxLookAndFeel = nullptr;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PellmixSlider)
};
