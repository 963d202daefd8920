// The engine facade: the active rule, the blend sum (unit energy, EQ), the getters of each kind,
// loading failures, and the crossfade between the convolver pairs.
#include "EngineTestHelpers.h"

#include <gtest/gtest.h>

#include <bitset>
#include <limits>
#include <numeric>

using namespace engine_test;

namespace
{
double energy (const std::vector<float>& band)
{
    return std::accumulate (band.begin(), band.end(), 0.0,
                            [] (double a, float v) { return a + (double)v * v; });
}

std::vector<bool> activeFlags (const PellmixEngine& engine)
{
    std::vector<bool> flags;
    for (int i = 0; i < PellmixEngine::numSlots; ++i)
        flags.push_back (engine.getSlot (i).active);
    return flags;
}

std::vector<bool> bits (unsigned mask)
{
    std::vector<bool> flags;
    for (int i = 0; i < PellmixEngine::numSlots; ++i)
        flags.push_back ((mask >> i) & 1u);
    return flags;
}
} // namespace

// --- Active rule -------------------------------------------------------------------------------

TEST (EngineActiveRule, SoloAndMuteTable)
{
    struct Case
    {
        const char* name;
        unsigned loaded, muted, soloed, active;
    };
    const Case cases[] = {
        {"nothing loaded", 0x00, 0x00, 0x00, 0x00},
        {"loaded play", 0x0b, 0x00, 0x00, 0x0b},
        {"muted slots are silent", 0x0b, 0x02, 0x00, 0x09},
        {"a solo silences the others, muted or not", 0x0b, 0x02, 0x08, 0x08},
        {"a soloed slot plays even when muted", 0x0b, 0x0a, 0x08, 0x08},
        {"two solos", 0x0f, 0x00, 0x05, 0x05},
        {"a solo on an empty slot silences nothing", 0x03, 0x00, 0x80, 0x03},
        {"a solo on an empty slot leaves a loaded solo in charge", 0x03, 0x00, 0x82, 0x02},
        {"mute on an empty slot changes nothing", 0x03, 0x04, 0x00, 0x03},
    };
    for (const auto& c : cases)
    {
        EngineWithFiles e;
        const auto ir = impulse (64, 0);
        for (int i = 0; i < PellmixEngine::numSlots; ++i)
        {
            if ((c.loaded >> i) & 1u)
                e.load (i, ir);
            e.engine.setMute (i, (c.muted >> i) & 1u);
            e.engine.setSolo (i, (c.soloed >> i) & 1u);
        }
        EXPECT_EQ (activeFlags (e.engine), bits (c.active)) << c.name;
    }
}

TEST (EngineActiveRule, RemovingSoloRestoresMuteRuleAndRemovalDeactivates)
{
    EngineWithFiles e;
    for (int i = 0; i < 3; ++i)
        e.load (i, impulse (64, i));
    e.engine.setMute (1, true);
    e.engine.setSolo (1, true);
    EXPECT_EQ (activeFlags (e.engine), bits (0x02));
    e.engine.setMute (1, true); // muting the soloed slot again changes nothing
    EXPECT_EQ (activeFlags (e.engine), bits (0x02));
    e.engine.setSolo (1, false);
    EXPECT_EQ (activeFlags (e.engine), bits (0x05));
    e.engine.removeIr (0);
    EXPECT_EQ (activeFlags (e.engine), bits (0x04));
    EXPECT_FALSE (e.engine.isLoaded (0));
    EXPECT_EQ (e.engine.getSlot (0).getLength(), 64); // the bands stay
}

// --- Loading -----------------------------------------------------------------------------------

TEST (EngineLoad, UnreadableFileIsReportedAndLeavesTheSlotAsItWas)
{
    EngineWithFiles e;
    const auto bad = e.dir.child ("broken.wav");
    {
        std::ofstream out (bad);
        out << "not a wave file at all";
    }
    const juce::File files[] = {juce::File (bad), juce::File (e.dir.child ("missing.wav")),
                                e.file ("ir.txt", impulse (64, 0), 96000.0)};
    for (const auto& f : files)
    {
        EXPECT_FALSE (e.engine.loadIr (2, f)) << f.getFileName();
        EXPECT_FALSE (e.engine.isLoaded (2));
        EXPECT_FALSE (e.engine.getSlot (2).active.load());
    }

    e.load (5, impulse (64, 4));
    const auto before = e.engine.getSlot (5).work[0];
    for (const auto& f : files)
    {
        EXPECT_FALSE (e.engine.loadIr (5, f)) << f.getFileName();
        EXPECT_TRUE (e.engine.isLoaded (5));
        EXPECT_TRUE (e.engine.getSlot (5).active.load());
        EXPECT_EQ (e.engine.getSlot (5).work[0], before);
    }
    // The engine's callers shape the slot and blend after every load attempt.
    e.engine.setIrParameters (2, 2048, 0, 0.0f, false, 0.0f);
    e.engine.blend (nullptr, false, false);
    EXPECT_NEAR (energy (e.engine.getSum().bands[0]), 1.0, 1e-5);
}

// --- Blend sum ---------------------------------------------------------------------------------

TEST (EngineBlend, EverySumBandHasUnitEnergyWhateverTheGains)
{
    struct Case
    {
        std::vector<float> gains;
        std::vector<bool> inverted;
    };
    const Case cases[] = {
        {{0.0f}, {false}},
        {{-20.0f, 6.0f}, {false, false}},
        {{-40.0f, 0.0f, 12.0f}, {false, true, false}},
        {{24.0f, 24.0f, -60.0f, 0.0f, 3.0f}, {true, false, false, true, false}},
    };
    for (const auto& c : cases)
    {
        EngineWithFiles e;
        for (size_t i = 0; i < c.gains.size(); ++i)
            e.load ((int)i, decayingIr (900 + 200 * (int)i, 44100.0, 1.0 + 0.3 * (double)i), 44100.0,
                    c.gains[i], c.inverted[i]);
        e.engine.blend (nullptr, false, false);
        for (int b = 0; b < 3; ++b)
            EXPECT_NEAR (energy (e.engine.getSum().bands[(size_t)b]), 1.0, 1e-5)
                << c.gains.size() << " slots, band " << b;
        EXPECT_EQ (e.engine.getSum().length, 2048);
    }
}

TEST (EngineBlend, SilentSlotsLeaveASilentSumAndNoSlotOnlyClearsIt)
{
    EngineWithFiles e;
    e.load (0, decayingIr (900, 96000.0, 1.0));
    e.engine.setIrParameters (0, 0, 0, 0.0f, false, 0.0f); // an empty window
    e.engine.blend (nullptr, false, false);
    EXPECT_EQ (energy (e.engine.getSum().bands[0]), 0.0);
    EXPECT_TRUE (e.engine.isCrossfadePending());

    e.engine.reset();
    e.engine.removeIr (0);
    const auto pair = e.engine.getCurrentPair();
    e.engine.blend (nullptr, false, false);
    EXPECT_EQ (energy (e.engine.getSum().bands[0]), 0.0);
    EXPECT_EQ (e.engine.getCurrentPair(), pair);
    EXPECT_FALSE (e.engine.isCrossfadePending());
}

TEST (EngineBlend, EqSwitchAndStoredBandValues)
{
    EngineWithFiles e;
    e.load (0, noise (1500, 9), 96000.0, -3.0f);
    e.load (1, decayingIr (1700, 96000.0, 1.2));

    std::vector<float> gains (31, 0.0f), otherGains (31, 0.0f);
    gains[10] = 12.0f;
    gains[20] = -12.0f;
    otherGains[5] = -9.0f;

    e.engine.blend (nullptr, false, false);
    const auto dry = e.engine.getSum().bands;

    e.engine.blend (std::vector<float> (31, 0.0f).data(), true, true); // flat: as good as no EQ
    for (int b = 0; b < 3; ++b)
        for (int i = 0; i < 2048; ++i)
            ASSERT_NEAR (e.engine.getSum().bands[(size_t)b][(size_t)i], dry[(size_t)b][(size_t)i], 1e-5);

    e.engine.blend (gains.data(), true, true);
    const auto shaped = e.engine.getSum().bands;
    float largestChange = 0.0f;
    for (int i = 0; i < 2048; ++i)
        largestChange = std::max (largestChange, std::abs (shaped[0][(size_t)i] - dry[0][(size_t)i]));
    EXPECT_GT (largestChange, 1e-3f);

    e.engine.blend (otherGains.data(), true, false); // EQ off: the gains are not taken
    EXPECT_EQ (e.engine.getSum().bands, dry);

    e.engine.blend (nullptr, false, true); // stored values apply
    EXPECT_EQ (e.engine.getSum().bands, shaped);
}

// --- Getters -----------------------------------------------------------------------------------

TEST (EngineGetters, LengthsAndSpectraOfEachKind)
{
    EngineWithFiles e;
    e.load (2, decayingIr (1000, 44100.0, 1.0), 44100.0);
    e.engine.blend (nullptr, false, false);
    e.engine.prepareSpectrum (PellmixEngine::slotSpectrum, 2048, 224, 96000.0);
    e.engine.prepareSpectrum (PellmixEngine::sumSpectrum, 2048, 301, 96000.0);
    e.engine.prepareToPlay (512, 48000.0);
    e.engine.prepareSpectrum (PellmixEngine::outputSpectrum, 2048, 364, 48000.0);
    e.engine.reset();
    auto x = noise (512, 1);
    processInPlace (e.engine, x.data(), 512);

    struct Case
    {
        int kind;
        int slot;
        int length;
        bool magnitudes, phases, times;
    };
    const Case cases[] = {
        {PellmixEngine::slotSpectrum, 2, 2176, true, true, true},
        {PellmixEngine::slotSpectrum, 0, 0, true, true, true},
        {PellmixEngine::sumSpectrum, 0, 2048, true, true, true},
        {PellmixEngine::outputSpectrum, 0, -1, true, true, true},
        {PellmixEngine::inputSpectrum, 0, -1, true, false, false},
        {4, 0, -1, false, false, false},
        {-1, 0, -1, false, false, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << "kind " << c.kind << ", slot " << c.slot);
        EXPECT_EQ (e.engine.getIrLength (c.kind, c.slot), c.length);
        const float* magnitudes = e.engine.getMagnitudes (c.kind, c.slot);
        EXPECT_EQ (magnitudes != nullptr, c.magnitudes);
        EXPECT_EQ (e.engine.getPhases (c.kind, c.slot) != nullptr, c.phases);
        const auto analysed = e.engine.getChangeTime (c.kind, c.slot, true);
        EXPECT_EQ (analysed.toMilliseconds() != 0, c.times);
        EXPECT_EQ (e.engine.getChangeTime (c.kind, c.slot, false).toMilliseconds() != 0,
                   c.times || c.kind == PellmixEngine::slotSpectrum);
    }

    // Without smoothing the highest point of a slot and the sum lies at -20 dB.
    for (int kind : {(int)PellmixEngine::slotSpectrum, (int)PellmixEngine::sumSpectrum})
    {
        const float* m = e.engine.getMagnitudes (kind, 2);
        const int points = kind == PellmixEngine::slotSpectrum ? 224 : 301;
        EXPECT_FLOAT_EQ (*std::max_element (m, m + points), -20.0f);
    }
    // The output kind prepares the input analysers of the channel-0 convolvers only.
    EXPECT_EQ (e.engine.getConvolver (0).inputAnalyser.numPoints, 364);
    EXPECT_EQ (e.engine.getConvolver (1).inputAnalyser.numPoints, 364);
    EXPECT_EQ (e.engine.getConvolver (2).inputAnalyser.numPoints, -1);
}

TEST (EngineGetters, AnalysisIsLazyAndFollowsChanges)
{
    EngineWithFiles e;
    e.load (0, decayingIr (1000, 96000.0, 1.0));
    e.engine.prepareSpectrum (PellmixEngine::slotSpectrum, 2048, 224, 96000.0);
    auto& slot = e.engine.getSlot (0);
    EXPECT_FALSE (slot.analysisValid);
    e.engine.getMagnitudes (PellmixEngine::slotSpectrum, 0);
    EXPECT_TRUE (slot.analysisValid);
    const auto analysed = e.engine.getChangeTime (PellmixEngine::slotSpectrum, 0, true);
    e.engine.getPhases (PellmixEngine::slotSpectrum, 0);
    EXPECT_EQ (e.engine.getChangeTime (PellmixEngine::slotSpectrum, 0, true), analysed); // no new analysis
    e.engine.setMute (0, true);
    EXPECT_FALSE (slot.analysisValid);
}

// --- Crossfade ---------------------------------------------------------------------------------

TEST (EngineCrossfade, EnvelopeSpansExactlyOneBlock)
{
    const int n = 512;
    PlayingEngine e (impulse (16, 0), n);
    const std::vector<float> ones ((size_t)(4 * n), 1.0f);
    auto before = e.run (ones, 0, (size_t)n, n);
    for (float v : before)
        ASSERT_NEAR (v, scale96, 1e-6);

    e.reblend (impulse (16, 0), true); // the same IR inverted
    const auto block = e.run (ones, 0, (size_t)n, n);
    EXPECT_NEAR (block[0], scale96, 1e-6);      // all old
    EXPECT_NEAR (block[n - 1], -scale96, 1e-6); // all new
    for (int i = 0; i < n; ++i)
        ASSERT_NEAR (block[(size_t)i], scale96 * (float)(n - 1 - 2 * i) / (float)(n - 1), 1e-6) << i;
    const auto after = e.run (ones, 0, (size_t)n, n);
    for (float v : after)
        ASSERT_NEAR (v, -scale96, 1e-6);
    EXPECT_FALSE (e.engine.isCrossfadePending());
}

// The whole stream around a crossfade: the old IR's convolution up to the fade block, the mix
// inside it, then the new IR's convolution of the signal from the fade block on (the new pair
// starts with an empty tail). Covers two blends before a block (one crossfade, to the second
// IR) and a pair that becomes current again (its tail from long ago must not come back).
TEST (EngineCrossfade, StreamAroundCrossfadesHasNoOtherDiscontinuity)
{
    const int n = 256;
    const auto x = noise (n * 16, 21);
    PlayingEngine e (decayingIr (2048, 96000.0, 1.0), n);
    const auto irA = e.engine.getSum().bands[0];

    auto out = e.run (x, 0, (size_t)(4 * n), n);

    e.reblend (decayingIr (2048, 96000.0, 1.9));
    const int pairAfterFirst = e.engine.getCurrentPair();
    const auto irC = e.reblend (decayingIr (1200, 96000.0, 0.6), true);
    EXPECT_EQ (e.engine.getCurrentPair(), pairAfterFirst); // the second blend keeps the pair
    const int fade1 = 4 * n;
    auto y = e.run (x, (size_t)fade1, (size_t)(4 * n), n);
    out.insert (out.end(), y.begin(), y.end());

    // Back to the first pair, whose tail is from the last fade block it ran in.
    const auto irD = e.reblend (decayingIr (2048, 96000.0, 1.4));
    EXPECT_NE (e.engine.getCurrentPair(), pairAfterFirst);
    const int fade2 = 8 * n;
    y = e.run (x, (size_t)fade2, (size_t)(4 * n), n);
    out.insert (out.end(), y.begin(), y.end());

    std::vector<double> expected = scaled (convolve (x, irA, 0, fade1), scale96);
    auto fadeBlock = fade (scaled (convolve (x, irA, fade1, fade1 + n), scale96),
                           scaled (convolve (x, irC, fade1, fade1 + n, fade1), scale96));
    expected.insert (expected.end(), fadeBlock.begin(), fadeBlock.end());
    auto part = scaled (convolve (x, irC, fade1 + n, fade2, fade1), scale96);
    expected.insert (expected.end(), part.begin(), part.end());
    fadeBlock = fade (scaled (convolve (x, irC, fade2, fade2 + n, fade1), scale96),
                      scaled (convolve (x, irD, fade2, fade2 + n, fade2), scale96));
    expected.insert (expected.end(), fadeBlock.begin(), fadeBlock.end());
    part = scaled (convolve (x, irD, fade2 + n, fade2 + 4 * n, fade2), scale96);
    expected.insert (expected.end(), part.begin(), part.end());

    expectStream (out, expected, "stream");
}

// Edge cases of the fade block: no active slot gives the dry input; a one-sample block gives
// the new pair's output; a block larger than prepared is processed in pieces with the fade
// spanning the whole block.
TEST (EngineCrossfade, EdgeBlocks)
{
    {
        PlayingEngine e (impulse (16, 3), 128);
        e.reblend (impulse (16, 5));
        e.engine.removeIr (0);
        const auto x = noise (128, 4);
        std::vector<float> y (128, 99.0f);
        const float* in[] = {x.data()};
        float* out[] = {y.data()};
        e.engine.processBlock (in, out, 1, 128, true);
        EXPECT_EQ (y, x) << "no active slot";
        EXPECT_FALSE (e.engine.isCrossfadePending());
    }
    {
        PlayingEngine e (impulse (16, 0), 128);
        e.reblend (impulse (16, 0), true);
        float sample = 0.5f;
        processInPlace (e.engine, &sample, 1);
        EXPECT_NEAR (sample, -0.5f * scale96, 1e-6) << "one-sample block";
    }
    {
        const int prepared = 256, n = 1000;
        PlayingEngine e (decayingIr (2048, 96000.0, 1.0), prepared);
        const auto irA = e.engine.getSum().bands[0];
        const auto x = noise (3 * n, 8);
        auto out = e.run (x, 0, (size_t)n, n);
        const auto irB = e.reblend (decayingIr (2048, 96000.0, 1.6));
        auto y = e.run (x, (size_t)n, (size_t)n, n);
        out.insert (out.end(), y.begin(), y.end());
        y = e.run (x, (size_t)(2 * n), (size_t)n, n);
        out.insert (out.end(), y.begin(), y.end());

        auto expected = scaled (convolve (x, irA, 0, n), scale96);
        const auto fadeBlock = fade (scaled (convolve (x, irA, n, 2 * n), scale96),
                                     scaled (convolve (x, irB, n, 2 * n, n), scale96));
        expected.insert (expected.end(), fadeBlock.begin(), fadeBlock.end());
        const auto part = scaled (convolve (x, irB, 2 * n, 3 * n, n), scale96);
        expected.insert (expected.end(), part.begin(), part.end());
        expectStream (out, expected, "block larger than prepared");
    }
}

// The last guard against values that are not numbers: shaping parameters that no control offers
// make a sum that is not finite, and that sum never reaches the convolvers.
TEST (EngineCrossfade, ASumThatIsNotFiniteKeepsTheIrThatWasPlaying)
{
    struct Case
    {
        const char* name;
        float phase, gainDb;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Case cases[] = {
        {"phase below 0", -1.0f, 0.0f},
        {"phase not a number", nan, 0.0f},
        {"gain not a number", 0.0f, nan},
        {"gain of 1000 dB", 0.0f, 1000.0f},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const int n = 256;
        const auto x = noise (n * 4, 5);
        PlayingEngine e (decayingIr (2048, 96000.0, 1.0), n);
        const auto irA = e.engine.getSum().bands[0];
        auto out = e.run (x, 0, (size_t)n, n);

        e.engine.setIrParameters (0, 2048, 0, c.phase, false, c.gainDb);
        e.engine.blend (nullptr, false, false);
        EXPECT_FALSE (e.engine.isCrossfadePending());
        EXPECT_EQ (e.engine.getSum().bands[0], irA) << "the sum stays the blend that plays";
        const auto y = e.run (x, (size_t)n, (size_t)(3 * n), n);
        out.insert (out.end(), y.begin(), y.end());
        expectStream (out, scaled (convolve (x, irA, 0, 4 * n), scale96), "stream");
    }
}

// A pair whose output is not finite (after input that was not) is faded out without spreading
// it: the fade block takes such an old sample as silence.
TEST (EngineCrossfade, NeverMultipliesAValueThatIsNotFinite)
{
    const int n = 256;
    PlayingEngine e (decayingIr (2048, 96000.0, 1.0), n);
    auto bad = noise (n, 3);
    bad[10] = std::numeric_limits<float>::quiet_NaN();
    processInPlace (e.engine, bad.data(), n);

    const auto irB = e.reblend (decayingIr (2048, 96000.0, 1.7));
    const auto x = noise (2 * n, 4);
    const auto y = e.run (x, 0, (size_t)(2 * n), n);
    const auto newOut = scaled (convolve (x, irB, 0, 2 * n), scale96);
    for (int i = 0; i < 2 * n; ++i)
    {
        ASSERT_TRUE (std::isfinite (y[(size_t)i])) << i;
        const double weight = i < n ? (double)i / (n - 1) : 1.0;
        ASSERT_NEAR (y[(size_t)i], newOut[(size_t)i] * weight, 2e-5) << i;
    }
}

TEST (EngineProcess, DryWhenDisabledOrUnprepared)
{
    {
        EngineWithFiles e;
        e.load (0, impulse (16, 2));
        e.engine.blend (nullptr, false, false);
        const auto x = noise (64, 2);
        std::vector<float> y (64, 5.0f);
        const float* in[] = {x.data()};
        float* out[] = {y.data()};
        e.engine.processBlock (in, out, 1, 64, true); // never prepared
        EXPECT_EQ (y, x);
    }
    {
        PlayingEngine e (impulse (16, 2), 64);
        auto y = noise (64, 2);
        const auto x = y;
        processInPlace (e.engine, y.data(), 64, false);
        EXPECT_EQ (y, x);
    }
}

TEST (EngineProcess, SecondChannelRunsItsOwnConvolvers)
{
    PlayingEngine e (impulse (16, 1), 64);
    auto left = noise (64, 1), right = noise (64, 2);
    const auto l0 = left, r0 = right;
    const float* in[] = {left.data(), right.data()};
    float* out[] = {left.data(), right.data()};
    e.engine.processBlock (in, out, 2, 64, true);
    for (int i = 1; i < 64; ++i)
    {
        ASSERT_NEAR (left[(size_t)i], l0[(size_t)i - 1] * scale96, 1e-6);
        ASSERT_NEAR (right[(size_t)i], r0[(size_t)i - 1] * scale96, 1e-6);
    }
}

TEST (EngineExport, WritesTheSumAsVirFile)
{
    EngineWithFiles e;
    e.load (0, decayingIr (1000, 96000.0, 1.0));
    e.engine.blend (nullptr, false, false);
    const juce::File out (e.dir.child ("blend.vir"));
    EXPECT_TRUE (e.engine.exportIr (out));
    EXPECT_EQ (out.getSize(), 18463);
    EXPECT_TRUE (e.engine.loadIr (4, out));
    EXPECT_EQ (e.engine.getSlot (4).getLength(), 1792);
    EXPECT_FALSE (e.engine.exportIr (juce::File ("/nonexistent-folder/blend.vir")));
}
