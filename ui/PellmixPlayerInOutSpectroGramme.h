#pragma once
#include <juce_gui_basics/juce_gui_basics.h>

#include <array>

// The player's input/output spectrum display, 364 x 108, opaque: a grid picture (log frequency
// lines for 20 Hz to 20 kHz, three level lines, the "INPUT" and "OUTPUT" captions) rendered once
// per resize in the colours of that moment, then the output curve (or, while processing is off,
// the floor line) and the input curve on top, and the captions again on a dark plate, so that no
// curve hides them. The owner writes both curves (0.6 x level in dB, floored at -36) and
// repaints; with nothing to show (no device, no analysis) both lie on the floor, where they
// also start.
//
// Threads: message thread only.
class PellmixPlayerInOutSpectroGramme : public juce::Component
{
public:
    static constexpr int numPoints = 364;
    static constexpr int viewWidth = 364, viewHeight = 108;
    static constexpr float floorY = 103.8f;
    static constexpr float floorValue = -36.0f; // the curve value drawn on the floor line

    PellmixPlayerInOutSpectroGramme();

    void paint (juce::Graphics&) override;
    void resized() override;

    // Both curves to the floor, repainted only when that changes them.
    void showNothing();

    // The vertical position of a curve value: 0 at y = 3, -36 at y = 103.8.
    static float curveY (float value);
    // The x position of a grid line for a frequency in Hz (the centre of its pixel column).
    static float gridX (float log10Frequency);

    std::array<float, numPoints> outputCurve;
    std::array<float, numPoints> inputCurve;
    juce::Image gridImage;
    juce::Image captionImage; // the captions on their plates, drawn over the curves

private:
    void drawCaptions (juce::Graphics&, bool onPlates) const;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PellmixPlayerInOutSpectroGramme)
};
