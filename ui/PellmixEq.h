#pragma once
#include "ui/PellmixSlider.h"

#include <juce_gui_basics/juce_gui_basics.h>
#include <memory>

// The graphic-EQ strip under the IR blocks, 1212 x 120: 31 third-octave bands of -12..+12 dB
// (named "EQ Slider" for the look-and-feel) with their frequency labels, the EQ switch, the
// "EQ" caption and a help text. Every band change stores all 31 gains in the project and
// re-blends; the switch turns the EQ of the blend on and off. While merely hovering over a band,
// Shift makes the band follow the mouse's height and Command (Ctrl here) returns it to 0 dB.
// A 500 ms timer takes over the gains and the switch state that a loaded project brought.
//
// Threads: message thread only; PellmixEngine::blend takes the engine's lock.
class PellmixEq : public juce::Component,
                  public juce::Slider::Listener,
                  public juce::Button::Listener,
                  public juce::Timer
{
public:
    static constexpr int numBands = 31;
    static constexpr int timerIntervalMs = 500;
    static const char* const bandFrequencies[numBands];
    static const char* const helpText;
    // Small enough that the widest help line needs little squeezing to fit its 100-pixel box.
    static constexpr float helpFontHeight = 11.0f;

    PellmixEq();
    ~PellmixEq() override;

    void mouseMove (const juce::MouseEvent&) override;
    void mouseEnter (const juce::MouseEvent&) override {}
    void mouseExit (const juce::MouseEvent&) override {}
    void paint (juce::Graphics&) override;
    void resized() override;
    void sliderValueChanged (juce::Slider*) override;
    void buttonClicked (juce::Button*) override;
    void timerCallback() override;

    PellmixSlider& getBandSlider (int band) const { return *bandSliders[band]; }
    juce::Label& getBandLabel (int band) const { return *bandLabels[band]; }
    juce::ImageButton& getEqButton() const { return *eqButton; }
    juce::Label& getEqLabel() const { return *eqLabel; }
    juce::Label& getHelpLabel() const { return *helpLabel; }
    juce::Label& getDbLabel (int i) const { return *dbLabels[i]; }

private:
    void blend();
    void setSwitchLook (bool on);

    juce::Image background;
    juce::OwnedArray<PellmixSlider> bandSliders;
    std::unique_ptr<juce::Label> eqLabel;
    juce::OwnedArray<juce::Label> dbLabels;
    juce::OwnedArray<juce::Label> bandLabels;
    std::unique_ptr<juce::ImageButton> eqButton;
    std::unique_ptr<juce::Label> helpLabel;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PellmixEq)
};
