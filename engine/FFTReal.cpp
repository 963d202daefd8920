#include "engine/FFTReal.h"

#include <cmath>
#include <cstddef>

namespace
{
constexpr double pi = 3.14159265358979323846;

bool isPowerOfTwo (int n)
{
    return n > 0 && (n & (n - 1)) == 0;
}

// Number of significant bits of value (0 for 0).
int countSignificantBits (int value)
{
    int bits = 0;
    while (value > 65535)
    {
        value >>= 16;
        bits += 16;
    }
    while (value > 15)
    {
        value >>= 4;
        bits += 4;
    }
    while (value > 0)
    {
        value >>= 1;
        bits += 1;
    }
    return bits;
}

// Fine-table bits of a long pass: about half of its index bits.
int fineBitsOf (int pass)
{
    return pass / 2;
}
} // namespace

// ---------------------------------------------------------------------------------------------

template <typename T>
FFTRealTables<T>::FFTRealTables (int n)
    : work ((std::size_t)n)
{
    using Plan = FFTRealPlan<T>;
    const int bits = countSignificantBits (n - 1);
    plan.length = n;
    plan.numBits = bits;

    // Sizes first, then one allocation for all tables.
    std::size_t size = 0;
    std::size_t offsets[Plan::maxPasses] = {};
    for (int pass = 3; pass < bits; ++pass)
    {
        offsets[pass] = size;
        const std::size_t h = std::size_t (1) << (pass - 1);
        if (pass <= Plan::tableBitLimit)
            size += 2 * h;
        else
            size += 2 * ((std::size_t (1) << fineBitsOf (pass)) + Plan::finePadding) +
                    2 * ((h >> fineBitsOf (pass)) + 1);
    }

    twiddles.reset (new T[size > 0 ? size : 1]);
    plan.work = work.get();

    for (int pass = 3; pass < bits; ++pass)
    {
        T* table = twiddles.get() + offsets[pass];
        const int h = 1 << (pass - 1);
        const double step = pi / (double)(1 << pass);
        if (pass <= Plan::tableBitLimit)
        {
            // The sine of i is the cosine of h - i, so both halves hold cosines.
            for (int i = 0; i < h; ++i)
            {
                table[i] = (T)std::cos (i * step);
                table[h + i] = (T)std::cos ((h - i) * step);
            }
            plan.table[pass] = table;
        }
        else
        {
            const int fineBits = fineBitsOf (pass);
            const int fine = (1 << fineBits) + Plan::finePadding;
            T* fineCos = table;
            T* fineSin = table + fine;
            T* coarse = table + 2 * fine;
            for (int l = 0; l < fine; ++l)
            {
                fineCos[l] = (T)std::cos (l * step);
                fineSin[l] = (T)std::sin (l * step);
            }
            for (int a = 0; a <= (h >> fineBits); ++a)
            {
                const double angle = (double)a * (double)(1 << fineBits) * step;
                coarse[2 * a] = (T)std::cos (angle);
                coarse[2 * a + 1] = (T)std::sin (angle);
            }
            plan.fineCos[pass] = fineCos;
            plan.fineSin[pass] = fineSin;
            plan.coarse[pass] = coarse;
            plan.fineBits[pass] = fineBits;
        }
    }
}

template <typename T>
FFTRealKernels<T> selectFFTRealKernels()
{
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    static const bool avx2 = []
    {
        __builtin_cpu_init();
        return __builtin_cpu_supports ("avx2") != 0;
    }();
    if (avx2)
        return fftreal_avx2::kernels<T>();
#endif
    return fftreal_generic::kernels<T>();
}

template class FFTRealTables<float>;
template class FFTRealTables<double>;
template FFTRealKernels<float> selectFFTRealKernels<float>();
template FFTRealKernels<double> selectFFTRealKernels<double>();

// ---------------------------------------------------------------------------------------------

template <typename T>
FFTReal<T>::FFTReal (int n)
{
    if (!isPowerOfTwo (n))
        return; // refused: stays empty, the transforms do nothing

    length = n;
    numBits = countSignificantBits (n - 1);
    if (n >= 8)
    {
        tables = std::make_unique<FFTRealTables<T>> (n);
        kernels = selectFFTRealKernels<T>();
    }
}

template <typename T>
FFTReal<T>::~FFTReal() = default;

template <typename T>
void FFTReal<T>::forwardTransform (T* f, const T* x)
{
    // The short lengths read every input before writing, so f may be x.
    if (length >= 8)
    {
        kernels.forward (tables->getPlan(), f, x);
    }
    else if (length == 4)
    {
        const T x0 = x[0], x1 = x[1], x2 = x[2], x3 = x[3];
        f[1] = x0 - x2;
        f[3] = x1 - x3;
        const T b0 = x0 + x2;
        const T b2 = x1 + x3;
        f[0] = b0 + b2;
        f[2] = b0 - b2;
    }
    else if (length == 2)
    {
        const T x0 = x[0], x1 = x[1];
        f[0] = x0 + x1;
        f[1] = x0 - x1;
    }
    else if (length == 1)
    {
        f[0] = x[0];
    }
}

template <typename T>
void FFTReal<T>::inverseTransform (const T* f, T* x)
{
    if (length >= 8)
    {
        kernels.inverse (tables->getPlan(), f, x);
    }
    else if (length == 4)
    {
        const T f0 = f[0], f1 = f[1], f2 = f[2], f3 = f[3];
        const T b0 = f0 + f2;
        const T b2 = f0 - f2;
        x[0] = b0 + T (2) * f1;
        x[2] = b0 - T (2) * f1;
        x[1] = b2 + T (2) * f3;
        x[3] = b2 - T (2) * f3;
    }
    else if (length == 2)
    {
        const T f0 = f[0], f1 = f[1];
        x[0] = f0 + f1;
        x[1] = f0 - f1;
    }
    else if (length == 1)
    {
        x[0] = f[0];
    }
}

template class FFTReal<float>;
template class FFTReal<double>;
