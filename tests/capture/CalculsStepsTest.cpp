// The worker's signal steps on small fixtures: the spectrum product, the FFT size, the onset and
// polarity search, the band kernels and the rate converter of the ".wav" output; then the output
// branches through whole runs on hand-made responses (an inverse filter of one unit sample makes
// the deconvolution return the recording itself, normalised).
#include "CaptureSupport.h"
#include "engine/PellmixCaptureHandOff.h"

#include "engine/CalculsResponse.h"
#include "engine/PellmixPackedSpectrum.h"
#include "support/TestSignals.h"

#include <cmath>
#include <complex>
#include <cstring>

namespace
{
using capture_test::CaptureFolder;
using capture_test::writeFloats;
constexpr double pi = 3.141592653589793;

// A Gaussian-windowed tone burst centred at `centre` seconds: smooth and band-limited well below
// 10 kHz, so any rate of 44100 Hz or more samples it faithfully.
double burst (double t, double centre)
{
    const double u = t - centre;
    return std::exp (-u * u / (2.0 * 0.0004 * 0.0004)) * std::cos (2.0 * pi * 3000.0 * u);
}

TEST (CalculsSteps, DeconvolutionSizeHoldsTheLinearConvolution)
{
    const struct
    {
        int length, size;
    } cases[] = {{1, 1}, {2, 4}, {3, 8}, {4, 8}, {5, 16}, {60 * 44100 + 512, 1 << 23}, {60 * 96000, 1 << 24}};
    for (const auto& c : cases)
        EXPECT_EQ (CalculsResponse::deconvolutionSize (c.length), c.size) << c.length;
}

TEST (CalculsSteps, SpectrumProductIsCircularConvolution)
{
    for (int n : {2, 8, 64})
    {
        pellmix_test::TestRandom random ((unsigned)n);
        std::vector<double> a ((size_t)n), b ((size_t)n), fa ((size_t)n), fb ((size_t)n), p ((size_t)n),
            y ((size_t)n);
        for (int i = 0; i < n; ++i)
        {
            a[(size_t)i] = random.uniform (-1.0, 1.0);
            b[(size_t)i] = random.uniform (-1.0, 1.0);
        }
        FFTReal<double> fft (n);
        fft.forwardTransform (fa.data(), a.data());
        fft.forwardTransform (fb.data(), b.data());
        multiplyPackedSpectra (fa.data(), fb.data(), p.data(), n);
        fft.inverseTransform (p.data(), y.data());
        for (int k = 0; k < n; ++k)
        {
            double direct = 0.0;
            for (int i = 0; i < n; ++i)
                direct += a[(size_t)i] * b[(size_t)((k - i + n) % n)];
            EXPECT_NEAR (y[(size_t)k] / n, direct, 1e-12) << "n " << n << " k " << k;
        }

        // The deconvolution forms the product in place of either factor: the same values.
        auto inFirst = fa, inSecond = fb;
        multiplyPackedSpectra (inFirst.data(), fb.data(), inFirst.data(), n);
        multiplyPackedSpectra (fa.data(), inSecond.data(), inSecond.data(), n);
        EXPECT_EQ (inFirst, p) << "n " << n;
        EXPECT_EQ (inSecond, p) << "n " << n;
    }
}

// A response fixture of M samples: lobes (index, value) on zeros.
std::vector<float> response (int M, std::initializer_list<std::pair<int, float>> lobes)
{
    std::vector<float> x ((size_t)M, 0.0f);
    for (auto [i, v] : lobes)
        x[(size_t)i] = v;
    return x;
}

TEST (CalculsSteps, OnsetPolarityAndWindowStart)
{
    const struct
    {
        const char* name;
        std::vector<float> x;
        bool found;
        int peak, onset, start;
        bool inverted;
    } cases[] = {
        {"positive peak alone", response (8000, {{3000, 1.0f}}), true, 3000, 2999, 2999, false},
        {"negative peak alone", response (8000, {{3000, -1.0f}}), true, 3000, 2999, 2999, true},
        // The first lobe above 0.2 decides, not the peak.
        {"negative first lobe", response (8000, {{2990, -0.5f}, {2995, 0.3f}, {3000, 1.0f}}), true, 3000,
         2989, 2989, true},
        {"positive first lobe, negative peak", response (8000, {{2990, 0.5f}, {2995, -0.3f}, {3000, -1.0f}}),
         true, 3000, 2989, 2989, false},
        // A precursor between 0.1 and 0.2 sets the onset but not the polarity.
        {"small negative precursor", response (8000, {{2500, -0.15f}, {3000, 1.0f}}), true, 3000, 2499, 2499,
         false},
        // Samples further than 1920 before the peak are not looked at.
        {"lobe before the search", response (8000, {{1000, -0.9f}, {3000, 1.0f}}), true, 3000, 2999, 2999,
         false},
        {"first of equal peaks", response (8000, {{3000, 1.0f}, {3100, -1.0f}}), true, 3000, 2999, 2999,
         false},
        // A window from the onset would reach the last sample: it starts at M - 1793 instead.
        {"onset near the end", response (5000, {{3300, 1.0f}}), true, 3300, 3299, 5000 - 1793, false},
        {"window just fits", response (5000, {{3208, 1.0f}}), true, 3208, 3207, 3207, false},
        {"peak at the earliest index", response (4000, {{1921, 1.0f}}), true, 1921, 1920, 1920, false},
        {"peak too early", response (4000, {{1920, 1.0f}}), false, 0, 0, 0, false},
        {"response too short", response (1793, {{1000, 1.0f}}), false, 0, 0, 0, false},
        {"silence", response (8000, {}), false, 0, 0, 0, false},
        {"peak below 0.1", response (8000, {{3000, 0.05f}}), false, 0, 0, 0, false},
    };
    for (const auto& c : cases)
    {
        auto x = c.x;
        CalculsResponse::Trim trim;
        ASSERT_EQ (CalculsResponse::findResponse (x.data(), (int)x.size(), trim), c.found) << c.name;
        if (!c.found)
        {
            EXPECT_EQ (x, c.x) << c.name << ": changed although refused";
            continue;
        }
        EXPECT_EQ (trim.peak, c.peak) << c.name;
        EXPECT_EQ (trim.onset, c.onset) << c.name;
        EXPECT_EQ (trim.start, c.start) << c.name;
        EXPECT_EQ (trim.inverted, c.inverted) << c.name;
        for (size_t i = 0; i < x.size(); ++i)
            ASSERT_EQ (x[i], c.inverted ? -c.x[i] : c.x[i]) << c.name << " at " << i;
    }
}

// The band kernels by their definition, with a plain DFT: H1 = w0 + 3 w2, H2 = 2i w1 without DC
// and Nyquist, H3 = -4 w2, each cut to 1792 samples.
std::array<std::vector<double>, 3> bandsByDefinition (const std::vector<float>& x, int s, int d2, int d3)
{
    const int n = 2048;
    auto window = [&] (int start)
    {
        std::vector<double> w ((size_t)n, 0.0);
        for (int i = 0; i < 1792; ++i)
            w[(size_t)i] = x[(size_t)(start + i)];
        return w;
    };
    const auto w0 = window (s), w1 = window (s >= d2 ? s - d2 : s), w2 = window (s >= d3 ? s - d3 : s);
    std::array<std::vector<double>, 3> bands;
    for (int i = 0; i < 1792; ++i)
    {
        bands[0].push_back (w0[(size_t)i] + 3.0 * w2[(size_t)i]);
        bands[2].push_back (-4.0 * w2[(size_t)i]);
    }
    // 2i X[k] for 0 < k < n/2 and its conjugate mirror: x[m] = (2/n) sum Re (2i X[k] e^(2 pi i k m / n)).
    std::vector<std::complex<double>> X ((size_t)n / 2);
    for (int k = 1; k < n / 2; ++k)
        for (int i = 0; i < 1792; ++i)
            X[(size_t)k] += w1[(size_t)i] * std::polar (1.0, -2.0 * pi * k * i / n);
    for (int m = 0; m < 1792; ++m)
    {
        double v = 0.0;
        for (int k = 1; k < n / 2; ++k)
            v += 2.0 * std::real (std::complex<double> (0.0, 2.0) * X[(size_t)k] *
                                  std::polar (1.0, 2.0 * pi * k * m / n));
        bands[1].push_back (v / n);
    }
    return bands;
}

TEST (CalculsSteps, BandKernels)
{
    const auto x = pellmix_test::noise (12000, 7, 2.0f);

    const struct
    {
        const char* name;
        int start, d2, d3;
    } cases[] = {{"three separate windows", 9000, 3000, 4700},
                 {"orders reach before the start", 1000, 3000, 4700},
                 {"second order only reaches", 4000, 3000, 4700}};
    for (const auto& c : cases)
    {
        const auto bands = CalculsResponse::makeBands (x.data(), c.start, c.d2, c.d3);
        const auto expected = bandsByDefinition (x, c.start, c.d2, c.d3);
        for (int b = 0; b < 3; ++b)
        {
            ASSERT_EQ (bands[(size_t)b].size(), 2048u);
            for (int i = 0; i < 1792; ++i)
                ASSERT_NEAR (bands[(size_t)b][(size_t)i], expected[(size_t)b][(size_t)i], 2e-5)
                    << c.name << " band " << b << " sample " << i;
            for (int i = 1792; i < 2048; ++i)
                ASSERT_EQ (bands[(size_t)b][(size_t)i], 0.0f) << c.name << " band " << b;
        }
    }
}

TEST (CalculsSteps, RateConversionOfABandLimitedBurst)
{
    const struct
    {
        int from, to;
    } cases[] = {{44100, 96000}, {48000, 96000}, {96000, 44100},
                 {96000, 48000}, {44100, 48000}, {96000, 96000}};
    for (const auto& c : cases)
    {
        const int inCount = c.from / 50, outCount = c.to / 50; // 20 ms
        std::vector<float> in ((size_t)inCount), out ((size_t)outCount), expected ((size_t)outCount);
        for (int i = 0; i < inCount; ++i)
            in[(size_t)i] = (float)burst ((double)i / c.from, 0.01);
        for (int j = 0; j < outCount; ++j)
            expected[(size_t)j] = (float)burst ((double)j / c.to, 0.01);
        ASSERT_TRUE (CalculsResponse::convertRate (inCount, outCount, c.from, c.to, in.data(), out.data()));

        double error = 0.0, energy = 0.0;
        for (int j = 0; j < outCount; ++j)
        {
            error += std::pow (out[(size_t)j] - expected[(size_t)j], 2.0);
            energy += std::pow (expected[(size_t)j], 2.0);
        }
        EXPECT_LT (10.0 * std::log10 (error / energy), -60.0) << c.from << " -> " << c.to;
    }

    std::vector<float> in (100, 1.0f), out (100);
    for (int rate : {0, 192000, 22051})
        EXPECT_FALSE (CalculsResponse::convertRate (100, 100, rate, 96000, in.data(), out.data())) << rate;
    EXPECT_FALSE (CalculsResponse::convertRate (100, 100, 48000, 192000, in.data(), out.data()));
}

// Whole runs on a response written directly as the recording (inverse filter: one unit sample).
class CalculsOutput : public ::testing::Test
{
protected:
    void writeResponse (const std::vector<float>& x)
    {
        writeFloats (folder.temp.getChildFile ("record.raw"), x);
        writeFloats (folder.temp.getChildFile ("inverse.raw"), {1.0f});
    }

    CaptureFolder folder;
};

TEST_F (CalculsOutput, At96kHzTheResponseIsCutWithoutConversion)
{
    // A burst peaking at sample 5000 at 96 kHz, negated: band 0 is the burst from its onset,
    // positive again, through the vir encoding.
    std::vector<float> x (20000);
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = (float)-burst ((double)i / 96000.0, 5000.0 / 96000.0);
    writeResponse (x);
    const auto output = folder.temp.getChildFile ("capture.VIR");
    ASSERT_TRUE (folder.run (96000, output));
    ASSERT_EQ (folder.lastCapturePath.get(), output.getFullPathName());

    auto trimmed = x;
    CalculsResponse::Trim trim;
    ASSERT_TRUE (CalculsResponse::findResponse (trimmed.data(), (int)trimmed.size(), trim));
    ASSERT_TRUE (trim.inverted);

    const auto bands = CaptureFolder::decodeVir (output);
    ASSERT_FALSE (bands[0].empty());
    double dot = 0.0, ee = 0.0, dd = 0.0;
    for (int i = 0; i < 1792; ++i)
    {
        const double e = trimmed[(size_t)(trim.start + i)], d = bands[0][(size_t)i];
        dot += e * d;
        ee += e * e;
        dd += d * d;
    }
    EXPECT_GT (dot / std::sqrt (ee * dd), 0.99999);

    // The file is exactly the encoding of the band kernels with pi in single precision, which
    // here differs from the exported IRs' encoding with pi in double precision.
    // (A one-sample inverse filter places the harmonic windows at the linear one: d2 = d3 = 0.)
    const auto kernels = CalculsResponse::makeBands (trimmed.data(), trim.start, 0, 0);
    const float* pointers[3] = {kernels[0].data(), kernels[1].data(), kernels[2].data()};
    const auto expected = PellmixVir::encodeSpectral (pointers, 1792, PellmixVir::floatPi);
    juce::MemoryBlock written;
    ASSERT_TRUE (output.loadFileAsData (written));
    ASSERT_EQ (written.getSize(), expected.size());
    EXPECT_EQ (std::memcmp (written.getData(), expected.data(), expected.size()), 0);
    EXPECT_NE (PellmixVir::encodeSpectral (pointers, 1792, PellmixVir::doublePi), expected);
}

TEST_F (CalculsOutput, ProgressRisesThroughTheStepsAndEndsAtMinusOne)
{
    std::vector<float> x (20000);
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = (float)burst ((double)i / 48000.0, 5000.0 / 48000.0);
    writeResponse (x);
    ASSERT_TRUE (folder.run (48000, folder.temp.getChildFile ("capture.vir")));

    // Whatever the polling caught lies on the documented path, in order.
    const std::vector<int> path{0, 4, 8, 10, 20, 30, 40, 50, 60, 65, 70, 75, 80, 85, 90, 95, 100, -1};
    auto pos = path.begin();
    for (int p : folder.progressSeen)
    {
        if (p == 0 && pos == path.begin())
            continue; // before the start, and the start itself
        pos = std::find (pos, path.end(), p);
        ASSERT_NE (pos, path.end()) << "progress " << p << " out of order";
    }
    EXPECT_EQ (folder.progressSeen.back(), PellmixCaptureHandOff::runEnded);

    ASSERT_EQ (folder.boxes.size(), 1u);
    const auto& box = folder.boxes[0];
    EXPECT_EQ (box.kind, Calculs::BoxKind::information);
    EXPECT_EQ (box.title, "");
    EXPECT_EQ (box.text, "Process successful !");
    // While the box is up the run has finished but not ended.
    EXPECT_EQ (box.progressWhileShown, 100);
    EXPECT_EQ (box.statusWhileShown, "Process successful !");
    EXPECT_EQ (box.pathWhileShown, folder.temp.getChildFile ("capture.vir").getFullPathName());
}

TEST_F (CalculsOutput, WavExtensionInAnyCaseWritesTheFloatResponse)
{
    // At 48 kHz, a burst peaking at 0.25 s; the ".wav" output is 1792 samples at 96 kHz from the
    // sample after the last one at or below 10 % of the peak, converted by the rate converter.
    std::vector<float> x (24000);
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = (float)burst ((double)i / 48000.0, 0.25);
    writeResponse (x);

    int j = 12000;
    while (std::abs (x[(size_t)j]) > 0.1f * std::abs (x[12000]))
        --j;
    std::vector<float> expected (1792);
    for (int m = 0; m < 1792; ++m)
        expected[(size_t)m] = (float)burst ((double)(j + 1) / 48000.0 + m / 96000.0, 0.25);

    for (const char* name : {"out.wav", "out.WAV", "out.wAv"})
    {
        folder.lastCapturePath.set ("earlier.vir");
        folder.worker.setWavOutput (1792, 96000);
        const auto output = folder.temp.getChildFile (name);
        ASSERT_TRUE (folder.run (48000, output));
        EXPECT_EQ (folder.worker.statusText.get(), "Process successful !") << name;
        EXPECT_EQ (folder.lastCapturePath.get(), "earlier.vir") << name;

        const auto y = capture_test::readFloats (output);
        ASSERT_EQ (y.size(), 1792u) << name;
        double error = 0.0, energy = 0.0;
        for (size_t m = 0; m < y.size(); ++m)
        {
            error += std::pow (y[m] - expected[m], 2.0);
            energy += std::pow (expected[m], 2.0);
        }
        EXPECT_LT (10.0 * std::log10 (error / energy), -50.0) << name;
        output.deleteFile();
    }
}
} // namespace
