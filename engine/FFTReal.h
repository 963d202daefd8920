#pragma once
// Real-valued FFT of a power-of-two length N, unscaled in both directions.
//
// Packed spectrum layout of an N-point transform, with X[k] = sum x[n] e^(-2 pi i k n / N):
//   f[k]       = Re X[k]   for k = 0 .. N/2     (f[0] DC, f[N/2] Nyquist)
//   f[N/2 + k] = -Im X[k]  for k = 1 .. N/2 - 1
// inverseTransform (forwardTransform (x)) gives N * x.
//
// The passes are radix-2 butterflies with the bit reversal folded into the first two forward
// (last two inverse) passes; twiddles come from a cosine table up to a half-span of 4096 and from
// rotating oscillators above. The passes alternate between the work buffer and the caller's
// output, so the result lands in the output without a copy.
//
// Threading: no locks. All memory is allocated by the constructor; the transforms allocate
// nothing and may run on the audio thread. A transform changes the work buffer and the
// oscillators, so one object runs one transform at a time; use one object per thread.
//
// A length that is not a power of two (or is below 1) is refused: the object stays empty and
// both transforms then leave their output untouched.
//
// Instantiated for float and double (FFTReal.cpp).
#include "engine/PellmixRealtime.h"

#include <cstddef>
#include <memory>

template <typename T>
class FFTReal
{
public:
    explicit FFTReal (int length);
    virtual ~FFTReal();

    FFTReal (const FFTReal&) = delete;
    FFTReal& operator= (const FFTReal&) = delete;

    // f: N values, the packed spectrum of x. x is only read. f and x are distinct arrays.
    void forwardTransform (T* f, const T* x) PELLMIX_NONBLOCKING;
    // x: N times the signal whose packed spectrum is f. f is only read. f and x are distinct.
    void inverseTransform (const T* f, T* x) PELLMIX_NONBLOCKING;

private:
    // An owned array with its element count.
    template <typename E>
    struct DynamicArray
    {
        std::unique_ptr<E[]> data;
        std::size_t size = 0;

        void allocate (std::size_t count);
        E& operator[] (std::size_t i) { return data[i]; }
        const E& operator[] (std::size_t i) const { return data[i]; }
    };

    // Rotating twiddle generator of one long pass: current (cos, sin) and the step rotation.
    struct Oscillator
    {
        T cosValue, sinValue, stepCos, stepSin;
    };

    void allocateWorkBuffer();
    void initBitReverseTable();
    void initCosTable();
    void initTrigOscillators();

    void computeForwardPass (T* dest, const T* source, int pass);
    void computeInversePass (T* dest, const T* source, int pass);
    void inverseTransformGeneral (const T* f, T* x);

    int length = 0;
    int numBits = 0;
    DynamicArray<int> bitReverseTable;
    DynamicArray<T> cosTable;
    DynamicArray<T> workBuffer;
    DynamicArray<Oscillator> oscillators;
};

extern template class FFTReal<float>;
extern template class FFTReal<double>;
