#include "engine/PellmixConvolver.h"

#include "engine/PellmixPackedSpectrum.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
// IR length at the device rate: floor (irLength * rate / 96000).
int lengthAtRate (int irLength, double rate)
{
    return std::max (0, (int)std::floor ((double)irLength * rate / PellmixConvolver::irRate));
}

// The smallest power of two that is at least `size` (and at least 1).
int powerOfTwoAtLeast (int size)
{
    int n = 1;
    while (n < size)
        n *= 2;
    return n;
}

juce::int64 nowMs()
{
    return pellmixWallClockMs();
}
} // namespace

PellmixConvolver::PellmixConvolver()
{
    inputAnalyser.smoothing = true;
    outputAnalyser.smoothing = true;
}

void PellmixConvolver::setup (const float* ir, int irLength, int blockSize, double rate)
{
    if (!(rate > 0.0) || !std::isfinite (rate))
    {
        // No usable rate: nothing is convolved, so the engine passes the signal through rather
        // than running with the sizes and scale of an earlier rate.
        fftSize = 0;
        maxBlockSize = 0;
        return;
    }

    blockSize = std::max (1, blockSize);
    irLength = std::max (0, irLength);
    const int l = lengthAtRate (irLength, rate);
    const int n = powerOfTwoAtLeast (blockSize + l - 1);
    maxBlockSize = blockSize;

    bool newRate = rate != sampleRate || irLength != maxIrLength;
    if (n != fftSize)
    {
        fftSize = n;
        fft = std::make_unique<FFTReal<float>> (n);
        irFft = std::make_unique<FFTReal<float>> (n);
        for (auto* buffer : {&blockBuffer, &blockSpectrum, &irBuffer, &irSpectrum, &productSpectrum, &overlap,
                             &spareSpectrum})
            buffer->assign ((size_t)n, 0.0f);
        newRate = true;
    }

    if (newRate)
    {
        sampleRate = rate;
        maxIrLength = irLength;
        resamplerInputLength = irLength;
        irLengthAtRate = l;
        outputScale = (float)(44100.0 / rate);
        resampler.setup (irRate, rate, irLength, l);
    }

    loadIr (ir, irLength);
    std::fill (overlap.begin(), overlap.end(), 0.0f);
    dropTail = false;
}

void PellmixConvolver::loadIr (const float* ir, int irLength)
{
    if (prepareIr (ir, irLength))
        commitIr();
}

bool PellmixConvolver::prepareIr (const float* ir, int irLength)
{
    if (ir == nullptr || fftSize == 0 || irFft == nullptr)
        return false;

    irLength = std::clamp (irLength, 0, maxIrLength);
    const int l = std::min (lengthAtRate (irLength, sampleRate), fftSize);
    std::fill (irBuffer.begin(), irBuffer.end(), 0.0f);

    if (sampleRate == irRate)
    {
        std::copy (ir, ir + l, irBuffer.begin());
    }
    else if (l > 0)
    {
        if (irLength != resamplerInputLength)
        {
            resampler.setup (irRate, sampleRate, irLength, l);
            resamplerInputLength = irLength;
        }
        resampler.reset();
        resampler.process (ir, irBuffer.data());
    }

    irLengthAtRate = l;
    irFft->forwardTransform (spareSpectrum.data(), irBuffer.data());
    sparePrepared = true;
    return true;
}

bool PellmixConvolver::copyPreparedIr (const PellmixConvolver& other)
{
    if (!other.sparePrepared || other.fftSize != fftSize || fftSize == 0)
        return false;
    std::copy (other.spareSpectrum.begin(), other.spareSpectrum.end(), spareSpectrum.begin());
    irLengthAtRate = other.irLengthAtRate;
    sparePrepared = true;
    return true;
}

void PellmixConvolver::commitIr()
{
    if (!sparePrepared)
        return;
    irSpectrum.swap (spareSpectrum);
    sparePrepared = false;
    dropTail = true;
}

// y = blockBuffer / N plus the tail of the earlier blocks: y[0 .. n - 1] (scaled by 44100 / rate)
// is the output and y[n .. N - 1] the next tail, which moves to the front of `overlap`; the tail
// holds N - n samples, and the rest is zeroed so that a later, shorter block adds nothing stale.
// One pass each over the output, the tail and the rest.
void PellmixConvolver::overlapAdd (float* out, int n)
{
    const auto inverseScale = (float)(1.0 / (double)fftSize);
    const int m = fftSize - n;
    const float* y = blockBuffer.data();
    float* tail = overlap.data();

    const int added = std::min (m, n);
    for (int i = 0; i < added; ++i)
        out[i] = (y[i] * inverseScale + tail[i]) * outputScale;
    for (int i = added; i < n; ++i)
        out[i] = (y[i] * inverseScale) * outputScale;
    // tail[i - n] is written after tail[i - n] was read, and before tail[i] is.
    const int carried = std::max (m, n);
    for (int i = n; i < carried; ++i)
        tail[i - n] = y[i] * inverseScale + tail[i];
    for (int i = carried; i < fftSize; ++i)
        tail[i - n] = y[i] * inverseScale;
    std::fill (tail + m, tail + fftSize, 0.0f);
}

void PellmixConvolver::process (const float* in, float* out, int n, bool enabled)
{
    if (fftSize == 0 || n <= 0)
        return;
    n = std::min (n, maxBlockSize);

    if (dropTail)
    {
        std::fill (overlap.begin(), overlap.end(), 0.0f);
        dropTail = false;
    }

    inputAnalyser.pushSamples (in, n);

    if (!enabled)
    {
        outputAnalyser.pushSamples (in, n);
    }
    else
    {
        std::copy (in, in + n, blockBuffer.begin());
        std::fill (blockBuffer.begin() + n, blockBuffer.end(), 0.0f);
        fft->forwardTransform (blockSpectrum.data(), blockBuffer.data());
        multiplyPackedSpectra (blockSpectrum.data(), irSpectrum.data(), productSpectrum.data(), fftSize);
        fft->inverseTransform (productSpectrum.data(), blockBuffer.data());

        overlapAdd (out, n);
        outputAnalyser.pushSamples (out, n);
    }

    analysisValid = false;
    changedMs = nowMs();
}

void PellmixConvolver::reset()
{
    std::fill (overlap.begin(), overlap.end(), 0.0f);
    dropTail = false;
    inputAnalyser.clear();
    outputAnalyser.clear();
}

void PellmixConvolver::prepareSpectrum (int requestedFftSize, int numPoints, double rate)
{
    inputAnalyser.prepare (requestedFftSize, numPoints, rate);
    inputAnalyser.clear();
    outputAnalyser.prepare (requestedFftSize, numPoints, rate);
    outputAnalyser.clear();
}

void PellmixConvolver::analyse()
{
    inputAnalyser.analyse();
    outputAnalyser.analyse();
    analysedMs = nowMs();
    analysisValid = true;
}
