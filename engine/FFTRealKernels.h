// The transforms of FFTReal as templates over the vector width. Not a normal header: each
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
// - each later pass runs "horizontally", W butterflies at a time, two passes in a row fused into
//   one sweep (radix 4), and, in the forward transform, the passes too long for the cache three
//   to a sweep (radix 8), each of these sweeps crossing the whole buffer (Schedule);
// - passes whose blocks fit in the cache run block by block, so that long transforms sweep
//   memory only for the few long passes.
// In place, the vertical stage writes the work buffer and an odd number of sweeps follows, so the
// forward transform ends in f and reads x only in its first stage; the inverse mirrors this.
// Hence f and x may be the same array. Out of place, a long transform may take an even number of
// sweeps, its vertical stage then writing f (reading f, for the inverse) itself.

#ifndef FFTREAL_MAX_BYTES
#error "define FFTREAL_MAX_BYTES before including FFTRealKernels.h"
#endif

#include "engine/FFTRealPasses.h"

// ---------------------------------------------------------------------------------------------
// The small transform of 2^K points on elements of type E (a scalar, or a vector of columns),
// with the scalar twiddles of the tables. Pass and size are constants, so that the compiler
// unrolls the short loops.

template <int Pass, int Count, typename E, typename T>
void smallForwardPass (E* d, const E* s, const T* table)
{
    constexpr int n = 1 << Pass, h = n >> 1;
    for (int c = 0; c < Count; c += 2 * n, s += 2 * n, d += 2 * n)
    {
        forwardEnds (d, s, n);
        for (int i = 1; i < h; ++i)
        {
            const auto q = forwardButterfly (s[i], s[h + i], s[n + i], s[n + h + i], table[i], table[h + i]);
            d[i] = q.a;
            d[n - i] = q.b;
            d[n + i] = q.c;
            d[2 * n - i] = q.d;
        }
    }
}

// Passes Pass and Pass + 1 fused; table1 and table2 are their twiddle tables.
template <int Pass, int Count, typename E, typename T>
void smallForwardPass4 (E* d, const E* s, const T* table1, const T* table2)
{
    constexpr int n = 1 << Pass, h = n >> 1;
    for (int c = 0; c < Count; c += 4 * n, s += 4 * n, d += 4 * n)
    {
        forwardEnds4 (d, s, n, table2[h], table2[n + h]);
        for (int i = 1; i < h; ++i)
        {
            const E in[8] = {s[i],         s[h + i],         s[n + i],     s[n + h + i],
                             s[2 * n + i], s[2 * n + h + i], s[3 * n + i], s[3 * n + h + i]};
            Quad<E> x, y;
            forwardButterfly4 (in, table1[i], table1[h + i], table2[i], table2[n + i], x, y);
            d[i] = x.a;
            d[2 * n - i] = x.b;
            d[2 * n + i] = x.c;
            d[4 * n - i] = x.d;
            d[n - i] = y.a;
            d[n + i] = y.b;
            d[3 * n - i] = y.c;
            d[3 * n + i] = y.d;
        }
    }
}

template <int Pass, int Count, typename E, typename T>
void smallInversePass (E* d, const E* s, const T* table)
{
    constexpr int n = 1 << Pass, h = n >> 1;
    for (int c = 0; c < Count; c += 2 * n, s += 2 * n, d += 2 * n)
    {
        inverseEnds (d, s, n);
        for (int i = 1; i < h; ++i)
        {
            const auto q = inverseButterfly (s[i], s[n - i], s[n + i], s[2 * n - i], table[i], table[h + i]);
            d[i] = q.a;
            d[h + i] = q.b;
            d[n + i] = q.c;
            d[n + h + i] = q.d;
        }
    }
}

// Passes Pass + 1 and Pass fused.
template <int Pass, int Count, typename E, typename T>
void smallInversePass4 (E* d, const E* s, const T* table1, const T* table2)
{
    constexpr int n = 1 << Pass, h = n >> 1;
    for (int c = 0; c < Count; c += 4 * n, s += 4 * n, d += 4 * n)
    {
        inverseEnds4 (d, s, n, table2[h], table2[n + h]);
        for (int i = 1; i < h; ++i)
        {
            const Quad<E> first{s[i], s[2 * n - i], s[2 * n + i], s[4 * n - i]};
            const Quad<E> second{s[n - i], s[n + i], s[3 * n - i], s[3 * n + i]};
            Quad<E> x, y;
            inverseButterfly4 (first, second, table1[i], table1[h + i], table2[i], table2[n + i], x, y);
            d[i] = x.a;
            d[h + i] = x.b;
            d[n + i] = x.c;
            d[n + h + i] = x.d;
            d[2 * n + i] = y.a;
            d[2 * n + h + i] = y.b;
            d[3 * n + i] = y.c;
            d[3 * n + h + i] = y.d;
        }
    }
}

// Passes Pass .. K - 1 from src, alternating with dst: a single pass first when their number is
// odd, then fused pairs. Returns the array holding the result.
template <int Pass, int K, typename E, typename T>
E* smallForwardPasses (E* src, E* dst, const FFTRealPlan<T>& plan)
{
    if constexpr (Pass >= K)
        return src;
    else if constexpr ((K - Pass) % 2 == 1)
    {
        smallForwardPass<Pass, 1 << K> (dst, src, plan.table[Pass]);
        return smallForwardPasses<Pass + 1, K> (dst, src, plan);
    }
    else
    {
        smallForwardPass4<Pass, 1 << K> (dst, src, plan.table[Pass], plan.table[Pass + 1]);
        return smallForwardPasses<Pass + 2, K> (dst, src, plan);
    }
}

// Passes Top down to 3 from src, alternating with dst: fused pairs, then a single pass when their
// number is odd. Returns the array holding the result.
template <int Top, int K, typename E, typename T>
E* smallInversePasses (E* src, E* dst, const FFTRealPlan<T>& plan)
{
    if constexpr (Top < 3)
        return src;
    else if constexpr (Top == 3)
    {
        smallInversePass<3, 1 << K> (dst, src, plan.table[3]);
        return dst;
    }
    else
    {
        smallInversePass4<Top - 1, 1 << K> (dst, src, plan.table[Top - 1], plan.table[Top]);
        return smallInversePasses<Top - 2, K> (dst, src, plan);
    }
}

// in: the 2^K inputs in bit-reversed order (overwritten). Returns a or b, whichever holds the
// spectrum.
template <int K, typename E, typename T>
E* smallForward (E* in, E* a, E* b, const FFTRealPlan<T>& plan)
{
    constexpr int G = 1 << K;
    const T r = halfSqrt2<T>();
    for (int c = 0; c < G; c += 8)
    {
        // The first and second passes on both halves of eight, then the third pass.
        const E* x = in + c;
        const E a1 = x[0] - x[1], a3 = x[2] - x[3];
        const E s0 = x[0] + x[1], s2 = x[2] + x[3];
        const E a0 = s0 + s2, a2 = s0 - s2;
        const E a5 = x[4] - x[5], a7 = x[6] - x[7];
        const E s4 = x[4] + x[5], s6 = x[6] + x[7];
        const E a4 = s4 + s6, a6 = s4 - s6;
        E* y = b + c;
        y[0] = a0 + a4;
        y[4] = a0 - a4;
        y[2] = a2;
        y[6] = a6;
        E v = (a5 - a7) * r;
        y[1] = a1 + v;
        y[3] = a1 - v;
        v = (a5 + a7) * r;
        y[5] = v + a3;
        y[7] = v - a3;
    }
    return smallForwardPasses<3, K> (b, a, plan);
}

// in: a spectrum of 2^K points (overwritten). Writes the 2^K outputs in bit-reversed order to out.
template <int K, typename E, typename T>
void smallInverse (E* in, E* a, E* out, const FFTRealPlan<T>& plan)
{
    constexpr int G = 1 << K;
    const E* src = smallInversePasses<K - 1, K> (in, a, plan);
    const T r = halfSqrt2<T>();
    for (int c = 0; c < G; c += 8)
    {
        // The inverse third pass, then the inverse first and second passes on both halves.
        const E* s = src + c;
        const E d0 = s[0] + s[4], d4 = s[0] - s[4];
        const E d2 = twice (s[2]), d6 = twice (s[6]);
        const E d1 = s[1] + s[3], d3 = s[5] - s[7];
        const E vr = s[1] - s[3], vi = s[5] + s[7];
        const E d5 = (vr + vi) * r, d7 = (vi - vr) * r;
        E* o = out + c;
        const E b0 = d0 + d2, b2 = d0 - d2, b1 = twice (d1), b3 = twice (d3);
        o[0] = b0 + b1;
        o[1] = b0 - b1;
        o[2] = b2 + b3;
        o[3] = b2 - b3;
        const E b4 = d4 + d6, b6 = d4 - d6, b5 = twice (d5), b7 = twice (d7);
        o[4] = b4 + b5;
        o[5] = b4 - b5;
        o[6] = b6 + b7;
        o[7] = b6 - b7;
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

// Constant tables at namespace scope (a static local would make the audio-thread transforms
// unverifiable as non-blocking).
template <int K>
inline constexpr ReversedIndices<K> reversedIndices{};

// The 2^K rows of a long transform lie a power of two apart, so they all fall into the same
// cache sets, more of them than a set holds: a row's line is gone before the next column vector
// reads (or writes) its other half. From panelBits on, the vertical stages therefore copy a panel
// of several cache lines of every row into (or out of) a small buffer at once, and work on the
// buffer.
constexpr int panelBits = 16;

// Columns of one panel: a row's share of 16 kB, at least one cache line.
template <int K, typename T>
constexpr int panelColumns()
{
    return ((16384 >> K) > 64 ? (16384 >> K) : 64) / (int)sizeof (T);
}

// Calls column (row, base, group) for every vector of W columns, base = 0, W, 2W, ... with group =
// reverse_M (base), where row (j) points at row j (in the order of the vertical FFT's inputs)
// at column base. With a panel, fill (panel, first) runs before the panel's columns and drain
// (panel, first) after them.
template <int W, int K, typename T, typename Fill, typename Column, typename Drain>
FFTREAL_INLINE inline void forEachColumn (const FFTRealPlan<T>& plan, T* panel, const Fill& fill,
                                          const Column& column, const Drain& drain)
{
    constexpr int w = log2Of (W), C = panelColumns<K, T>();
    const int M = plan.numBits - K;
    const int rowLength = 1 << M;
    int group = 0;
    if (plan.numBits < panelBits || rowLength < C)
    {
        for (int base = 0; base < rowLength; base += W, group = nextReversed (group, M - w))
            column (nullptr, base, group);
        return;
    }
    for (int first = 0; first < rowLength; first += C)
    {
        fill (panel, first);
        for (int base = first; base < first + C; base += W, group = nextReversed (group, M - w))
            column (panel + (base - first), base, group);
        drain (panel, first);
    }
}

template <int W, int K, typename T>
void verticalForward (T* dst, const T* x, const FFTRealPlan<T>& plan)
{
    using V = Vec<T, W>;
    constexpr int G = 1 << K, w = log2Of (W), C = panelColumns<K, T>();
    const auto& revK = reversedIndices<K>;
    const auto& revW = reversedIndices<w>;
    const int M = plan.numBits - K;
    const int rowLength = 1 << M;
    const int laneStride = 1 << (M - w);
    V in[G], a[G], b[G];
    T panel[G * C];
    const auto fill = [&] (T* p, int first)
    {
        for (int j = 0; j < G; ++j)
            __builtin_memcpy (p + j * C, x + revK.value[j] * rowLength + first, C * sizeof (T));
    };
    const auto column = [&] (const T* fromPanel, int base, int group) FFTREAL_INLINE
    {
        for (int j = 0; j < G; ++j)
            in[j] = load<V> (fromPanel != nullptr ? fromPanel + j * C : x + revK.value[j] * rowLength + base);
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
    };
    forEachColumn<W, K> (plan, panel, fill, column, [] (T*, int) {});
}

template <int W, int K, typename T>
void verticalInverse (T* x, const T* src, const FFTRealPlan<T>& plan)
{
    using V = Vec<T, W>;
    constexpr int G = 1 << K, w = log2Of (W), C = panelColumns<K, T>();
    const auto& revK = reversedIndices<K>;
    const auto& revW = reversedIndices<w>;
    const int M = plan.numBits - K;
    const int rowLength = 1 << M;
    const int laneStride = 1 << (M - w);
    V in[G], a[G], out[G];
    T panel[G * C];
    const auto column = [&] (T* toPanel, int base, int group) FFTREAL_INLINE
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
            store (toPanel != nullptr ? toPanel + j * C : x + revK.value[j] * rowLength + base, out[j]);
    };
    const auto drain = [&] (T* p, int first)
    {
        for (int j = 0; j < G; ++j)
            __builtin_memcpy (x + revK.value[j] * rowLength + first, p + j * C, C * sizeof (T));
    };
    forEachColumn<W, K> (
        plan, panel, [] (T*, int) {}, column, drain);
}

// ---------------------------------------------------------------------------------------------
// Schedule and drivers.

// The horizontal passes K .. b - 1 as sweeps. The passes whose blocks fit in a chunk (below
// longFrom) go in pairs, a single pass first when their number is odd; the longer ones, each
// sweep of which runs over the whole buffer, go in threes where they can (two pairs for a
// remainder of one), so that they sweep the buffer as few times as possible. In place, the
// number of sweeps is odd, so that the vertical stage can use the work buffer (the forward one
// reading the input, the inverse one writing the output): a pair of the short passes is split
// where needed. Out of place (anyParity) it may be even, the vertical stage then using the
// output itself. The grouping of the long passes depends on the length only, so that every
// instruction set, in place or not, rounds their twiddles alike.
struct Schedule
{
    static constexpr int maxSweeps = 32;
    int k = 0;
    int sweeps = 0;
    int singles = 0; // single short passes
    int first[maxSweeps] = {};
    int width[maxSweeps] = {};

    static Schedule make (int numBits, int k, bool anyParity, int longFrom)
    {
        Schedule s;
        s.k = k;
        if (numBits - k <= 0)
            return s;
        const int start = std::max (k, std::min (longFrom, numBits));
        const int shortPasses = start - k;
        int longWidths[maxSweeps] = {}, longSweeps = 0;
        for (int left = numBits - start; left > 0; left -= longWidths[longSweeps++])
            longWidths[longSweeps] = left == 4 || left == 2 ? 2 : left == 1 ? 1 : 3;
        s.singles = shortPasses % 2;
        // Splitting a pair of short passes fixes the parity: there is one whenever the count is
        // even (with long passes, K is at most 8 and longFrom at least 15).
        if (!anyParity && (shortPasses / 2 + s.singles + longSweeps) % 2 == 0 && shortPasses >= 2)
            s.singles += 2;
        int pass = k;
        for (int i = 0; i < s.singles; ++i)
            s.add (pass, 1);
        while (pass < start)
            s.add (pass, 2);
        for (int i = 0; i < longSweeps; ++i)
            s.add (pass, longWidths[i]);
        return s;
    }

    // Lowest pass of sweep i and the number of passes it runs.
    int passOf (int i) const { return first[i]; }
    int widthOf (int i) const { return width[i]; }

private:
    void add (int& pass, int w)
    {
        first[sweeps] = pass;
        width[sweeps] = w;
        ++sweeps;
        pass += w;
    }
};

// Values per block of the passes that run block by block: chunks of about 512 kB (with their
// destination, half of a 2 MB second-level cache), and within them pieces of 32 kB for the
// shortest passes (near the first-level cache).
template <typename T>
constexpr int chunkLength()
{
    return (512 * 1024) / (int)sizeof (T);
}

template <typename T>
constexpr int pieceLength()
{
    return (32 * 1024) / (int)sizeof (T);
}

// longFrom for a schedule of pairs throughout: the inverse transform's. (Sweeps of three there
// would read mirrored vectors, which costs more than the sweep of the buffer they save.)
constexpr int noLongPasses = 64;

// The first pass whose blocks do not fit in a chunk. Above the twiddle tables' limit, so that
// the long sweeps all build their twiddles from products.
template <typename T>
constexpr int longFrom()
{
    static_assert (log2Of (chunkLength<T>()) > FFTRealPlan<T>::tableBitLimit, "long passes take products");
    return log2Of (chunkLength<T>());
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
    if (s.widthOf (i) == 3)
        forwardPass8<W> (dst, src, count, pass, ProductTwiddles<T, W> (plan, pass),
                         ProductTwiddles<T, W> (plan, pass + 1), ProductTwiddles<T, W> (plan, pass + 2));
    else if (s.widthOf (i) == 1)
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
    const int pass = s.passOf (i); // the inverse schedule has no sweeps of three
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

// Sweeps whose blocks fit in a chunk run chunk by chunk: all of them on one chunk, then the next
// (and those whose blocks fit in a piece likewise piece by piece within the chunk). A sweep of
// `width` passes from pass p turns spectra of 2^p values into spectra of 2^(p + width).
inline int blockBits (const Schedule& s, int i)
{
    return s.passOf (i) + s.widthOf (i);
}

// The number of sweeps, from the first, whose blocks fit in `length` values.
inline int sweepsWithin (const Schedule& s, int length)
{
    int count = 0;
    while (count < s.sweeps && (1 << blockBits (s, count)) <= length)
        ++count;
    return count;
}

template <int W, int K, typename T>
void runForward (const FFTRealPlan<T>& plan, T* f, const T* x, bool anyParity)
{
    const auto s = Schedule::make (plan.numBits, K, anyParity, longFrom<T>());
    if (s.sweeps == 0)
    {
        verticalForward<W, K> (f, x, plan); // one group: read whole before it is written
        return;
    }
    // The last sweep writes f, the others alternate back from it; the vertical stage writes what
    // the first sweep reads (the work buffer whenever the sweeps are odd in number).
    T* work = plan.work;
    const auto destination = [&] (int i) { return (s.sweeps - 1 - i) % 2 == 0 ? f : work; };
    const auto source = [&] (int i) { return destination (i) == f ? work : f; };
    verticalForward<W, K> (source (0), x, plan);

    const int n = plan.length;
    const int chunk = std::min (n, chunkLength<T>()), piece = std::min (chunk, pieceLength<T>());
    const int inPieces = sweepsWithin (s, piece), inChunks = sweepsWithin (s, chunk);
    for (int c = 0; c < n && inChunks > 0; c += chunk)
    {
        for (int p = c; p < c + chunk && inPieces > 0; p += piece)
            for (int i = 0; i < inPieces; ++i)
                forwardSweep<W> (plan, s, i, destination (i) + p, source (i) + p, piece);
        for (int i = inPieces; i < inChunks; ++i)
            forwardSweep<W> (plan, s, i, destination (i) + c, source (i) + c, chunk);
    }
    for (int i = inChunks; i < s.sweeps; ++i)
        forwardSweep<W> (plan, s, i, destination (i), source (i), n);
}

template <int W, int K, typename T>
void runInverse (const FFTRealPlan<T>& plan, const T* f, T* x, bool anyParity)
{
    const auto s = Schedule::make (plan.numBits, K, anyParity, noLongPasses);
    if (s.sweeps == 0)
    {
        verticalInverse<W, K> (x, f, plan);
        return;
    }
    T* work = plan.work;
    // The sweeps run from the last (longest) down; the k-th of them reads f (k = 0), then the
    // array the one before wrote; x and the work buffer alternate as destinations so that the last
    // one (k = sweeps - 1) writes the work buffer, which the vertical stage reads.
    const auto destination = [&] (int k) { return (s.sweeps - 1 - k) % 2 == 0 ? work : x; };
    const auto source = [&] (int k) -> const T* { return k == 0 ? f : destination (k - 1); };
    const int n = plan.length;
    const int chunk = std::min (n, chunkLength<T>()), piece = std::min (chunk, pieceLength<T>());
    // Sweeps 0 .. inChunks - 1 (the shortest) run chunk by chunk, the first inPieces of them piece
    // by piece.
    const int inPieces = sweepsWithin (s, piece), inChunks = sweepsWithin (s, chunk);
    const auto sweep = [&] (int i, int at, int count)
    {
        const int k = s.sweeps - 1 - i;
        inverseSweep<W> (plan, s, i, destination (k) + at, source (k) + at, count);
    };
    for (int i = s.sweeps - 1; i >= inChunks; --i)
        sweep (i, 0, n);
    for (int c = 0; c < n && inChunks > 0; c += chunk)
    {
        for (int i = inChunks - 1; i >= inPieces; --i)
            sweep (i, c, chunk);
        for (int p = c; p < c + chunk && inPieces > 0; p += piece)
            for (int i = inPieces - 1; i >= 0; --i)
                sweep (i, p, piece);
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
// sweeps (the smallest on a tie); with any parity allowed, the one with the fewest single passes
// (the smallest on a tie), since a larger vertical stage costs more than the sweep it saves.
// -1 when none fits.
inline int chooseVerticalBits (int numBits, int w, bool anyParity, int longFromBits)
{
    const int kMin = minVerticalBits (w);
    int best = -1, bestCost = 0;
    for (int k = kMin; k <= kMin + 2; ++k)
    {
        if (numBits - k < log2Of (w))
            break;
        const auto schedule = Schedule::make (numBits, k, anyParity, longFromBits);
        const int cost = anyParity ? schedule.singles : schedule.sweeps;
        if (best < 0 || cost < bestCost)
        {
            best = k;
            bestCost = cost;
        }
    }
    return best;
}

template <int W, typename T, typename Run>
bool dispatchVertical (int numBits, bool anyParity, int longFromBits, Run&& run)
{
    constexpr int kMin = minVerticalBits (W);
    switch (chooseVerticalBits (numBits, W, anyParity, longFromBits) - kMin)
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
void dispatch (int numBits, bool anyParity, int longFromBits, Run&& run)
{
    if constexpr (W > 1)
    {
        if (!dispatchVertical<W, T> (numBits, anyParity, longFromBits, run))
            dispatch<T, W / 2> (numBits, anyParity, longFromBits, run);
    }
    else
    {
        dispatchVertical<1, T> (numBits, anyParity, longFromBits, run);
    }
}

// Long transforms out of place may take an even number of sweeps (Schedule); the short ones keep
// the schedule they always had.
template <typename T>
bool mayTakeAnyParity (const FFTRealPlan<T>& plan, const void* out, const void* in)
{
    return out != in && plan.numBits >= panelBits;
}

template <typename T>
void forwardEntry (const FFTRealPlan<T>& plan, T* f, const T* x) PELLMIX_NONBLOCKING
{
    const bool anyParity = mayTakeAnyParity (plan, f, x);
    dispatch<T, maxWidth<T>()> (
        plan.numBits, anyParity, longFrom<T>(),
        [&] (auto w, auto k)
        { runForward<decltype (w)::value, decltype (k)::value> (plan, f, x, anyParity); });
}

template <typename T>
void inverseEntry (const FFTRealPlan<T>& plan, const T* f, T* x) PELLMIX_NONBLOCKING
{
    const bool anyParity = mayTakeAnyParity (plan, x, f);
    dispatch<T, maxWidth<T>()> (
        plan.numBits, anyParity, noLongPasses,
        [&] (auto w, auto k)
        { runInverse<decltype (w)::value, decltype (k)::value> (plan, f, x, anyParity); });
}

template <typename T>
FFTRealKernels<T> makeKernels()
{
    FFTRealKernels<T> k;
    k.forward = &forwardEntry<T>;
    k.inverse = &inverseEntry<T>;
    return k;
}

#undef FFTREAL_INLINE
