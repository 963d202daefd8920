#pragma once
// One IR slot of the blend engine: the loaded file (PellmixIrData), three working buffers of
// 2048 samples shaped from its bands by window, fractional delay and gain, a spectrum analyser of
// working buffer 0, and the times of the last change and the last analysis.
//
// The working buffers exist, zeroed, from construction, so a slot never reads or writes through
// absent buffers; shaping an empty IR leaves them zero.
//
// Threading: everything runs on the message thread without locks, except readFile (see there) and
// that the audio thread may read `active` and `length` (both atomic). Loading and
// allocateWorkBuffers allocate; the shaping steps and analyse do not.
#include "engine/PellmixIrData.h"
#include "engine/PellmixSpectrum.h"

#include <juce_core/juce_core.h>

class PellmixIrSlot : public PellmixIrData
{
public:
    static constexpr int workLength = 2048;
    static constexpr int analysedLength = 1792; // samples of working buffer 0 the analyser sees

    PellmixIrSlot();

    // Reads a ".wav", ".aif", ".aiff" or ".vir" file (extension in any letter case) and converts
    // it to targetRate. False, with the slot unchanged, when the file is missing, its extension
    // or content is not accepted, or it cannot be read whole.
    bool loadFile (const juce::File& file, double targetRate);
    // The two halves of loadFile: readFile reads and converts the file into `out` and changes
    // nothing of the slot (it uses only the slot's reader FFT and resampler, so it may run on a
    // worker thread while the message thread leaves this slot alone); take() then puts a read
    // that succeeded into the slot, with targetRate as its rate.
    bool readFile (const juce::File& file, double targetRate, Loaded& out);

    // New zeroed working buffers of workLength samples.
    void allocateWorkBuffers();

    // Copies a window of the bands into the working buffers: at most `windowLength` samples
    // (negative counts as 1, capped at 2048), starting `offset` samples into the IR; a negative
    // offset puts that many leading zeros first, inside the window.
    void setWindow (int windowLength, int offset);
    // Fractional delay of phase * 0.3168 samples (phase 0 to 100) by a Thiran all-pass.
    void setPhase (float phase);
    // Normalises each working buffer to its own peak, then applies the gain in dB.
    void setGain (float gainDb);

    // Zeroes the working buffers and deactivates the slot; the bands stay.
    void clear();
    void setActive (bool shouldBeActive);
    // Analyses the first analysedLength samples of working buffer 0.
    void analyse();

    int getLength() const { return length; }
    float* getWorkBuffer (int band) { return work[(size_t)band].data(); }
    const float* getWorkBuffer (int band) const { return work[(size_t)band].data(); }

    float allpassState[2] = {0.0f, 0.0f};
    Bands work;
    std::atomic<bool> active{true};
    PellmixSpectrum analyser;
    bool analysisValid = false;
    juce::Time analysedTime;
    juce::Time changedTime;

private:
    void markChanged();
    void firstOrderAllpass (float* x, float a);
    void secondOrderAllpass (float* x, float a1, float a2);
};
