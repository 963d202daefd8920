#pragma once
// Graphic-equaliser filter bank: one second-order peak filter per band, run one after the other
// over a buffer in place.
//
// A band's value (0 to 1, 0.5 flat) sets its gain, (2 v - 1) * gainRangeDb dB, and its Q: a broad
// constant Q within the inner half of the gain range, moving towards the band's own Q (bandQ)
// at the ends of the range.
//
// Threading: setup(), setBandValue() and process() hold the bank's own lock for their whole work;
// resetAndEnable() and getNumBands() take none. process() allocates nothing.
#include <juce_audio_basics/juce_audio_basics.h>
#include <vector>

class PellmixEqFilterBank
{
public:
    PellmixEqFilterBank() = default;

    // n bands; frequencyMode 0 logarithmic, 1 linear (both 20 Hz to 20 kHz), other: ISO octave
    // (n = 11) or third-octave (n = 31) centres, else logarithmic. qMode 1: third-octave Q per
    // band; other: a constant Q.
    void setup (int numBands, float rangeDb, double rate, int frequencyMode, int qMode);

    void setBandValue (int band, float value);
    int getNumBands() const { return frequencies.size(); }

    // Clears every filter's state and enables processing (a new bank does not process).
    void resetAndEnable();

    // Runs every band's filter over buffer[0 .. numSamples), band 0 first.
    void process (float* buffer, int numSamples);

    // A band's centre frequency in Hz and its Q at full boost or cut.
    float getFrequency (int band) const { return frequencies[band]; }
    float getBandQ (int band) const { return bandQ[band]; }

private:
    // One peak band: the framework's peak-filter design, run in double precision. Single-
    // precision coefficients put the poles of the lowest bands (within 1e-3 of the unit circle
    // at 96 kHz) far enough off to miss their gain by more than a dB.
    struct Biquad
    {
        void setPeak (double rate, double frequency, double q, double gainFactor);
        void reset() { s1 = s2 = 0.0; }
        void process (float* buffer, int numSamples);
        double b0 = 1.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;
        double s1 = 0.0, s2 = 0.0;
    };

    juce::CriticalSection lock;
    bool ready = false;
    std::vector<Biquad> filters;
    juce::Array<float> frequencies;
    juce::Array<float> values;
    juce::Array<float> bandQ;
    float gainRangeDb = 0.0f;
    double sampleRate = 0.0;

    JUCE_DECLARE_NON_COPYABLE (PellmixEqFilterBank)
};
