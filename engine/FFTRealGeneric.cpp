// The FFTReal kernels for the baseline instruction set (SSE2 on x86-64): vectors of 16 bytes.
#include "engine/FFTRealPlan.h"

#include <algorithm>
#include <cstddef>
#include <type_traits>
#include <utility>

namespace fftreal_generic
{
#define FFTREAL_MAX_BYTES 16
#include "engine/FFTRealKernels.h"
#undef FFTREAL_MAX_BYTES

template <typename T>
FFTRealKernels<T> kernels()
{
    return makeKernels<T>();
}

template FFTRealKernels<float> kernels<float>();
template FFTRealKernels<double> kernels<double>();
} // namespace fftreal_generic
