// FIR filter family: the direct-form filter against a double-precision sum, the single-tap form against
// the full even phase, and the 2x polyphase filter against scipy's upfirdn and its exact
// impulse responses.
#include "engine/PellmixFIRFilters.h"

#include "support/Fixtures.h"
#include "support/RawFiles.h"
#include "support/TestSignals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

using namespace pellmix_test;

namespace
{
const float* const table = PellmixHalfBand::coefficients;

std::vector<float> evenPhase()
{
    std::vector<float> even;
    for (int k = 0; k < PellmixHalfBand::numTaps; k += 2)
        even.push_back (table[k]);
    return even;
}

std::vector<float> run (CFIRFilter_gen& f, const std::vector<float>& in)
{
    std::vector<float> out;
    for (float x : in)
        out.push_back (f.processSample (x));
    return out;
}
} // namespace

TEST (FirFilter, HalfBandTableIsSymmetricHalfBandWithUnitSum)
{
    double sum = 0.0;
    for (int k = 0; k < PellmixHalfBand::numTaps; ++k)
    {
        EXPECT_EQ (table[k], table[24 - k]) << "tap " << k;
        if (k % 2 == 0 && k != 12)
        {
            EXPECT_EQ (table[k], 0.0f) << "tap " << k;
        }
        sum += table[k];
    }
    EXPECT_NEAR (sum, 1.0, 1e-6);
    EXPECT_FLOAT_EQ (table[12], 0.49977398f);
    EXPECT_FLOAT_EQ (table[1], -0.0004927838f);
}

TEST (FirFilter, DirectFormMatchesDoubleSum)
{
    // An arbitrary 25-tap filter (not the half-band one, so every tap matters) over noise.
    const auto coeffs = noise (25, 7, 2.0f);
    const auto in = noise (4000, 8, 2.0f);
    CFIRFilter_fpu f (25, coeffs.data());
    const auto out = run (f, in);
    for (size_t n = 0; n < in.size(); ++n)
    {
        double ref = 0.0;
        for (size_t k = 0; k < coeffs.size() && k <= n; ++k)
            ref += double (coeffs[k]) * in[n - k];
        ASSERT_NEAR (out[n], ref, 1e-5) << "sample " << n;
    }
}

TEST (FirFilter, ResetRestartsAndEmptyFilterGivesZero)
{
    const auto coeffs = noise (25, 3, 2.0f);
    const auto in = noise (300, 4, 2.0f);
    CFIRFilter_fpu f (25, coeffs.data());
    const auto first = run (f, in);
    f.reset();
    EXPECT_EQ (run (f, in), first);

    CFIRFilter_fpu empty (0, nullptr);
    EXPECT_EQ (empty.processSample (1.0f), 0.0f);
    empty.reset();
}

TEST (FirFilter, SingleTapFormEqualsFullEvenPhaseBitwise)
{
    const auto even = evenPhase();
    ASSERT_EQ (even.size(), 13u);
    CFIRFilter_fpu full (13, even.data());
    CFIRFilter_Simplified_fpu simplified (7, even.data(), 6);

    const auto in = noise (1000, 5, 2.0f);
    EXPECT_EQ (run (simplified, in), run (full, in));

    // After a reset mid-cycle both restart from silence: the circular position may differ, the
    // output may not.
    full.reset();
    simplified.reset();
    EXPECT_EQ (run (simplified, in), run (full, in));
}

TEST (FirFilter, PolyphaseImpulseResponsesAreExact)
{
    CFIRFilter_Polyphase_fpu f (25, table, true);

    std::vector<float> impulse (40, 0.0f);
    impulse[0] = 1.0f;
    std::vector<float> up (80, -1.0f);
    f.upsample (40, 80, up.data(), impulse.data());
    for (int n = 0; n < 80; ++n)
    {
        const float expected = n < 25 ? 2.0f * table[n] : 0.0f;
        EXPECT_EQ (up[size_t (n)], expected) << "output " << n;
    }
    EXPECT_FLOAT_EQ (up[1], -0.0009855676f);
    EXPECT_FLOAT_EQ (up[12], 2.0f * 0.49977398f);

    // Downsampling keeps every second output of the 25-tap filter: an impulse at input 0 gives
    // the even taps, one at input 1 the odd taps, one output later.
    for (int offset : {0, 1})
    {
        f.reset();
        std::vector<float> in (80, 0.0f);
        in[size_t (offset)] = 1.0f;
        std::vector<float> down (40, -1.0f);
        f.downsample (80, 40, down.data(), in.data());
        for (int i = 0; i < 40; ++i)
        {
            const int tap = 2 * i - offset;
            const float expected = tap >= 0 && tap < 25 ? table[tap] : 0.0f;
            EXPECT_EQ (down[size_t (i)], expected) << "offset " << offset << " output " << i;
        }
    }
}

TEST (FirFilter, PolyphaseMatchesUpfirdn)
{
    struct Case
    {
        const char* direction;
        bool simplified;
    };
    const Case cases[] = {{"up", true}, {"down", true}, {"up", false}, {"down", false}};

    TempDir dir;
    const auto in = noise (6000, 11, 2.0f);
    ASSERT_TRUE (writeRaw (dir.child ("in.f32"), in));
    for (const auto& c : cases)
    {
        SCOPED_TRACE (std::string (c.direction) + (c.simplified ? " simplified" : " full"));
        const bool up = std::string (c.direction) == "up";
        CFIRFilter_Polyphase_fpu f (25, table, c.simplified);
        // Two blocks, to show that the state (and the held odd-phase value) carries across calls.
        std::vector<float> out (up ? 2 * in.size() : in.size() / 2);
        const size_t half = in.size() / 2;
        if (up)
        {
            f.upsample (int (half), int (2 * half), out.data(), in.data());
            f.upsample (int (half), int (2 * half), out.data() + 2 * half, in.data() + half);
        }
        else
        {
            f.downsample (int (half), int (half / 2), out.data(), in.data());
            f.downsample (int (half), int (half / 2), out.data() + half / 2, in.data() + half);
        }

        const auto refPath = dir.child (std::string ("ref-") + c.direction + ".f32");
        runPythonScript ("resampler_oracle.py", {"halfband", dir.child ("in.f32"), refPath, c.direction});
        const auto ref = readRaw<float> (refPath);
        ASSERT_EQ (ref.size(), out.size());
        for (size_t i = 0; i < out.size(); ++i)
            ASSERT_NEAR (out[i], ref[i], 2e-6) << "output " << i;
    }
}

TEST (FirFilter, PolyphaseResetClearsHeldValue)
{
    // The odd phase's output is held for the next call; a reset must drop it too.
    CFIRFilter_Polyphase_fpu f (25, table, true);
    const auto in = noise (64, 2, 2.0f);
    std::vector<float> first (32), again (32), junk (32);
    f.downsample (64, 32, first.data(), in.data());
    f.downsample (64, 32, junk.data(), in.data());
    f.reset();
    f.downsample (64, 32, again.data(), in.data());
    EXPECT_EQ (again, first);

    // A constant settles at the taps' sum from output 12 on.
    f.reset();
    std::vector<float> ones (80, 1.0f), out (40);
    f.downsample (80, 40, out.data(), ones.data());
    for (size_t i = 12; i < 40; ++i)
        EXPECT_NEAR (out[i], 1.0f, 1e-6f) << "output " << i;
    EXPECT_GT (std::abs (out[11] - 1.0f), 1e-4f); // not settled before output 12
}
