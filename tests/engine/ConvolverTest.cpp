// The preview convolver alone (sizes, scale, tail, the two-step IR change) and the engine's
// convolution against numpy's at the device rates and block sizes the player meets.
#include "EngineTestHelpers.h"

#include <gtest/gtest.h>

using namespace engine_test;

namespace
{
std::vector<float> runBlocks (PellmixConvolver& c, const std::vector<float>& x, int block,
                              bool enabled = true)
{
    std::vector<float> y (x.size(), 0.0f);
    for (size_t offset = 0; offset < x.size(); offset += (size_t)block)
    {
        const int n = (int)std::min ((size_t)block, x.size() - offset);
        c.process (x.data() + offset, y.data() + offset, n, enabled);
    }
    return y;
}

void expectNear (const std::vector<float>& actual, const std::vector<double>& expected, double tolerance,
                 size_t offset = 0)
{
    ASSERT_LE (offset + expected.size(), actual.size());
    for (size_t i = 0; i < expected.size(); ++i)
        ASSERT_NEAR (actual[offset + i], expected[i], tolerance) << "at sample " << offset + i;
}
} // namespace

struct SizeCase
{
    double rate;
    int block;
    int irLength;
    int fftSize;
};

TEST (Convolver, SizesFollowRateAndBlock)
{
    const SizeCase cases[] = {
        {44100.0, 512, 940, 2048},   {48000.0, 512, 1024, 2048},  {96000.0, 512, 2048, 4096},
        {44100.0, 64, 940, 1024},    {44100.0, 85, 940, 1024},    {44100.0, 86, 940, 2048},
        {96000.0, 2048, 2048, 4096}, {48000.0, 2048, 1024, 4096}, {44100.0, 1, 940, 1024},
        {192000.0, 64, 4096, 8192},
    };
    const auto ir = decayingIr (2048, 96000.0, 1.0);
    for (const auto& c : cases)
    {
        PellmixConvolver conv;
        conv.setup (ir.data(), 2048, c.block, c.rate);
        EXPECT_EQ (conv.getIrLengthAtRate(), c.irLength) << c.rate << " Hz, block " << c.block;
        EXPECT_EQ (conv.getFftSize(), c.fftSize) << c.rate << " Hz, block " << c.block;
    }
}

// A unit impulse comes out as the IR times 44100 / rate, spread over the blocks it spans, and
// the tail carried between blocks (N - n samples) is exactly what the next blocks need.
TEST (Convolver, ImpulseGivesScaledIrAcrossBlocks)
{
    struct Case
    {
        double rate;
        int block;
        float scale;
    };
    const Case cases[] = {{96000.0, 512, 0.459375f}, {96000.0, 100, 0.459375f}, {44100.0, 512, 1.0f}};
    const auto ir96 = decayingIr (2048, 96000.0, 1.3);
    for (const auto& c : cases)
    {
        PellmixConvolver conv;
        conv.setup (ir96.data(), 2048, c.block, c.rate);
        EXPECT_FLOAT_EQ (outputScale (c.rate), c.scale);
        const auto ir = irAtRate (ir96, c.rate);
        const auto y = runBlocks (conv, impulse ((int)ir.size() + 3 * c.block, 0), c.block);
        for (size_t i = 0; i < y.size(); ++i)
        {
            const float expected = i < ir.size() ? ir[i] * c.scale : 0.0f;
            ASSERT_NEAR (y[i], expected, 2e-6) << c.rate << " Hz, block " << c.block << ", sample " << i;
        }
    }
}

TEST (Convolver, DisabledLeavesOutputAndFeedsOutputAnalyserWithInput)
{
    const auto ir = decayingIr (2048, 96000.0, 1.0);
    PellmixConvolver conv;
    conv.setup (ir.data(), 2048, 512, 48000.0);
    conv.prepareSpectrum (2048, 364, 48000.0);
    const auto x = noise (2048, 3);
    std::vector<float> out (2048, 7.0f);
    for (int b = 0; b < 4; ++b)
        conv.process (x.data() + 512 * b, out.data() + 512 * b, 512, false);
    for (float v : out)
        ASSERT_EQ (v, 7.0f);
    EXPECT_FALSE (conv.isAnalysisValid());
    conv.analyse();
    EXPECT_TRUE (conv.isAnalysisValid());
    EXPECT_EQ (conv.inputAnalyser.magnitudesDb, conv.outputAnalyser.magnitudesDb);
    EXPECT_GT (conv.getChangedTime().toMilliseconds(), 0);
}

TEST (Convolver, LoadBeforeSetupChangesNothingAndSetupLoadsItsIr)
{
    const auto irA = impulse (2048, 3);
    const auto irB = impulse (2048, 7);
    PellmixConvolver conv;
    conv.loadIr (irA.data(), 2048);
    EXPECT_EQ (conv.getFftSize(), 0);
    EXPECT_FALSE (conv.prepareIr (irA.data(), 2048));
    std::vector<float> buffer (64, 1.0f);
    conv.process (buffer.data(), buffer.data(), 64, true); // unsized: nothing read or written
    EXPECT_EQ (buffer, std::vector<float> (64, 1.0f));

    conv.setup (irB.data(), 2048, 64, 96000.0);
    const auto y = runBlocks (conv, impulse (64, 0), 64);
    EXPECT_NEAR (y[7], 0.459375f, 1e-6);
    EXPECT_NEAR (y[3], 0.0f, 1e-6);
}

// A second setup with the same sizes takes the new IR and forgets the tail of the old one.
TEST (Convolver, SecondSetupReloadsIrAndClearsTail)
{
    const auto irA = decayingIr (2048, 96000.0, 1.0);
    const auto irB = impulse (2048, 5);
    PellmixConvolver conv;
    conv.setup (irA.data(), 2048, 256, 96000.0);
    std::vector<float> block = impulse (256, 0);
    conv.process (block.data(), block.data(), 256, true);
    conv.setup (irB.data(), 2048, 256, 96000.0);
    EXPECT_EQ (conv.getFftSize(), 4096);

    const auto y = runBlocks (conv, impulse (1024, 0), 256);
    for (size_t i = 0; i < y.size(); ++i)
        ASSERT_NEAR (y[i], i == 5 ? 0.459375f : 0.0f, 1e-6) << i;
}

// Preparing a new IR does not touch what plays; committing it swaps it in and drops the tail,
// which belonged to the old IR.
TEST (Convolver, PreparedIrTakesEffectOnlyAtCommit)
{
    const auto irA = decayingIr (2048, 96000.0, 1.0);
    const auto irB = impulse (2048, 2);
    PellmixConvolver conv, other;
    conv.setup (irA.data(), 2048, 512, 96000.0);
    other.setup (irA.data(), 2048, 512, 96000.0);

    std::vector<float> x = impulse (512, 0);
    std::vector<float> y (512);
    conv.process (x.data(), y.data(), 512, true);

    ASSERT_TRUE (other.prepareIr (irB.data(), 2048));
    ASSERT_TRUE (conv.copyPreparedIr (other));
    std::vector<float> zeros (512, 0.0f);
    conv.process (zeros.data(), y.data(), 512, true); // still the old IR's tail
    for (int i = 0; i < 512; ++i)
        ASSERT_NEAR (y[(size_t)i], irA[(size_t)(512 + i)] * 0.459375f, 2e-6) << i;

    conv.commitIr();
    conv.process (zeros.data(), y.data(), 512, true);
    for (float v : y)
        ASSERT_EQ (v, 0.0f);
    conv.process (x.data(), y.data(), 512, true);
    EXPECT_NEAR (y[2], 0.459375f, 1e-6);

    conv.commitIr(); // nothing prepared: the IR and the tail stay
    conv.process (zeros.data(), y.data(), 512, true);
    EXPECT_NEAR (y[0], 0.0f, 1e-6);
    EXPECT_FALSE (conv.copyPreparedIr (PellmixConvolver()));
}

// Blocks of varying length up to the prepared size give the same stream as fixed blocks.
TEST (Convolver, VaryingBlockLengthsKeepTheStream)
{
    const auto ir96 = decayingIr (2048, 96000.0, 0.8);
    PellmixConvolver conv;
    conv.setup (ir96.data(), 2048, 512, 48000.0);
    const auto x = noise (6000, 11);
    std::vector<float> y (x.size());
    const int lengths[] = {512, 1, 37, 512, 300, 2, 511, 128};
    size_t offset = 0;
    for (int k = 0; offset < x.size(); ++k)
    {
        const int n = (int)std::min ((size_t)lengths[k % 8], x.size() - offset);
        conv.process (x.data() + offset, y.data() + offset, n, true);
        offset += (size_t)n;
    }
    auto expected = convolve (x, irAtRate (ir96, 48000.0), 0, (int)x.size());
    for (auto& v : expected)
        v *= 0.91875;
    expectNear (y, expected, 2e-5);
}

// The engine's convolution of a blended IR against numpy's, at the device rates and block sizes
// the player meets.
struct OracleCase
{
    double rate;
    int block;
};

class ConvolutionOracle : public ::testing::TestWithParam<OracleCase>
{
};

TEST_P (ConvolutionOracle, MatchesNumpy)
{
    const auto p = GetParam();
    EngineWithFiles e;
    e.load (0, decayingIr (1500, 44100.0, 1.0), 44100.0, -6.0f);
    e.load (3, decayingIr (2400, 96000.0, 1.7), 96000.0, 0.0f, true);
    e.engine.blend (nullptr, false, false);
    e.engine.prepareToPlay (p.block, p.rate);
    e.engine.reset();

    const auto x = noise (p.block * 6 + 2500, 5);
    std::vector<float> y = x;
    for (size_t offset = 0; offset < y.size(); offset += (size_t)p.block)
        processInPlace (e.engine, y.data() + offset, (int)std::min ((size_t)p.block, y.size() - offset));

    const auto& ir96 = e.engine.getSum().bands[0];
    writeFloats (e.dir.child ("input.f32"), x);
    writeFloats (e.dir.child ("ir96.f32"), ir96);
    writeFloats (e.dir.child ("irrate.f32"), irAtRate (ir96, p.rate));
    writeFloats (e.dir.child ("output.f32"), y);
    pellmix_test::runPythonScript ("engine_convolution_oracle.py",
                                   {e.dir.path(), std::to_string ((int)p.rate)});
}

INSTANTIATE_TEST_SUITE_P (
    RatesAndBlocks, ConvolutionOracle,
    ::testing::Values (OracleCase{44100.0, 64}, OracleCase{44100.0, 512}, OracleCase{44100.0, 2048},
                       OracleCase{48000.0, 64}, OracleCase{48000.0, 480}, OracleCase{48000.0, 2048},
                       OracleCase{96000.0, 64}, OracleCase{96000.0, 1024}, OracleCase{96000.0, 2048}),
    [] (const auto& testInfo)
    { return std::to_string ((int)testInfo.param.rate) + "Hz_" + std::to_string (testInfo.param.block); });
