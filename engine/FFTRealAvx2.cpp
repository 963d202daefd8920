// The FFTReal kernels for AVX2: vectors of 32 bytes. Everything compiled here is for AVX2 only
// and is reached only after FFTReal has checked that the processor runs it. (Without FMA, so the
// results are bitwise those of the baseline kernels.)
#include "engine/FFTRealPlan.h"

#include <algorithm>
#include <cstddef>
#include <type_traits>
#include <utility>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
// Tuned for a processor with AVX2, not for GCC's generic target (which splits unaligned 32-byte
// loads and stores in two); the instructions are the same set.
#pragma GCC target("avx2,tune=skylake")
#endif

namespace fftreal_avx2
{
#define FFTREAL_MAX_BYTES 32
#include "engine/FFTRealKernels.h"
#undef FFTREAL_MAX_BYTES

template <typename T>
FFTRealKernels<T> kernels()
{
    return makeKernels<T>();
}

template FFTRealKernels<float> kernels<float>();
template FFTRealKernels<double> kernels<double>();
} // namespace fftreal_avx2

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#endif
