#include "engine/PellmixIrSum.h"

#include "engine/PellmixVirFile.h"

#include <algorithm>
#include <cmath>

PellmixIrSum::PellmixIrSum()
{
    for (auto& band : bands)
        band.assign ((size_t)length, 0.0f);
}

void PellmixIrSum::sumActiveSlots (const juce::OwnedArray<PellmixIrSlot>& slots)
{
    const int newLength = slots.isEmpty() ? 0 : sumLength;
    length = newLength;
    for (auto& band : bands)
        band.assign ((size_t)length, 0.0f);

    for (auto* slot : slots)
    {
        if (!slot->active)
            continue;
        for (int b = 0; b < numBands; ++b)
        {
            const float* work = slot->getWorkBuffer (b);
            float* sum = bands[(size_t)b].data();
            const int n = std::min (length, PellmixIrSlot::workLength);
            for (int i = 0; i < n; ++i)
                sum[i] += work[i];
        }
    }
    analysisValid = false;
    changedTime = juce::Time::getCurrentTime();
}

void PellmixIrSum::normalise()
{
    for (auto& band : bands)
    {
        float energy = 0.0f;
        for (int i = 0; i < length; ++i)
            energy += band[(size_t)i] * band[(size_t)i];
        if (energy > 0.0f)
        {
            const auto scale = (float)(1.0 / std::sqrt ((double)energy));
            for (int i = 0; i < length; ++i)
                band[(size_t)i] *= scale;
        }
    }
    analysisValid = false;
    analysedTime = changedTime = juce::Time::getCurrentTime();
}

void PellmixIrSum::applyEq (const float* gains, bool updateGains)
{
    if (updateGains && gains != nullptr)
        for (int i = 0; i < eqBank.getNumBands(); ++i)
            eqBank.setBandValue (i, (gains[i] + 12.0f) / 24.0f);

    for (auto& band : bands)
    {
        eqBank.resetAndEnable();
        eqBank.process (band.data(), length);
    }
    analysisValid = false;
    changedTime = juce::Time::getCurrentTime();
}

void PellmixIrSum::clear()
{
    for (auto& band : bands)
        std::fill (band.begin(), band.end(), 0.0f);
    analyser.clear();
    analysisValid = false;
    analysedTime = changedTime = juce::Time::getCurrentTime();
}

bool PellmixIrSum::isFinite() const
{
    return std::all_of (
        bands.begin(), bands.end(),
        [] (const std::vector<float>& band)
        { return std::all_of (band.begin(), band.end(), [] (float v) { return std::isfinite (v); }); });
}

void PellmixIrSum::analyse()
{
    analyser.clear();
    analyser.pushSamples (bands[0].data(), std::min (length, PellmixIrSlot::analysedLength));
    analyser.analyse();
    analysedTime = juce::Time::getCurrentTime();
    analysisValid = true;
}

bool PellmixIrSum::writeVirFile (const juce::File& file) const
{
    const float* const pointers[numBands] = {bands[0].data(), bands[1].data(), bands[2].data()};
    return PellmixVir::writeVirFile (file, pointers, length);
}
