#include "engine/PellmixEqFilterBank.h"

#include <cmath>

namespace
{
constexpr float broadQ = 0.98994946f;

const float isoOctaves[] = {20, 40, 80, 160, 315, 630, 1250, 2500, 5000, 10000, 20000};
const float isoThirdOctaves[] = {20,   25,   31.5f, 40,   50,   63,    80,    100,   125,  160,  200,
                                 250,  315,  400,   500,  630,  800,   1000,  1250,  1600, 2000, 2500,
                                 3150, 4000, 5000,  6300, 8000, 10000, 12500, 16000, 20000};

// Band i of n from 20 Hz to 20 kHz, in equal steps or equal ratios. One band sits at 20 Hz.
float spreadFrequency (int i, int n, bool linear)
{
    if (n < 2)
        return 20.0f;
    if (linear)
        return static_cast<float> (i) * 19980.0f / static_cast<float> (n - 1) + 20.0f;
    const float range = std::log10 (20000.0f) - std::log10 (20.0f);
    return 20.0f * std::pow (10.0f, static_cast<float> (i) * range / static_cast<float> (n - 1));
}

// Q of a third-octave band at frequency f.
float thirdOctaveQ (float f, double rate)
{
    const float w = 2.0f * f * 3.1415927f / static_cast<float> (rate);
    const float k = 0.6931472f * 0.5f * 0.33333334f;
    return 0.5f / std::sinh (k * w / std::sin (w));
}

// Broad constant Q within the inner half of the gain range; beyond it, from the mean of the
// constant and the band Q to the band Q at the ends, along a cubic weight.
float qForValue (float value, float bandQValue)
{
    const float a = 2.0f * std::abs (value - 0.5f);
    if (a <= 0.5f)
        return broadQ;
    const float w = (2.0f * a - 1.0f) * (2.0f * a - 1.0f) * (2.0f * a - 1.0f);
    const float m = 0.5f * w + 0.5f;
    const float oneMinusM = 1.0f - m;
    const float bandPart = bandQValue * m;
    return static_cast<float> (static_cast<double> (oneMinusM) * 0.9899494768024271 +
                               static_cast<double> (bandPart));
}

} // namespace

// The same design as juce::IIRCoefficients::makePeakFilter, kept in double precision.
void PellmixEqFilterBank::Biquad::setPeak (double rate, double frequency, double q, double gainFactor)
{
    const double a = std::sqrt (juce::jmax (0.0, gainFactor));
    const double omega = juce::MathConstants<double>::twoPi * juce::jmax (frequency, 2.0) / rate;
    const double alpha = 0.5 * std::sin (omega) / q;
    const double c2 = -2.0 * std::cos (omega);
    const double a0 = 1.0 + alpha / a;
    b0 = (1.0 + alpha * a) / a0;
    b1 = c2 / a0;
    b2 = (1.0 - alpha * a) / a0;
    a1 = c2 / a0;
    a2 = (1.0 - alpha / a) / a0;
}

void PellmixEqFilterBank::Biquad::process (float* buffer, int numSamples)
{
    // Transposed direct form II, as the framework's filter runs it.
    for (int i = 0; i < numSamples; ++i)
    {
        const double in = buffer[i];
        const double out = b0 * in + s1;
        s1 = b1 * in - a1 * out + s2;
        s2 = b2 * in - a2 * out;
        buffer[i] = static_cast<float> (out);
    }
    if (std::abs (s1) < 1.0e-30)
        s1 = 0.0;
    if (std::abs (s2) < 1.0e-30)
        s2 = 0.0;
}

void PellmixEqFilterBank::setup (int numBands, float rangeDb, double rate, int frequencyMode, int qMode)
{
    const juce::ScopedLock sl (lock);
    const int n = juce::jmax (numBands, 0);
    sampleRate = rate;
    values.clear();
    values.insertMultiple (0, 0.5f, n);
    gainRangeDb = rangeDb;

    frequencies.clear();
    for (int i = 0; i < n; ++i)
    {
        if (frequencyMode == 0 || frequencyMode == 1)
            frequencies.add (spreadFrequency (i, n, frequencyMode == 1));
        else if (n == 11)
            frequencies.add (isoOctaves[i]);
        else if (n == 31)
            frequencies.add (isoThirdOctaves[i]);
        else
            frequencies.add (spreadFrequency (i, n, false));
    }

    bandQ.clear();
    for (int i = 0; i < n; ++i)
        bandQ.add (qMode == 1 ? thirdOctaveQ (frequencies[i], rate) : broadQ);

    filters.assign (static_cast<size_t> (n), {});
    for (int i = 0; i < n; ++i)
        filters[static_cast<size_t> (i)].setPeak (sampleRate, frequencies[i], bandQ[i], 1.0);
}

void PellmixEqFilterBank::setBandValue (int band, float value)
{
    const juce::ScopedLock sl (lock);
    if (!juce::isPositiveAndBelow (band, static_cast<int> (filters.size())))
        return;
    values.set (band, value);
    const float gain = std::pow (10.0f, 2.0f * (value - 0.5f) * gainRangeDb / 20.0f);
    const float q = qForValue (value, bandQ[band]);
    filters[static_cast<size_t> (band)].setPeak (sampleRate, frequencies[band], q, gain);
}

void PellmixEqFilterBank::resetAndEnable()
{
    for (auto& f : filters)
        f.reset();
    ready = true;
}

void PellmixEqFilterBank::process (float* buffer, int numSamples)
{
    const juce::ScopedLock sl (lock);
    if (!ready)
        return;
    for (auto& f : filters)
        f.process (buffer, numSamples);
}
