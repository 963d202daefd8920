// The vector helpers, twiddle sources, butterflies and horizontal passes of FFTReal, templates
// over the vector width. Not a normal header: FFTRealKernels.h includes it inside each
// instruction-set unit's namespace (see there).

// The butterflies and the per-vector bodies must be inlined into their loops; the compiler's own
// estimate would otherwise call them once per vector.
#define FFTREAL_INLINE __attribute__ ((always_inline))

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
FFTREAL_INLINE inline V load (const T* p)
{
    V v;
    __builtin_memcpy (&v, p, sizeof (V));
    return v;
}

template <typename T, typename V>
FFTREAL_INLINE inline void store (T* p, const V& v)
{
    __builtin_memcpy (p, &v, sizeof (V));
}

template <int W, typename V, std::size_t... I>
FFTREAL_INLINE inline V reverseLanes (V v, std::index_sequence<I...>)
{
    return __builtin_shufflevector (v, v, (W - 1 - (int)I)...);
}

template <int W, typename V>
FFTREAL_INLINE inline V reverse (V v)
{
    if constexpr (W == 1)
        return v;
    else
        return reverseLanes<W> (v, std::make_index_sequence<W>());
}

// Lane l of the result is p[-l]; lane l of v is stored to p[-l].
template <int W, typename V, typename T>
FFTREAL_INLINE inline V loadDown (const T* p)
{
    return reverse<W> (load<V> (p - (W - 1)));
}

template <int W, typename T, typename V>
FFTREAL_INLINE inline void storeDown (T* p, V v)
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

// 2 v for a scalar or a vector (exactly as 2 * v).
template <typename E>
FFTREAL_INLINE inline E twice (E v)
{
    return v + v;
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

// The twiddles of a vector at the mirrored indices j, j - 1, ..., j - (W - 1), lane by lane as
// getScalar gives them (whatever W, so that every instruction set rounds them alike).
template <int W, typename V, typename T, typename Tw>
FFTREAL_INLINE inline void twiddlesDown (const Tw& tw, int j, V& cv, V& sv)
{
    T c[W], s[W];
    for (int l = 0; l < W; ++l)
        tw.getScalar (j - l, c[l], s[l]);
    cv = load<V> (c);
    sv = load<V> (s);
}

// Calls body (i) for vectors of W butterflies covering i = 1 .. h - 1 (h >= 2 W). The first
// vector starts at 1 and overlaps the second; the passes write to another buffer than they
// read, so a butterfly computed twice writes the same values twice.
template <int W, typename Body>
inline void forEachVector (int h, const Body& body)
{
    // One call site, so that the compiler inlines the body: i = 1, then W, 2W, ...
    for (int i = 1; i < h; i = (i + W) & ~(W - 1))
        body (i);
}

// ---------------------------------------------------------------------------------------------
// Butterflies, shared by the horizontal passes (V a vector of W consecutive i, with twiddle
// vectors) and by the small transform (V a vector of columns, or a scalar, with scalar
// twiddles). Each is the arithmetic of one radix-2 butterfly of FFTReal.h; a fused (radix-4)
// step runs four of them. A pass p has n = 2^p and h = n / 2.

template <typename V>
struct Quad
{
    V a, b, c, d;
};

// Forward pass at 1 <= i < h, from S[i], S[h + i], S[n + i], S[n + h + i]:
// D[i], D[n - i], D[n + i], D[2n - i].
template <typename V, typename Tw>
FFTREAL_INLINE inline Quad<V> forwardButterfly (V si, V shi, V sni, V snhi, Tw c, Tw s)
{
    const V v = sni * c - snhi * s;
    const V w = sni * s + snhi * c;
    return {si + v, si - v, w + shi, w - shi};
}

// Inverse pass at 1 <= i < h, from S[i], S[n - i], S[n + i], S[2n - i]:
// D[i], D[h + i], D[n + i], D[n + h + i].
template <typename V, typename Tw>
FFTREAL_INLINE inline Quad<V> inverseButterfly (V si, V snmi, V sni, V s2nmi, Tw c, Tw s)
{
    const V vr = si - snmi;
    const V vi = sni + s2nmi;
    return {si + snmi, sni - s2nmi, vr * c + vi * s, vi * c - vr * s};
}

// Forward passes p and p + 1 at 1 <= i < h, from S at i, h + i, n + i, n + h + i and the same
// plus 2n: x = D at i, 2n - i, 2n + i, 4n - i and y = D at n - i, n + i, 3n - i, 3n + i.
// (c2, s2) is pass p + 1's twiddle at i; its twiddle at n - i is (s2, c2).
template <typename V, typename Tw>
FFTREAL_INLINE inline void forwardButterfly4 (const V (&s)[8], Tw c1, Tw s1, Tw c2, Tw s2, Quad<V>& x,
                                              Quad<V>& y)
{
    const auto t = forwardButterfly (s[0], s[1], s[2], s[3], c1, s1); // at i, n - i, n + i, 2n - i
    const auto u = forwardButterfly (s[4], s[5], s[6], s[7], c1, s1); // the same plus 2n
    x = forwardButterfly (t.a, t.c, u.a, u.c, c2, s2);
    y = forwardButterfly (t.b, t.d, u.b, u.d, s2, c2);
}

// Inverse passes p + 1 and p at 1 <= i < h, from S at i, 2n - i, 2n + i, 4n - i (first) and
// n - i, n + i, 3n - i, 3n + i (second): x = D at i, h + i, n + i, n + h + i and y = the same
// plus 2n.
template <typename V, typename Tw>
FFTREAL_INLINE inline void inverseButterfly4 (const Quad<V>& first, const Quad<V>& second, Tw c1, Tw s1,
                                              Tw c2, Tw s2, Quad<V>& x, Quad<V>& y)
{
    const auto t =
        inverseButterfly (first.a, first.b, first.c, first.d, c2, s2); // at i, n + i, 2n + i, 3n + i
    const auto u = inverseButterfly (second.a, second.b, second.c, second.d, s2, c2); // at n - i, 2n - i, ...
    x = inverseButterfly (t.a, u.a, t.b, u.b, c1, s1);
    y = inverseButterfly (t.c, u.c, t.d, u.d, c1, s1);
}

// The terms without twiddles of one block: a forward pass at 0 and h.
template <typename E>
FFTREAL_INLINE inline void forwardEnds (E* d, const E* s, int n)
{
    const int h = n / 2;
    d[0] = s[0] + s[n];
    d[n] = s[0] - s[n];
    d[h] = s[h];
    d[n + h] = s[n + h];
}

// Fused forward passes at 0 and h, and the second at h with its twiddle (ch, sh).
template <typename E, typename T>
FFTREAL_INLINE inline void forwardEnds4 (E* d, const E* s, int n, T ch, T sh)
{
    const int h = n / 2;
    const E a0 = s[0] + s[n], b0 = s[0] - s[n];
    const E a1 = s[2 * n] + s[3 * n], b1 = s[2 * n] - s[3 * n];
    d[0] = a0 + a1;
    d[2 * n] = a0 - a1;
    d[n] = b0;
    d[3 * n] = b1;
    const auto q = forwardButterfly (s[h], s[n + h], s[2 * n + h], s[3 * n + h], ch, sh);
    d[h] = q.a;
    d[2 * n - h] = q.b;
    d[2 * n + h] = q.c;
    d[4 * n - h] = q.d;
}

template <typename E>
FFTREAL_INLINE inline void inverseEnds (E* d, const E* s, int n)
{
    const int h = n / 2;
    d[0] = s[0] + s[n];
    d[n] = s[0] - s[n];
    d[h] = twice (s[h]);
    d[n + h] = twice (s[n + h]);
}

// Fused inverse passes: the first at 0, n and h (twiddle (ch, sh)), then the second at 0 and h.
template <typename E, typename T>
FFTREAL_INLINE inline void inverseEnds4 (E* d, const E* s, int n, T ch, T sh)
{
    const int h = n / 2;
    const E t0 = s[0] + s[2 * n], t2n = s[0] - s[2 * n];
    const E tn = twice (s[n]), t3n = twice (s[3 * n]);
    const auto q = inverseButterfly (s[h], s[2 * n - h], s[2 * n + h], s[4 * n - h], ch, sh);
    d[0] = t0 + tn;
    d[n] = t0 - tn;
    d[h] = twice (q.a);
    d[n + h] = twice (q.b);
    d[2 * n] = t2n + t3n;
    d[3 * n] = t2n - t3n;
    d[2 * n + h] = twice (q.c);
    d[3 * n + h] = twice (q.d);
}

// ---------------------------------------------------------------------------------------------
// Horizontal passes over `count` values (a whole number of blocks), W butterflies at a time.

// Forward pass `pass`: pairs of n-point spectra into 2n-point spectra.
template <int W, typename T, typename Tw>
void forwardPass (T* dst, const T* src, int count, int pass, const Tw& tw)
{
    using V = Vec<T, W>;
    const int n = 1 << pass, h = n >> 1;
    for (int c = 0; c < count; c += 2 * n)
    {
        const T* s = src + c;
        T* d = dst + c;
        forwardEnds (d, s, n);
        forEachVector<W> (h,
                          [=, &tw] (int i) FFTREAL_INLINE
                          {
                              V ci, si;
                              tw.get (i, ci, si);
                              const auto q =
                                  forwardButterfly (load<V> (s + i), load<V> (s + h + i), load<V> (s + n + i),
                                                    load<V> (s + n + h + i), ci, si);
                              store (d + i, q.a);
                              storeDown<W> (d + n - i, q.b);
                              store (d + n + i, q.c);
                              storeDown<W> (d + 2 * n - i, q.d);
                          });
    }
}

// Forward passes `pass` and `pass` + 1 in one sweep: four n-point spectra into a 4n-point one.
template <int W, typename T, typename Tw1, typename Tw2>
void forwardPass4 (T* dst, const T* src, int count, int pass, const Tw1& tw1, const Tw2& tw2)
{
    using V = Vec<T, W>;
    const int n = 1 << pass, h = n >> 1;
    T ch, sh;
    tw2.getScalar (h, ch, sh);
    for (int c = 0; c < count; c += 4 * n)
    {
        const T* s = src + c;
        T* d = dst + c;
        forwardEnds4 (d, s, n, ch, sh);
        forEachVector<W> (h,
                          [=, &tw1, &tw2] (int i) FFTREAL_INLINE
                          {
                              V c1, s1, c2, s2;
                              tw1.get (i, c1, s1);
                              tw2.get (i, c2, s2);
                              const V in[8] = {load<V> (s + i),         load<V> (s + h + i),
                                               load<V> (s + n + i),     load<V> (s + n + h + i),
                                               load<V> (s + 2 * n + i), load<V> (s + 2 * n + h + i),
                                               load<V> (s + 3 * n + i), load<V> (s + 3 * n + h + i)};
                              Quad<V> x, y;
                              forwardButterfly4 (in, c1, s1, c2, s2, x, y);
                              store (d + i, x.a);
                              storeDown<W> (d + 2 * n - i, x.b);
                              store (d + 2 * n + i, x.c);
                              storeDown<W> (d + 4 * n - i, x.d);
                              storeDown<W> (d + n - i, y.a);
                              store (d + n + i, y.b);
                              storeDown<W> (d + 3 * n - i, y.c);
                              store (d + 3 * n + i, y.d);
                          });
    }
}

// Inverse pass `pass`: 2n-point spectra into pairs of n-point spectra.
template <int W, typename T, typename Tw>
void inversePass (T* dst, const T* src, int count, int pass, const Tw& tw)
{
    using V = Vec<T, W>;
    const int n = 1 << pass, h = n >> 1;
    for (int c = 0; c < count; c += 2 * n)
    {
        const T* s = src + c;
        T* d = dst + c;
        inverseEnds (d, s, n);
        forEachVector<W> (h,
                          [=, &tw] (int i) FFTREAL_INLINE
                          {
                              V ci, si;
                              tw.get (i, ci, si);
                              const auto q = inverseButterfly (load<V> (s + i), loadDown<W, V> (s + n - i),
                                                               load<V> (s + n + i),
                                                               loadDown<W, V> (s + 2 * n - i), ci, si);
                              store (d + i, q.a);
                              store (d + h + i, q.b);
                              store (d + n + i, q.c);
                              store (d + n + h + i, q.d);
                          });
    }
}

// Inverse passes `pass` + 1 and `pass` in one sweep: a 4n-point spectrum into four n-point ones.
template <int W, typename T, typename Tw1, typename Tw2>
void inversePass4 (T* dst, const T* src, int count, int pass, const Tw1& tw1, const Tw2& tw2)
{
    using V = Vec<T, W>;
    const int n = 1 << pass, h = n >> 1;
    T ch, sh;
    tw2.getScalar (h, ch, sh);
    for (int c = 0; c < count; c += 4 * n)
    {
        const T* s = src + c;
        T* d = dst + c;
        inverseEnds4 (d, s, n, ch, sh);
        forEachVector<W> (h,
                          [=, &tw1, &tw2] (int i) FFTREAL_INLINE
                          {
                              V c1, s1, c2, s2;
                              tw1.get (i, c1, s1);
                              tw2.get (i, c2, s2);
                              const Quad<V> first{load<V> (s + i), loadDown<W, V> (s + 2 * n - i),
                                                  load<V> (s + 2 * n + i), loadDown<W, V> (s + 4 * n - i)};
                              const Quad<V> second{loadDown<W, V> (s + n - i), load<V> (s + n + i),
                                                   loadDown<W, V> (s + 3 * n - i), load<V> (s + 3 * n + i)};
                              Quad<V> x, y;
                              inverseButterfly4 (first, second, c1, s1, c2, s2, x, y);
                              store (d + i, x.a);
                              store (d + h + i, x.b);
                              store (d + n + i, x.c);
                              store (d + n + h + i, x.d);
                              store (d + 2 * n + i, y.a);
                              store (d + 2 * n + h + i, y.b);
                              store (d + 3 * n + i, y.c);
                              store (d + 3 * n + h + i, y.d);
                          });
    }
}

// q.a .. q.d into d at a, b, c and e times h.
template <typename E>
FFTREAL_INLINE inline void storeAt (E* d, int h, const Quad<E>& q, int a, int b, int c, int e)
{
    d[a * h] = q.a;
    d[b * h] = q.b;
    d[c * h] = q.c;
    d[e * h] = q.d;
}

// Forward passes `pass` .. `pass` + 2 in one sweep: eight n-point spectra into an 8n-point one. For
// each i the four butterflies of the first pass at i feed the second pass at i and n - i
// (forwardButterfly4), and these the third at i, 2n - i, n - i and n + i. The terms at 0, h, n and
// 3h of the block come from forwardEnds8.
template <typename E, typename T>
FFTREAL_INLINE inline void forwardEnds8 (E* d, const E* s, int n, T c2h, T s2h, T c3n, T s3n, T c3h, T s3h)
{
    const int h = n / 2;
    forwardEnds4 (d, s, n, c2h, s2h);
    forwardEnds4 (d + 4 * n, s + 4 * n, n, c2h, s2h);
    E v[16];
    for (int k = 0; k < 16; ++k)
        v[k] = d[k * h];
    d[0] = v[0] + v[8];
    d[8 * h] = v[0] - v[8];
    d[4 * h] = v[4];
    d[12 * h] = v[12];
    storeAt (d, h, forwardButterfly (v[2], v[6], v[10], v[14], c3n, s3n), 2, 6, 10, 14);
    storeAt (d, h, forwardButterfly (v[1], v[5], v[9], v[13], c3h, s3h), 1, 7, 9, 15);
    storeAt (d, h, forwardButterfly (v[3], v[7], v[11], v[15], s3h, c3h), 3, 5, 11, 13);
}

template <int W, typename T, typename Tw>
void forwardPass8 (T* dst, const T* src, int count, int pass, const Tw& tw1, const Tw& tw2, const Tw& tw3)
{
    using V = Vec<T, W>;
    const int n = 1 << pass, h = n >> 1;
    T c2h, s2h, c3n, s3n, c3h, s3h;
    tw2.getScalar (h, c2h, s2h);
    tw3.getScalar (n, c3n, s3n);
    tw3.getScalar (h, c3h, s3h);
    for (int c = 0; c < count; c += 8 * n)
    {
        const T* s = src + c;
        T* d = dst + c;
        forwardEnds8 (d, s, n, c2h, s2h, c3n, s3n, c3h, s3h);
        forEachVector<W> (h,
                          [=, &tw1, &tw2, &tw3] (int i) FFTREAL_INLINE
                          {
                              V c1, s1, c2, s2, c3, s3, c3m, s3m;
                              tw1.get (i, c1, s1);
                              tw2.get (i, c2, s2);
                              tw3.get (i, c3, s3);
                              twiddlesDown<W, V, T> (tw3, n - i, c3m, s3m);
                              Quad<V> x[2], y[2];
                              for (int half = 0; half < 2; ++half)
                              {
                                  const T* q = s + 4 * n * half;
                                  const V in[8] = {load<V> (q + i),         load<V> (q + h + i),
                                                   load<V> (q + n + i),     load<V> (q + n + h + i),
                                                   load<V> (q + 2 * n + i), load<V> (q + 2 * n + h + i),
                                                   load<V> (q + 3 * n + i), load<V> (q + 3 * n + h + i)};
                                  forwardButterfly4 (in, c1, s1, c2, s2, x[half], y[half]);
                              }
                              const auto atI = forwardButterfly (x[0].a, x[0].c, x[1].a, x[1].c, c3, s3);
                              const auto at2NmI = forwardButterfly (x[0].b, x[0].d, x[1].b, x[1].d, s3, c3);
                              const auto atNmI = forwardButterfly (y[0].a, y[0].c, y[1].a, y[1].c, c3m, s3m);
                              const auto atNpI = forwardButterfly (y[0].b, y[0].d, y[1].b, y[1].d, s3m, c3m);
                              store (d + i, atI.a);
                              storeDown<W> (d + 4 * n - i, atI.b);
                              store (d + 4 * n + i, atI.c);
                              storeDown<W> (d + 8 * n - i, atI.d);
                              storeDown<W> (d + 2 * n - i, at2NmI.a);
                              store (d + 2 * n + i, at2NmI.b);
                              storeDown<W> (d + 6 * n - i, at2NmI.c);
                              store (d + 6 * n + i, at2NmI.d);
                              storeDown<W> (d + n - i, atNmI.a);
                              store (d + 3 * n + i, atNmI.b);
                              storeDown<W> (d + 5 * n - i, atNmI.c);
                              store (d + 7 * n + i, atNmI.d);
                              store (d + n + i, atNpI.a);
                              storeDown<W> (d + 3 * n - i, atNpI.b);
                              store (d + 5 * n + i, atNpI.c);
                              storeDown<W> (d + 7 * n - i, atNpI.d);
                          });
    }
}
