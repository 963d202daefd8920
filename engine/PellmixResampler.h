#pragma once
// Sample-rate converter for one whole signal per call.
//
// Exact 2:1 and 1:2 ratios run through the 25-tap half-band polyphase filter; every other ratio
// runs through a libresample converter opened in high-quality mode for that fixed ratio. Each
// process() call converts one complete signal (the converter sees the last-block flag, so the
// signal's end is padded with silence); reset() before each call makes the signals independent.
//
// Threading: no locks. A resampler belongs to one owner and is used by one thread at a time.
// setup() allocates (output buffer, filter, converters); reset() copies the untouched converter
// kept from setup (a small allocation, about 12 us, never a filter redesign); process()
// allocates nothing.
#include <memory>
#include <vector>

class CFIRFilter_Polyphase_gen;

class PellmixResampler
{
public:
    PellmixResampler();
    ~PellmixResampler();

    PellmixResampler (const PellmixResampler&) = delete;
    PellmixResampler& operator= (const PellmixResampler&) = delete;

    // Chooses and prepares the converter for the two rates. inputBlock samples are read and
    // outputBlock samples written by each process() call; callers use
    // outputBlock = floor(inputBlock * outputRate / inputRate).
    void setup (double inputRate, double outputRate, int inputBlock, int outputBlock);

    // Clears all history: the next process() starts a new, independent signal.
    void reset();

    // Converts one block: reads inputBlock floats from in, writes outputBlock floats to out.
    void process (const float* in, float* out);

private:
    void resetConverter();

    int mode = -1; // 0 = up by 2, 1 = down by 2, 2 = libresample; -1 = not set up
    double inputRate = 0.0;
    double outputRate = 0.0;
    int inputBlock = 0;
    int outputBlock = 0;
    void* converter = nullptr; // working converter, a fresh copy of pristineConverter per signal
    int converterInputLength = 0;
    int outputBufferLength = 0;
    double factor = 0.0;
    std::vector<float> outputBuffer;
    std::unique_ptr<CFIRFilter_Polyphase_gen> halfBandFilter;
    void* pristineConverter = nullptr; // opened at setup and never run: the reset source
};
