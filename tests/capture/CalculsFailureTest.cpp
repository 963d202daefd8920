// Runs that cannot succeed end cleanly: a failure status and a warning box saying what went
// wrong, progress -1, no last-capture path, no output file and no stray file. A stop request ends
// a run promptly, also while its box waits for the message thread.
#include "CaptureSupport.h"
#include "engine/PellmixCaptureHandOff.h"
#include "support/TestSignals.h"

#include <cmath>
#include <functional>
#include <unistd.h>

namespace
{
using capture_test::CaptureFolder;
using capture_test::writeFloats;

// Uniform noise of RMS 0.1.
std::vector<float> noise (int n, unsigned seed)
{
    return pellmix_test::noise (n, seed, std::sqrt (12.0f) * 0.1f);
}

std::vector<float> impulseAt (size_t n, size_t at)
{
    std::vector<float> x (n, 0.0f);
    x[at] = 1.0f;
    return x;
}

struct FailureCase
{
    const char* name;
    std::function<void (CaptureFolder&)> setUp;
    int rate;
    const char* output;       // relative to the test folder
    const char* expectedText; // part of the box's text
    bool deconvolved;         // "deconv.raw" is written whole before the failure
};

std::ostream& operator<< (std::ostream& os, const FailureCase& c)
{
    return os << c.name;
}

class CalculsFailure : public ::testing::TestWithParam<FailureCase>
{
};

TEST_P (CalculsFailure, EndsCleanlyWithAMessage)
{
    const auto& c = GetParam();
    CaptureFolder folder;
    c.setUp (folder);
    const auto root = juce::File (folder.dir.path());
    const auto output = root.getChildFile (c.output);
    // Afterwards: the files set up, and "deconv.raw" when the deconvolution had finished.
    const auto tempExpected = CaptureFolder::fileNames (folder.temp, c.deconvolved ? "deconv.raw" : "");
    const auto rootBefore = CaptureFolder::fileNames (root);

    ASSERT_TRUE (folder.run (c.rate, output));

    EXPECT_EQ (folder.worker.progress.load(), PellmixCaptureHandOff::runEnded);
    EXPECT_EQ (folder.worker.statusText.get(), "Process failed !");
    ASSERT_EQ (folder.boxes.size(), 1u);
    EXPECT_EQ (folder.boxes[0].kind, Calculs::BoxKind::warning);
    EXPECT_TRUE (folder.boxes[0].text.contains (c.expectedText)) << folder.boxes[0].text;
    EXPECT_TRUE (folder.lastCapturePath.isEmpty());
    EXPECT_FALSE (output.exists());

    EXPECT_EQ (CaptureFolder::fileNames (folder.temp), tempExpected);
    EXPECT_EQ (CaptureFolder::fileNames (root), rootBefore);
    if (c.deconvolved)
    {
        EXPECT_EQ (folder.temp.getChildFile ("deconv.raw").getSize() % 4, 0);
    }
}

// Writes record.raw and inverse.raw.
std::function<void (CaptureFolder&)> files (std::vector<float> record, std::vector<float> inverse)
{
    return [=] (CaptureFolder& f)
    {
        writeFloats (f.temp.getChildFile ("record.raw"), record);
        writeFloats (f.temp.getChildFile ("inverse.raw"), inverse);
    };
}

INSTANTIATE_TEST_SUITE_P (
    Cases, CalculsFailure,
    ::testing::Values (
        FailureCase{"RecordingMissing",
                    [] (CaptureFolder& f) { writeFloats (f.temp.getChildFile ("inverse.raw"), {1.0f}); },
                    96000, "out.vir", "\"record.raw\" is missing", false},
        FailureCase{"RecordingEmpty", files ({}, {1.0f}), 96000, "out.vir", "\"record.raw\" is empty", false},
        FailureCase{"RecordingIsAFolder",
                    [] (CaptureFolder& f)
                    {
                        f.temp.getChildFile ("record.raw").createDirectory();
                        writeFloats (f.temp.getChildFile ("inverse.raw"), {1.0f});
                    },
                    96000, "out.vir", "\"record.raw\" is missing", false},
        FailureCase{"RecordingTooLong",
                    [] (CaptureFolder& f)
                    {
                        // A sparse file far beyond any capture: refused before anything is allocated.
                        const auto file = f.temp.getChildFile ("record.raw");
                        ASSERT_TRUE (file.create());
                        ASSERT_EQ (::truncate (file.getFullPathName().toRawUTF8(), (off_t)1 << 30), 0);
                        writeFloats (f.temp.getChildFile ("inverse.raw"), {1.0f});
                    },
                    96000, "out.vir", "\"record.raw\" is too long", false},
        FailureCase{"RecordingNeedsTooMuchMemory",
                    [] (CaptureFolder& f)
                    {
                        // 2^24 + 1 samples (a sparse file): a transform of 2^26 points, about
                        // 1.9 gigabytes of buffers. Refused before they are allocated.
                        const auto file = f.temp.getChildFile ("record.raw");
                        ASSERT_TRUE (file.create());
                        ASSERT_EQ (::truncate (file.getFullPathName().toRawUTF8(), ((off_t)1 << 26) + 4), 0);
                        writeFloats (f.temp.getChildFile ("inverse.raw"), {1.0f});
                    },
                    96000, "out.vir", "too long to be processed", false},
        FailureCase{"InverseMissing",
                    [] (CaptureFolder& f)
                    { writeFloats (f.temp.getChildFile ("record.raw"), noise (4000, 1)); },
                    96000, "out.vir", "\"inverse.raw\" is missing", false},
        FailureCase{"RecordingShorterThanSweep", files (noise (1000, 2), noise (2000, 3)), 48000, "out.vir",
                    "shorter than the test sweep", false},
        FailureCase{"SilentRecording", files (std::vector<float> (48000, 0.0f), noise (24000, 4)), 48000,
                    "out.vir", "silent", false},
        FailureCase{"OneSampleRecording", files ({0.5f}, {1.0f}), 96000, "out.vir", "No response", true},
        FailureCase{"TooShortForTheWindow", files (impulseAt (1500, 1400), {1.0f}), 96000, "out.vir",
                    "No response", true},
        FailureCase{"PeakTooEarly", files (impulseAt (8000, 1920), {1.0f}), 96000, "out.vir", "No response",
                    true},
        FailureCase{"PeakTooEarlyAfterConversion", files (impulseAt (8000, 950), {1.0f}), 48000, "out.vir",
                    "No response", true},
        FailureCase{"DeconvolutionUnwritable",
                    [] (CaptureFolder& f)
                    {
                        files (impulseAt (8000, 4000), {1.0f}) (f);
                        // A folder that cannot be deleted stands where the file should go.
                        ASSERT_TRUE (f.temp.getChildFile ("deconv.raw/keep").create());
                    },
                    96000, "out.vir", "\"deconv.raw\" cannot be written", false},
        FailureCase{"OutputUnwritable",
                    [] (CaptureFolder& f)
                    {
                        files (impulseAt (8000, 4000), {1.0f}) (f);
                        ASSERT_TRUE (juce::File (f.dir.path()).getChildFile ("blocker").create());
                    },
                    96000, "blocker/out.vir", "The IR file cannot be written", true},
        FailureCase{"NoSampleRate", files (impulseAt (8000, 4000), {1.0f}), 0, "out.vir", "sample rate",
                    false},
        FailureCase{"WavOutputWithoutLength", files (impulseAt (8000, 4000), {1.0f}), 96000, "out.wav",
                    "No length and rate", false},
        FailureCase{"WavOutputAtUnsupportedRate",
                    [] (CaptureFolder& f)
                    {
                        files (impulseAt (8000, 4000), {1.0f}) (f);
                        f.worker.setWavOutput (1792, 192000);
                    },
                    48000, "out.wav", "cannot be converted", true}),
    [] (const auto& testInfo) { return std::string (testInfo.param.name); });

TEST (CalculsFailureOutput, FailedWriteKeepsTheOldFile)
{
    // A capture that fails before its output is written leaves a file of the same name alone.
    CaptureFolder folder;
    writeFloats (folder.temp.getChildFile ("record.raw"), std::vector<float> (4000, 0.0f));
    writeFloats (folder.temp.getChildFile ("inverse.raw"), {1.0f});
    const auto output = juce::File (folder.dir.path()).getChildFile ("old.vir");
    ASSERT_TRUE (output.replaceWithText ("old"));
    ASSERT_TRUE (folder.run (96000, output));
    EXPECT_EQ (output.loadFileAsString(), "old");
    EXPECT_TRUE (folder.lastCapturePath.isEmpty());
}

// Stop requests: during the start pause, in the middle of a long deconvolution, and while the
// success box waits for a message thread that is itself stopping the worker.
class CalculsStopConcurrency : public ::testing::Test
{
protected:
    static double secondsToStop (Calculs& worker)
    {
        const auto start = juce::Time::getMillisecondCounterHiRes();
        worker.stopThread (-1);
        return (juce::Time::getMillisecondCounterHiRes() - start) / 1000.0;
    }

    CaptureFolder folder;
    juce::File output{juce::File (folder.dir.path()).getChildFile ("out.vir")};
};

TEST_F (CalculsStopConcurrency, DuringTheStartPause)
{
    writeFloats (folder.temp.getChildFile ("record.raw"), impulseAt (8000, 4000));
    writeFloats (folder.temp.getChildFile ("inverse.raw"), {1.0f});
    folder.worker.sampleRate = 96000;
    folder.worker.setOutputFile (output);
    folder.worker.startThread();
    juce::Thread::sleep (100);
    EXPECT_LT (secondsToStop (folder.worker), 0.5);
    EXPECT_EQ (folder.worker.progress.load(), PellmixCaptureHandOff::runEnded);
    EXPECT_FALSE (output.exists());
    EXPECT_FALSE (folder.temp.getChildFile ("deconv.raw").exists());
}

TEST_F (CalculsStopConcurrency, DuringTheDeconvolution)
{
    // About 2^21 samples: N = 2^22, a second or so of FFTs.
    writeFloats (folder.temp.getChildFile ("record.raw"), noise (2000000, 5));
    writeFloats (folder.temp.getChildFile ("inverse.raw"), noise (1000000, 6));
    folder.worker.sampleRate = 48000;
    folder.worker.setOutputFile (output);
    folder.worker.startThread();
    while (folder.worker.progress.load() < 20 && folder.worker.isThreadRunning())
        juce::Thread::sleep (1);

    // Ends at the next step boundary: well before a whole run would.
    EXPECT_LT (secondsToStop (folder.worker), 20.0);
    EXPECT_EQ (folder.worker.progress.load(), PellmixCaptureHandOff::runEnded);
    EXPECT_FALSE (output.exists());
    EXPECT_TRUE (folder.lastCapturePath.isEmpty());
    EXPECT_TRUE (folder.boxes.empty());
    EXPECT_NE (folder.worker.statusText.get(), "Process successful !");
}

TEST_F (CalculsStopConcurrency, WhileTheBoxWaitsForTheMessageThread)
{
    writeFloats (folder.temp.getChildFile ("record.raw"), impulseAt (8000, 4000));
    writeFloats (folder.temp.getChildFile ("inverse.raw"), {1.0f});
    folder.worker.sampleRate = 96000;
    folder.worker.setOutputFile (output);
    folder.worker.startThread();

    // The message loop is not pumped: the box cannot be shown, the worker waits at 100.
    const auto end = juce::Time::getMillisecondCounter() + 30000;
    while (folder.worker.progress.load() != 100 && juce::Time::getMillisecondCounter() < end)
        juce::Thread::sleep (1);
    ASSERT_EQ (folder.worker.progress.load(), 100);
    juce::Thread::sleep (50);
    EXPECT_TRUE (folder.worker.isThreadRunning());

    EXPECT_LT (secondsToStop (folder.worker), 0.5);
    EXPECT_EQ (folder.worker.progress.load(), PellmixCaptureHandOff::runEnded);

    // The IR was written whole before the box: it stands, and its path is set.
    EXPECT_EQ (output.getSize(), PellmixVir::spectralFileSize);
    EXPECT_EQ (folder.lastCapturePath.get(), output.getFullPathName());

    // The box given up on is never shown later.
    juce::MessageManager::getInstance()->runDispatchLoopUntil (100);
    EXPECT_TRUE (folder.boxes.empty());
}
} // namespace

// What a run would refuse, asked before the capture's sweep: every rate's 60-second sweep with a
// latency is taken; a recording whose transform would need about 1.9 GB and more is not.
TEST (CalculsChecks, RecordingsTheWorkerTakesAndRefuses)
{
    struct Case
    {
        int rate, seconds, latency;
        const char* refusal; // start of the text; nullptr: taken
    };
    const Case cases[] = {
        {44100, 60, 512, nullptr},
        {48000, 60, 512, nullptr},
        {88200, 60, 1024, nullptr},
        {96000, 60, 4096, nullptr},
        {176400, 60, 4096, nullptr},
        {192000, 60, 8192, nullptr},
        {192000, 87, 0, nullptr}, // still within 2^24 samples: the same transform size
        {192000, 88, 0, "The recording is too long to be processed: it would need about 19"},
        {48000, 600, 512, "The recording is too long to be processed: it would need about 20"},
        {192000, 3600, 0, "The recording is too long to be processed: it would need about "},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (juce::String (c.rate) + " Hz, " + juce::String (c.seconds) + " s");
        const int sweep = c.rate * c.seconds;
        const auto refusal = Calculs::checkRecording (sweep + c.latency, sweep);
        if (c.refusal == nullptr)
        {
            EXPECT_EQ (refusal, "");
        }
        else
        {
            EXPECT_TRUE (refusal.startsWith (c.refusal)) << refusal;
        }
    }
}

TEST (CalculsChecks, OutputFilesThatCannotBeWrittenAreNamedAndNothingIsLeft)
{
    pellmix_test::TempDir dir ("pellmix-output-check");
    const auto root = juce::File (dir.path());
    ASSERT_TRUE (root.getChildFile ("old.vir").replaceWithText ("old"));
    ASSERT_TRUE (root.getChildFile ("folder.vir").createDirectory());
    ASSERT_TRUE (root.getChildFile ("a-file").replaceWithText ("x"));

    const struct
    {
        const char* name;
        bool writable;
    } cases[] = {{"new.vir", true},
                 {"old.vir", true},
                 {"missing/new.vir", false},
                 {"folder.vir", false},
                 {"a-file/new.vir", false}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const auto file = root.getChildFile (c.name);
        EXPECT_EQ (Calculs::checkOutputFile (file),
                   c.writable ? juce::String() : "The IR file cannot be written: " + file.getFullPathName());
    }
    // The probe leaves the folder as it was.
    EXPECT_EQ (root.getChildFile ("old.vir").loadFileAsString(), "old");
    EXPECT_EQ (root.getNumberOfChildFiles (juce::File::findFilesAndDirectories), 3);
}
