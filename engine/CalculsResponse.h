#pragma once
// The signal maths of the capture worker, kept apart from its thread and files: the spectrum
// product of the deconvolution, the onset and polarity search on the response at 96000 Hz, the
// three band kernels cut from it, and the rate converter of the ".wav" output.
//
// Threading: free functions without shared state, run on the "DC Thread". They allocate.
#include <array>
#include <vector>

namespace CalculsResponse
{
constexpr int bandLength = 1792;  // samples kept per band
constexpr int bandFftSize = 2048; // bands are zero-padded to this length
constexpr int onsetSearch = 1920; // samples before the peak in which the onset is looked for

// 2^ceil(log2(2 L - 1)): the FFT size at which the circular convolution of the recording with a
// filter no longer than it equals their linear convolution.
int deconvolutionSize (int recordingLength);

struct Trim
{
    int peak = 0;          // first index of the largest magnitude
    int onset = 0;         // the sample before the first one reaching 0.1 within onsetSearch of the peak
    int start = 0;         // first sample of the linear-response window
    bool inverted = false; // the response was negated
};

// Finds the response's peak, onset and polarity in x[0 .. M - 1], negates x when the first large
// lobe is negative, and picks the window start. Returns false, with x unchanged, when the
// response has no room for the search: M must exceed 1793 and the peak, of at least 0.1, must lie
// at index onsetSearch + 1 or later.
bool findResponse (float* x, int M, Trim& trim);

// The three band kernels from the linear window at x[start] and the second- and third-order
// windows d2 and d3 samples before it (or at start when that would lie before x[0]):
// band 0 = w0 + 3 w2, band 1 = 2i w1 (quarter-period advance, no DC or Nyquist), band 2 = -4 w2.
// The caller guarantees start + bandLength <= M. Each band holds bandFftSize samples, the last 256 zero.
std::array<std::vector<float>, 3> makeBands (const float* x, int start, int d2, int d3);

// Rate conversion through the common rate 14112000 Hz (zero-stuffing, a 2049-tap windowed-sinc
// low-pass by FFT overlap-add, decimation), scaled so that the output peak equals the input
// peak. Returns false when either rate does not divide 14112000.
bool convertRate (int inputCount, int outputCount, int inputRate, int outputRate, const float* input,
                  float* output);
} // namespace CalculsResponse
