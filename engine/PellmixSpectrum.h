#pragma once
// Magnitude (dB) and phase of a sliding window of samples at logarithmically spaced display
// frequencies (20 Hz to 20 kHz, or to the rate itself at 20 kHz and below).
//
// Without smoothing the result is normalised so that its highest point lies at -20 dB. With
// smoothing, rises are followed at once and falls decay by a release factor per analysis, and
// the result is taken relative to runningMaxDb, one level shared by every smoothing analyser.
//
// Threading:
// - pushSamples() may run on the audio thread while analyse() runs on the message thread. The
//   writer keeps its own window and hands a copy of it over after every push through a
//   lock-free triple buffer; neither side ever waits for the other, and analyse() reads the
//   latest window handed over. pushSamples() allocates nothing.
// - prepare() and clear() allocate or reset everything: the owner must not run them while
//   pushSamples() or analyse() runs (the engine does both under its lock or on one thread).
// - The result fields are written by analyse() and read by the same thread after it.
// - runningMaxDb is atomic; the smoothing analysers read and update it on the message thread.
#include "engine/FFTReal.h"
#include "engine/PellmixRealtime.h"

#include <atomic>
#include <memory>
#include <vector>

class PellmixSpectrum
{
public:
    PellmixSpectrum();
    ~PellmixSpectrum();

    PellmixSpectrum (const PellmixSpectrum&) = delete;
    PellmixSpectrum& operator= (const PellmixSpectrum&) = delete;

    // FFT size: the request rounded up to a power of two. Remakes the arrays when the size or
    // point count changes, recomputes the display frequencies for the rate, then clears.
    void prepare (int requestedFftSize, int numDisplayPoints, double rate);
    // Zeroes the window; magnitudes and smoothing state become -96 dB, phases 0.
    void clear();
    // Slides the window by count samples (oldest first, the newest at the end).
    void pushSamples (const float* samples, int count) PELLMIX_NONBLOCKING;
    // Computes magnitudesDb and phases from the latest window.
    void analyse();

    int fftSize = -1;   // N, a power of two; -1 until prepared
    int numPoints = -1; // display points; -1 until prepared
    double sampleRate = 0.0;
    std::vector<float> magnitudesDb; // numPoints values, dB
    std::vector<float> phases;       // numPoints values, radians
    std::vector<float> frequencies;  // numPoints display frequencies, Hz
    bool smoothing = false;

    // The reference level of the smoothing analysers, -96 dB at start.
    static std::atomic<float> runningMaxDb;

private:
    void computeFrequencies();
    void publishWindow();
    const float* latestWindow();
    void computeBins (const float* window);
    void interpolate();
    void normalise (const float* window);

    std::vector<float> input; // the writer's window, N samples, oldest first
    std::unique_ptr<FFTReal<float>> fft;
    std::vector<float> spectrum; // packed spectrum of the window, N values
    std::vector<float> binDb;    // N/2 + 1
    std::vector<float> binPhase; // N/2 + 1
    const float attack;
    const float release;
    std::vector<float> previous; // smoothed dB values of the last analysis

    // Triple buffer of window copies: the writer fills slot writeSlot and swaps it with the
    // middle slot; the reader swaps a freshly written middle slot with readSlot.
    std::vector<float> snapshots; // 3 * N
    std::atomic<int> middleSlot{2};
    int writeSlot = 0;
    int readSlot = 1;
};
