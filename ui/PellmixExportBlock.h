#pragma once
#include "settings/PellmixConfig.h"

#include <juce_gui_basics/juce_gui_basics.h>
#include <memory>
#include <vector>

// The result plots: the blended IR (the sum of the eight slots with the graphic EQ) as three
// curves of 301 points side by side over a 1212 x 180 background picture: the impulse in time,
// its magnitude spectrum and its phase spectrum, with grid rows, log-frequency lines and three
// rotated captions. It writes nothing; exporting is a menu command.
//
// The engine sends no notifications, so a 250 ms timer asks for the sum's spectrum (which
// analyses it when out of date) and rebuilds the points only when that analysis is newer than
// the one last drawn. Painting draws the stored points and never asks the engine. As a
// configuration listener it repaints when the output (1) or grid (7) colour changes.
//
// Threads: message thread only. The sum's band buffer and the analyser arrays are read without
// the engine's lock: blends run on the message thread too, so they never overlap a tick.
class PellmixExportBlock : public juce::Component,
                           public juce::Timer,
                           public PellmixConfig::Listener,
                           public juce::TooltipClient
{
public:
    static constexpr int numPoints = 301;
    static constexpr int width = 1212;
    static constexpr int height = 180;
    static constexpr int timerIntervalMs = 250;

    PellmixExportBlock();
    ~PellmixExportBlock() override;

    void paint (juce::Graphics&) override;
    void resized() override;
    void timerCallback() override;
    void colourSettingChanged (int colourIndex) override;
    juce::String getTooltip() override;

    // Pixel geometry of the plots, shared by paint() and the tests.
    // Row k (1..3) of the horizontal grid for a picture of height h.
    static float gridRowY (int k, int h);
    // Column of a vertical frequency line of a plot starting at x0, from log10 of the frequency
    // (logarithmic axis from 20 Hz at x0 to 20 kHz at x0 + 301; single precision).
    static float frequencyLineX (float log10Frequency, float x0);
    // The tooltip for a position in the component (empty outside the three plots).
    static juce::String tooltipAt (juce::Point<int> position);

    float timePoints[numPoints] = {};      // plot units: 40 is the peak
    float magnitudePoints[numPoints] = {}; // dB
    float phasePoints[numPoints] = {};     // 8 x radians
    juce::Time lastDrawnTime;              // the sum's analysis time the points come from
    juce::Image background;
    std::unique_ptr<juce::Label> timeLabel, freqLabel, phaseLabel;

private:
    void rebuildTimeCurve (const std::vector<float>& band);
    void drawGrid (juce::Graphics&, float left, float right, float x0, bool frequencyLines) const;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PellmixExportBlock)
};
