#include "ui/PellmixExportBlock.h"

#include "BinaryData.h"
#include "ui/PellmixPictures.h"
#include "ui/PellmixLookAndFeel.h"

#include <cmath>

namespace
{
constexpr float labelRotation = -1.57f; // radians, about each label's own top-left corner
constexpr float labelFontHeight = 35.0f;
constexpr int timeWindow = 6;      // samples averaged per time point
constexpr float timeScale = 40.0f; // plot units of the peak
constexpr float minimumPeak = 0.1f;

PellmixEngine& engine()
{
    return PellmixConfig::getInstance()->engine;
}

float finiteOrZero (float v)
{
    return std::isnan (v) ? 0.0f : v;
}

struct PlotArea
{
    int left, right;
    const char* tooltip;
};

// Tooltip regions (inclusive), y 13 to 171.
const PlotArea plotAreas[] = {{78, 376, "Time domain resulting impulse plot"},
                              {456, 754, "Frequency domain resulting Impulse plot"},
                              {834, 1132, "Resulting IR phase"}};
} // namespace

PellmixExportBlock::PellmixExportBlock()
{
    auto* config = PellmixConfig::getInstance();
    config->engine.prepareSpectrum (PellmixEngine::sumSpectrum, 2048, numPoints, PellmixEngine::workingRate);
    config->engine.blend (nullptr, false, config->project.eqOn);

    background = PELLMIX_PICTURE (results_background_png);
    setLookAndFeel (PellmixLookAndFeel::getInstance());

    auto makeLabel = [this] (const char* name, const char* text, juce::Point<float> corner)
    {
        auto label = std::make_unique<juce::Label> (name, text);
        addAndMakeVisible (label.get());
        // The captions lie over the plots' edges: they must not take the plots' mouse (tooltips).
        label->setInterceptsMouseClicks (false, false);
        label->setTransform (juce::AffineTransform::rotation (labelRotation, corner.x, corner.y));
        return label;
    };
    timeLabel = makeLabel ("Time Label", "TIME", {30.0f, 170.0f});
    freqLabel = makeLabel ("Freq Label", "FREQ.", {407.0f, 170.0f});
    phaseLabel = makeLabel ("Phase Label", "PHASE", {784.0f, 170.0f});
    const auto font = timeLabel->getFont().withHeight (labelFontHeight);
    for (auto* label : {timeLabel.get(), freqLabel.get(), phaseLabel.get()})
    {
        label->setFont (font);
        label->setJustificationType (juce::Justification::centredTop);
        label->setColour (juce::Label::textColourId, juce::Colours::white);
    }

    config->addListener (this);
    startTimer (timerIntervalMs);
    setSize (width, height);
}

PellmixExportBlock::~PellmixExportBlock()
{
    stopTimer();
    PellmixConfig::getInstance()->removeListener (this);
    timeLabel.reset();
    freqLabel.reset();
    phaseLabel.reset();
    setLookAndFeel (nullptr);
}

//==============================================================================
float PellmixExportBlock::gridRowY (int k, int h)
{
    return std::floor ((float)(h - 18) * 0.25f * (float)k + 8.0f) + 0.5f;
}

float PellmixExportBlock::frequencyLineX (float log10Frequency, float x0)
{
    const float low = std::log10 (20.0f);
    const float high = std::log10 (20000.0f);
    return std::floor ((log10Frequency - low) * (float)numPoints / (high - low) + x0) + 0.5f;
}

juce::String PellmixExportBlock::tooltipAt (juce::Point<int> p)
{
    if (p.y < 13 || p.y > 171)
        return {};
    for (const auto& area : plotAreas)
        if (p.x >= area.left && p.x <= area.right)
            return area.tooltip;
    return {};
}

juce::String PellmixExportBlock::getTooltip()
{
    return tooltipAt (getMouseXYRelative());
}

//==============================================================================
void PellmixExportBlock::timerCallback()
{
    auto& e = engine();
    if (e.getIrLength (PellmixEngine::sumSpectrum, 0) == 0)
        return;

    // Asking for the phases analyses the sum when its analysis is out of date.
    e.getPhases (PellmixEngine::sumSpectrum, 0);
    const auto analysed = e.getChangeTime (PellmixEngine::sumSpectrum, 0, true);
    if (lastDrawnTime != juce::Time() && !(lastDrawnTime < analysed))
        return;
    lastDrawnTime = analysed;

    rebuildTimeCurve (e.getSum().bands[0]);

    const float* phases = e.getPhases (PellmixEngine::sumSpectrum, 0);
    const float* magnitudes = e.getMagnitudes (PellmixEngine::sumSpectrum, 0);
    for (int i = 0; i < numPoints; ++i)
    {
        phasePoints[i] = phases != nullptr ? finiteOrZero (phases[i] * 8.0f) : 0.0f;
        magnitudePoints[i] = magnitudes != nullptr ? finiteOrZero (magnitudes[i]) : 0.0f;
    }
    repaint();
}

void PellmixExportBlock::rebuildTimeCurve (const std::vector<float>& band)
{
    const float step = 2048.0f / (float)numPoints;
    const int lastStart = (int)std::floor ((float)(numPoints - 1) * step);
    if ((int)band.size() < lastStart + timeWindow)
    {
        std::fill (std::begin (timePoints), std::end (timePoints), 0.0f);
        return;
    }

    float peak = minimumPeak;
    for (float v : band)
        peak = std::max (peak, std::abs (v));

    for (int i = 0; i < numPoints; ++i)
    {
        const int s = (int)std::floor ((float)i * step);
        float sum = 0.0f;
        for (int k = 0; k < timeWindow; ++k)
            sum += band[(size_t)(s + k)];
        timePoints[i] = finiteOrZero (sum * timeScale / (float)timeWindow / peak);
    }
}

//==============================================================================
void PellmixExportBlock::colourSettingChanged (int colourIndex)
{
    if (colourIndex == 1 || colourIndex == 7)
        repaint();
}

void PellmixExportBlock::resized()
{
    timeLabel->setBounds (30, 170, 150, 70);
    freqLabel->setBounds (407, 170, 150, 70);
    phaseLabel->setBounds (784, 170, 150, 70);
}

void PellmixExportBlock::drawGrid (juce::Graphics& g, float left, float right, float x0,
                                   bool frequencyLines) const
{
    const int h = background.getHeight();
    for (int k = 1; k <= 3; ++k)
    {
        const float y = gridRowY (k, h);
        g.drawLine (left, y, right, y);
    }
    if (!frequencyLines)
        return;

    auto line = [&] (float log10Frequency)
    {
        const float x = frequencyLineX (log10Frequency, x0);
        g.drawLine (x, 11.0f, x, (float)(h - 11));
    };
    for (int exponent = 2; exponent <= 4; ++exponent)
        line ((float)exponent);
    for (float decade : {10.0f, 100.0f, 1000.0f})
        for (int m = 3; m <= 9; ++m)
            line (std::log10 ((float)m * decade));
}

void PellmixExportBlock::paint (juce::Graphics& g)
{
    auto* config = PellmixConfig::getInstance();
    g.drawImageAt (background, 0, 0);

    // Time plot: zero at y = 90, the peak (40 units) 72 pixels away.
    g.setColour (config->gridColour);
    drawGrid (g, 77.0f, 378.0f, 0.0f, false);
    g.setColour (config->outputColour);
    auto timeY = [this] (int i) { return 90.0f - 1.8f * timePoints[i]; };
    g.drawLine (77.0f, 90.0f, 78.0f, timeY (0), 1.0f);
    for (int i = 0; i < numPoints - 1; ++i)
        g.drawLine ((float)(78 + i), timeY (i), (float)(79 + i), timeY (i + 1), 1.0f);

    // Magnitude plot: 0 dB 10 pixels above the top edge, 1.8 pixels per dB.
    g.setColour (config->gridColour);
    drawGrid (g, 455.0f, 756.0f, 455.0f, true);
    g.setColour (config->outputColour);
    auto magnitudeY = [this] (int i) { return (float)(-10.0 - 1.8 * (double)magnitudePoints[i]); };
    for (int i = 0; i < numPoints - 1; ++i)
        g.drawLine ((float)(456 + i), magnitudeY (i), (float)(457 + i), magnitudeY (i + 1), 1.0f);

    // Phase plot: zero at y = 90, one radian (8 units) is 20 pixels.
    g.setColour (config->gridColour);
    drawGrid (g, 833.0f, 1134.0f, 833.0f, true);
    g.setColour (config->outputColour);
    auto phaseY = [this] (int i) { return 90.0f - 2.5f * phasePoints[i]; };
    g.drawLine (833.0f, 90.0f, 834.0f, phaseY (0), 1.0f);
    for (int i = 0; i < numPoints - 1; ++i)
        g.drawLine ((float)(834 + i), phaseY (i), (float)(835 + i), phaseY (i + 1), 1.0f);
}
