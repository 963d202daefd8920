#include "engine/FFTReal.h"

#include <cmath>

namespace
{
// Half-span above which the twiddles come from oscillators instead of the cosine table.
constexpr int tableBitLimit = 12;
constexpr double pi = 3.14159265358979323846;

template <typename T>
constexpr T halfSqrt2();
template <>
constexpr float halfSqrt2<float>()
{
    return 0.70710677f;
}
template <>
constexpr double halfSqrt2<double>()
{
    return 0.7071067811865476;
}

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
} // namespace

template <typename T>
template <typename E>
void FFTReal<T>::DynamicArray<E>::allocate (std::size_t count)
{
    data.reset (count > 0 ? new E[count] : nullptr);
    size = count;
}

template <typename T>
FFTReal<T>::FFTReal (int n)
{
    if (!isPowerOfTwo (n))
        return; // refused: stays empty, the transforms do nothing

    length = n;
    numBits = countSignificantBits (n - 1);
    // Members free what was already allocated if a later allocation throws.
    allocateWorkBuffer();
    initBitReverseTable();
    initCosTable();
    initTrigOscillators();
}

template <typename T>
FFTReal<T>::~FFTReal() = default;

template <typename T>
void FFTReal<T>::allocateWorkBuffer()
{
    workBuffer.allocate (length > 0 ? static_cast<std::size_t> (length) : 0);
}

template <typename T>
void FFTReal<T>::initBitReverseTable()
{
    const int count = 1 << numBits;
    bitReverseTable.allocate (static_cast<std::size_t> (count));
    bitReverseTable[0] = 0;
    int j = 0;
    for (int i = 1; i < count; ++i)
    {
        // Reversed-carry increment: add one at the top bit, carrying downwards.
        int m = count;
        do
        {
            m >>= 1;
            j ^= m;
        } while ((j & m) == 0);
        bitReverseTable[static_cast<std::size_t> (i)] = j;
    }
}

template <typename T>
void FFTReal<T>::initCosTable()
{
    if (numBits < 4)
        return;
    cosTable.allocate ((std::size_t (1) << (numBits - 1)) - 4);
    for (int pass = 3; pass < numBits; ++pass)
    {
        const std::size_t start = (std::size_t (1) << (pass - 1)) - 4;
        const int entries = 1 << (pass - 1);
        const double step = pi / static_cast<double> (1 << pass);
        for (int i = 0; i < entries; ++i)
            cosTable[start + static_cast<std::size_t> (i)] = static_cast<T> (std::cos (i * step));
    }
}

template <typename T>
void FFTReal<T>::initTrigOscillators()
{
    if (numBits <= tableBitLimit)
        return;
    oscillators.allocate (static_cast<std::size_t> (numBits - tableBitLimit));
    for (int level = tableBitLimit; level < numBits; ++level)
    {
        const double angle = (0.5 * pi) / static_cast<double> (1 << level);
        oscillators[static_cast<std::size_t> (level - tableBitLimit)] = {
            T (1), T (0), static_cast<T> (std::cos (angle)), static_cast<T> (std::sin (angle))};
    }
}

template <typename T>
void FFTReal<T>::forwardTransform (T* f, const T* x)
{
    if (length >= 8)
    {
        // The parity of numBits picks the first destination so that the last pass writes f.
        T* dest = (numBits & 1) != 0 ? workBuffer.data.get() : f;
        T* source = (numBits & 1) != 0 ? f : workBuffer.data.get();
        const int* rev = bitReverseTable.data.get();

        // First and second passes, reading x in bit-reversed order.
        for (int c = 0; c < length; c += 4)
        {
            const T x0 = x[rev[c]], x1 = x[rev[c + 1]], x2 = x[rev[c + 2]], x3 = x[rev[c + 3]];
            dest[c + 1] = x0 - x1;
            dest[c + 3] = x2 - x3;
            const T s0 = x0 + x1;
            const T s2 = x2 + x3;
            dest[c] = s0 + s2;
            dest[c + 2] = s0 - s2;
        }

        // Third pass.
        const T r = halfSqrt2<T>();
        for (int c = 0; c < length; c += 8)
        {
            const T* d = dest + c;
            T* s = source + c;
            s[0] = d[0] + d[4];
            s[4] = d[0] - d[4];
            s[2] = d[2];
            s[6] = d[6];
            T v = (d[5] - d[7]) * r;
            s[1] = d[1] + v;
            s[3] = d[1] - v;
            v = (d[5] + d[7]) * r;
            s[5] = v + d[3];
            s[7] = v - d[3];
        }

        for (int pass = 3; pass < numBits; ++pass)
        {
            computeForwardPass (dest, source, pass);
            T* t = source;
            source = dest;
            dest = t;
        }
    }
    else if (length == 4)
    {
        f[1] = x[0] - x[2];
        f[3] = x[1] - x[3];
        const T b0 = x[0] + x[2];
        const T b2 = x[1] + x[3];
        f[0] = b0 + b2;
        f[2] = b0 - b2;
    }
    else if (length == 2)
    {
        f[0] = x[0] + x[1];
        f[1] = x[0] - x[1];
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
        inverseTransformGeneral (f, x);
    }
    else if (length == 4)
    {
        const T b0 = f[0] + f[2];
        const T b2 = f[0] - f[2];
        x[0] = b0 + T (2) * f[1];
        x[2] = b0 - T (2) * f[1];
        x[1] = b2 + T (2) * f[3];
        x[3] = b2 - T (2) * f[3];
    }
    else if (length == 2)
    {
        x[0] = f[0] + f[1];
        x[1] = f[0] - f[1];
    }
    else if (length == 1)
    {
        x[0] = f[0];
    }
}

namespace
{
// Calls butterfly (i, c_i, s_i) for i = 1 .. h - 1 within one block, c_i + j s_i = e^(j i pi / 2h):
// from the pass's part of the cosine table, or from its oscillator, restarted at (1, 0) for each
// block and advanced by one step before each i.
template <typename T, typename Osc, typename Butterfly>
inline void forEachTwiddle (int h, const T* table, Osc* osc, Butterfly&& butterfly)
{
    if (osc == nullptr)
    {
        for (int i = 1; i < h; ++i)
            butterfly (i, table[i], table[h - i]);
        return;
    }
    T c = T (1), s = T (0);
    const T stepCos = osc->stepCos, stepSin = osc->stepSin;
    for (int i = 1; i < h; ++i)
    {
        const T oc = c;
        c = oc * stepCos - s * stepSin;
        s = s * stepCos + oc * stepSin;
        butterfly (i, c, s);
    }
    osc->cosValue = c;
    osc->sinValue = s;
}
} // namespace

// Forward pass `pass` (n = 2^pass): combines pairs of n-point spectra of source into 2n-point
// spectra in dest.
template <typename T>
void FFTReal<T>::computeForwardPass (T* dest, const T* source, int pass)
{
    const int n = 1 << pass;
    const int h = n >> 1;
    const bool fromTable = pass <= tableBitLimit;
    const T* table = fromTable ? cosTable.data.get() + (h - 4) : nullptr;
    Oscillator* osc = fromTable ? nullptr : &oscillators[static_cast<std::size_t> (pass - 13)];

    for (int c = 0; c < length; c += 2 * n)
    {
        const T* s = source + c;
        T* d = dest + c;
        d[0] = s[0] + s[n];
        d[n] = s[0] - s[n];
        d[h] = s[h];
        d[n + h] = s[n + h];
        forEachTwiddle (h, table, osc,
                        [s, d, n, h] (int i, T ci, T si)
                        {
                            const T v = s[n + i] * ci - s[n + h + i] * si;
                            d[i] = s[i] + v;
                            d[n - i] = s[i] - v;
                            const T w = s[n + i] * si + s[n + h + i] * ci;
                            d[n + i] = w + s[h + i];
                            d[2 * n - i] = w - s[h + i];
                        });
    }
}

// Inverse pass `pass` (n = 2^pass): splits 2n-point spectra of source into pairs of n-point
// spectra in dest.
template <typename T>
void FFTReal<T>::computeInversePass (T* dest, const T* source, int pass)
{
    const int n = 1 << pass;
    const int h = n >> 1;
    const bool fromTable = pass <= tableBitLimit;
    const T* table = fromTable ? cosTable.data.get() + (h - 4) : nullptr;
    Oscillator* osc = fromTable ? nullptr : &oscillators[static_cast<std::size_t> (pass - 13)];

    for (int c = 0; c < length; c += 2 * n)
    {
        const T* s = source + c;
        T* d = dest + c;
        d[0] = s[0] + s[n];
        d[n] = s[0] - s[n];
        d[h] = T (2) * s[h];
        d[n + h] = T (2) * s[n + h];
        forEachTwiddle (h, table, osc,
                        [s, d, n, h] (int i, T ci, T si)
                        {
                            d[i] = s[i] + s[n - i];
                            d[h + i] = s[n + i] - s[2 * n - i];
                            const T vr = s[i] - s[n - i];
                            const T vi = s[n + i] + s[2 * n - i];
                            d[n + i] = vr * ci + vi * si;
                            d[n + h + i] = vi * ci - vr * si;
                        });
    }
}

template <typename T>
void FFTReal<T>::inverseTransformGeneral (const T* f, T* x)
{
    T* work = workBuffer.data.get();
    T* dest = (numBits & 1) != 0 ? work : x;
    T* spare = (numBits & 1) != 0 ? x : work;

    // f is read by the first pass only; afterwards the passes alternate between two arrays.
    T* written = nullptr;
    for (int pass = numBits - 1; pass >= 3; --pass)
    {
        computeInversePass (dest, written != nullptr ? written : f, pass);
        T* next = written != nullptr ? written : spare;
        written = dest;
        dest = next;
    }
    const T* source = written != nullptr ? written : f;

    // Inverse third pass.
    const T r = halfSqrt2<T>();
    for (int c = 0; c < length; c += 8)
    {
        const T* s = source + c;
        T* d = dest + c;
        d[0] = s[0] + s[4];
        d[4] = s[0] - s[4];
        d[2] = T (2) * s[2];
        d[6] = T (2) * s[6];
        d[1] = s[1] + s[3];
        d[3] = s[5] - s[7];
        const T vr = s[1] - s[3];
        const T vi = s[5] + s[7];
        d[5] = (vr + vi) * r;
        d[7] = (vi - vr) * r;
    }

    // Inverse first and second passes, writing x in bit-reversed order.
    const int* rev = bitReverseTable.data.get();
    for (int c = 0; c < length; c += 4)
    {
        const T b0 = dest[c] + dest[c + 2];
        const T b2 = dest[c] - dest[c + 2];
        const T b1 = T (2) * dest[c + 1];
        const T b3 = T (2) * dest[c + 3];
        x[rev[c]] = b0 + b1;
        x[rev[c + 1]] = b0 - b1;
        x[rev[c + 2]] = b2 + b3;
        x[rev[c + 3]] = b2 - b3;
    }
}

template class FFTReal<float>;
template class FFTReal<double>;
