#include "engine/PellmixIrSlot.h"

#include "engine/PellmixVirFile.h"

#include <algorithm>
#include <cmath>

namespace
{
// Below this the all-pass output is flushed to zero, keeping denormals out of the tail.
constexpr float flushLevel = 1e-8f;

float flush (float y)
{
    return std::abs (y) < flushLevel ? 0.0f : y;
}
} // namespace

PellmixIrSlot::PellmixIrSlot()
{
    allocateWorkBuffers();
}

bool PellmixIrSlot::loadFile (const juce::File& file, double targetRate)
{
    Loaded loaded;
    if (!readFile (file, targetRate, loaded))
        return false;
    take (loaded, targetRate);
    return true;
}

bool PellmixIrSlot::readFile (const juce::File& file, double targetRate, Loaded& loaded)
{
    if (!file.existsAsFile() || !std::isfinite (targetRate) || targetRate <= 0.0)
        return false;

    const auto extension = file.getFileExtension().toLowerCase();
    const bool isAudio = extension == ".wav" || extension == ".aif" || extension == ".aiff";
    const bool isVir = extension == ".vir";
    if (!isAudio && !isVir)
        return false;

    double fileRate = 0.0;
    if (isAudio)
    {
        if (!readAudioFile (file, loaded, fileRate))
            return false;
    }
    else
    {
        fileRate = PellmixVir::sampleRate;
        if (!readVirFile (file, loaded))
            return false;
    }

    const int newLength = (int)std::floor ((double)loaded.length * targetRate / fileRate);
    resampleBands (loaded, fileRate, targetRate, loaded.length, newLength);
    for (const auto& band : loaded.bands)
        if (!std::all_of (band.begin(), band.end(), [] (float v) { return std::isfinite (v); }))
            return false;
    return true;
}

void PellmixIrSlot::allocateWorkBuffers()
{
    for (auto& buffer : work)
        buffer.assign ((size_t)workLength, 0.0f);
}

void PellmixIrSlot::setWindow (int windowLength, int offset)
{
    for (auto& buffer : work)
        std::fill (buffer.begin(), buffer.end(), 0.0f);

    const int len = length;
    const int windowSize = windowLength < 0 ? 1 : std::min (windowLength, workLength);
    const int o = std::max (std::min (offset, len - 1), 1 - workLength);
    const int k = o < 0 ? -o : 0; // leading zeros
    const int s = o < 0 ? 0 : o;
    const int a = s >= len ? len - 1 : s;
    const int e = std::min (s + windowSize - k, len);
    // The window holds at most windowSize samples, leading zeros included.
    const int count = std::min (e - a, windowSize - k);

    if (len > 0 && count > 0)
        for (int b = 0; b < numBands; ++b)
            std::copy_n (bands[(size_t)b].begin() + a, count, work[(size_t)b].begin() + k);
    markChanged();
}

void PellmixIrSlot::setPhase (float phase)
{
    const float d = phase * 32.0f / 100.0f * 0.99f;
    for (auto& buffer : work)
    {
        allpassState[0] = allpassState[1] = 0.0f;
        if (d < 2.0f)
            firstOrderAllpass (buffer.data(), (1.0f - d) / (1.0f + d));
        else
            secondOrderAllpass (buffer.data(), -2.0f * (d - 2.0f) / (d + 1.0f),
                                (d - 1.0f) * (d - 2.0f) / (d + 1.0f) / (d + 2.0f));
    }
    markChanged();
}

void PellmixIrSlot::firstOrderAllpass (float* x, float a)
{
    float& s = allpassState[0];
    for (int n = 0; n < workLength; ++n)
    {
        const float y = flush (a * x[n] + s);
        s = x[n] - a * y;
        x[n] = y;
    }
}

void PellmixIrSlot::secondOrderAllpass (float* x, float a1, float a2)
{
    float& s1 = allpassState[0];
    float& s2 = allpassState[1];
    for (int n = 0; n < workLength; ++n)
    {
        const float y = flush (a2 * x[n] + s1);
        s1 = a1 * x[n] + s2 - a1 * y;
        s2 = x[n] - a2 * y;
        x[n] = y;
    }
}

void PellmixIrSlot::setGain (float gainDb)
{
    const float g = std::pow (10.0f, gainDb / 20.0f);
    for (auto& buffer : work)
    {
        float peak = 0.0f;
        for (const float v : buffer)
            peak = std::max (peak, std::abs (v));
        if (peak == 0.0f)
            peak = 1.0f;
        const float scale = g / peak;
        for (auto& v : buffer)
            v *= scale;
    }
    markChanged();
}

void PellmixIrSlot::clear()
{
    for (auto& buffer : work)
        std::fill (buffer.begin(), buffer.end(), 0.0f);
    setActive (false);
}

void PellmixIrSlot::setActive (bool shouldBeActive)
{
    active = shouldBeActive;
    markChanged();
}

void PellmixIrSlot::analyse()
{
    analyser.clear();
    analyser.pushSamples (work[0].data(), analysedLength);
    analyser.analyse();
    analysedTime = juce::Time::getCurrentTime();
    analysisValid = true;
}

void PellmixIrSlot::markChanged()
{
    analysisValid = false;
    changedTime = juce::Time::getCurrentTime();
}
