// Spectrum analyser: sizes and display frequencies, the sliding window, magnitudes and phases
// against numpy (also at low rates, where display points lie above the Nyquist frequency), the
// -20 dB normalisation, the all-zero window, and the attack / release smoothing with the shared
// reference level.
#include "engine/PellmixSpectrum.h"

#include "support/Fixtures.h"
#include "support/Process.h"
#include "support/RawFiles.h"
#include "support/TestSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

using namespace pellmix_test;

namespace
{
std::vector<float> impulse (int n, int at, float amplitude)
{
    std::vector<float> v (static_cast<size_t> (n), 0.0f);
    v[static_cast<size_t> (at)] = amplitude;
    return v;
}

struct OracleCase
{
    const char* name;
    int requestedSize;
    int points;
    double rate;
    std::vector<float> window; // exactly the FFT size
};

struct OracleResult
{
    std::vector<double> frequencies, magnitudes, phases, reliable;
};

// Runs the oracle once for all cases.
std::vector<OracleResult> oracle (const TempDir& dir, const std::vector<OracleCase>& cases)
{
    std::vector<std::string> args;
    for (size_t c = 0; c < cases.size(); ++c)
    {
        const std::string in = dir.child ("w" + std::to_string (c)),
                          out = dir.child ("r" + std::to_string (c));
        EXPECT_TRUE (writeRaw (in, cases[c].window));
        args.insert (args.end(), {std::to_string (cases[c].window.size()), std::to_string (cases[c].points),
                                  std::to_string (cases[c].rate), in, out});
    }
    runPythonScript ("spectrum_analyse.py", args);
    std::vector<OracleResult> results;
    for (size_t c = 0; c < cases.size(); ++c)
    {
        const auto all = readRaw<double> (dir.child ("r" + std::to_string (c)));
        const auto n = static_cast<size_t> (cases[c].points);
        OracleResult r;
        if (all.size() == 4 * n)
        {
            r.frequencies.assign (all.begin(), all.begin() + long (n));
            r.magnitudes.assign (all.begin() + long (n), all.begin() + long (2 * n));
            r.phases.assign (all.begin() + long (2 * n), all.begin() + long (3 * n));
            r.reliable.assign (all.begin() + long (3 * n), all.end());
        }
        results.push_back (r);
    }
    return results;
}

void expectMatches (const PellmixSpectrum& s, const OracleResult& ref)
{
    ASSERT_EQ (ref.magnitudes.size(), static_cast<size_t> (s.numPoints)) << "oracle failed";
    for (size_t i = 0; i < ref.magnitudes.size(); ++i)
    {
        EXPECT_NEAR (s.frequencies[i], ref.frequencies[i], 1e-6 * ref.frequencies[i]) << "point " << i;
        EXPECT_NEAR (s.magnitudesDb[i], ref.magnitudes[i], 5e-3) << "point " << i;
        if (ref.reliable[i] != 0.0)
        {
            EXPECT_NEAR (s.phases[i], ref.phases[i], 2e-3) << "point " << i;
        }
    }
}
} // namespace

TEST (Spectrum, FftSizeIsTheRequestRoundedUpToAPowerOfTwo)
{
    const struct
    {
        int request, expected;
    } cases[] = {{2048, 2048}, {2000, 2048},   {2049, 4096},    {1, 1}, {3, 4},
                 {4, 4},       {65536, 65536}, {65537, 131072}, {0, 1}, {-5, 1}};
    for (const auto& c : cases)
    {
        PellmixSpectrum s;
        s.prepare (c.request, 224, 96000.0);
        EXPECT_EQ (s.fftSize, c.expected) << "request " << c.request;
        EXPECT_EQ (s.numPoints, 224);
        s.pushSamples (noise (c.expected, 1, 2.0f).data(), c.expected);
        s.analyse(); // every size, even 1, analyses without reading out of range
    }
}

// The first point is 20 Hz; the last 20 kHz above a 20 kHz rate, else the rate itself. A second
// prepare at another rate recomputes them, also with the same size and point count.
TEST (Spectrum, DisplayFrequenciesFollowTheRate)
{
    const struct
    {
        int points;
        double rate;
        double last;
    } cases[] = {{224, 96000.0, 20000.0}, {224, 16000.0, 16000.0}, {301, 96000.0, 20000.0},
                 {364, 44100.0, 20000.0}, {364, 20000.0, 20000.0}, {364, 8000.0, 8000.0}};
    PellmixSpectrum reused;
    for (const auto& c : cases)
    {
        PellmixSpectrum fresh;
        for (PellmixSpectrum* s : {&fresh, &reused})
        {
            s->prepare (2048, c.points, c.rate);
            ASSERT_EQ (s->frequencies.size(), static_cast<size_t> (c.points));
            EXPECT_NEAR (s->frequencies.front(), 20.0, 1e-3) << c.rate;
            EXPECT_NEAR (s->frequencies.back(), c.last, 1e-5 * c.last) << c.rate;
            EXPECT_EQ (s->sampleRate, c.rate);
            EXPECT_TRUE (std::is_sorted (s->frequencies.begin(), s->frequencies.end()));
        }
        EXPECT_EQ (fresh.frequencies, reused.frequencies) << "re-prepare at " << c.rate;
    }
}

TEST (Spectrum, FewDisplayPoints)
{
    PellmixSpectrum one;
    one.prepare (2048, 1, 48000.0);
    ASSERT_EQ (one.frequencies.size(), 1u);
    EXPECT_NEAR (one.frequencies[0], 20.0, 1e-3);
    one.pushSamples (noise (2048, 3, 2.0f).data(), 2048);
    one.analyse();
    EXPECT_FLOAT_EQ (one.magnitudesDb[0], -20.0f);

    PellmixSpectrum none;
    none.prepare (2048, 0, 48000.0);
    EXPECT_EQ (none.numPoints, 0);
    none.pushSamples (noise (2048, 3, 2.0f).data(), 2048);
    none.analyse();
    EXPECT_TRUE (none.magnitudesDb.empty());
}

// Without smoothing, against numpy: rates where every point has bins around it, and low rates
// where the upper points lie at or above the Nyquist frequency and take the Nyquist bin.
TEST (Spectrum, MagnitudesAndPhasesMatchNumpy)
{
    std::vector<float> tone (2048);
    for (size_t i = 0; i < tone.size(); ++i)
        tone[i] = 0.5f * std::sin (0.05f * float (i)) + 0.01f * noise (2048, 9, 2.0f)[i];
    std::vector<float> trailing = noise (2048, 21, 2.0f);
    std::fill (trailing.begin(), trailing.begin() + 2000, 0.0f);
    const std::vector<OracleCase> cases = {
        {"noise, slots", 2048, 224, 96000.0, noise (2048, 1, 2.0f)},
        {"tone, sum", 2048, 301, 96000.0, tone},
        {"noise, 44.1 kHz", 2048, 364, 44100.0, noise (2048, 2, 0.02f)},
        {"noise, 40 kHz", 2048, 364, 40000.0, noise (2048, 3, 2.0f)},
        {"noise, 32 kHz", 2048, 364, 32000.0, noise (2048, 4, 2.0f)},
        {"noise, 16 kHz", 2048, 364, 16000.0, noise (2048, 5, 2.0f)},
        {"noise, 8 kHz", 2048, 364, 8000.0, noise (2048, 6, 2.0f)},
        {"late samples, 2000 requested", 2000, 224, 48000.0, trailing},
        {"impulse at 2, 4096", 4096, 224, 48000.0, impulse (4096, 2, 0.3f)},
        {"tiny window", 8, 50, 96000.0, noise (8, 7, 2.0f)},
        {"two points", 256, 2, 1000.0, noise (256, 8, 2.0f)},
    };
    TempDir dir ("pellmix_spectrum");
    const auto refs = oracle (dir, cases);
    for (size_t c = 0; c < cases.size(); ++c)
    {
        SCOPED_TRACE (cases[c].name);
        PellmixSpectrum s;
        s.prepare (cases[c].requestedSize, cases[c].points, cases[c].rate);
        ASSERT_EQ (static_cast<size_t> (s.fftSize), cases[c].window.size());
        s.pushSamples (cases[c].window.data(), s.fftSize);
        s.analyse();
        expectMatches (s, refs[c]);
        // The peak is moved by subtracting (peak + 20) in float: -20 up to its rounding.
        EXPECT_FLOAT_EQ (*std::max_element (s.magnitudesDb.begin(), s.magnitudesDb.end()), -20.0f);
    }
}

// An analyser prepared at a high rate and prepared again at a low one, same size and points,
// values its points for the new rate (frequencies and Nyquist clamp).
TEST (Spectrum, ReprepareAtALowerRateMatchesNumpy)
{
    const std::vector<OracleCase> cases = {{"32 kHz", 2048, 364, 32000.0, noise (2048, 11, 2.0f)},
                                           {"11.025 kHz", 2048, 364, 11025.0, noise (2048, 12, 2.0f)}};
    TempDir dir ("pellmix_spectrum");
    const auto refs = oracle (dir, cases);
    PellmixSpectrum s;
    for (size_t c = 0; c < cases.size(); ++c)
    {
        SCOPED_TRACE (cases[c].name);
        s.prepare (2048, 364, 96000.0);
        s.prepare (2048, 364, cases[c].rate);
        s.pushSamples (cases[c].window.data(), 2048);
        s.analyse();
        expectMatches (s, refs[c]);
    }
}

// Pushes of various sizes slide the window: smaller pushes keep the newest old samples in front,
// a push of N or more keeps only the last N new samples; each analysis sees the latest window,
// and an analysis without a push in between repeats the previous one.
TEST (Spectrum, WindowSlidesWithEachPush)
{
    const int n = 2048;
    const int pushes[] = {512, 4096, 512, 1, 2047, 2048, 0, 3000, 100};
    const auto source = noise (20000, 31, 2.0f);
    std::vector<float> expected (static_cast<size_t> (n), 0.0f);
    std::vector<OracleCase> cases;
    size_t offset = 0;
    for (int count : pushes)
    {
        expected.insert (expected.end(), source.begin() + long (offset),
                         source.begin() + long (offset) + count);
        expected.erase (expected.begin(), expected.end() - n);
        offset += static_cast<size_t> (count);
        cases.push_back ({"push", n, 224, 96000.0, expected});
    }
    TempDir dir ("pellmix_spectrum");
    const auto refs = oracle (dir, cases);

    PellmixSpectrum s;
    s.prepare (n, 224, 96000.0);
    offset = 0;
    for (size_t p = 0; p < std::size (pushes); ++p)
    {
        SCOPED_TRACE ("after push " + std::to_string (p) + " of " + std::to_string (pushes[p]));
        s.pushSamples (source.data() + offset, pushes[p]);
        offset += static_cast<size_t> (pushes[p]);
        s.analyse();
        expectMatches (s, refs[p]);
        const auto first = s.magnitudesDb;
        s.analyse();
        EXPECT_EQ (s.magnitudesDb, first);
    }
}

// An all-zero window gives -96 dB and phase 0 everywhere, with and without smoothing, and
// clear() and prepare() bring back the all-zero window.
TEST (Spectrum, SilentWindowGivesFloorAndZeroPhase)
{
    for (bool smoothing : {false, true})
    {
        SCOPED_TRACE (smoothing ? "smoothing" : "plain");
        PellmixSpectrum s;
        s.smoothing = smoothing;
        s.prepare (2048, 224, 96000.0);
        const auto check = [&s] (const char* when)
        {
            s.analyse();
            for (int i = 0; i < s.numPoints; ++i)
            {
                ASSERT_EQ (s.magnitudesDb[size_t (i)], -96.0f) << when << ", point " << i;
                ASSERT_EQ (s.phases[size_t (i)], 0.0f) << when << ", point " << i;
            }
        };
        check ("fresh");
        const auto loud = noise (2048, 41, 2.0f);
        s.pushSamples (loud.data(), 2048);
        s.analyse();
        s.clear();
        check ("after clear");
        s.pushSamples (loud.data(), 2048);
        s.prepare (2048, 224, 96000.0);
        check ("after prepare");
        const std::vector<float> zeros (2048, 0.0f);
        s.pushSamples (loud.data(), 2048);
        s.pushSamples (zeros.data(), 2048);
        if (!smoothing) // with smoothing the previous values decay instead
        {
            check ("after zeros");
        }
    }
}

// A unit impulse at the start of the window is flat (-33.1 dB before normalisation) with phase
// 0: every point lands exactly on -20 dB.
TEST (Spectrum, ImpulseAtStartIsFlatAtMinusTwenty)
{
    PellmixSpectrum s;
    s.prepare (2048, 224, 96000.0);
    s.pushSamples (impulse (2048, 0, 1.0f).data(), 2048);
    s.analyse();
    for (int i = 0; i < s.numPoints; ++i)
    {
        EXPECT_EQ (s.magnitudesDb[size_t (i)], -20.0f) << "point " << i;
        EXPECT_EQ (s.phases[size_t (i)], 0.0f) << "point " << i;
    }
}

class SpectrumSmoothing : public ::testing::Test
{
protected:
    void SetUp() override { PellmixSpectrum::runningMaxDb.store (-96.0f); }

    static void prepare (PellmixSpectrum& s)
    {
        s.smoothing = true;
        s.prepare (2048, 224, 96000.0);
    }

    // Flat raw level of an impulse of `amplitude`: 20 log10(amplitude / sqrt(N)).
    static float flatDb (float amplitude) { return 20.0f * std::log10 (amplitude / std::sqrt (2048.0f)); }

    static void feed (PellmixSpectrum& s, int at, float amplitude)
    {
        s.pushSamples (impulse (2048, at, amplitude).data(), 2048);
        s.analyse();
    }

    static void expectFlat (const PellmixSpectrum& s, float expected, const std::string& step)
    {
        for (int i = 0; i < s.numPoints; ++i)
            ASSERT_NEAR (s.magnitudesDb[size_t (i)], expected, 2e-3) << step << ", point " << i;
    }
};

// Windows starting with two zero samples are left unnormalised, so the smoothed values show: a
// rise is taken at once, a fall decays by 0.8819 per analysis towards the new value.
TEST_F (SpectrumSmoothing, RisesAtOnceAndFallsByTheReleaseFactor)
{
    const float release = std::exp (-0.12566371f);
    EXPECT_NEAR (release, 0.8819f, 1e-4f);
    PellmixSpectrum s;
    prepare (s);
    const float loud = flatDb (1.0f), quiet = flatDb (0.01f);
    EXPECT_NEAR (loud, -33.11f, 0.01f);

    feed (s, 2, 1.0f);
    expectFlat (s, loud, "first rise from -96");
    float y = loud;
    for (int step = 0; step < 4; ++step)
    {
        feed (s, 2, 0.01f);
        y = y * release + (1.0f - release) * quiet;
        expectFlat (s, y, "fall " + std::to_string (step));
    }
    feed (s, 2, 1.0f);
    expectFlat (s, loud, "rise again");
    feed (s, 2, 1.0f);
    expectFlat (s, loud, "equal value");
    EXPECT_EQ (PellmixSpectrum::runningMaxDb.load(), -96.0f);
}

// Windows that do not start with two zeros are taken relative to one level shared by every
// smoothing analyser; the level only grows until a window starting with two zeros resets it,
// after which the next analysis of any smoothing analyser starts a new maximum. Analysers
// without smoothing neither use nor change it.
TEST_F (SpectrumSmoothing, SharedLevelAcrossAnalysers)
{
    PellmixSpectrum a, b, plain;
    prepare (a);
    prepare (b);
    plain.prepare (2048, 224, 96000.0);
    const float release = std::exp (-0.12566371f);

    feed (a, 0, 1.0f);
    expectFlat (a, 0.0f, "a sets the level");
    EXPECT_NEAR (PellmixSpectrum::runningMaxDb.load(), flatDb (1.0f), 2e-3);

    feed (b, 0, 0.1f); // b's own values lie 20 dB below the shared level
    expectFlat (b, -20.0f, "b below the level of a");

    feed (plain, 0, 10.0f);
    expectFlat (plain, -20.0f, "plain normalises on its own");
    EXPECT_NEAR (PellmixSpectrum::runningMaxDb.load(), flatDb (1.0f), 2e-3);

    feed (a, 0, 0.1f); // a falls by the release factor, still relative to the kept level
    const float fallen = flatDb (1.0f) * release + (1.0f - release) * flatDb (0.1f);
    expectFlat (a, fallen - flatDb (1.0f), "a falls");

    feed (b, 1, 0.01f); // one leading zero only: still normalised
    EXPECT_NEAR (PellmixSpectrum::runningMaxDb.load(), flatDb (1.0f), 2e-3);

    feed (b, 2, 0.01f); // two leading zeros: the level resets, b's values stay unnormalised
    EXPECT_EQ (PellmixSpectrum::runningMaxDb.load(), -96.0f);
    float bSmoothed = flatDb (0.1f);
    for (int fall = 0; fall < 2; ++fall)
        bSmoothed = bSmoothed * release + (1.0f - release) * flatDb (0.01f);
    expectFlat (b, bSmoothed, "b unnormalised");

    feed (a, 0, 0.1f); // a starts the new maximum: its own smoothed level
    const float aSmoothed = fallen * release + (1.0f - release) * flatDb (0.1f);
    expectFlat (a, 0.0f, "a at the new maximum");
    EXPECT_NEAR (PellmixSpectrum::runningMaxDb.load(), aSmoothed, 2e-3);
}
