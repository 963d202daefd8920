#pragma once
#include <juce_gui_basics/juce_gui_basics.h>

// A horizontal bar meter with a text readout right of the bar.
//
// dB mode: fed linear amplitudes; the bar shows the level from -96 dB (pixel 0) to 0 dB
// (pixel 192), green to yellow up to -12 dB and yellow to red above; the level rises at once to
// every louder value and falls by 1 dB per timer tick. The readout shows the held peak ("-12.3 dB")
// or "CLIP" once the peak reaches 0 dB; a click on the bar resets the peak.
// Percent mode: fed a percentage (kept within 0..100); the bar fills in proportion and the readout
// shows "42 %" while the value is above 0.
//
// The owner feeds the meter and starts its timer; the meter's own timer only lets the dB level
// fall and repaints. Nothing here repaints on a new value. A tick that finds nothing new to draw
// stops the timer, and the next value that changes the level or the peak starts it again at the
// owner's period: a meter at rest neither wakes nor repaints.
//
// Threads: message thread only.
class VuMeterComponent : public juce::Component, public juce::Timer
{
public:
    static constexpr double floorDb = -96.0;
    static constexpr int barWidth = 192;
    static constexpr float readoutX = 200.0f;
    static constexpr float readoutBaseline = 12.0f;

    explicit VuMeterComponent (bool dbMode);
    ~VuMeterComponent() override;

    // Takes a new value; the peak keeps the largest level seen. dB mode: a value at or above full
    // scale leaves the level as it is.
    void setLevel (double value);
    // As setLevel, but full scale shows 0 dB ("CLIP"), and the peak follows the level whatever it
    // was.
    void setLevelAndPeak (double value);
    void resetPeak();

    double getLevel() const { return level; }
    double getPeak() const { return peak; }
    bool isDbMode() const { return dbMode; }
    // The readout text as drawn; empty when none is drawn.
    juce::String getReadout() const;
    // Width in pixels of the filled part of the bar: in dB mode the start of the dark cover
    // (fractional), in percent mode the whole pixels filled.
    float getFilledWidth() const;

    void mouseUp (const juce::MouseEvent&) override;
    void paint (juce::Graphics&) override;
    void timerCallback() override;

private:
    void feed (double value, bool peakFollows);
    bool showsCurrentValues() const;
    void wakeIfChanged();

    double level = floorDb;
    double peak = floorDb;
    const bool dbMode;
    // The values of the last repaint the timer asked for (a new meter is drawn as it starts).
    double shownLevel = floorDb;
    double shownPeak = floorDb;
    // The period of a timer that rests; 0 while it runs or was never started.
    int restingPeriodMs = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VuMeterComponent)
};
