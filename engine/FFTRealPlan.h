#pragma once
#include "engine/PellmixLargeMemory.h"
#include "engine/PellmixRealtime.h"

#include <memory>

// Internal to FFTReal: the read-only description of one transform length (sizes, twiddle tables,
// work buffer) and the kernels that run the passes over it. The kernels are compiled once per
// instruction set (FFTRealGeneric.cpp for the baseline, FFTRealAvx2.cpp for AVX2) from the one
// template source FFTRealKernels.h; FFTReal picks the widest set the processor runs.
//
// Every set computes the same passes with the same operations in the same order, without fused
// multiply-adds, so all sets give bitwise the same results.

template <typename T>
struct FFTRealPlan
{
    static constexpr int maxPasses = 31;
    // Passes up to this one (half-span 2^13) read whole twiddle tables; longer passes build their
    // twiddles from two short tables.
    static constexpr int tableBitLimit = 14;
    // Entries beyond the end of a short fine table, so that a vector that starts near its end
    // may read on.
    static constexpr int finePadding = 16;

    int length = 0;
    int numBits = 0;
    T* work = nullptr; // length values

    // Pass p (n = 2^p, h = n / 2) with p <= tableBitLimit: table[p][i] = cos (i pi / n) and
    // table[p][h + i] = cos ((h - i) pi / n) = sin (i pi / n), for i = 0 .. h - 1, both computed
    // in double precision.
    const T* table[maxPasses] = {};

    // Longer passes: e^(i pi j / n) = coarse[j >> fineBits] * fine[j & (2^fineBits - 1)] with
    // coarse holding (cos, sin) pairs and fine split into fineCos and fineSin.
    const T* fineCos[maxPasses] = {};
    const T* fineSin[maxPasses] = {};
    const T* coarse[maxPasses] = {};
    int fineBits[maxPasses] = {};
};

// The work buffer and twiddle tables of one length (a power of two, at least 8), and the plan
// that points into them. Built once; a transform reads the tables and writes the work buffer, so
// one plan serves one transform at a time.
template <typename T>
class FFTRealTables
{
public:
    explicit FFTRealTables (int length);

    const FFTRealPlan<T>& getPlan() const { return plan; }

private:
    PellmixLargeArray<T> work;
    std::unique_ptr<T[]> twiddles;
    FFTRealPlan<T> plan;
};

// The transforms for lengths of 8 and more; f and x may be the same array. They run on the
// audio thread (the convolver), so they allocate nothing and never wait.
template <typename T>
struct FFTRealKernels
{
    void (*forward) (const FFTRealPlan<T>& plan, T* f, const T* x) PELLMIX_NONBLOCKING = nullptr;
    void (*inverse) (const FFTRealPlan<T>& plan, const T* f, T* x) PELLMIX_NONBLOCKING = nullptr;
};

// The kernels of the widest instruction set that this processor runs.
template <typename T>
FFTRealKernels<T> selectFFTRealKernels();

namespace fftreal_generic
{
template <typename T>
FFTRealKernels<T> kernels();
}

namespace fftreal_avx2
{
// Available on x86-64 builds only; the caller checks that the processor runs AVX2.
template <typename T>
FFTRealKernels<T> kernels();
} // namespace fftreal_avx2
