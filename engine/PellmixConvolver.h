#pragma once
// Block convolution of the playing signal with the blended IR.
//
// The IR arrives at 96000 Hz and is converted once to the device rate. One FFT of N points, the
// smallest power of two that holds the linear convolution of a whole block with the whole IR,
// serves every block; the tail beyond the block is carried to the next block (overlap-add).
// The output is scaled by 44100 / rate. Two smoothing analysers see the input and the output.
//
// A new IR is brought in in two steps so that the audio thread never waits for its
// conversion: prepareIr() resamples and transforms it into a spare spectrum that process() never
// reads, and commitIr() swaps the spare spectrum in (constant time, no allocation). The next
// process() after a commit starts with an empty tail: whatever the tail held belongs to a
// signal that this convolver has not been following. loadIr() does both steps at once.
//
// Threading:
// - process() and discardTail() run on the audio thread; they allocate nothing and touch only
//   the block buffers, the IR spectrum, the tail and the analysers' writer side.
// - prepareIr() and copyPreparedIr() run on the message thread and touch only the IR-side
//   objects (irFft, resampler, irBuffer, spare spectrum), never used by process(); they may
//   overlap process(). commitIr() and loadIr() must not overlap process(): the engine calls
//   them under its lock.
// - setup(), reset() and prepareSpectrum() allocate or clear everything; they run while no
//   process() runs (device start).
// - analyse() runs on the message thread while process() may feed the analysers (their
//   hand-over is lock-free). analysisValid and the times are atomic.
#include "engine/FFTReal.h"
#include "engine/PellmixRealtime.h"
#include "engine/PellmixResampler.h"
#include "engine/PellmixSpectrum.h"

#include <juce_core/juce_core.h>

#include <atomic>
#include <memory>
#include <vector>

class PellmixConvolver
{
public:
    static constexpr double irRate = 96000.0;

    PellmixConvolver();

    PellmixConvolver (const PellmixConvolver&) = delete;
    PellmixConvolver& operator= (const PellmixConvolver&) = delete;

    // Sizes the convolver for blocks of at most blockSize samples at sampleRate, loads the IR
    // (irLength samples at 96000 Hz) and clears the tail.
    void setup (const float* ir, int irLength, int blockSize, double sampleRate);

    // Converts and transforms a new IR and makes it current. Nothing when ir is null or the
    // convolver has not been set up. Only the first irLength samples given to setup() are used.
    void loadIr (const float* ir, int irLength);

    // First step of loadIr(): the converted spectrum goes to the spare buffer. False (and
    // nothing prepared) when ir is null or the convolver has not been set up.
    bool prepareIr (const float* ir, int irLength);
    // Takes the prepared spectrum of another convolver sized like this one. False otherwise.
    bool copyPreparedIr (const PellmixConvolver& other);
    // Second step: the prepared spectrum becomes current; the tail is dropped before the next
    // block. Nothing when no IR has been prepared since the last commit.
    void commitIr();

    // One block of n samples (n at most the block size of the last setup; larger blocks are
    // cut to it). in and out may be the same buffer. With enabled false, out is not written and
    // the output analyser receives the input.
    void process (const float* in, float* out, int n, bool enabled) PELLMIX_NONBLOCKING;
    // The next process() starts with an empty tail: for a convolver that comes back after
    // blocks it did not convolve, whose tail belongs to a signal long gone.
    void discardTail() noexcept PELLMIX_NONBLOCKING { dropTail = true; }

    // Clears the tail and both analysers.
    void reset();

    void prepareSpectrum (int fftSize, int numPoints, double sampleRate);
    // Analyses the input, then the output analyser.
    void analyse();

    int getFftSize() const { return fftSize; }
    int getBlockSize() const { return maxBlockSize; }
    // Length of the IR at the device rate.
    int getIrLengthAtRate() const { return irLengthAtRate; }
    double getSampleRate() const { return sampleRate; }
    bool isAnalysisValid() const { return analysisValid.load(); }
    juce::Time getAnalysedTime() const { return juce::Time (analysedMs.load()); }
    juce::Time getChangedTime() const { return juce::Time (changedMs.load()); }

    PellmixSpectrum inputAnalyser;
    PellmixSpectrum outputAnalyser;

private:
    void overlapAdd (float* out, int n);

    // Audio side.
    std::unique_ptr<FFTReal<float>> fft;
    int fftSize = 0;
    int maxBlockSize = 0;
    std::vector<float> blockBuffer;
    std::vector<float> blockSpectrum;
    std::vector<float> irSpectrum;
    std::vector<float> productSpectrum;
    std::vector<float> overlap;
    bool dropTail = false; // set by commitIr() and discardTail(), honoured by the next process()
    float outputScale = 1.0f;

    // IR side (message thread).
    std::unique_ptr<FFTReal<float>> irFft;
    std::vector<float> irBuffer;
    std::vector<float> spareSpectrum;
    bool sparePrepared = false;
    PellmixResampler resampler;
    int maxIrLength = 0;          // IR length given to setup(): the room N was sized for
    int resamplerInputLength = 0; // IR length the resampler is set up for
    int irLengthAtRate = 0;

    double sampleRate = 0.0;
    std::atomic<bool> analysisValid{false};
    std::atomic<juce::int64> analysedMs{0};
    std::atomic<juce::int64> changedMs{0};
};
