// Whole worker runs on synthetic recordings made at test time: the sweep through a known IR (and
// optionally a second-order distortion, an inversion), with noise and a latency, at the three
// device rates. The IR captured in band 0 of the vir file must match the known IR at 96000 Hz.
#include "CaptureSupport.h"
#include "engine/PellmixCaptureHandOff.h"

#include "support/Process.h"

#include <iostream>

namespace
{
using capture_test::CaptureFolder;

struct RunCase
{
    const char* name;
    int rate;
    int seconds;
    const char* ir;
    bool invert;
    double distortion;
};

std::ostream& operator<< (std::ostream& os, const RunCase& c)
{
    return os << c.name;
}

class CaptureRun : public ::testing::TestWithParam<RunCase>
{
protected:
    // Records, runs the worker, decodes its vir file and fits it; returns the oracle's values.
    std::map<std::string, double> captureAndFit (const RunCase& c)
    {
        folder.writeSweep (c.rate, c.seconds);
        pellmix_test::runPythonScript (
            "capture_oracle.py",
            {"record", folder.temp.getChildFile ("sinus.wav").getFullPathName().toStdString(),
             folder.temp.getChildFile ("record.raw").getFullPathName().toStdString(), c.ir, "317", "-70",
             c.invert ? "1" : "0", std::to_string (c.distortion)});

        const auto output = juce::File (folder.dir.path()).getChildFile ("Impulses/capture.vir");
        EXPECT_TRUE (output.getParentDirectory().createDirectory());
        EXPECT_TRUE (folder.run (c.rate, output));

        EXPECT_EQ (folder.worker.statusText.get(), "Process successful !");
        EXPECT_EQ (folder.lastCapturePath.get(), output.getFullPathName());
        EXPECT_EQ (output.getSize(), PellmixVir::spectralFileSize);
        EXPECT_EQ (folder.progressSeen.back(), PellmixCaptureHandOff::runEnded);

        const auto bands = CaptureFolder::decodeVir (output);
        EXPECT_FALSE (bands[0].empty()) << "the vir file does not decode";
        if (bands[0].empty())
            return {};
        std::vector<float> all;
        for (const auto& b : bands)
            all.insert (all.end(), b.begin(), b.end());
        const auto bandsFile = folder.temp.getChildFile ("bands.raw");
        capture_test::writeFloats (bandsFile, all);
        return capture_test::parseValues (pellmix_test::runPythonScript (
            "capture_oracle.py", {"check", bandsFile.getFullPathName().toStdString(), c.ir}));
    }

    CaptureFolder folder;
};

TEST_P (CaptureRun, BandZeroMatchesTheKnownIr)
{
    const auto& c = GetParam();
    auto v = captureAndFit (c);
    ASSERT_TRUE (v.count ("band0_error_db"));
    for (const auto& [key, value] : v)
        std::cout << c.name << " " << key << " = " << value << "\n";

    // Shape within -50 dB after alignment; the polarity step makes the first large lobe positive,
    // as it is in the known IR, whether or not the system inverts.
    EXPECT_LT (v["band0_error_db"], -50.0);
    EXPECT_GT (v["band0_scale"], 0.0);

    if (std::string (c.ir) == "comb")
    {
        // 1 + 0.5 e^(-i w tau): peak-to-notch ratio 3.
        EXPECT_NEAR (v["comb_ratio_db"], 20.0 * std::log10 (3.0), 0.4);
    }

    if (c.distortion > 0.0)
    {
        // x + a x^2 puts a second-order response into band 1 (the pulse's shape) and leaves
        // band 0 linear.
        EXPECT_LT (v["band1_error_db"], -20.0);
    }
    else
    {
        // Without distortion band 1 holds only residue, nothing shaped like the response.
        EXPECT_GT (v["band1_error_db"], -10.0);
    }
}

INSTANTIATE_TEST_SUITE_P (Systems, CaptureRun,
                          ::testing::Values (RunCase{"Wire44k", 44100, 6, "wire", false, 0.0},
                                             RunCase{"Wire96k", 96000, 4, "wire", false, 0.0},
                                             RunCase{"Delay48k", 48000, 6, "delay", false, 0.0},
                                             RunCase{"Comb44k", 44100, 6, "comb", false, 0.0},
                                             RunCase{"Comb96k", 96000, 4, "comb", false, 0.0},
                                             RunCase{"Cabinet48k", 48000, 6, "cabinet", false, 0.0},
                                             RunCase{"InvertedCabinet44k", 44100, 6, "cabinet", true, 0.0},
                                             RunCase{"InvertedWire96k", 96000, 4, "wire", true, 0.0},
                                             RunCase{"Distorted48k", 48000, 6, "wire", false, 0.2},
                                             RunCase{"FullLength48k", 48000, 60, "cabinet", false, 0.0},
                                             RunCase{"FullLength192k", 192000, 60, "cabinet", false, 0.0}),
                          [] (const auto& testInfo) { return std::string (testInfo.param.name); });

TEST (CaptureRunFiles, DeconvolutionFileHoldsTheWholeFftNormalisedToOne)
{
    // A 2-second sweep at 48000 Hz and a latency: N = 2^ceil(log2(2 L - 1)) floats, peak exactly 1.
    CaptureFolder folder;
    folder.writeSweep (48000, 2);
    pellmix_test::runPythonScript ("capture_oracle.py",
                                   {"record",
                                    folder.temp.getChildFile ("sinus.wav").getFullPathName().toStdString(),
                                    folder.temp.getChildFile ("record.raw").getFullPathName().toStdString(),
                                    "wire", "1000", "-80", "0", "0"});
    ASSERT_TRUE (folder.run (48000, folder.temp.getChildFile ("test.raw")));

    const auto y = capture_test::readFloats (folder.temp.getChildFile ("deconv.raw"));
    ASSERT_EQ (y.size(), (size_t)(1 << 18)); // 2 x (96000 + 1000) - 1 -> 2^18
    float largest = 0.0f;
    for (float v : y)
        largest = std::max (largest, std::abs (v));
    EXPECT_EQ (largest, 1.0f);

    // "test.raw", the name of a re-run, is a vir file too.
    EXPECT_EQ (folder.temp.getChildFile ("test.raw").getSize(), PellmixVir::spectralFileSize);
    EXPECT_EQ (folder.lastCapturePath.get(), folder.temp.getChildFile ("test.raw").getFullPathName());
}
} // namespace
