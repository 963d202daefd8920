#include "ui/PellmixSlider.h"

PellmixSlider::PellmixSlider (const juce::String& name)
    : juce::Slider (name)
{
    initialise();
}

PellmixSlider::PellmixSlider (juce::Slider::SliderStyle style,
                              juce::Slider::TextEntryBoxPosition textBoxPosition)
    : juce::Slider (style, textBoxPosition)
{
    initialise();
}

PellmixSlider::~PellmixSlider() = default;

void PellmixSlider::initialise()
{
    resetValue = 0.0;
    valueShown = false;
    boxLookAndFeel = &getLookAndFeel();
    setBufferedToImage (true);
}

juce::Label* PellmixSlider::getValueBox() const
{
    for (auto* child : getChildren())
        if (auto* label = dynamic_cast<juce::Label*> (child))
            return label;
    return nullptr;
}

void PellmixSlider::setValueShown (bool shown)
{
    valueShown = shown;
    updateValueBoxVisibility();
}

void PellmixSlider::updateValueBoxVisibility()
{
    auto* box = getValueBox();
    if (box == nullptr)
        return;

    box->setVisible (isMouseOverOrDragging() || box->isMouseOver (false) || box->isBeingEdited() ||
                     valueShown);
}

void PellmixSlider::showValueEditor()
{
    if (auto* box = getValueBox())
        box->showEditor();
}

void PellmixSlider::lookAndFeelChanged()
{
    boxLookAndFeel = &getLookAndFeel();
    juce::Slider::lookAndFeelChanged();
    // The framework makes every value box it builds visible; it shows only as the rules above say.
    updateValueBoxVisibility();
}

void PellmixSlider::parentHierarchyChanged()
{
    juce::Slider::parentHierarchyChanged();
    if (&getLookAndFeel() != boxLookAndFeel)
        lookAndFeelChanged();
}

//==============================================================================
void PellmixSlider::mouseEnter (const juce::MouseEvent& e)
{
    juce::Slider::mouseEnter (e);
    updateValueBoxVisibility();
}

void PellmixSlider::mouseDown (const juce::MouseEvent& e)
{
    juce::Slider::mouseDown (e);
    if (e.mods.isAltDown())
        setValue (resetValue, juce::sendNotificationSync);
}

void PellmixSlider::mouseDrag (const juce::MouseEvent& e)
{
    if (e.mods.isAltDown())
        return;
    juce::Slider::mouseDrag (e);
}

void PellmixSlider::mouseDoubleClick (const juce::MouseEvent&)
{
    showValueEditor();
}

void PellmixSlider::mouseWheelMove (const juce::MouseEvent&, const juce::MouseWheelDetails& wheel)
{
    const auto interval = getInterval();
    const auto step = wheel.deltaY > 0.0f ? interval : -interval;
    const auto target = getValue() + step;
    const auto newValue = getMinimum() > target ? getMinimum() : juce::jmin (getMaximum(), target);
    setValue (newValue, juce::sendNotificationSync);
}
