#pragma once
#include <juce_gui_basics/juce_gui_basics.h>

// Content of the "Audio device settings" dialog: a viewport over a component handed in with
// setContent (the device selector, owned by the viewport) and an "OK" button that ends the
// dialog's modal state. Message thread only.
class AudioConfigWindow : public juce::Component, public juce::Button::Listener
{
public:
    AudioConfigWindow();
    ~AudioConfigWindow() override;

    // The viewport shows and owns `content`.
    void setContent (juce::Component* content);

    void resized() override;
    void buttonClicked (juce::Button* button) override;

private:
    std::unique_ptr<juce::Viewport> viewport;
    std::unique_ptr<juce::TextButton> okButton;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AudioConfigWindow)
};
