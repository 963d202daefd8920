#include "engine/PellmixSpectrum.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
constexpr float floorDb = -96.0f;
constexpr int freshBit = 4; // set in middleSlot while it holds a window the reader has not taken
constexpr int maxFftSize = 1 << 30;

int roundUpToPowerOfTwo (int request)
{
    int n = 1;
    while (n < request && n < maxFftSize)
        n <<= 1;
    return n;
}

float toDb (float magnitude)
{
    return magnitude == 0.0f ? floorDb : 20.0f * std::log10 (magnitude);
}
} // namespace

std::atomic<float> PellmixSpectrum::runningMaxDb{floorDb};

PellmixSpectrum::PellmixSpectrum()
    : attack (std::exp (-31.415928f))
    , release (std::exp (-0.12566371f))
{
}

PellmixSpectrum::~PellmixSpectrum() = default;

void PellmixSpectrum::prepare (int requestedFftSize, int numDisplayPoints, double rate)
{
    const int n = roundUpToPowerOfTwo (requestedFftSize);
    const int points = std::max (0, numDisplayPoints);

    if (n != fftSize || points != numPoints)
    {
        const auto size = static_cast<std::size_t> (n);
        const auto bins = size / 2 + 1;
        const auto numP = static_cast<std::size_t> (points);
        input.assign (size, 0.0f);
        spectrum.assign (size, 0.0f);
        snapshots.assign (3 * size, 0.0f);
        magnitudesDb.assign (numP, floorDb);
        previous.assign (numP, floorDb);
        phases.assign (numP, 0.0f);
        frequencies.assign (numP, 0.0f);
        binDb.assign (bins, floorDb);
        binPhase.assign (bins, 0.0f);
        fft = std::make_unique<FFTReal<float>> (n);
        fftSize = n;
        numPoints = points;
    }

    // Always recomputed: the points depend on the rate, and bins are looked up from them.
    sampleRate = rate;
    computeFrequencies();
    clear();
}

void PellmixSpectrum::computeFrequencies()
{
    if (numPoints <= 0)
        return;
    const double range = sampleRate > 20000.0 ? 3.0 : std::log10 (sampleRate / 20.0);
    const double step = numPoints > 1 ? range / (numPoints - 1) : 0.0;
    for (int i = 0; i < numPoints; ++i)
        frequencies[static_cast<std::size_t> (i)] = static_cast<float> (std::pow (10.0, 1.30103 + i * step));
}

void PellmixSpectrum::clear()
{
    if (fftSize > 0)
    {
        std::fill (input.begin(), input.end(), 0.0f);
        std::fill (snapshots.begin(), snapshots.end(), 0.0f);
        writeSlot = 0;
        readSlot = 1;
        middleSlot.store (2, std::memory_order_release);
    }
    if (numPoints > 0)
    {
        std::fill (magnitudesDb.begin(), magnitudesDb.end(), floorDb);
        std::fill (previous.begin(), previous.end(), floorDb);
        std::fill (phases.begin(), phases.end(), 0.0f);
    }
}

void PellmixSpectrum::pushSamples (const float* samples, int count)
{
    const int n = fftSize;
    if (n <= 0 || count <= 0)
        return;
    float* window = input.data();
    if (n > count)
    {
        std::memmove (window, window + count, static_cast<std::size_t> (n - count) * sizeof (float));
        std::memcpy (window + (n - count), samples, static_cast<std::size_t> (count) * sizeof (float));
    }
    else
    {
        std::memcpy (window, samples + (count - n), static_cast<std::size_t> (n) * sizeof (float));
    }
    publishWindow();
}

void PellmixSpectrum::publishWindow()
{
    const auto size = static_cast<std::size_t> (fftSize);
    std::memcpy (snapshots.data() + static_cast<std::size_t> (writeSlot) * size, input.data(),
                 size * sizeof (float));
    const int old = middleSlot.exchange (writeSlot | freshBit, std::memory_order_acq_rel);
    writeSlot = old & 3;
}

const float* PellmixSpectrum::latestWindow()
{
    if ((middleSlot.load (std::memory_order_relaxed) & freshBit) != 0)
        readSlot = middleSlot.exchange (readSlot, std::memory_order_acq_rel) & 3;
    return snapshots.data() + static_cast<std::size_t> (readSlot) * static_cast<std::size_t> (fftSize);
}

void PellmixSpectrum::analyse()
{
    if (fftSize <= 0)
        return;
    const float* window = latestWindow();
    computeBins (window);
    if (numPoints <= 0)
        return;
    interpolate();
    normalise (window);
}

void PellmixSpectrum::computeBins (const float* window)
{
    const int n = fftSize;
    const int half = n / 2;
    std::fill (spectrum.begin(), spectrum.end(), 0.0f);
    if (std::any_of (window, window + n, [] (float s) { return s != 0.0f; }))
        fft->forwardTransform (spectrum.data(), window);

    const auto scale = static_cast<float> (1.0 / std::sqrt (static_cast<double> (n)));
    for (float& value : spectrum)
        value *= scale;

    const auto at = [] (int k) { return static_cast<std::size_t> (k); };
    binDb[0] = toDb (std::fabs (spectrum[0]));
    binDb[at (half)] = toDb (std::fabs (spectrum[at (half)]));
    binPhase[0] = 0.0f;
    binPhase[at (half)] = 0.0f;
    for (int k = 1; k < half; ++k)
    {
        const float re = spectrum[at (k)];
        const float v = spectrum[at (half + k)];
        const float m = std::sqrt (re * re + v * v);
        binDb[at (k)] = toDb (m);
        binPhase[at (k)] = m == 0.0f ? 0.0f : -std::atan2 (v, re);
    }
}

// Linear interpolation between the two bins around each display frequency. Points at or above
// the Nyquist frequency take the Nyquist bin's values.
void PellmixSpectrum::interpolate()
{
    const int half = fftSize / 2;
    for (std::size_t i = 0; i < static_cast<std::size_t> (numPoints); ++i)
    {
        const float product = frequencies[i] * static_cast<float> (fftSize);
        const auto x = static_cast<float> (static_cast<double> (product) / sampleRate);
        float value, phase;
        if (!(x < static_cast<float> (half)))
        {
            value = binDb[static_cast<std::size_t> (half)];
            phase = binPhase[static_cast<std::size_t> (half)];
        }
        else
        {
            const float j = std::floor (x);
            const float f = x - j;
            const auto lo = static_cast<std::size_t> (j);
            value = binDb[lo] * (1.0f - f) + binDb[lo + 1] * f;
            phase = (1.0f - f) * binPhase[lo] + f * binPhase[lo + 1];
        }
        magnitudesDb[i] = value;
        phases[i] = phase;
    }
}

void PellmixSpectrum::normalise (const float* window)
{
    if (!smoothing)
    {
        const float peak = std::max (floorDb, *std::max_element (magnitudesDb.begin(), magnitudesDb.end()));
        if (peak > floorDb)
            for (float& value : magnitudesDb)
                value -= peak + 20.0f;
        return;
    }

    for (std::size_t i = 0; i < magnitudesDb.size(); ++i)
    {
        const float p = previous[i];
        const float v = magnitudesDb[i];
        const float c = v > p ? attack : release;
        const float y = p * c + (1.0f - c) * v;
        magnitudesDb[i] = previous[i] = y;
    }

    // A window starting with silence (two zero samples, or one for a one-sample window) restarts
    // the shared level and leaves this analysis unnormalised.
    const bool startsSilent = window[0] == 0.0f && (fftSize < 2 || window[1] == 0.0f);
    if (startsSilent)
    {
        runningMaxDb.store (floorDb, std::memory_order_relaxed);
        return;
    }
    const float level = std::max (runningMaxDb.load (std::memory_order_relaxed),
                                  *std::max_element (magnitudesDb.begin(), magnitudesDb.end()));
    runningMaxDb.store (level, std::memory_order_relaxed);
    if (level > floorDb)
        for (float& value : magnitudesDb)
            value -= level;
}
