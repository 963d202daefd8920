#pragma once
// Sample-rate converter for one whole signal per call.
//
// Exact 2:1 and 1:2 ratios run through the 25-tap half-band polyphase filter; every other ratio
// runs through a libresample converter opened in high-quality mode for that fixed ratio. Each
// process() call converts one complete signal (the converter sees the last-block flag, so the
// signal's end is padded with silence); reset() before each call makes the signals independent.
//
// Opening a converter designs its filter, which takes milliseconds; so the converters are
// designed once per ratio for the whole program and kept, untouched, in a small shared store
// (the last `designedRatiosKept` ratios set up). Every converter that runs is a copy
// (resample_dup) of the designed one, which gives exactly the state of a freshly opened one.
//
// Threading: no locks in a resampler. A resampler belongs to one owner and is used by one thread
// at a time; different resamplers may be set up and run on different threads at once (the shared
// store of designed converters has its own lock, and a designed converter is only ever read).
// setup() allocates (output buffer, filter, converters) and may design a filter; reset() copies
// the designed converter (a small allocation, about 12 us); process() allocates nothing.
// processEach() allocates and, in the general mode, runs its signals on worker threads.
#include <memory>
#include <vector>

class CFIRFilter_Polyphase_gen;

class PellmixResampler
{
public:
    static constexpr int designedRatiosKept = 8;

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

    // Converts `count` independent signals, in[i] into out[i], each exactly as reset() then
    // process() would. The general mode runs them side by side on worker threads, each on its
    // own copy of the designed converter; the half-band modes run them in turn. Leaves the
    // resampler reset.
    void processEach (const float* const* in, float* const* out, int count);

private:
    void resetConverter();
    // One general-mode conversion on a converter of its own; touches no member.
    void convertIndependently (const float* in, float* out) const;
    static int runConverter (void* handle, double factor, const float* in, int inLength, float* buffer,
                             int bufferLength, float* out);

    int mode = -1; // 0 = up by 2, 1 = down by 2, 2 = libresample; -1 = not set up
    double inputRate = 0.0;
    double outputRate = 0.0;
    int inputBlock = 0;
    int outputBlock = 0;
    void* converter = nullptr; // working converter, a fresh copy of the designed one per signal
    int converterInputLength = 0;
    int outputBufferLength = 0;
    double factor = 0.0;
    std::vector<float> outputBuffer;
    std::unique_ptr<CFIRFilter_Polyphase_gen> halfBandFilter;
    std::shared_ptr<void> designedConverter; // the ratio's designed converter, never run
};
