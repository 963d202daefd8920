#pragma once
#include <juce_gui_basics/juce_gui_basics.h>

class PellmixConfig;

// Content of the "Hardware I/O options" dialog: three lists over the open device's active
// channels that set the configuration's capture input, capture output and main output.
// Values are positions among the active channels (0 = lowest active channel); the main output
// also offers pairs, encoded 99 + k for positions k - 1 and k; -1 means none.
// Message thread only; the routing fields it writes are atomics read by the audio callbacks.
class AudioRootingWindow : public juce::Component,
                           public juce::Button::Listener,
                           public juce::ComboBox::Listener
{
public:
    explicit AudioRootingWindow (PellmixConfig* config);
    ~AudioRootingWindow() override;

    // Fills the three lists from the current device and selects the current routing (the
    // selection is announced asynchronously, so an id the device no longer offers becomes -1).
    void fillChannelLists();

    void paint (juce::Graphics& g) override;
    void comboBoxChanged (juce::ComboBox* box) override;
    void buttonClicked (juce::Button* button) override;

private:
    juce::Label* captureInLabel = nullptr;
    juce::Label* captureOutLabel = nullptr;
    juce::Label* mainOutLabel = nullptr;
    juce::ComboBox* captureInBox = nullptr;
    juce::ComboBox* captureOutBox = nullptr;
    juce::ComboBox* mainOutBox = nullptr;
    juce::TextButton* okButton = nullptr;
    juce::Image background;
    PellmixConfig* config = nullptr;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AudioRootingWindow)
};
