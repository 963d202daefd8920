// Real FFT: forward and inverse against numpy's FFT in the packed layout, for float and double,
// from one point up to lengths whose long passes build their twiddles from short tables and run
// block by block; the small lengths exactly; inputs left untouched and repeated transforms bitwise
// equal; in-place transforms equal to the others; every instruction set bitwise equal; refused
// lengths write nothing.
#include "engine/FFTReal.h"
#include "engine/FFTRealPlan.h"

#include "support/Fixtures.h"
#include "support/Process.h"
#include "support/RawFiles.h"
#include "support/TestSignals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

using namespace pellmix_test;

namespace
{
template <typename T>
std::vector<T> randomValues (int n, unsigned seed)
{
    TestRandom random (seed);
    std::vector<T> v (static_cast<size_t> (n));
    for (auto& s : v)
    {
        // Multiples of 1/64 for the tiny lengths keep every sum exact, so results compare exactly.
        const double value = random.uniform (-1.0, 1.0);
        s = static_cast<T> (n <= 4 ? std::round (value * 64.0) / 64.0 : value);
    }
    return v;
}

template <typename T>
bool bitwiseEqual (const std::vector<T>& a, const std::vector<T>& b)
{
    return a.size() == b.size() && std::memcmp (a.data(), b.data(), a.size() * sizeof (T)) == 0;
}

template <typename T>
const char* dtypeName()
{
    return sizeof (T) == 4 ? "float32" : "float64";
}

// Largest error relative to the RMS of the reference.
template <typename T>
double relativeError (const std::vector<T>& got, const std::vector<double>& ref)
{
    double maxErr = 0.0, sumSq = 0.0;
    for (size_t i = 0; i < ref.size(); ++i)
    {
        maxErr = std::max (maxErr, std::fabs (static_cast<double> (got[i]) - ref[i]));
        sumSq += ref[i] * ref[i];
    }
    const double rms = std::sqrt (sumSq / static_cast<double> (ref.size()));
    return rms > 0.0 ? maxErr / rms : maxErr;
}

// Allowed error relative to the RMS: rounding grows with the number of passes (measured: below
// eps * log2 N at every length, the long passes included, as their twiddles are accurate to an
// ulp or two; twiddles that drift along a pass would grow with N and fail this).
template <typename T>
double tolerance (int n)
{
    const double eps = std::numeric_limits<T>::epsilon();
    const int bits = static_cast<int> (std::log2 (n));
    return 4.0 * eps * std::max (1, bits);
}

struct Job
{
    int n;
    std::string input, output;
};

template <typename T>
class FFTRealOracle : public ::testing::Test
{
protected:
    TempDir dir{"pellmix_fft"};

    // Beyond 2^16 floats (2^15 doubles) the short passes run block by block.
    static int maxBits() { return sizeof (T) == 4 ? 18 : 20; }

    // One oracle run for all lengths 2^0 .. 2^maxBits.
    std::vector<std::vector<double>> oracle (const char* mode, const std::vector<std::vector<T>>& inputs)
    {
        std::vector<std::string> args;
        for (size_t b = 0; b < inputs.size(); ++b)
        {
            const std::string in = dir.child ("in" + std::to_string (b));
            const std::string out = dir.child ("out" + std::to_string (b));
            EXPECT_TRUE (writeRaw (in, inputs[b]));
            args.insert (args.end(), {mode, dtypeName<T>(), std::to_string (inputs[b].size()), in, out});
        }
        runPythonScript ("fft_packed.py", args);
        std::vector<std::vector<double>> results;
        for (size_t b = 0; b < inputs.size(); ++b)
        {
            results.push_back (readRaw<double> (dir.child ("out" + std::to_string (b))));
            EXPECT_EQ (results.back().size(), inputs[b].size())
                << "oracle output for length " << inputs[b].size();
        }
        return results;
    }

    std::vector<std::vector<T>> allLengthInputs (unsigned seed)
    {
        std::vector<std::vector<T>> inputs;
        for (int b = 0; b <= maxBits(); ++b)
            inputs.push_back (randomValues<T> (1 << b, seed + static_cast<unsigned> (b)));
        return inputs;
    }

    // Runs transform twice (an opposite transform in between, which reuses the work buffer),
    // checks the input untouched and both results bitwise equal, and compares with the oracle.
    template <typename Transform, typename Other>
    void check (const std::vector<T>& in, const std::vector<double>& ref, Transform transform, Other other)
    {
        const int n = static_cast<int> (in.size());
        SCOPED_TRACE ("N = " + std::to_string (n));
        FFTReal<T> fft (n);
        const std::vector<T> inCopy = in;
        std::vector<T> first (in.size()), second (in.size()), scratch (in.size());
        transform (fft, in.data(), first.data());
        other (fft, first.data(), scratch.data());
        transform (fft, in.data(), second.data());

        EXPECT_TRUE (bitwiseEqual (in, inCopy)) << "input changed";
        EXPECT_TRUE (bitwiseEqual (first, second)) << "repeated transform differs";
        if (n <= 4)
        {
            for (size_t i = 0; i < in.size(); ++i)
                EXPECT_EQ (static_cast<double> (first[i]), ref[i]) << "slot " << i;
        }
        else
        {
            EXPECT_LE (relativeError (first, ref), tolerance<T> (n));
        }
    }
};

using SampleTypes = ::testing::Types<float, double>;
TYPED_TEST_SUITE (FFTRealOracle, SampleTypes);

TYPED_TEST (FFTRealOracle, ForwardMatchesNumpyInThePackedLayout)
{
    using T = TypeParam;
    const auto inputs = this->allLengthInputs (100);
    const auto refs = this->oracle ("forward", inputs);
    ASSERT_EQ (refs.size(), inputs.size());
    for (size_t b = 0; b < inputs.size(); ++b)
        this->check (
            inputs[b], refs[b], [] (FFTReal<T>& f, const T* in, T* out) { f.forwardTransform (out, in); },
            [] (FFTReal<T>& f, const T* in, T* out) { f.inverseTransform (in, out); });
}

TYPED_TEST (FFTRealOracle, InverseMatchesNumpyUnscaled)
{
    using T = TypeParam;
    const auto inputs = this->allLengthInputs (200); // any array is a valid packed spectrum
    const auto refs = this->oracle ("inverse", inputs);
    ASSERT_EQ (refs.size(), inputs.size());
    for (size_t b = 0; b < inputs.size(); ++b)
        this->check (
            inputs[b], refs[b], [] (FFTReal<T>& f, const T* in, T* out) { f.inverseTransform (in, out); },
            [] (FFTReal<T>& f, const T* in, T* out) { f.forwardTransform (out, in); });
}

template <typename T>
class FFTRealProperties : public ::testing::Test
{
};
TYPED_TEST_SUITE (FFTRealProperties, SampleTypes);

// The inverse of the forward transform is N times the signal, also where passes build their
// twiddles from short tables (2^16 and more) and where passes run block by block.
TYPED_TEST (FFTRealProperties, InverseOfForwardIsNTimesTheSignal)
{
    using T = TypeParam;
    for (int bits : {3, 4, 7, 12, 13, 14, 15, 16, 17, 18})
    {
        const int n = 1 << bits;
        SCOPED_TRACE ("N = " + std::to_string (n));
        const auto x = randomValues<T> (n, 7u + static_cast<unsigned> (bits));
        std::vector<T> f (x.size()), y (x.size());
        FFTReal<T> fft (n);
        fft.forwardTransform (f.data(), x.data());
        fft.inverseTransform (f.data(), y.data());
        std::vector<double> scaled (x.size());
        for (size_t i = 0; i < x.size(); ++i)
            scaled[i] = static_cast<double> (x[i]) * n;
        EXPECT_LE (relativeError (y, scaled), 2.0 * tolerance<T> (n));
    }
}

// A unit impulse at sample 0 gives exactly 1 in every real slot and 0 in every imaginary one; at
// sample 1 the imaginary slots hold +sin(2 pi k / N): the sign convention of the layout.
TYPED_TEST (FFTRealProperties, ImpulsesShowTheLayoutAndItsSigns)
{
    using T = TypeParam;
    for (int bits : {1, 2, 3, 5, 11, 14})
    {
        const int n = 1 << bits;
        SCOPED_TRACE ("N = " + std::to_string (n));
        FFTReal<T> fft (n);
        std::vector<T> x (static_cast<size_t> (n), T (0)), f (x.size());
        x[0] = T (1);
        fft.forwardTransform (f.data(), x.data());
        for (int k = 0; k < n; ++k)
            ASSERT_EQ (f[static_cast<size_t> (k)], k <= n / 2 ? T (1) : T (0)) << "slot " << k;

        x[0] = T (0);
        x[1] = T (1);
        fft.forwardTransform (f.data(), x.data());
        const double tol = 8.0 * tolerance<T> (n);
        for (int k = 0; k <= n / 2; ++k)
            ASSERT_NEAR (f[static_cast<size_t> (k)], std::cos (2.0 * M_PI * k / n), tol) << "Re, k = " << k;
        for (int k = 1; k < n / 2; ++k)
            ASSERT_NEAR (f[static_cast<size_t> (n / 2 + k)], std::sin (2.0 * M_PI * k / n), tol)
                << "Im, k = " << k;
    }
}

// A transform may run in place (f and x the same array), with the same result bitwise, at every
// kind of length: the direct ones, one vertical stage only, and with sweeps run block by block.
TYPED_TEST (FFTRealProperties, InPlaceEqualsOutOfPlace)
{
    using T = TypeParam;
    for (int bits : {0, 1, 2, 3, 4, 5, 6, 9, 12, 16, 17})
    {
        const int n = 1 << bits;
        SCOPED_TRACE ("N = " + std::to_string (n));
        FFTReal<T> fft (n);
        const auto x = randomValues<T> (n, 31u + static_cast<unsigned> (bits));
        std::vector<T> f (x.size()), inPlace = x;
        fft.forwardTransform (f.data(), x.data());
        fft.forwardTransform (inPlace.data(), inPlace.data());
        EXPECT_TRUE (bitwiseEqual (inPlace, f)) << "forward";

        std::vector<T> y (x.size());
        inPlace = x;
        fft.inverseTransform (x.data(), y.data());
        fft.inverseTransform (inPlace.data(), inPlace.data());
        EXPECT_TRUE (bitwiseEqual (inPlace, y)) << "inverse";
    }
}

// The kernels of every instruction set this processor runs, the baseline ones first.
template <typename T>
std::vector<FFTRealKernels<T>> kernelSets()
{
    std::vector<FFTRealKernels<T>> sets{fftreal_generic::kernels<T>()};
#if defined(__x86_64__)
    if (__builtin_cpu_supports ("avx2"))
        sets.push_back (fftreal_avx2::kernels<T>());
#endif
    return sets;
}

// The kernels of every instruction set this processor runs give bitwise the same results as the
// baseline ones, so a transform's result does not depend on the machine.
TYPED_TEST (FFTRealProperties, InstructionSetsAgreeBitwise)
{
    using T = TypeParam;
    const auto sets = kernelSets<T>();
    if (sets.size() < 2)
        GTEST_SKIP() << "only the baseline kernels run here";

    for (int bits = 3; bits <= 17; ++bits)
    {
        const int n = 1 << bits;
        SCOPED_TRACE ("N = " + std::to_string (n));
        const FFTRealTables<T> tables (n);
        const auto x = randomValues<T> (n, 57u + static_cast<unsigned> (bits));
        std::vector<std::vector<T>> forward, inverse;
        for (const auto& k : sets)
        {
            forward.emplace_back (x.size());
            inverse.emplace_back (x.size());
            k.forward (tables.getPlan(), forward.back().data(), x.data());
            k.inverse (tables.getPlan(), x.data(), inverse.back().data());
        }
        for (size_t s = 1; s < sets.size(); ++s)
        {
            EXPECT_TRUE (bitwiseEqual (forward[s], forward[0])) << "forward, set " << s;
            EXPECT_TRUE (bitwiseEqual (inverse[s], inverse[0])) << "inverse, set " << s;
        }
    }
}

// Long forward transforms run their longest passes three to a sweep (two passes per sweep
// elsewhere): there too the inverse brings back N times the signal, in place equals out of place,
// and every instruction set agrees bitwise (2^20 and 2^21 have such sweeps in both precisions).
TYPED_TEST (FFTRealProperties, LongTransformsHoldInPlaceAndOnEveryInstructionSet)
{
    using T = TypeParam;
    const auto sets = kernelSets<T>();
    for (int bits : {19, 20, 21})
    {
        const int n = 1 << bits;
        SCOPED_TRACE ("N = " + std::to_string (n));
        const FFTRealTables<T> tables (n);
        const auto x = randomValues<T> (n, 91u + static_cast<unsigned> (bits));
        std::vector<T> f (x.size()), y (x.size());
        sets[0].forward (tables.getPlan(), f.data(), x.data());
        sets[0].inverse (tables.getPlan(), f.data(), y.data());
        std::vector<double> scaled (x.size());
        for (size_t i = 0; i < x.size(); ++i)
            scaled[i] = static_cast<double> (x[i]) * n;
        EXPECT_LE (relativeError (y, scaled), 2.0 * tolerance<T> (n));

        for (size_t k = 0; k < sets.size(); ++k)
        {
            std::vector<T> out (x.size()), inPlace = x;
            sets[k].forward (tables.getPlan(), out.data(), x.data());
            sets[k].forward (tables.getPlan(), inPlace.data(), inPlace.data());
            EXPECT_TRUE (bitwiseEqual (out, f)) << "forward, set " << k;
            EXPECT_TRUE (bitwiseEqual (inPlace, f)) << "forward in place, set " << k;
            inPlace = f;
            sets[k].inverse (tables.getPlan(), f.data(), out.data());
            sets[k].inverse (tables.getPlan(), inPlace.data(), inPlace.data());
            EXPECT_TRUE (bitwiseEqual (out, y)) << "inverse, set " << k;
            EXPECT_TRUE (bitwiseEqual (inPlace, y)) << "inverse in place, set " << k;
        }
    }
}

// A length that is not a power of two leaves an empty object: neither transform writes anything.
TYPED_TEST (FFTRealProperties, RefusedLengthsWriteNothing)
{
    using T = TypeParam;
    for (int n : {0, -1, -8, 3, 6, 12, 1000, 2047, 2049})
    {
        SCOPED_TRACE ("N = " + std::to_string (n));
        FFTReal<T> fft (n);
        const size_t size = static_cast<size_t> (std::max (n, 1));
        const std::vector<T> in (size, T (0.5));
        const std::vector<T> sentinel (size, T (-7));
        std::vector<T> out = sentinel;
        fft.forwardTransform (out.data(), in.data());
        EXPECT_TRUE (bitwiseEqual (out, sentinel)) << "forward wrote";
        fft.inverseTransform (in.data(), out.data());
        EXPECT_TRUE (bitwiseEqual (out, sentinel)) << "inverse wrote";
    }
}
} // namespace
