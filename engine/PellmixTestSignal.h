#pragma once
// The capture test signals: a steady sine (the level-setting tone) and an exponential sine sweep
// from 20 Hz over a frequency ratio of 1000, with the sweep's inverse filter, and the writer that
// puts them into the temporary folder as "sinustest.wav", "sinus.wav" and "inverse.raw".
//
// Threading: a plain object used by one thread at a time (the capture window fills and writes it
// on the message thread). Files written here are read by other threads only after writeFile has
// returned.
#include <juce_audio_formats/juce_audio_formats.h>

#include <vector>

class PellmixTestSignal
{
public:
    PellmixTestSignal() = default;
    ~PellmixTestSignal() = default;

    // n samples of a sine of `frequency` Hz at 0.7071 of full scale, starting at 0. The inverse
    // filter is a copy of the tone.
    void makeSine (int rate, int n, double frequency);

    // An exponential sweep of N samples from 20 Hz to 20000 Hz with quadratic fades over its first
    // and last F samples, and its inverse filter: the sweep reversed, weighted by about -6 dB per
    // octave and faded in the same way.
    void makeSweep (int rate, int N, int F);

    // Writes `inverse` (kind 2) or `signal` (any other kind) as "sinustest." (kind 1),
    // "inverse." (kind 2) or "sinus." (other kinds) followed by "raw" (headerless little-endian
    // 32-bit floats) or "wav" (mono 32-bit float WAV at sampleRate). count samples are written;
    // samples beyond the made signal are 0. Returns false, and leaves no partial file, when the
    // file cannot be written whole.
    bool writeFile (const juce::File& folder, int kind, bool raw, int count) const;

    // The file name writeFile uses for a kind and format.
    static juce::String fileName (int kind, bool raw);

    int sampleRate = 0;
    int bits = 0;
    std::vector<float> signal;  // the tone or the sweep; empty until a make call
    std::vector<float> inverse; // the sweep's inverse filter (for the tone: the tone)

private:
    bool writeRaw (const juce::File& file, const juce::AudioSampleBuffer& buffer) const;
    bool writeWav (const juce::File& file, const juce::AudioSampleBuffer& buffer) const;
};
