#include "ui/PellmixPlayerInOutSpectroGramme.h"

#include "settings/PellmixConfig.h"

#include <cmath>

PellmixPlayerInOutSpectroGramme::PellmixPlayerInOutSpectroGramme()
    : gridImage (juce::Image::ARGB, viewWidth, viewHeight, true)
{
    setOpaque (true);
}

float PellmixPlayerInOutSpectroGramme::curveY (float value)
{
    return (float)(3.0 - 2.8 * (double)value);
}

float PellmixPlayerInOutSpectroGramme::gridX (float log10Frequency)
{
    const float lowest = std::log10 (20.0f);
    const float span = std::log10 (20000.0f) - lowest;
    return std::floor ((log10Frequency - lowest) * (float)viewWidth / span) + 0.5f;
}

void PellmixPlayerInOutSpectroGramme::resized()
{
    auto* config = PellmixConfig::getInstance();
    juce::Graphics g (gridImage);
    g.fillAll (juce::Colour (0xff000000));

    g.setColour (config->gridColour);
    for (int k = 1; k <= 3; ++k)
    {
        const float y = std::floor (27.5f * (float)k - 3.0f) + 0.5f;
        g.drawLine (1.0f, y, 363.0f, y);
    }

    auto vertical = [&g] (float log10Frequency)
    {
        const float x = gridX (log10Frequency);
        g.drawLine (x, 1.0f, x, 107.0f);
    };
    for (int exponent = 2; exponent <= 4; ++exponent)
        vertical ((float)exponent);
    for (float decade : {10.0f, 100.0f, 1000.0f})
        for (int m = (decade == 10.0f ? 3 : 2); m <= 9; ++m)
            vertical (std::log10 ((float)m * decade));

    g.setFont (g.getCurrentFont().withHeight (10.0f).boldened());
    g.setColour (config->outputColour);
    g.drawText ("OUTPUT", juce::Rectangle<int> (0, 11, 360, 105), juce::Justification::topRight, true);
    g.setColour (config->inputColour);
    g.drawText ("INPUT", juce::Rectangle<int> (0, 1, 360, 105), juce::Justification::topRight, true);
}

void PellmixPlayerInOutSpectroGramme::paint (juce::Graphics& g)
{
    auto* config = PellmixConfig::getInstance();
    g.drawImageAt (gridImage, 0, 0);

    const juce::PathStrokeType stroke (1.0f, juce::PathStrokeType::mitered, juce::PathStrokeType::butt);

    juce::Path output;
    if (config->processingEnabled.load())
    {
        output.startNewSubPath (0.0f, curveY (outputCurve[0]));
        for (int k = 1; k < numPoints; ++k)
            output.lineTo ((float)(k + 1), curveY (outputCurve[(size_t)k]));
    }
    else
    {
        output.startNewSubPath (1.0f, floorY);
        for (int x = 2; x <= numPoints + 1; ++x)
            output.lineTo ((float)x, floorY);
    }
    g.setColour (config->outputColour);
    g.strokePath (output, stroke);

    juce::Path input;
    input.startNewSubPath (1.0f, curveY (inputCurve[0]));
    for (int k = 1; k < numPoints; ++k)
        input.lineTo ((float)(k + 1), curveY (inputCurve[(size_t)k]));
    g.setColour (config->inputColour);
    g.strokePath (input, stroke);
}
