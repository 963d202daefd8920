#include "ui/DeviceDialogLookAndFeel.h"

namespace
{
struct DeviceDialogLookAndFeel : juce::LookAndFeel_V4
{
    DeviceDialogLookAndFeel()
    {
        // The dark of the controls and the title bar, for the texts around them.
        const auto text = getCurrentColourScheme().getUIColour (ColourScheme::UIColour::windowBackground);
        setColour (juce::Label::textColourId, text);
        setColour (juce::ToggleButton::textColourId, text);
    }
};
} // namespace

juce::LookAndFeel& getDeviceDialogLookAndFeel()
{
    static DeviceDialogLookAndFeel lookAndFeel;
    return lookAndFeel;
}
