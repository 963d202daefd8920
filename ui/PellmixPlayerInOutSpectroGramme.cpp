#include "ui/PellmixPlayerInOutSpectroGramme.h"

#include "settings/PellmixConfig.h"

#include <algorithm>
#include <cmath>

PellmixPlayerInOutSpectroGramme::PellmixPlayerInOutSpectroGramme()
    : gridImage (juce::Image::ARGB, viewWidth, viewHeight, true)
    , captionImage (juce::Image::ARGB, viewWidth, viewHeight, true)
{
    outputCurve.fill (floorValue);
    inputCurve.fill (floorValue);
    setOpaque (true);
}

void PellmixPlayerInOutSpectroGramme::showNothing()
{
    const auto onFloor = [] (const std::array<float, numPoints>& curve)
    { return std::all_of (curve.begin(), curve.end(), [] (float v) { return v == floorValue; }); };
    if (onFloor (outputCurve) && onFloor (inputCurve))
        return;
    outputCurve.fill (floorValue);
    inputCurve.fill (floorValue);
    repaint();
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

    drawCaptions (g, false);

    captionImage.clear (captionImage.getBounds());
    juce::Graphics overlay (captionImage);
    drawCaptions (overlay, true);
}

void PellmixPlayerInOutSpectroGramme::drawCaptions (juce::Graphics& g, bool onPlates) const
{
    auto* config = PellmixConfig::getInstance();
    const auto font = g.getCurrentFont().withHeight (10.0f).boldened();
    g.setFont (font);
    struct Caption
    {
        const char* text;
        int top;
        juce::Colour colour;
    };
    for (const auto& c :
         {Caption{"OUTPUT", 11, config->outputColour}, Caption{"INPUT", 1, config->inputColour}})
    {
        const juce::Rectangle<int> area (0, c.top, 360, 105);
        if (onPlates)
        {
            // A dark plate one pixel around the text's line.
            const int width = (int)std::ceil (font.getStringWidthFloat (c.text));
            g.setColour (juce::Colour (0xff000000));
            g.fillRect (juce::Rectangle<int> (area.getRight() - width - 2, c.top - 1, width + 4,
                                              (int)std::ceil (font.getHeight()) + 1));
        }
        g.setColour (c.colour);
        g.drawText (c.text, area, juce::Justification::topRight, true);
    }
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

    g.drawImageAt (captionImage, 0, 0);
}
