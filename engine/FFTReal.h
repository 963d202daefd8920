#pragma once
// Real-valued FFT of a power-of-two length N, unscaled in both directions.
//
// Packed spectrum layout of an N-point transform, with X[k] = sum x[n] e^(-2 pi i k n / N):
//   f[k]       = Re X[k]   for k = 0 .. N/2     (f[0] DC, f[N/2] Nyquist)
//   f[N/2 + k] = -Im X[k]  for k = 1 .. N/2 - 1
// inverseTransform (forwardTransform (x)) gives N * x.
//
// The passes are radix-2 butterflies on this layout, with the bit reversal folded into the
// first forward (last inverse) passes; they run vectorised, two or three passes per sweep, and
// block by block while the blocks fit in the cache (FFTRealKernels.h). Twiddles come from
// tables computed in double precision. The passes alternate between the work buffer and the
// caller's output, so the result lands in the output without a copy.
//
// Threading: no locks. All memory is allocated by the constructor; the transforms allocate
// nothing and may run on the audio thread. A transform uses the work buffer, so one object runs
// one transform at a time; use one object per thread.
//
// A length that is not a power of two (or is below 1) is refused: the object stays empty and
// both transforms then leave their output untouched.
//
// Instantiated for float and double (FFTReal.cpp).
#include "engine/FFTRealPlan.h"
#include "engine/PellmixRealtime.h"

#include <memory>

template <typename T>
class FFTReal
{
public:
    explicit FFTReal (int length);
    virtual ~FFTReal();

    FFTReal (const FFTReal&) = delete;
    FFTReal& operator= (const FFTReal&) = delete;

    // f: N values, the packed spectrum of x. x is only read, unless it is f itself (the
    // transform may run in place).
    void forwardTransform (T* f, const T* x) PELLMIX_NONBLOCKING;
    // x: N times the signal whose packed spectrum is f. f is only read, unless it is x itself.
    void inverseTransform (const T* f, T* x) PELLMIX_NONBLOCKING;

private:
    int length = 0;
    int numBits = 0;
    std::unique_ptr<FFTRealTables<T>> tables; // lengths of 8 and more
    FFTRealKernels<T> kernels;
};

extern template class FFTReal<float>;
extern template class FFTReal<double>;
