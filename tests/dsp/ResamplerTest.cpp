// PellmixResampler: the path chosen for each ratio, the half-band paths against the filter run
// directly, the libresample path against a band-limited polyphase oracle to its last sample,
// independence of signals after a reset, and the converters' lifetime.
#include "engine/PellmixFIRFilters.h"
#include "engine/PellmixResampler.h"

#include "support/Fixtures.h"
#include "support/RawFiles.h"
#include "support/TestSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <dlfcn.h>
#include <libresample.h>
#include <thread>

using namespace pellmix_test;

// libresample's entry points, wrapped to count the converters alive and to make opening fail on
// demand. The engine library links against these definitions in this test binary; they forward
// to the real library.
namespace
{
std::atomic<int> liveConverters{0};
std::atomic<int> opens{0};
std::atomic<int> dups{0};
std::atomic<bool> failOpen{false};

template <typename Fn>
Fn realFunction (const char* name)
{
    return reinterpret_cast<Fn> (dlsym (RTLD_NEXT, name));
}
} // namespace

extern "C" void* resample_open (int highQuality, double minFactor, double maxFactor)
{
    static auto real = realFunction<void* (*)(int, double, double)> ("resample_open");
    ++opens;
    void* h = failOpen ? nullptr : real (highQuality, minFactor, maxFactor);
    if (h != nullptr)
        ++liveConverters;
    return h;
}

extern "C" void* resample_dup (const void* handle)
{
    static auto real = realFunction<void* (*)(const void*)> ("resample_dup");
    ++dups;
    void* h = real (handle);
    if (h != nullptr)
        ++liveConverters;
    return h;
}

extern "C" void resample_close (void* handle)
{
    static auto real = realFunction<void (*) (void*)> ("resample_close");
    --liveConverters;
    real (handle);
}

namespace
{
constexpr float sentinel = 12345.0f;

enum class Path
{
    halfUp,
    halfDown,
    converter
};

struct RateCase
{
    double inRate, outRate;
    int inBlock, outBlock;
    Path path;
};

// Every ratio the system meets, the exact 2x ones going through the half-band filter.
const RateCase rateCases[] = {
    {48000, 96000, 512, 1024, Path::halfUp},      {22050, 44100, 300, 600, Path::halfUp},
    {96000, 48000, 2048, 1024, Path::halfDown},   {192000, 96000, 2049, 1024, Path::halfDown},
    {44100, 96000, 1000, 2176, Path::converter},  {96000, 44100, 2048, 940, Path::converter},
    {96000, 88200, 2048, 1881, Path::converter},  {88200, 192000, 2048, 4458, Path::converter},
    {22050, 96000, 3000, 13061, Path::converter}, {96000, 96000, 2048, 2048, Path::converter},
};

std::string describe (const RateCase& c)
{
    return std::to_string (int (c.inRate)) + " -> " + std::to_string (int (c.outRate)) + ", " +
           std::to_string (c.inBlock) + " samples";
}

// Tones well inside the passband of both rates, faded in and out over 64 samples so that the
// signal's ends add little out-of-band energy; the fade ends 4 samples before the block's end,
// so a converter that drops its last samples is seen.
std::vector<float> testSignal (int n, double rate, double otherRate, unsigned seed)
{
    TestRandom random (seed);
    std::vector<double> x (size_t (n), 0.0);
    for (int k = 0; k < 12; ++k)
    {
        const double f = random.uniform (50.0, 0.35 * std::min (rate, otherRate));
        const double p = random.uniform (0.0, 6.283);
        for (int i = 0; i < n; ++i)
            x[size_t (i)] += 0.08 * std::sin (2.0 * M_PI * f * i / rate + p);
    }
    const int fade = std::min (64, n / 4);
    std::vector<float> out (static_cast<size_t> (n));
    for (int i = 0; i < n; ++i)
    {
        double w = 1.0;
        if (i < fade)
            w = 0.5 - 0.5 * std::cos (M_PI * i / fade);
        else if (i >= n - 4)
            w = 0.0;
        else if (i >= n - fade - 4)
            w = 0.5 + 0.5 * std::cos (M_PI * (i - (n - fade - 4)) / fade);
        out[size_t (i)] = float (x[size_t (i)] * w);
    }
    return out;
}

// Runs one block into a buffer with room for 8 more samples, which must stay untouched.
std::vector<float> convert (PellmixResampler& r, const std::vector<float>& in, int outBlock)
{
    std::vector<float> out (size_t (outBlock) + 8, sentinel);
    r.process (in.data(), out.data());
    for (int i = outBlock; i < outBlock + 8; ++i)
        EXPECT_EQ (out[size_t (i)], sentinel) << "wrote past the output block at " << i;
    out.resize (size_t (outBlock));
    return out;
}

std::vector<float> halfBandDirect (const RateCase& c, const std::vector<float>& in)
{
    CFIRFilter_Polyphase_fpu f (PellmixHalfBand::numTaps, PellmixHalfBand::coefficients, true);
    std::vector<float> out (size_t (c.outBlock));
    if (c.path == Path::halfUp)
        f.upsample (c.inBlock, c.outBlock, out.data(), in.data());
    else
        f.downsample (c.inBlock, c.outBlock, out.data(), in.data());
    return out;
}

std::vector<float> oracle (const TempDir& dir, const RateCase& c, const std::vector<float>& in)
{
    const auto inPath = dir.child ("in.f32"), outPath = dir.child ("ref.f32");
    EXPECT_TRUE (writeRaw (inPath, in));
    runPythonScript ("resampler_oracle.py", {"poly", inPath, outPath, std::to_string (int (c.inRate)),
                                             std::to_string (int (c.outRate)), std::to_string (c.outBlock)});
    return readRaw<float> (outPath);
}
} // namespace

TEST (Resampler, EachRatioTakesItsPathAndFillsTheWholeBlock)
{
    TempDir dir;
    for (const auto& c : rateCases)
    {
        SCOPED_TRACE (describe (c));
        // The callers' block length: floor(input block x output rate / input rate).
        EXPECT_EQ (c.outBlock, int (std::floor (c.inBlock * c.outRate / c.inRate)));

        const auto in = testSignal (c.inBlock, c.inRate, c.outRate, 1);
        const int convertersBefore = opens + dups;
        PellmixResampler r;
        r.setup (c.inRate, c.outRate, c.inBlock, c.outBlock);
        r.reset();
        const auto out = convert (r, in, c.outBlock);
        EXPECT_EQ (opens + dups > convertersBefore, c.path == Path::converter);

        if (c.path != Path::converter)
        {
            EXPECT_EQ (out, halfBandDirect (c, in));
            continue;
        }
        const auto ref = oracle (dir, c, in);
        ASSERT_EQ (ref.size(), out.size());
        float worst = 0.0f, worstTail = 0.0f;
        for (size_t i = 0; i < out.size(); ++i)
        {
            worst = std::max (worst, std::abs (out[i] - ref[i]));
            if (i + 100 >= out.size())
                worstTail = std::max (worstTail, std::abs (out[i] - ref[i]));
        }
        EXPECT_LT (worst, 1e-3f);
        EXPECT_LT (worstTail, 1e-3f) << "the signal's end is incomplete";
    }
}

TEST (Resampler, ResetMakesEverySignalIndependent)
{
    for (const auto& c : rateCases)
    {
        SCOPED_TRACE (describe (c));
        const auto a = testSignal (c.inBlock, c.inRate, c.outRate, 2);
        const auto b = testSignal (c.inBlock, c.inRate, c.outRate, 3);
        PellmixResampler r;
        r.setup (c.inRate, c.outRate, c.inBlock, c.outBlock);
        const auto first = convert (r, a, c.outBlock); // setup leaves a reset converter
        r.reset();
        const auto other = convert (r, b, c.outBlock);
        r.reset();
        EXPECT_EQ (convert (r, a, c.outBlock), first);
        EXPECT_NE (other, first);
    }
}

TEST (Resampler, ProcessEachIsResetThenProcessForEverySignal)
{
    for (const auto& c : rateCases)
    {
        SCOPED_TRACE (describe (c));
        std::vector<std::vector<float>> ins, expected, outs;
        PellmixResampler r;
        r.setup (c.inRate, c.outRate, c.inBlock, c.outBlock);
        for (unsigned k = 0; k < 3; ++k)
        {
            ins.push_back (testSignal (c.inBlock, c.inRate, c.outRate, 10 + k));
            r.reset();
            expected.push_back (convert (r, ins.back(), c.outBlock));
            outs.emplace_back (size_t (c.outBlock), sentinel);
        }
        const float* in[] = {ins[0].data(), ins[1].data(), ins[2].data()};
        float* out[] = {outs[0].data(), outs[1].data(), outs[2].data()};
        r.processEach (in, out, 3);
        EXPECT_EQ (outs, expected);
        // ... and leaves the resampler reset.
        EXPECT_EQ (convert (r, ins[0], c.outBlock), expected[0]);
    }
}

TEST (ResamplerConcurrency, ResamplersOnSeveralThreadsShareTheDesignedFilters)
{
    // Each thread converts with resamplers of ratios that the others set up at the same time,
    // while enough further ratios pass through to push the first ones out of the kept store.
    const RateCase& shared = rateCases[4]; // 44100 -> 96000
    const auto in = testSignal (shared.inBlock, shared.inRate, shared.outRate, 20);
    PellmixResampler reference;
    reference.setup (shared.inRate, shared.outRate, shared.inBlock, shared.outBlock);
    reference.reset();
    const auto expected = convert (reference, in, shared.outBlock);

    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back (
            [&, t]
            {
                PellmixResampler held, churn;
                held.setup (shared.inRate, shared.outRate, shared.inBlock, shared.outBlock);
                std::vector<float> out (size_t (shared.outBlock));
                for (int k = 0; k < 3 * PellmixResampler::designedRatiosKept; ++k)
                {
                    churn.setup (44100, 60000 + 1000 * (k + t), 500, 500);
                    held.reset();
                    held.process (in.data(), out.data());
                    if (out != expected)
                        ++mismatches;
                }
            });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ (mismatches.load(), 0);
}

TEST (Resampler, SetupAgainSwitchesPathsCleanly)
{
    // One resampler set up in turn for each case gives what a fresh one gives.
    const RateCase sequence[] = {rateCases[4], rateCases[0], rateCases[5],
                                 rateCases[2], rateCases[7], rateCases[1]};
    PellmixResampler reused;
    for (const auto& c : sequence)
    {
        SCOPED_TRACE (describe (c));
        const auto in = testSignal (c.inBlock, c.inRate, c.outRate, 4);
        PellmixResampler fresh;
        fresh.setup (c.inRate, c.outRate, c.inBlock, c.outBlock);
        fresh.reset();
        reused.setup (c.inRate, c.outRate, c.inBlock, c.outBlock);
        reused.reset();
        EXPECT_EQ (convert (reused, in, c.outBlock), convert (fresh, in, c.outBlock));
    }
}

TEST (Resampler, ConvertersDoNotAccumulate)
{
    // Each ratio's filter is designed once and kept for the last few ratios; a resampler adds only
    // its working copy.
    const int before = liveConverters;
    {
        PellmixResampler r;
        EXPECT_EQ (liveConverters, before);
        r.setup (44100, 96000, 1000, 2176);
        const int afterSetup = liveConverters;
        EXPECT_GE (afterSetup - before, 1);
        EXPECT_LE (afterSetup - before, 2); // the designed converter (unless kept already) and its copy

        const std::vector<float> in (2048, 0.25f);
        std::vector<float> out (4458);
        for (int i = 0; i < 20; ++i)
        {
            r.reset();
            r.process (in.data(), out.data());
        }
        EXPECT_EQ (liveConverters, afterSetup);
        const float* ins[] = {in.data(), in.data(), in.data()};
        std::vector<float> each (3 * 2176);
        float* outs[] = {each.data(), each.data() + 2176, each.data() + 2 * 2176};
        r.processEach (ins, outs, 3);
        EXPECT_EQ (liveConverters, afterSetup);

        // Setting up the same ratio again designs nothing.
        const int opensBefore = opens;
        PellmixResampler other;
        other.setup (44100, 96000, 500, 1088);
        EXPECT_EQ (opens, opensBefore);
        EXPECT_EQ (liveConverters, afterSetup + 1);

        // Many ratios in turn: the kept ones stay, besides the two working copies and the
        // designed 44.1 kHz one that `other` still holds.
        for (int k = 0; k < 3 * PellmixResampler::designedRatiosKept; ++k)
            r.setup (44100, 50000 + 1000 * k, 1000, 1000);
        EXPECT_LE (liveConverters - before, PellmixResampler::designedRatiosKept + 3);

        // A 2x setup keeps the converter idle, and the next general setup replaces it.
        const int general = liveConverters;
        r.setup (48000, 96000, 512, 1024);
        EXPECT_EQ (liveConverters, general);
        r.setup (44100, 96000, 1000, 2176);
        EXPECT_LE (liveConverters, general + 1);
    }
    EXPECT_LE (liveConverters - before, PellmixResampler::designedRatiosKept);
}

TEST (Resampler, NoConverterLeavesSilence)
{
    struct Case
    {
        const char* what;
        double inRate, outRate;
        int inBlock, outBlock;
        bool openFails;
    };
    const Case cases[] = {
        // A ratio no other case sets up, so that it is not designed already.
        {"open fails", 44100, 96017, 1000, 2177, true},
        {"zero output rate", 44100, 0, 1000, 16, false},
        {"negative ratio", 44100, -96000, 1000, 64, false},
        {"zero input rate", 0, 96000, 1000, 64, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        PellmixResampler r;
        failOpen = c.openFails;
        r.setup (c.inRate, c.outRate, c.inBlock, c.outBlock);
        failOpen = false;
        r.reset();
        const std::vector<float> in (size_t (c.inBlock), 0.5f);
        EXPECT_EQ (convert (r, in, c.outBlock), std::vector<float> (size_t (c.outBlock), 0.0f));
    }

    // A failed open is not kept: the ratio's next setup designs it.
    PellmixResampler again;
    again.setup (44100, 96017, 1000, 2177);
    again.reset();
    const auto out = convert (again, std::vector<float> (1000, 0.5f), 2177);
    EXPECT_GT (*std::max_element (out.begin(), out.end()), 0.4f);
}

TEST (Resampler, NotSetUpDoesNothing)
{
    PellmixResampler r;
    r.reset();
    std::vector<float> in (64, 1.0f), out (64, sentinel);
    r.process (in.data(), out.data());
    EXPECT_EQ (out, std::vector<float> (64, sentinel));
}

TEST (Resampler, BlocksNotSizedToTheRatioStayInBounds)
{
    // Exact-size buffers: reading or writing past them is caught by the sanitizer builds.
    struct Case
    {
        const char* what;
        double inRate, outRate;
        int inBlock, outBlock, filled; // filled: samples the conversion produces; the rest are 0
    };
    const Case cases[] = {
        {"down, output longer than half the input", 96000, 48000, 100, 64, 50},
        {"up, output shorter than twice the input", 48000, 96000, 100, 150, 150},
        {"up, odd output length", 48000, 96000, 100, 201, 200},
        {"converter, output longer than the signal", 44100, 96000, 1000, 2400, 2176},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        const auto in = testSignal (c.inBlock, c.inRate, c.outRate, 5);
        std::vector<float> out (size_t (c.outBlock), sentinel);
        PellmixResampler r;
        r.setup (c.inRate, c.outRate, c.inBlock, c.outBlock);
        r.reset();
        r.process (in.data(), out.data());
        for (int i = 0; i < c.filled; ++i)
            ASSERT_NE (out[size_t (i)], sentinel) << "sample " << i;
        for (int i = c.filled + 8; i < c.outBlock; ++i)
            ASSERT_EQ (out[size_t (i)], 0.0f) << "sample " << i;
    }
}
