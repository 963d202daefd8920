// Forward real FFT: FFTReal against FFTW (r2c) and kissfft (kiss_fftr; Debian ships it in single
// precision only) on the same sizes. Each benchmark reports, as counters:
//   vsFFTW          its time per transform divided by FFTW's at the same size and precision (FFTW
//                   planned with FFTW_MEASURE up to 2^16, with FFTW_ESTIMATE above);
//   vsFFTW_measure  above 2^16 (the double rows), the same against an FFTW_MEASURE plan;
//   relErr          RMS error over the packed spectrum divided by the reference's RMS, against a
//                   long-double FFT of the same input.
// BM_FFTW_measure<double> is FFTW itself with the FFTW_MEASURE plans. Planning a long transform
// with FFTW_MEASURE takes minutes, so the plans are kept as FFTW wisdom in the build folder
// (PELLMIX_FFTW_WISDOM): only the first run plans. Planning is never timed.
// The arrays of 4 MiB and more come from PellmixLargeMemory (2 MB pages) on both sides, as the
// capture's deconvolution has them.
#include "bench/BenchTiming.h"
#include "engine/FFTReal.h"
#include "engine/PellmixLargeMemory.h"
#include "tests/support/TestSignals.h"

#include <benchmark/benchmark.h>
#include <fftw3.h>
#include <kiss_fftr.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <map>
#include <utility>
#include <vector>

namespace
{
constexpr int smallSizes[] = {2048, 4096, 8192, 16384};
constexpr int doubleSizes[] = {2048, 1 << 21, 1 << 22, 1 << 23};

std::vector<double> testSignal (int n)
{
    pellmix_test::TestRandom random (12345u + static_cast<unsigned> (n));
    std::vector<double> v (static_cast<size_t> (n));
    for (auto& s : v)
        s = random.uniform (-1.0, 1.0);
    return v;
}

// Packed spectrum of testSignal(n) by an iterative radix-2 complex FFT in long double.
const std::vector<long double>& reference (int n)
{
    static std::map<int, std::vector<long double>> cache;
    auto& packed = cache[n];
    if (!packed.empty())
        return packed;

    using C = std::complex<long double>;
    const auto x = testSignal (n);
    std::vector<C> a (x.begin(), x.end());
    for (int i = 1, j = 0; i < n; ++i)
    {
        int bit = n >> 1;
        for (; (j & bit) != 0; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap (a[size_t (i)], a[size_t (j)]);
    }
    const long double pi = 3.141592653589793238462643383279502884L;
    for (int len = 2; len <= n; len <<= 1)
    {
        std::vector<C> w (size_t (len / 2));
        for (int k = 0; k < len / 2; ++k)
            w[size_t (k)] = std::polar (1.0L, -2.0L * pi * k / len);
        for (int start = 0; start < n; start += len)
            for (int k = 0; k < len / 2; ++k)
            {
                const C u = a[size_t (start + k)];
                const C v = a[size_t (start + k + len / 2)] * w[size_t (k)];
                a[size_t (start + k)] = u + v;
                a[size_t (start + k + len / 2)] = u - v;
            }
    }
    packed.resize (static_cast<size_t> (n));
    for (int k = 0; k <= n / 2; ++k)
        packed[size_t (k)] = a[size_t (k)].real();
    for (int k = 1; k < n / 2; ++k)
        packed[size_t (n / 2 + k)] = -a[size_t (k)].imag();
    return packed;
}

template <typename Values>
double relativeError (const Values& packed, int n)
{
    const auto& ref = reference (n);
    long double err = 0, sum = 0;
    for (size_t i = 0; i < ref.size(); ++i)
    {
        const long double d = static_cast<long double> (packed[i]) - ref[i];
        err += d * d;
        sum += ref[i] * ref[i];
    }
    return static_cast<double> (std::sqrt (err / sum));
}

template <typename T>
std::vector<T> input (int n)
{
    const auto x = testSignal (n);
    return std::vector<T> (x.begin(), x.end());
}

// Complex output of N/2 + 1 bins into the packed layout.
template <typename T, typename Cpx>
std::vector<T> packComplex (const Cpx* bins, int n)
{
    std::vector<T> packed (static_cast<size_t> (n));
    for (int k = 0; k <= n / 2; ++k)
        packed[size_t (k)] = bins[k][0];
    for (int k = 1; k < n / 2; ++k)
        packed[size_t (n / 2 + k)] = -bins[k][1];
    return packed;
}

// The plans of the ESTIMATE rows: FFTW_MEASURE up to 2^16, FFTW_ESTIMATE above.
unsigned defaultPlanFlags (int n)
{
    return n <= 65536 ? FFTW_MEASURE : FFTW_ESTIMATE;
}

// FFTW's wisdom for the double plans, in the build folder: read before the first plan, written
// after each FFTW_MEASURE plan of a long transform (the short ones plan in moments).
void beforeDoublePlan()
{
    static const bool imported = fftw_import_wisdom_from_filename (PELLMIX_FFTW_WISDOM) != 0;
    (void)imported; // a missing file leaves FFTW planning afresh
}

void afterDoublePlan (unsigned flags, int n)
{
    if (flags == FFTW_MEASURE && n > 65536 && fftw_export_wisdom_to_filename (PELLMIX_FFTW_WISDOM) == 0)
        std::fprintf (stderr, "FFTW wisdom could not be written to %s\n", PELLMIX_FFTW_WISDOM);
}

// FFTW's arrays: its own allocation, or PellmixLargeMemory from 4 MiB on.
constexpr size_t largeBytes = size_t (4) << 20;

template <typename T>
T* allocateFor (size_t count)
{
    const size_t bytes = count * sizeof (T);
    return static_cast<T*> (bytes >= largeBytes ? PellmixLargeMemory::allocate (bytes) : fftw_malloc (bytes));
}

template <typename T>
void releaseFor (T* p, size_t count)
{
    if (count * sizeof (T) >= largeBytes)
        PellmixLargeMemory::release (p, count * sizeof (T));
    else
        fftw_free (p);
}

template <typename T>
struct Fftw;

template <>
struct Fftw<float>
{
    Fftw (int n, unsigned flags)
        : size (n)
        , in (allocateFor<float> (size_t (n)))
        , out (allocateFor<fftwf_complex> (size_t (n / 2 + 1)))
        , plan (fftwf_plan_dft_r2c_1d (n, in, out, flags))
    {
        const auto x = input<float> (n);
        std::copy (x.begin(), x.end(), in);
    }
    ~Fftw()
    {
        fftwf_destroy_plan (plan);
        releaseFor (in, size_t (size));
        releaseFor (out, size_t (size / 2 + 1));
    }
    void run() { fftwf_execute (plan); }
    std::vector<float> packed() const { return packComplex<float> (out, size); }

    int size;
    float* in;
    fftwf_complex* out;
    fftwf_plan plan;
};

template <>
struct Fftw<double>
{
    Fftw (int n, unsigned flags)
        : size (n)
        , in (allocateFor<double> (size_t (n)))
        , out (allocateFor<fftw_complex> (size_t (n / 2 + 1)))
        , plan (makePlan (n, flags))
    {
        const auto x = input<double> (n);
        std::copy (x.begin(), x.end(), in);
    }
    ~Fftw()
    {
        fftw_destroy_plan (plan);
        releaseFor (in, size_t (size));
        releaseFor (out, size_t (size / 2 + 1));
    }
    void run() { fftw_execute (plan); }
    std::vector<double> packed() const { return packComplex<double> (out, size); }

    fftw_plan makePlan (int n, unsigned flags)
    {
        beforeDoublePlan();
        auto p = fftw_plan_dft_r2c_1d (n, in, out, flags);
        afterDoublePlan (flags, n);
        return p;
    }

    int size;
    double* in;
    fftw_complex* out;
    fftw_plan plan;
};

// Time per call of run divided by FFTW's at the same size and precision. The two are timed in
// alternating short bursts and the best burst of each is kept, so a busy machine affects both
// sides alike (a burst of a long transform is a single call, hence more of them).
template <typename T, typename Run>
double ratioToFftw (int n, Run& run, unsigned flags)
{
    Fftw<T> fftw (n, flags);
    auto reference = [&] { fftw.run(); };
    const auto [best, bestReference] =
        pellmix_bench::alternateBursts (run, reference, n > (1 << 16) ? 9 : 15);
    return best / bestReference;
}

// Runs the benchmark loop, then adds the ratio to FFTW (and, where the default plan is
// FFTW_ESTIMATE, the ratio to an FFTW_MEASURE plan) and the item count.
template <typename T, typename Run>
void measure (benchmark::State& state, int n, Run&& run, bool againstMeasure = false)
{
    for (auto _ : state)
    {
        run();
        benchmark::ClobberMemory();
    }
    state.counters["vsFFTW"] = ratioToFftw<T> (n, run, defaultPlanFlags (n));
    if (againstMeasure && defaultPlanFlags (n) != FFTW_MEASURE)
        state.counters["vsFFTW_measure"] = ratioToFftw<T> (n, run, FFTW_MEASURE);
    state.SetItemsProcessed (int64_t (state.iterations()) * n);
}

template <typename T>
void BM_FFTReal (benchmark::State& state)
{
    const int n = int (state.range (0));
    FFTReal<T> fft (n);
    const auto signal = input<T> (n);
    const PellmixLargeVector<T> x (signal.begin(), signal.end());
    PellmixLargeVector<T> f (static_cast<size_t> (n));
    measure<T> (
        state, n,
        [&]
        {
            fft.forwardTransform (f.data(), x.data());
            benchmark::DoNotOptimize (f.data());
        },
        true);
    fft.forwardTransform (f.data(), x.data());
    state.counters["relErr"] = relativeError (f, n);
}

template <typename T, bool Measure = false>
void BM_FFTW (benchmark::State& state)
{
    const int n = int (state.range (0));
    Fftw<T> fftw (n, Measure ? FFTW_MEASURE : defaultPlanFlags (n));
    measure<T> (state, n,
                [&]
                {
                    fftw.run();
                    benchmark::DoNotOptimize (fftw.out);
                });
    fftw.run();
    state.counters["relErr"] = relativeError (fftw.packed(), n);
}

void BM_KissFFT_float (benchmark::State& state)
{
    const int n = int (state.range (0));
    kiss_fftr_cfg cfg = kiss_fftr_alloc (n, 0, nullptr, nullptr);
    const auto x = input<float> (n);
    std::vector<kiss_fft_cpx> bins (static_cast<size_t> (n / 2 + 1));
    measure<float> (state, n,
                    [&]
                    {
                        kiss_fftr (cfg, x.data(), bins.data());
                        benchmark::DoNotOptimize (bins.data());
                    });
    kiss_fftr (cfg, x.data(), bins.data());
    kiss_fftr_free (cfg);
    std::vector<float> packed (static_cast<size_t> (n));
    for (int k = 0; k <= n / 2; ++k)
        packed[size_t (k)] = bins[size_t (k)].r;
    for (int k = 1; k < n / 2; ++k)
        packed[size_t (n / 2 + k)] = -bins[size_t (k)].i;
    state.counters["relErr"] = relativeError (packed, n);
}

void floatSizes (benchmark::internal::Benchmark* b)
{
    for (int n : smallSizes)
        b->Arg (n);
}

void doubleSizesArgs (benchmark::internal::Benchmark* b)
{
    for (int n : doubleSizes)
        b->Arg (n);
}

void longDoubleSizesArgs (benchmark::internal::Benchmark* b)
{
    for (int n : doubleSizes)
        if (n > 65536)
            b->Arg (n);
}

template <typename T>
void BM_FFTW_measure (benchmark::State& state)
{
    BM_FFTW<T, true> (state);
}
} // namespace

BENCHMARK (BM_FFTReal<float>)->Apply (floatSizes);
BENCHMARK (BM_FFTW<float>)->Apply (floatSizes);
BENCHMARK (BM_KissFFT_float)->Apply (floatSizes);
BENCHMARK (BM_FFTReal<double>)->Apply (doubleSizesArgs);
BENCHMARK (BM_FFTW<double>)->Apply (doubleSizesArgs);
BENCHMARK (BM_FFTW_measure<double>)->Apply (longDoubleSizesArgs);
