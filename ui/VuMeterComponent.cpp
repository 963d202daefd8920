#include "ui/VuMeterComponent.h"

#include <cmath>

namespace
{
const juce::Colour lightGreen (0xff90ee90);
const juce::Colour yellow (0xffffff00);
const juce::Colour red (0xffff0000);
const juce::Colour darkGrey (0xff555555);
const juce::Colour white (0xffffffff);
const juce::Colour aliceBlue (0xfff0f8ff);
constexpr float yellowStart = 168.0f; // -12 dB
} // namespace

VuMeterComponent::VuMeterComponent (bool dbModeToUse)
    : dbMode (dbModeToUse)
{
}

VuMeterComponent::~VuMeterComponent() = default;

void VuMeterComponent::setLevel (double value)
{
    feed (value, false);
}

void VuMeterComponent::setLevelAndPeak (double value)
{
    feed (value, true);
}

void VuMeterComponent::feed (double value, bool peakFollows)
{
    double shown;
    if (!dbMode)
    {
        // Progress readouts never leave 0..100, whatever the source reports.
        level = juce::jlimit (0.0, 100.0, value);
        shown = level;
    }
    else if (std::abs (value) >= 1.0)
    {
        if (peakFollows)
            level = 0.0;
        shown = level;
    }
    else if (value == 0.0)
    {
        level = floorDb;
        shown = floorDb;
    }
    else
    {
        const double db = 20.0 * std::log10 (std::abs (value));
        if (db > level)
            level = db;
        if (level < floorDb)
            level = floorDb;
        shown = level;
    }

    if (peakFollows || shown > peak)
        peak = shown;
    wakeIfChanged();
}

void VuMeterComponent::resetPeak()
{
    peak = floorDb;
    wakeIfChanged();
}

bool VuMeterComponent::showsCurrentValues() const
{
    return level == shownLevel && peak == shownPeak;
}

void VuMeterComponent::wakeIfChanged()
{
    if (restingPeriodMs > 0 && !isTimerRunning() && !showsCurrentValues())
    {
        startTimer (restingPeriodMs);
        restingPeriodMs = 0;
    }
}

juce::String VuMeterComponent::getReadout() const
{
    if (!dbMode)
        return level > 0.0 ? juce::String (level) + " %" : juce::String();
    if (peak >= 0.0)
        return "CLIP";
    return juce::String (peak).substring (0, 5) + " dB";
}

float VuMeterComponent::getFilledWidth() const
{
    if (!dbMode)
        return (float)juce::jlimit (0, barWidth, (int)std::floor (level * barWidth / 100.0));
    return juce::jlimit (0.0f, (float)barWidth, 2.0f * (float)(level - floorDb));
}

void VuMeterComponent::mouseUp (const juce::MouseEvent& e)
{
    if (e.x > barWidth)
        return;
    peak = floorDb;
    shownPeak = peak;
    repaint();
}

void VuMeterComponent::timerCallback()
{
    if (dbMode)
        level = juce::jmax (floorDb, level - 1.0);
    if (showsCurrentValues())
    {
        // Nothing new to draw (the level has fallen to the floor, or no value came): the timer
        // rests until a value changes what the meter shows, then runs again at the same period.
        restingPeriodMs = getTimerInterval();
        stopTimer();
        return;
    }
    shownLevel = level;
    shownPeak = peak;
    repaint();
}

void VuMeterComponent::paint (juce::Graphics& g)
{
    const float h = (float)(getHeight() - 1);
    const float filled = getFilledWidth();
    const auto bar = (float)barWidth;

    if (dbMode)
    {
        g.setGradientFill (juce::ColourGradient (lightGreen, 0.0f, 0.0f, yellow, yellowStart, 0.0f, false));
        g.fillRect (0.0f, 0.0f, yellowStart, h);
        g.setGradientFill (juce::ColourGradient (yellow, yellowStart, 0.0f, red, bar, 0.0f, false));
        g.fillRect (yellowStart, 0.0f, bar - yellowStart, h);
        g.setColour (darkGrey);
        g.fillRect (filled, 0.0f, bar - filled, h);
    }
    else
    {
        g.setGradientFill (juce::ColourGradient (white, 0.0f, 0.0f, aliceBlue, bar, 0.0f, false));
        g.fillRect (0.0f, 0.0f, filled, h);
        g.setColour (darkGrey);
        g.fillRect (filled, 0.0f, bar - filled, h);
    }

    g.setColour (juce::Colours::black);
    g.drawRect (0, 0, barWidth, getHeight() - 1, 1);

    const auto text = getReadout();
    if (text.isNotEmpty())
        g.drawSingleLineText (text, (int)readoutX, (int)readoutBaseline, juce::Justification::left);
}
