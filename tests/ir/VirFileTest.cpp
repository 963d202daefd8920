// The vir codec and writer: exact bytes for fixed inputs, agreement with an independent encoder,
// round trips, refusal of damaged data, and the writer's replace-on-success behaviour.
#include "IrTestSupport.h"

#include "engine/FFTReal.h"
#include "engine/PellmixVirFile.h"
#include "support/TestSignals.h"

#include <juce_core/juce_core.h>

#include <array>
#include <cstdlib>
#include <functional>
#include <limits>
#include <unistd.h>

using namespace ir_test;

namespace
{
constexpr int L = PellmixVir::bandLength;

struct ThreeBands
{
    std::array<std::vector<float>, 3> data;
    explicit ThreeBands (int length = L)
    {
        for (auto& b : data)
            b.assign ((size_t)length, 0.0f);
    }
    std::array<const float*, 3> pointers() const { return {data[0].data(), data[1].data(), data[2].data()}; }
    int length() const { return (int)data[0].size(); }
};

std::vector<uint8_t> encode (const ThreeBands& bands)
{
    return PellmixVir::encodeSpectral (bands.pointers().data(), bands.length());
}

// A decaying pseudo-random IR with a clear first tap, sign of the DC chosen by dcSign.
std::vector<float> decayingIr (unsigned seed, int length, float dcSign = 1.0f)
{
    // Uniform noise of RMS 0.3.
    auto x = pellmix_test::noise (length, seed, std::sqrt (12.0f) * 0.3f);
    for (int n = 0; n < length; ++n)
        x[(size_t)n] *= std::exp (-(float)n / 150.0f);
    x[0] = 0.9f * dcSign;
    return x;
}

void put24 (std::vector<uint8_t>& out, int32_t v)
{
    out.push_back ((uint8_t)(v & 0xFF));
    out.push_back ((uint8_t)((v >> 8) & 0xFF));
    out.push_back ((uint8_t)((v >> 16) & 0xFF));
}

void appendChecksums (std::vector<uint8_t>& bytes)
{
    uint32_t a = 0, b = 0;
    for (const uint8_t byte : bytes)
    {
        a = (a + byte) % 65536;
        b = (b + a) % 65536;
    }
    bytes.insert (bytes.end(), {0xAE, 0x10, 0x54, 0x98});
    bytes.insert (bytes.end(),
                  {(uint8_t)(a >> 8), (uint8_t)(a & 255), (uint8_t)(b >> 8), (uint8_t)(b & 255)});
}

struct Decoded
{
    std::array<std::vector<float>, 3> bands;
    bool ok = false;
};

Decoded decode (const std::vector<uint8_t>& bytes, float fill = 0.0f)
{
    static FFTReal<float> fft (PellmixVir::fftSize);
    Decoded d;
    for (auto& b : d.bands)
        b.assign ((size_t)L, fill);
    float* out[] = {d.bands[0].data(), d.bands[1].data(), d.bands[2].data()};
    d.ok = PellmixVir::decode (bytes.data(), bytes.size(), out, fft);
    return d;
}

// What a band reads back as: the zero-padded 1792 samples without their Nyquist component,
// scaled by the writer's normalisation (0.95 of the peak bin) and the reader's 1.2 factor.
std::vector<double> expectedReadBack (const std::vector<float>& band)
{
    std::vector<double> x ((size_t)L, 0.0);
    for (size_t n = 0; n < x.size() && n < band.size(); ++n)
        x[n] = band[n];
    const auto spectrum = dft (x, PellmixVir::fftSize);
    double peak = 0.0;
    for (int k = 0; k < PellmixVir::numBins; ++k)
        peak = std::max (peak, k == 0 ? std::abs (spectrum[0].real()) : std::abs (spectrum[(size_t)k]));
    const double nyquist = spectrum[(size_t)PellmixVir::numBins].real();
    const double scale = 0.95 * 1.2 * (8388607.0 / 8388608.0) / peak;
    for (int n = 0; n < L; ++n)
        x[(size_t)n] = scale * (x[(size_t)n] - nyquist * (n % 2 == 0 ? 1.0 : -1.0) / PellmixVir::fftSize);
    return x;
}

void expectReadsBackAsWritten (const ThreeBands& written, const Decoded& read)
{
    ASSERT_TRUE (read.ok);
    for (int b = 0; b < 3; ++b)
    {
        const auto expected = expectedReadBack (written.data[(size_t)b]);
        double peak = 0.0;
        for (const double v : expected)
            peak = std::max (peak, std::abs (v));
        int bad = 0;
        for (int n = 0; n < L; ++n)
            if (std::abs (read.bands[(size_t)b][(size_t)n] - expected[(size_t)n]) > 1e-4 * peak && bad++ < 3)
                ADD_FAILURE() << "band " << b << " sample " << n << ": " << read.bands[(size_t)b][(size_t)n]
                              << " expected " << expected[(size_t)n];
    }
}

int32_t field24 (const std::vector<uint8_t>& bytes, int offset)
{
    return PellmixVir::read24 (bytes.data() + offset);
}

int divisorOffset (int band)
{
    return PellmixVir::headerSize + PellmixVir::bandBlockSize * band + 6144;
}
} // namespace

// ---------------------------------------------------------------------------------------------
// Encoder

TEST (VirEncoder, FixedInputsGiveExactBytes)
{
    struct Case
    {
        const char* name;
        std::function<void (ThreeBands&)> fill;
        std::array<int32_t, 3> magnitudeCode; // the same code in every bin of the band
    };
    const Case cases[] = {
        {"all zero", [] (ThreeBands&) {}, {0, 0, 0}},
        {"unit impulse in band 0", [] (ThreeBands& b) { b.data[0][0] = 1.0f; }, {7969176, 0, 0}},
        {"impulses of any height in every band",
         [] (ThreeBands& b)
         {
             b.data[0][0] = 0.25f;
             b.data[1][0] = 3.0f;
             b.data[2][0] = 1e-3f;
         },
         {7969176, 7969176, 7969176}},
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        ThreeBands bands;
        c.fill (bands);

        std::vector<uint8_t> expected{0x01, 0x0E, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x02};
        for (int b = 0; b < 3; ++b)
        {
            for (int k = 0; k < 1024; ++k)
                put24 (expected, c.magnitudeCode[(size_t)b]);
            for (int k = 0; k < 1024; ++k)
                put24 (expected, 0);
            put24 (expected, 1);
        }
        appendChecksums (expected);

        const auto bytes = encode (bands);
        ASSERT_EQ (bytes.size(), 18463u);
        EXPECT_TRUE (bytes == expected);
    }
}

TEST (VirEncoder, ChecksumsStartFromTheHeaderAsDocumented)
{
    // After the 14 header bytes the running sums are A = 17 and B = 198.
    std::vector<uint8_t> header{0x01, 0x0E, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x02};
    appendChecksums (header);
    EXPECT_EQ (header[18], 0);
    EXPECT_EQ (header[19], 17);
    EXPECT_EQ (header[20], 0);
    EXPECT_EQ (header[21], 198);
}

TEST (VirEncoder, MatchesIndependentEncoderForGeneralBands)
{
    pellmix_test::TempDir dir ("vir");
    ThreeBands bands (2048); // as the blend sum holds them: samples past 1792 must be dropped
    bands.data[0] = decayingIr (1, 2048);
    bands.data[1] = decayingIr (2, 2048, -1.0f);
    // A delayed smooth pulse: its normalised magnitude drops below 0.015 near bin 940, above
    // which the fast-turning phase is no longer unwrapped.
    bands.data[2][300] = 0.25f;
    bands.data[2][301] = 0.5f;
    bands.data[2][302] = 0.25f;
    for (int n = 1792; n < 2048; ++n)
        bands.data[1][(size_t)n] = 0.7f;

    std::vector<float> flat;
    for (const auto& b : bands.data)
        flat.insert (flat.end(), b.begin(), b.end());
    writeFloats (dir.child ("in.f32"), flat);
    writeBytes (dir.child ("out.vir"), encode (bands));

    EXPECT_EQ (pellmix_test::runPythonScript ("vir_reference.py",
                                              {"check", dir.child ("out.vir"), dir.child ("in.f32"), "2048"}),
               "ok\n");
}

TEST (VirEncoder, UsesOnlyTheFirst1792SamplesZeroPadded)
{
    const auto ir = decayingIr (4, 300);
    ThreeBands reference;
    std::copy (ir.begin(), ir.end(), reference.data[0].begin());
    const auto expected = encode (reference);

    struct Case
    {
        const char* name;
        int length;
        float tail; // value of every sample from 300 on
    };
    const Case cases[] = {
        {"exactly the IR", 300, 0.0f},
        {"longer band with junk past 1792", 4000, 0.0f},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        ThreeBands bands (c.length);
        std::copy (ir.begin(), ir.end(), bands.data[0].begin());
        for (int n = 1792; n < c.length; ++n)
            for (auto& b : bands.data)
                b[(size_t)n] = 0.5f;
        EXPECT_TRUE (encode (bands) == expected);
    }

    // Length 0 or below: nothing is read from the bands.
    for (const int length : {0, -5})
    {
        ThreeBands bands;
        const auto pointers = bands.pointers();
        ThreeBands zeros;
        EXPECT_TRUE (PellmixVir::encodeSpectral (pointers.data(), length) == encode (zeros)) << length;
    }
}

TEST (VirEncoder, DivisorStaysWithinItsField)
{
    // The shifted phases of [1, -0.1] lie in about [0, 0.1] rad: the unbounded divisor would be
    // about 8e7 and lose its top bits in the 24-bit field.
    ThreeBands bands;
    bands.data[0][0] = 1.0f;
    bands.data[0][1] = -0.1f;
    const auto bytes = encode (bands);
    EXPECT_EQ (field24 (bytes, divisorOffset (0)), PellmixVir::maxDivisor);
    EXPECT_EQ (field24 (bytes, divisorOffset (1)), 1);
    for (int k = 0; k < 1024; ++k)
        EXPECT_GE (field24 (bytes, PellmixVir::headerSize + 3072 + 3 * k), 0) << k;
}

TEST (VirEncoder, RefusesBandsThatAreNotFinite)
{
    // A non-finite value has no code: the encoder gives nothing and the writer writes nothing,
    // whatever file was there.
    struct Case
    {
        const char* name;
        int band, sample;
        float value;
    };
    const Case cases[] = {
        {"NaN in band 0", 0, 3, std::numeric_limits<float>::quiet_NaN()},
        {"infinity in band 1", 1, 0, std::numeric_limits<float>::infinity()},
        {"minus infinity at the last sample used", 2, L - 1, -std::numeric_limits<float>::infinity()},
    };
    pellmix_test::TempDir dir ("vir");
    const juce::File target (dir.child ("export.vir"));
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        ThreeBands bands;
        bands.data[2][0] = 0.5f;
        bands.data[(size_t)c.band][(size_t)c.sample] = c.value;
        EXPECT_TRUE (encode (bands).empty());

        ASSERT_TRUE (target.replaceWithText ("previous export"));
        const auto pointers = bands.pointers();
        EXPECT_FALSE (PellmixVir::writeVirFile (target, pointers.data(), L));
        EXPECT_EQ (target.loadFileAsString(), "previous export");
        EXPECT_EQ (juce::File (dir.path()).getNumberOfChildFiles (juce::File::findFilesAndDirectories), 1);
    }

    // Samples past the 1792 used are not looked at; the largest floats are finite all the same.
    ThreeBands longer (L + 10);
    std::fill (longer.data[0].begin(), longer.data[0].end(), std::numeric_limits<float>::max());
    longer.data[1][(size_t)L + 3] = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ (encode (longer).size(), 18463u);
}

// ---------------------------------------------------------------------------------------------
// Round trips through the decoder

TEST (VirRoundTrip, ReadsBackAsWritten)
{
    struct Case
    {
        const char* name;
        std::function<void (ThreeBands&)> fill;
    };
    const Case cases[] = {
        {"positive DC, general bands",
         [] (ThreeBands& b)
         {
             b.data[0] = decayingIr (10, L);
             b.data[1] = decayingIr (11, L);
             b.data[2] = decayingIr (12, L);
         }},
        {"negative DC in every band",
         [] (ThreeBands& b)
         {
             b.data[0] = decayingIr (13, L, -1.0f);
             b.data[1] = decayingIr (14, L, -1.0f);
             for (auto& v : b.data[1])
                 v = -std::abs (v) * 0.1f;
             b.data[2][0] = -1.0f;
         }},
        {"[1, -0.1]",
         [] (ThreeBands& b)
         {
             b.data[0][0] = 1.0f;
             b.data[0][1] = -0.1f;
             b.data[1][0] = 1.0f;
             b.data[1][1] = -0.1f;
             b.data[2][0] = 1.0f;
             b.data[2][1] = -0.1f;
         }},
        {"inverted [1, -0.1] and a delayed impulse",
         [] (ThreeBands& b)
         {
             b.data[0][0] = -1.0f;
             b.data[0][1] = 0.1f;
             b.data[1][37] = 0.5f;
             b.data[2][100] = -0.25f;
         }},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        ThreeBands bands;
        c.fill (bands);
        expectReadsBackAsWritten (bands, decode (encode (bands)));
    }
}

// ---------------------------------------------------------------------------------------------
// Decoder

TEST (VirDecoder, RefusesDamagedDataAndLeavesOutputUntouched)
{
    ThreeBands bands;
    bands.data[0] = decayingIr (20, L);
    const auto spectral = encode (bands);
    std::vector<uint8_t> flat (PellmixVir::flatBytesNeeded, 0);
    flat[12] = 1;

    struct Case
    {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    auto withZeroDivisor = [&] (int band)
    {
        auto b = spectral;
        for (int i = 0; i < 3; ++i)
            b[(size_t)(divisorOffset (band) + i)] = 0;
        return b;
    };
    const Case cases[] = {
        {"empty", {}},
        {"variant byte missing", std::vector<uint8_t> (spectral.begin(), spectral.begin() + 12)},
        {"header only", std::vector<uint8_t> (spectral.begin(), spectral.begin() + 14)},
        {"spectral one byte short", std::vector<uint8_t> (spectral.begin(), spectral.begin() + 18454)},
        {"flat one byte short", std::vector<uint8_t> (flat.begin(), flat.end() - 1)},
        {"flat variant byte on a spectral-sized file cut short",
         [&]
         {
             auto b = std::vector<uint8_t> (spectral.begin(), spectral.begin() + 5389);
             b[12] = 0xFF;
             return b;
         }()},
        {"zero divisor in band 0", withZeroDivisor (0)},
        {"zero divisor in band 1", withZeroDivisor (1)},
        {"zero divisor in band 2", withZeroDivisor (2)},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const auto d = decode (c.bytes, 7.0f);
        EXPECT_FALSE (d.ok);
        for (const auto& b : d.bands)
            EXPECT_TRUE (std::all_of (b.begin(), b.end(), [] (float v) { return v == 7.0f; }));
    }
}

TEST (VirDecoder, IgnoresUncheckedBytesAndTrailingData)
{
    ThreeBands bands;
    bands.data[0] = decayingIr (21, L);
    bands.data[2] = decayingIr (22, L);
    const auto original = encode (bands);
    const auto expected = decode (original);

    auto changed = original;
    for (const int i : {0, 1, 2, 5, 11, 13})
        changed[(size_t)i] ^= 0x5A;
    for (size_t i = 18455; i < changed.size(); ++i)
        changed[i] ^= 0xFF; // marker and check sums
    changed.insert (changed.end(), 1000, 0xEE);

    const auto d = decode (changed);
    ASSERT_TRUE (d.ok);
    EXPECT_TRUE (d.bands == expected.bands);
}

TEST (VirDecoder, FlatSamplesAreSignExtended)
{
    std::vector<uint8_t> flat (PellmixVir::flatBytesNeeded, 0);
    flat[12] = 0x80; // any non-zero variant byte
    const std::pair<int, std::array<uint8_t, 3>> codes[] = {
        {8388607, {0xFF, 0xFF, 0x7F}}, {-8388608, {0x00, 0x00, 0x80}}, {-1, {0xFF, 0xFF, 0xFF}},
        {1, {0x01, 0x00, 0x00}},       {256, {0x00, 0x01, 0x00}},
    };
    for (size_t i = 0; i < std::size (codes); ++i)
        std::copy (codes[i].second.begin(), codes[i].second.end(), flat.begin() + 14 + 3 * (long)i + 3 * 100);

    const auto d = decode (flat, 7.0f);
    ASSERT_TRUE (d.ok);
    for (size_t i = 0; i < std::size (codes); ++i)
        EXPECT_FLOAT_EQ (d.bands[0][100 + i], (float)codes[i].first / 150994944.0f) << codes[i].first;
    EXPECT_EQ (d.bands[0][0], 0.0f);
    EXPECT_EQ (d.bands[1][0], 7.0f) << "a flat file fills band 0 only";
}

TEST (VirDecoder, ReadsIndependentlyWrittenFiles)
{
    pellmix_test::TempDir dir ("vir");
    for (const char* variant : {"flat", "spectral"})
    {
        SCOPED_TRACE (variant);
        const auto vir = dir.child (std::string (variant) + ".vir");
        const auto expected = dir.child (std::string (variant) + ".f32");
        pellmix_test::runPythonScript ("vir_reference.py", {variant, vir, expected, "33"});
        const auto d = decode (readBytes (vir));
        ASSERT_TRUE (d.ok);
        const auto want = readFloats (expected);
        ASSERT_EQ (want.size(), 3u * L);
        const int bandsFilled = std::string (variant) == "flat" ? 1 : 3;
        for (int b = 0; b < bandsFilled; ++b)
            for (int n = 0; n < L; ++n)
                ASSERT_NEAR (d.bands[(size_t)b][(size_t)n], want[(size_t)(b * L + n)], 1e-4)
                    << "band " << b << " sample " << n;
    }
}

// ---------------------------------------------------------------------------------------------
// Writer

TEST (VirWriter, WritesAndReplacesWholeFiles)
{
    pellmix_test::TempDir dir ("vir");
    const juce::File target (dir.child ("export.vir"));
    ThreeBands bands;
    bands.data[0] = decayingIr (30, L);

    ASSERT_TRUE (target.replaceWithText (juce::String::repeatedString ("old", 20000)));
    const auto pointers = bands.pointers();
    ASSERT_TRUE (PellmixVir::writeVirFile (target, pointers.data(), L));
    EXPECT_TRUE (readBytes (target.getFullPathName().toStdString()) == encode (bands));
    EXPECT_EQ (juce::File (dir.path()).getNumberOfChildFiles (juce::File::findFilesAndDirectories), 1)
        << "no temporary sibling is left behind";
}

TEST (VirWriter, ReportsFailureAndKeepsTheOldFile)
{
    pellmix_test::TempDir dir ("vir");
    ThreeBands bands;
    const auto pointers = bands.pointers();

    const juce::File missingFolder (dir.child ("no/such/folder/x.vir"));
    EXPECT_FALSE (PellmixVir::writeVirFile (missingFolder, pointers.data(), L));
    EXPECT_FALSE (missingFolder.exists());

    // A folder the writer may read but not write: run this same binary as user 65534.
    ASSERT_EQ (::chmod (dir.path().c_str(), 0755), 0);
    const juce::File target (dir.child ("keep.vir"));
    ASSERT_TRUE (target.replaceWithText ("previous export"));
    ASSERT_EQ (::chmod (target.getFullPathName().toRawUTF8(), 0644), 0);

    char self[4096] = {};
    ASSERT_GT (::readlink ("/proc/self/exe", self, sizeof (self) - 1), 0);
    const auto result = pellmix_test::run (
        pellmix_test::asUnprivilegedUser ({self, "--gtest_filter=VirWriterChild.WriteAsked"}),
        {{"PELLMIX_VIR_CHILD_TARGET", target.getFullPathName().toStdString()}, {"HOME", dir.path()}});
    EXPECT_EQ (result.exitCode, 0) << result.output;
    EXPECT_NE (result.output.find ("[  PASSED  ] 1 test"), std::string::npos) << result.output;
    EXPECT_EQ (target.loadFileAsString(), "previous export");
}

// Runs only inside ReportsFailureAndKeepsTheOldFile, as an unprivileged child process.
TEST (VirWriterChild, WriteAsked)
{
    const char* target = std::getenv ("PELLMIX_VIR_CHILD_TARGET");
    if (target == nullptr)
        GTEST_SKIP() << "run by VirWriter.ReportsFailureAndKeepsTheOldFile";
    ThreeBands bands;
    const auto pointers = bands.pointers();
    EXPECT_FALSE (PellmixVir::writeVirFile (juce::File (target), pointers.data(), L));
}
