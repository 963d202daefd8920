#pragma once
// The blend sum: the shaped bands of the active slots added together, each band normalised to
// unit energy, optionally run through the 31-band graphic EQ, plus its spectrum analyser and
// the times of its last change and analysis.
//
// Threading: message thread only (the engine serialises blends and device starts around it);
// the audio thread never touches the sum. The EQ bank takes its own lock.
#include "engine/PellmixEqFilterBank.h"
#include "engine/PellmixIrSlot.h"
#include "engine/PellmixSpectrum.h"

#include <juce_core/juce_core.h>

#include <array>
#include <vector>

class PellmixIrSum
{
public:
    static constexpr int numBands = 3;
    static constexpr int sumLength = PellmixIrSlot::workLength;

    PellmixIrSum();

    // Zeroes the bands and adds the working buffers of every active slot.
    void sumActiveSlots (const juce::OwnedArray<PellmixIrSlot>& slots);
    // Scales each band to unit energy (a silent band stays silent).
    void normalise();
    // With updateGains, band i of the bank takes (gains[i] + 12) / 24 first; then each band is
    // filtered from a clean filter state.
    void applyEq (const float* gains, bool updateGains);
    void clear();
    // True when every sample of every band is finite.
    bool isFinite() const;
    // Analyses the first 1792 samples of band 0.
    void analyse();
    // Writes the three bands as a spectral vir file; false when the file could not be written.
    bool writeVirFile (const juce::File& file) const;

    std::array<std::vector<float>, numBands> bands;
    int length = sumLength;
    PellmixEqFilterBank eqBank;
    PellmixSpectrum analyser;
    bool analysisValid = false;
    juce::Time analysedTime;
    juce::Time changedTime;
};
