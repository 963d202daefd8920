// The passes of FFTReal as templates over the vector width. Not a normal header: each
// instruction-set unit includes it once, inside its own namespace and after <cstddef>,
// <utility> and engine/FFTRealPlan.h, so that every function here is compiled for that unit's
// instruction set only. It defines `template <typename T> FFTRealKernels<T> makeKernels()`, whose
// maximum vector width the includer sets with FFTREAL_MAX_BYTES (16 or 32).
//
// The transform is the radix-2 real FFT of FFTReal.h, with its operations unchanged and
// regrouped for speed:
// - the first passes (the bit reversal, the 4- and 8-point stages and a few more, 2^K points in
//   all) run "vertically": W neighbouring input columns are loaded as vectors, one column per
//   lane, the small FFT runs on whole vectors, and a transpose writes each lane's 2^K-point
//   spectrum in place;
// - each later pass runs "horizontally", W butterflies at a time, and two passes in a row are
//   fused into one sweep (radix 4) wherever the buffer parity allows;
// - passes whose blocks fit in the cache run block by block, so that long transforms sweep
//   memory only for the few long passes.
// The vertical stage always writes the work buffer and an odd number of sweeps follows, so the
// forward transform ends in f and reads x only in its first stage; the inverse mirrors this.
// Hence f and x may be the same array.

#ifndef FFTREAL_MAX_BYTES
#error "define FFTREAL_MAX_BYTES before including FFTRealKernels.h"
#endif

template <typename T, int W>
struct VecOf
{
    typedef T type __attribute__ ((vector_size (sizeof (T) * W)));
};
template <typename T>
struct VecOf<T, 1>
{
    using type = T;
};
template <typename T, int W>
using Vec = typename VecOf<T, W>::type;

template <typename V, typename T>
inline V load (const T* p)
{
    V v;
    __builtin_memcpy (&v, p, sizeof (V));
    return v;
}

template <typename T, typename V>
inline void store (T* p, const V& v)
{
    __builtin_memcpy (p, &v, sizeof (V));
}

template <int W, typename V, std::size_t... I>
inline V reverseLanes (V v, std::index_sequence<I...>)
{
    return __builtin_shufflevector (v, v, (W - 1 - (int)I)...);
}

template <int W, typename V>
inline V reverse (V v)
{
    if constexpr (W == 1)
        return v;
    else
        return reverseLanes<W> (v, std::make_index_sequence<W>());
}

// Lane l of the result is p[-l]; lane l of v is stored to p[-l].
template <int W, typename V, typename T>
inline V loadDown (const T* p)
{
    return reverse<W> (load<V> (p - (W - 1)));
}

template <int W, typename T, typename V>
inline void storeDown (T* p, V v)
{
    store (p - (W - 1), reverse<W> (v));
}

constexpr int log2Of (int w)
{
    return w <= 1 ? 0 : 1 + log2Of (w / 2);
}

constexpr int reverseBits (int value, int bits)
{
    int r = 0;
    for (int i = 0; i < bits; ++i)
        r |= ((value >> i) & 1) << (bits - 1 - i);
    return r;
}

// The next value of r under a reversed-carry increment on `bits` bits: reverseBits (i + 1) from
// reverseBits (i).
inline int nextReversed (int r, int bits)
{
    int bit = bits > 0 ? 1 << (bits - 1) : 0;
    while (bit != 0 && (r & bit) != 0)
    {
        r ^= bit;
        bit >>= 1;
    }
    return r | bit;
}

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

// ---------------------------------------------------------------------------------------------
// Twiddles c_i + j s_i = e^(j pi i / n) of one pass, W consecutive i at a time.

template <typename T, int W>
struct TableTwiddles
{
    using V = Vec<T, W>;
    const T* c;
    const T* s;

    TableTwiddles (const FFTRealPlan<T>& plan, int pass)
        : c (plan.table[pass])
        , s (plan.table[pass] + (1 << (pass - 1)))
    {
    }
    void get (int i, V& cv, V& sv) const
    {
        cv = load<V> (c + i);
        sv = load<V> (s + i);
    }
    void getScalar (int i, T& cv, T& sv) const
    {
        cv = c[i];
        sv = s[i];
    }
};

template <typename T, int W>
struct ProductTwiddles
{
    using V = Vec<T, W>;
    const T* fc;
    const T* fs;
    const T* coarse;
    int bits;
    int mask;

    ProductTwiddles (const FFTRealPlan<T>& plan, int pass)
        : fc (plan.fineCos[pass])
        , fs (plan.fineSin[pass])
        , coarse (plan.coarse[pass])
        , bits (plan.fineBits[pass])
        , mask ((1 << plan.fineBits[pass]) - 1)
    {
    }
    void get (int i, V& cv, V& sv) const
    {
        const T* k = coarse + 2 * (i >> bits);
        const int l = i & mask;
        const V a = load<V> (fc + l), b = load<V> (fs + l);
        cv = a * k[0] - b * k[1];
        sv = a * k[1] + b * k[0];
    }
    void getScalar (int i, T& cv, T& sv) const
    {
        const T* k = coarse + 2 * (i >> bits);
        const int l = i & mask;
        cv = fc[l] * k[0] - fs[l] * k[1];
        sv = fc[l] * k[1] + fs[l] * k[0];
    }
};

// Calls body (i) for vectors of W butterflies covering i = 1 .. h - 1 (h >= 2 W). The first
// vector starts at 1 and overlaps the second; the passes write to another buffer than they
// read, so a butterfly computed twice writes the same values twice.
template <int W, typename Body>
inline void forEachVector (int h, const Body& body)
{
    body (1);
    for (int i = W > 1 ? W : 2; i < h; i += W)
        body (i);
}

// ---------------------------------------------------------------------------------------------
// Horizontal passes over `count` values (a whole number of blocks).

// Forward pass `pass` (n = 2^pass): pairs of n-point spectra into 2n-point spectra.
template <int W, typename T, typename Tw>
void forwardPass (T* dst, const T* src, int count, int pass, const Tw& tw)
{
    using V = Vec<T, W>;
    const int n = 1 << pass, h = n >> 1;
    for (int c = 0; c < count; c += 2 * n)
    {
        const T* s = src + c;
        T* d = dst + c;
        d[0] = s[0] + s[n];
        d[n] = s[0] - s[n];
        d[h] = s[h];
        d[n + h] = s[n + h];
        forEachVector<W> (h,
                          [=, &tw] (int i)
                          {
                              V ci, si;
                              tw.get (i, ci, si);
                              const V a = load<V> (s + i), b = load<V> (s + h + i);
                              const V e = load<V> (s + n + i), g = load<V> (s + n + h + i);
                              const V v = e * ci - g * si;
                              const V w = e * si + g * ci;
                              store (d + i, a + v);
                              storeDown<W> (d + n - i, a - v);
                              store (d + n + i, w + b);
                              storeDown<W> (d + 2 * n - i, w - b);
                          });
    }
}

// Forward passes `pass` and `pass` + 1 in one sweep: four n-point spectra into a 4n-point one.
template <int W, typename T, typename Tw1, typename Tw2>
void forwardPass4 (T* dst, const T* src, int count, int pass, const Tw1& tw1, const Tw2& tw2)
{
    using V = Vec<T, W>;
    const int n = 1 << pass, h = n >> 1;
    for (int c = 0; c < count; c += 4 * n)
    {
        const T* s = src + c;
        T* d = dst + c;
        {
            // The terms without twiddles of the first pass, and the second pass at 0, n and h.
            const T a0 = s[0] + s[n], b0 = s[0] - s[n];
            const T a1 = s[2 * n] + s[3 * n], b1 = s[2 * n] - s[3 * n];
            d[0] = a0 + a1;
            d[2 * n] = a0 - a1;
            d[n] = b0;
            d[3 * n] = b1;
            T ch, sh;
            tw2.getScalar (h, ch, sh);
            const T v = s[2 * n + h] * ch - s[3 * n + h] * sh;
            const T w = s[2 * n + h] * sh + s[3 * n + h] * ch;
            d[h] = s[h] + v;
            d[2 * n - h] = s[h] - v;
            d[2 * n + h] = w + s[n + h];
            d[4 * n - h] = w - s[n + h];
        }
        forEachVector<W> (h,
                          [=, &tw1, &tw2] (int i)
                          {
                              V c1, s1, c2, s2;
                              tw1.get (i, c1, s1);
                              tw2.get (i, c2, s2);
                              // First pass on both halves: t (u) holds the values that the
                              // unfused pass writes at i, n - i, n + i, 2n - i (plus 2n).
                              const V a = load<V> (s + i), b = load<V> (s + h + i);
                              const V e = load<V> (s + n + i), g = load<V> (s + n + h + i);
                              const V v0 = e * c1 - g * s1;
                              const V w0 = e * s1 + g * c1;
                              const V t0 = a + v0, t1 = a - v0, t2 = w0 + b, t3 = w0 - b;
                              const V a1 = load<V> (s + 2 * n + i), b1 = load<V> (s + 2 * n + h + i);
                              const V e1 = load<V> (s + 3 * n + i), g1 = load<V> (s + 3 * n + h + i);
                              const V v1 = e1 * c1 - g1 * s1;
                              const V w1 = e1 * s1 + g1 * c1;
                              const V u0 = a1 + v1, u1 = a1 - v1, u2 = w1 + b1, u3 = w1 - b1;
                              // Second pass at i, twiddle (c2, s2) ...
                              const V v = u0 * c2 - u2 * s2;
                              const V w = u0 * s2 + u2 * c2;
                              store (d + i, t0 + v);
                              storeDown<W> (d + 2 * n - i, t0 - v);
                              store (d + 2 * n + i, w + t2);
                              storeDown<W> (d + 4 * n - i, w - t2);
                              // ... and at n - i, whose twiddle is (s2, c2).
                              const V vv = u1 * s2 - u3 * c2;
                              const V ww = u1 * c2 + u3 * s2;
                              storeDown<W> (d + n - i, t1 + vv);
                              store (d + n + i, t1 - vv);
                              storeDown<W> (d + 3 * n - i, ww + t3);
                              store (d + 3 * n + i, ww - t3);
                          });
    }
}

// Inverse pass `pass` (n = 2^pass): 2n-point spectra into pairs of n-point spectra.
template <int W, typename T, typename Tw>
void inversePass (T* dst, const T* src, int count, int pass, const Tw& tw)
{
    using V = Vec<T, W>;
    const int n = 1 << pass, h = n >> 1;
    for (int c = 0; c < count; c += 2 * n)
    {
        const T* s = src + c;
        T* d = dst + c;
        d[0] = s[0] + s[n];
        d[n] = s[0] - s[n];
        d[h] = T (2) * s[h];
        d[n + h] = T (2) * s[n + h];
        forEachVector<W> (h,
                          [=, &tw] (int i)
                          {
                              V ci, si;
                              tw.get (i, ci, si);
                              const V a = load<V> (s + i), b = loadDown<W, V> (s + n - i);
                              const V e = load<V> (s + n + i), g = loadDown<W, V> (s + 2 * n - i);
                              store (d + i, a + b);
                              store (d + h + i, e - g);
                              const V vr = a - b;
                              const V vi = e + g;
                              store (d + n + i, vr * ci + vi * si);
                              store (d + n + h + i, vi * ci - vr * si);
                          });
    }
}

// Inverse passes `pass` + 1 and `pass` in one sweep: a 4n-point spectrum into four n-point ones.
template <int W, typename T, typename Tw1, typename Tw2>
void inversePass4 (T* dst, const T* src, int count, int pass, const Tw1& tw1, const Tw2& tw2)
{
    using V = Vec<T, W>;
    const int n = 1 << pass, h = n >> 1;
    for (int c = 0; c < count; c += 4 * n)
    {
        const T* s = src + c;
        T* d = dst + c;
        {
            // The first (longer) pass at 0, n and h, then the terms without twiddles of the
            // second pass.
            const T t0 = s[0] + s[2 * n], t2n = s[0] - s[2 * n];
            const T tn = T (2) * s[n], t3n = T (2) * s[3 * n];
            T ch, sh;
            tw2.getScalar (h, ch, sh);
            const T th = s[h] + s[2 * n - h];
            const T tnh = s[2 * n + h] - s[4 * n - h];
            const T vr = s[h] - s[2 * n - h];
            const T vi = s[2 * n + h] + s[4 * n - h];
            const T t2nh = vr * ch + vi * sh;
            const T t3nh = vi * ch - vr * sh;
            d[0] = t0 + tn;
            d[n] = t0 - tn;
            d[h] = T (2) * th;
            d[n + h] = T (2) * tnh;
            d[2 * n] = t2n + t3n;
            d[3 * n] = t2n - t3n;
            d[2 * n + h] = T (2) * t2nh;
            d[3 * n + h] = T (2) * t3nh;
        }
        forEachVector<W> (h,
                          [=, &tw1, &tw2] (int i)
                          {
                              V c1, s1, c2, s2;
                              tw1.get (i, c1, s1);
                              tw2.get (i, c2, s2);
                              // First pass at i: the values it writes at i, n + i, 2n + i, 3n + i.
                              const V a = load<V> (s + i), b = loadDown<W, V> (s + 2 * n - i);
                              const V e = load<V> (s + 2 * n + i), g = loadDown<W, V> (s + 4 * n - i);
                              const V ti = a + b, tni = e - g;
                              const V vr = a - b, vi = e + g;
                              const V t2ni = vr * c2 + vi * s2;
                              const V t3ni = vi * c2 - vr * s2;
                              // First pass at n - i (twiddle (s2, c2)): its values at n - i,
                              // 2n - i, 3n - i, 4n - i.
                              const V a1 = loadDown<W, V> (s + n - i), b1 = load<V> (s + n + i);
                              const V e1 = loadDown<W, V> (s + 3 * n - i), g1 = load<V> (s + 3 * n + i);
                              const V tnmi = a1 + b1, t2nmi = e1 - g1;
                              const V vr1 = a1 - b1, vi1 = e1 + g1;
                              const V t3nmi = vr1 * s2 + vi1 * c2;
                              const V t4nmi = vi1 * s2 - vr1 * c2;
                              // Second pass on both halves.
                              store (d + i, ti + tnmi);
                              store (d + h + i, tni - t2nmi);
                              const V xr = ti - tnmi, xi = tni + t2nmi;
                              store (d + n + i, xr * c1 + xi * s1);
                              store (d + n + h + i, xi * c1 - xr * s1);
                              store (d + 2 * n + i, t2ni + t3nmi);
                              store (d + 2 * n + h + i, t3ni - t4nmi);
                              const V yr = t2ni - t3nmi, yi = t3ni + t4nmi;
                              store (d + 3 * n + i, yr * c1 + yi * s1);
                              store (d + 3 * n + h + i, yi * c1 - yr * s1);
                          });
    }
}

// ---------------------------------------------------------------------------------------------
// The small transform of 2^K points on elements of type E (a scalar or a vector of columns),
// with the scalar twiddles of the tables.

// The pass and the size are constants, so that the compiler unrolls the short loops.
template <int Pass, int Count, typename E, typename T>
void smallForwardPass (E* d, const E* s, const T* table)
{
    constexpr int n = 1 << Pass, h = n >> 1;
    for (int c = 0; c < Count; c += 2 * n, s += 2 * n, d += 2 * n)
    {
        d[0] = s[0] + s[n];
        d[n] = s[0] - s[n];
        d[h] = s[h];
        d[n + h] = s[n + h];
        for (int i = 1; i < h; ++i)
        {
            const T ci = table[i], si = table[h + i];
            const E v = s[n + i] * ci - s[n + h + i] * si;
            d[i] = s[i] + v;
            d[n - i] = s[i] - v;
            const E w = s[n + i] * si + s[n + h + i] * ci;
            d[n + i] = w + s[h + i];
            d[2 * n - i] = w - s[h + i];
        }
    }
}

template <int Pass, int Count, typename E, typename T>
void smallInversePass (E* d, const E* s, const T* table)
{
    constexpr int n = 1 << Pass, h = n >> 1;
    for (int c = 0; c < Count; c += 2 * n, s += 2 * n, d += 2 * n)
    {
        d[0] = s[0] + s[n];
        d[n] = s[0] - s[n];
        d[h] = T (2) * s[h];
        d[n + h] = T (2) * s[n + h];
        for (int i = 1; i < h; ++i)
        {
            const T ci = table[i], si = table[h + i];
            d[i] = s[i] + s[n - i];
            d[h + i] = s[n + i] - s[2 * n - i];
            const E vr = s[i] - s[n - i];
            const E vi = s[n + i] + s[2 * n - i];
            d[n + i] = vr * ci + vi * si;
            d[n + h + i] = vi * ci - vr * si;
        }
    }
}

// Passes Pass .. K - 1 from src, alternating with dst. Returns the array holding the result.
template <int Pass, int K, typename E, typename T>
E* smallForwardPasses (E* src, E* dst, const FFTRealPlan<T>& plan)
{
    if constexpr (Pass >= K)
        return src;
    else
    {
        smallForwardPass<Pass, 1 << K> (dst, src, plan.table[Pass]);
        return smallForwardPasses<Pass + 1, K> (dst, src, plan);
    }
}

// Passes Pass down to 3 from src, alternating with dst. Returns the array holding the result.
template <int Pass, int K, typename E, typename T>
E* smallInversePasses (E* src, E* dst, const FFTRealPlan<T>& plan)
{
    if constexpr (Pass < 3)
        return src;
    else
    {
        smallInversePass<Pass, 1 << K> (dst, src, plan.table[Pass]);
        return smallInversePasses<Pass - 1, K> (dst, src, plan);
    }
}

// in: the 2^K inputs in bit-reversed order. Returns a or b, whichever holds the spectrum.
template <int K, typename E, typename T>
const E* smallForward (const E* in, E* a, E* b, const FFTRealPlan<T>& plan)
{
    constexpr int G = 1 << K;
    for (int c = 0; c < G; c += 4)
    {
        const E x0 = in[c], x1 = in[c + 1], x2 = in[c + 2], x3 = in[c + 3];
        a[c + 1] = x0 - x1;
        a[c + 3] = x2 - x3;
        const E s0 = x0 + x1;
        const E s2 = x2 + x3;
        a[c] = s0 + s2;
        a[c + 2] = s0 - s2;
    }
    const T r = halfSqrt2<T>();
    for (int c = 0; c < G; c += 8)
    {
        const E* d = a + c;
        E* s = b + c;
        s[0] = d[0] + d[4];
        s[4] = d[0] - d[4];
        s[2] = d[2];
        s[6] = d[6];
        E v = (d[5] - d[7]) * r;
        s[1] = d[1] + v;
        s[3] = d[1] - v;
        v = (d[5] + d[7]) * r;
        s[5] = v + d[3];
        s[7] = v - d[3];
    }
    return smallForwardPasses<3, K> (b, a, plan);
}

// in: a spectrum of 2^K points (overwritten). Writes the 2^K outputs in bit-reversed order to out.
template <int K, typename E, typename T>
void smallInverse (E* in, E* a, E* out, const FFTRealPlan<T>& plan)
{
    constexpr int G = 1 << K;
    const E* src = smallInversePasses<K - 1, K> (in, a, plan);
    E* dst = src == in ? a : in;
    const T r = halfSqrt2<T>();
    for (int c = 0; c < G; c += 8)
    {
        const E* s = src + c;
        E* d = dst + c;
        d[0] = s[0] + s[4];
        d[4] = s[0] - s[4];
        d[2] = T (2) * s[2];
        d[6] = T (2) * s[6];
        d[1] = s[1] + s[3];
        d[3] = s[5] - s[7];
        const E vr = s[1] - s[3];
        const E vi = s[5] + s[7];
        d[5] = (vr + vi) * r;
        d[7] = (vi - vr) * r;
    }
    for (int c = 0; c < G; c += 4)
    {
        const E b0 = dst[c] + dst[c + 2];
        const E b2 = dst[c] - dst[c + 2];
        const E b1 = T (2) * dst[c + 1];
        const E b3 = T (2) * dst[c + 3];
        out[c] = b0 + b1;
        out[c + 1] = b0 - b1;
        out[c + 2] = b2 + b3;
        out[c + 3] = b2 - b3;
    }
}

// ---------------------------------------------------------------------------------------------
// Transpose of W vectors of W lanes: bit m of the row and of the lane index are exchanged for
// m = 1, 2, 4, ...

template <int W, int M, typename V, std::size_t... I>
inline V exchangeLow (V a, V b, std::index_sequence<I...>)
{
    return __builtin_shufflevector (a, b, (((int)I & M) != 0 ? W + (int)I - M : (int)I)...);
}

template <int W, int M, typename V, std::size_t... I>
inline V exchangeHigh (V a, V b, std::index_sequence<I...>)
{
    return __builtin_shufflevector (a, b, (((int)I & M) != 0 ? W + (int)I : (int)I + M)...);
}

template <int W, int M, typename V>
inline void transposeStage (V* rows)
{
    if constexpr (M < W)
    {
        for (int r = 0; r < W; ++r)
            if ((r & M) == 0)
            {
                const V a = rows[r], b = rows[r + M];
                rows[r] = exchangeLow<W, M> (a, b, std::make_index_sequence<W>());
                rows[r + M] = exchangeHigh<W, M> (a, b, std::make_index_sequence<W>());
            }
        transposeStage<W, 2 * M> (rows);
    }
}

template <int W, typename V>
inline void transpose (V* rows)
{
    if constexpr (W > 1)
        transposeStage<W, 1> (rows);
}

// ---------------------------------------------------------------------------------------------
// The vertical stages. Position q = 2^K g + j of the work buffer (point j of group g) holds input
// x[reverse_b (q)] = x[reverse_K (j) 2^M + reverse_M (g)] with M = b - K; for W consecutive
// columns base .. base + W - 1 (base a multiple of W), lane t is group
// g_t = reverse_M (base) + reverse_w (t) 2^(M - w).

template <int K>
struct ReversedIndices
{
    int value[1 << K] = {};
    constexpr ReversedIndices()
    {
        for (int j = 0; j < (1 << K); ++j)
            value[j] = reverseBits (j, K);
    }
};

template <int W, int K, typename T>
void verticalForward (T* dst, const T* x, const FFTRealPlan<T>& plan)
{
    using V = Vec<T, W>;
    constexpr int G = 1 << K, w = log2Of (W);
    static constexpr ReversedIndices<K> revK{};
    static constexpr ReversedIndices<w> revW{};
    const int M = plan.numBits - K;
    const int rowLength = 1 << M;
    const int laneStride = 1 << (M - w);
    V in[G], a[G], b[G];
    int group = 0; // reverse_M (base)
    for (int base = 0; base < rowLength; base += W)
    {
        for (int j = 0; j < G; ++j)
            in[j] = load<V> (x + revK.value[j] * rowLength + base);
        const V* out = smallForward<K> (in, a, b, plan);
        if constexpr (W == 1)
        {
            for (int j = 0; j < G; ++j)
                dst[G * group + j] = out[j];
        }
        else
        {
            for (int m = 0; m < G; m += W)
            {
                V rows[W];
                for (int r = 0; r < W; ++r)
                    rows[r] = out[m + r];
                transpose<W> (rows);
                for (int t = 0; t < W; ++t)
                    store (dst + G * (group + revW.value[t] * laneStride) + m, rows[t]);
            }
        }
        group = nextReversed (group, M - w);
    }
}

template <int W, int K, typename T>
void verticalInverse (T* x, const T* src, const FFTRealPlan<T>& plan)
{
    using V = Vec<T, W>;
    constexpr int G = 1 << K, w = log2Of (W);
    static constexpr ReversedIndices<K> revK{};
    static constexpr ReversedIndices<w> revW{};
    const int M = plan.numBits - K;
    const int rowLength = 1 << M;
    const int laneStride = 1 << (M - w);
    V in[G], a[G], out[G];
    int group = 0;
    for (int base = 0; base < rowLength; base += W)
    {
        if constexpr (W == 1)
        {
            for (int j = 0; j < G; ++j)
                in[j] = src[G * group + j];
        }
        else
        {
            for (int m = 0; m < G; m += W)
            {
                V rows[W];
                for (int t = 0; t < W; ++t)
                    rows[t] = load<V> (src + G * (group + revW.value[t] * laneStride) + m);
                transpose<W> (rows);
                for (int r = 0; r < W; ++r)
                    in[m + r] = rows[r];
            }
        }
        smallInverse<K> (in, a, out, plan);
        for (int j = 0; j < G; ++j)
            store (x + revK.value[j] * rowLength + base, out[j]);
        group = nextReversed (group, M - w);
    }
}

// ---------------------------------------------------------------------------------------------
// Schedule and drivers.

// The horizontal passes K .. b - 1 as sweeps of one or two passes: an odd number of sweeps (so
// that the vertical stage can always use the work buffer), as few as possible, the single passes
// first.
struct Schedule
{
    int k = 0;
    int sweeps = 0;
    int singles = 0;

    static Schedule make (int numBits, int k)
    {
        Schedule s;
        s.k = k;
        const int passes = numBits - k;
        if (passes <= 0)
            return s;
        s.sweeps = (passes + 1) / 2;
        if (s.sweeps % 2 == 0)
            ++s.sweeps;
        s.singles = 2 * s.sweeps - passes;
        return s;
    }

    // Lowest pass of sweep i and the number of passes it runs.
    int passOf (int i) const { return i < singles ? k + i : k + singles + 2 * (i - singles); }
    int widthOf (int i) const { return i < singles ? 1 : 2; }
};

// Values per block of the passes that run block by block (about 256 kB).
template <typename T>
constexpr int chunkLength()
{
    return (256 * 1024) / (int)sizeof (T);
}

template <int W, typename T, typename Run>
void withTwiddles (const FFTRealPlan<T>& plan, int pass, Run&& run)
{
    if (pass <= FFTRealPlan<T>::tableBitLimit)
        run (TableTwiddles<T, W> (plan, pass));
    else
        run (ProductTwiddles<T, W> (plan, pass));
}

template <int W, typename T>
void forwardSweep (const FFTRealPlan<T>& plan, const Schedule& s, int i, T* dst, const T* src, int count)
{
    const int pass = s.passOf (i);
    if (s.widthOf (i) == 1)
        withTwiddles<W> (plan, pass, [&] (const auto& tw) { forwardPass<W> (dst, src, count, pass, tw); });
    else
        withTwiddles<W> (plan, pass,
                         [&] (const auto& tw1)
                         {
                             withTwiddles<W> (plan, pass + 1,
                                              [&] (const auto& tw2)
                                              { forwardPass4<W> (dst, src, count, pass, tw1, tw2); });
                         });
}

template <int W, typename T>
void inverseSweep (const FFTRealPlan<T>& plan, const Schedule& s, int i, T* dst, const T* src, int count)
{
    const int pass = s.passOf (i);
    if (s.widthOf (i) == 1)
        withTwiddles<W> (plan, pass, [&] (const auto& tw) { inversePass<W> (dst, src, count, pass, tw); });
    else
        withTwiddles<W> (plan, pass,
                         [&] (const auto& tw1)
                         {
                             withTwiddles<W> (plan, pass + 1,
                                              [&] (const auto& tw2)
                                              { inversePass4<W> (dst, src, count, pass, tw1, tw2); });
                         });
}

// Sweeps whose blocks fit in a chunk run chunk by chunk: all of them on one chunk, then the next.
inline int blockBits (const Schedule& s, int i)
{
    return s.passOf (i) + s.widthOf (i) + 1;
}

template <int W, int K, typename T>
void runForward (const FFTRealPlan<T>& plan, T* f, const T* x)
{
    const auto s = Schedule::make (plan.numBits, K);
    if (s.sweeps == 0)
    {
        verticalForward<W, K> (f, x, plan); // one group: read whole before it is written
        return;
    }
    T* work = plan.work;
    verticalForward<W, K> (work, x, plan);

    // Sweep i reads the work buffer when i is even and f when it is odd.
    const auto source = [&] (int i) { return i % 2 == 0 ? work : f; };
    const auto destination = [&] (int i) { return i % 2 == 0 ? f : work; };
    const int n = plan.length;
    const int chunk = std::min (n, chunkLength<T>());
    int first = 0;
    while (first < s.sweeps && (1 << blockBits (s, first)) <= chunk)
        ++first;
    for (int c = 0; c < n && first > 0; c += chunk)
        for (int i = 0; i < first; ++i)
            forwardSweep<W> (plan, s, i, destination (i) + c, source (i) + c, chunk);
    for (int i = first; i < s.sweeps; ++i)
        forwardSweep<W> (plan, s, i, destination (i), source (i), n);
}

template <int W, int K, typename T>
void runInverse (const FFTRealPlan<T>& plan, const T* f, T* x)
{
    const auto s = Schedule::make (plan.numBits, K);
    if (s.sweeps == 0)
    {
        verticalInverse<W, K> (x, f, plan);
        return;
    }
    T* work = plan.work;
    // The sweeps run from the last (longest) down; the k-th of them reads f (k = 0), then x and
    // the work buffer in turn, and the last one (k odd in count) writes the work buffer.
    const auto source = [&] (int k) -> const T* { return k == 0 ? f : (k % 2 == 1 ? work : x); };
    const auto destination = [&] (int k) { return k % 2 == 0 ? work : x; };
    const int n = plan.length;
    const int chunk = std::min (n, chunkLength<T>());
    int first = 0; // sweeps 0 .. first - 1 (the shortest) run chunk by chunk
    while (first < s.sweeps && (1 << blockBits (s, first)) <= chunk)
        ++first;
    for (int i = s.sweeps - 1; i >= first; --i)
    {
        const int k = s.sweeps - 1 - i;
        inverseSweep<W> (plan, s, i, destination (k), source (k), n);
    }
    for (int c = 0; c < n && first > 0; c += chunk)
        for (int i = first - 1; i >= 0; --i)
        {
            const int k = s.sweeps - 1 - i;
            inverseSweep<W> (plan, s, i, destination (k) + c, source (k) + c, chunk);
        }
    verticalInverse<W, K> (x, work, plan);
}

// ---------------------------------------------------------------------------------------------
// Choice of vector width and vertical size.

template <typename T>
constexpr int maxWidth()
{
    return FFTREAL_MAX_BYTES / (int)sizeof (T);
}

// The smallest vertical size for W lanes: its horizontal passes then have at least 2 W
// butterflies per block.
constexpr int minVerticalBits (int w)
{
    return w <= 2 ? 3 : log2Of (w) + 2;
}

// Among vertical sizes kMin .. kMin + 2 that leave W whole columns, the one with the fewest
// sweeps (the smallest on a tie). -1 when none fits.
inline int chooseVerticalBits (int numBits, int w)
{
    const int kMin = minVerticalBits (w);
    int best = -1, bestSweeps = 0;
    for (int k = kMin; k <= kMin + 2; ++k)
    {
        if (numBits - k < log2Of (w))
            break;
        const int sweeps = Schedule::make (numBits, k).sweeps;
        if (best < 0 || sweeps < bestSweeps)
        {
            best = k;
            bestSweeps = sweeps;
        }
    }
    return best;
}

template <int W, typename T, typename Run>
bool dispatchVertical (int numBits, Run&& run)
{
    constexpr int kMin = minVerticalBits (W);
    switch (chooseVerticalBits (numBits, W) - kMin)
    {
        case 0:
            run (std::integral_constant<int, W>(), std::integral_constant<int, kMin>());
            return true;
        case 1:
            run (std::integral_constant<int, W>(), std::integral_constant<int, kMin + 1>());
            return true;
        case 2:
            run (std::integral_constant<int, W>(), std::integral_constant<int, kMin + 2>());
            return true;
        default:
            return false;
    }
}

// Runs run (W, K) with the widest W that the length allows.
template <typename T, int W, typename Run>
void dispatch (int numBits, Run&& run)
{
    if constexpr (W > 1)
    {
        if (!dispatchVertical<W, T> (numBits, run))
            dispatch<T, W / 2> (numBits, run);
    }
    else
    {
        dispatchVertical<1, T> (numBits, run);
    }
}

template <typename T>
void forwardEntry (const FFTRealPlan<T>& plan, T* f, const T* x)
{
    dispatch<T, maxWidth<T>()> (plan.numBits, [&] (auto w, auto k)
                                { runForward<decltype (w)::value, decltype (k)::value> (plan, f, x); });
}

template <typename T>
void inverseEntry (const FFTRealPlan<T>& plan, const T* f, T* x)
{
    dispatch<T, maxWidth<T>()> (plan.numBits, [&] (auto w, auto k)
                                { runInverse<decltype (w)::value, decltype (k)::value> (plan, f, x); });
}

template <typename T>
FFTRealKernels<T> makeKernels()
{
    FFTRealKernels<T> k;
    k.forward = &forwardEntry<T>;
    k.inverse = &inverseEntry<T>;
    return k;
}
