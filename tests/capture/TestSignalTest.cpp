// The capture test signals against an independent numpy oracle of their formulas (samples,
// lengths, fades, WAV format), the file names and sizes, and the writer's failures.
#include "CaptureSupport.h"

#include "support/Process.h"

#include <iostream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
struct SweepCase
{
    const char* name;
    int rate, samples, fade;
};

std::ostream& operator<< (std::ostream& os, const SweepCase& c)
{
    return os << c.name;
}

class TestSignalSweep : public ::testing::TestWithParam<SweepCase>
{
};

TEST_P (TestSignalSweep, MatchesTheOracle)
{
    const auto& c = GetParam();
    pellmix_test::TempDir dir ("pellmix-signal");
    const juce::File folder (dir.path());

    PellmixTestSignal signal;
    signal.makeSweep (c.rate, c.samples, c.fade);
    EXPECT_EQ (signal.sampleRate, c.rate);
    EXPECT_EQ (signal.bits, 32);
    ASSERT_TRUE (signal.writeFile (folder, 0, false, c.samples));
    ASSERT_TRUE (signal.writeFile (folder, 2, true, c.samples));
    EXPECT_EQ (folder.getChildFile ("inverse.raw").getSize(), 4 * (juce::int64)c.samples);

    std::cout << pellmix_test::runPythonScript (
        "capture_oracle.py",
        {"sweep", dir.path(), std::to_string (c.rate), std::to_string (c.samples), std::to_string (c.fade)});
}

INSTANTIATE_TEST_SUITE_P (
    Sweeps, TestSignalSweep,
    ::testing::Values (SweepCase{"Short44k", 44100, 3 * 44100, 44100 / 20},
                       // The capture's own sweep: 60 s at 48 kHz, one second of fade at each end.
                       SweepCase{"Full60s48k", 48000, 60 * 48000, 48000},
                       SweepCase{"NoFade96k", 96000, 96000, 0},
                       // Fades that meet in the middle.
                       SweepCase{"FadesMeet", 8000, 1000, 500}),
    [] (const auto& testInfo) { return std::string (testInfo.param.name); });

TEST (TestSignal, FullLengthInverseFileSize)
{
    // "inverse.raw" of a 60-second sweep at 48 kHz.
    pellmix_test::TempDir dir ("pellmix-signal");
    PellmixTestSignal signal;
    signal.makeSweep (48000, 60 * 48000, 48000);
    ASSERT_TRUE (signal.writeFile (juce::File (dir.path()), 2, true, 60 * 48000));
    EXPECT_EQ (juce::File (dir.path()).getChildFile ("inverse.raw").getSize(), 11520000);
}

TEST (TestSignal, SweepEnvelopeAndEnds)
{
    // 20 Hz to 20 kHz over 60 s at 44.1 kHz; the fades put 0 at both ends of both signals.
    PellmixTestSignal signal;
    const int rate = 44100, n = 60 * rate;
    signal.makeSweep (rate, n, rate);
    ASSERT_EQ (signal.signal.size(), (size_t)n);
    ASSERT_EQ (signal.inverse.size(), (size_t)n);
    for (const auto* x : {&signal.signal, &signal.inverse})
    {
        EXPECT_EQ (x->front(), 0.0f);
        EXPECT_EQ (x->back(), 0.0f);
    }

    // Envelope of the inverse filter between the fades: 0.7071 x 10^(-6 / 20 x octaves above start).
    const auto envelope = [&] (int from)
    {
        float peak = 0.0f;
        for (int i = from; i < from + 2000; ++i)
            peak = std::max (peak, std::abs (signal.inverse[(size_t)i]));
        return peak;
    };
    const int octave = (int)std::lround (std::log (2.0) / std::log (1000.0) * n);
    EXPECT_NEAR (envelope (rate + 1000) / envelope (octave + rate + 1000), std::pow (10.0, 6.0 / 20.0), 0.01);
    EXPECT_NEAR (envelope (rate + 1000),
                 0.7071 * std::pow (10.0, -6.0 / 20.0 * (rate + 1000.0) / n * std::log2 (1000.0)), 0.005);
}

TEST (TestSignal, SineTone)
{
    pellmix_test::TempDir dir ("pellmix-signal");
    PellmixTestSignal signal;
    signal.makeSine (48000, 10 * 48000, 1000.0);
    EXPECT_EQ (signal.signal, signal.inverse);
    EXPECT_EQ (signal.signal[0], 0.0f);
    EXPECT_NEAR (*std::max_element (signal.signal.begin(), signal.signal.end()), 0.70710678f, 1e-6f);
    ASSERT_TRUE (signal.writeFile (juce::File (dir.path()), 1, false, 10 * 48000));
    pellmix_test::runPythonScript ("capture_oracle.py",
                                   {"sine", dir.path(), "48000", std::to_string (10 * 48000), "1000"});
}

TEST (TestSignal, FileNamesKindsAndCounts)
{
    pellmix_test::TempDir dir ("pellmix-signal");
    const juce::File folder (juce::File (dir.path()).getChildFile ("not/yet/there"));
    PellmixTestSignal signal;
    signal.makeSweep (8000, 800, 80);

    const struct
    {
        int kind;
        bool raw;
        int count;
        const char* name;
        const std::vector<float>* source;
    } cases[] = {
        {0, false, 800, "sinus.wav", &signal.signal},    {1, true, 800, "sinustest.raw", &signal.signal},
        {2, false, 800, "inverse.wav", &signal.inverse}, {2, true, 800, "inverse.raw", &signal.inverse},
        {5, true, 800, "sinus.raw", &signal.signal},     {0, true, 1600, "sinus.raw", &signal.signal},
        {2, true, 100, "inverse.raw", &signal.inverse}};
    for (const auto& c : cases)
    {
        ASSERT_TRUE (signal.writeFile (folder, c.kind, c.raw, c.count)) << c.name;
        const auto file = folder.getChildFile (c.name);
        ASSERT_TRUE (file.existsAsFile()) << c.name;

        std::vector<float> samples;
        if (c.raw)
        {
            EXPECT_EQ (file.getSize(), 4 * c.count) << c.name;
            samples = capture_test::readFloats (file);
        }
        else
        {
            juce::WavAudioFormat wav;
            std::unique_ptr<juce::AudioFormatReader> reader (
                wav.createReaderFor (file.createInputStream().release(), true));
            ASSERT_NE (reader, nullptr) << c.name;
            EXPECT_EQ (reader->numChannels, 1u);
            EXPECT_EQ (reader->bitsPerSample, 32u);
            EXPECT_TRUE (reader->usesFloatingPointData);
            EXPECT_EQ (reader->sampleRate, 8000.0);
            juce::AudioSampleBuffer buffer (1, (int)reader->lengthInSamples);
            reader->read (&buffer, 0, buffer.getNumSamples(), 0, true, false);
            samples.assign (buffer.getReadPointer (0), buffer.getReadPointer (0) + buffer.getNumSamples());
        }
        // The count decides the length: beyond the signal the file holds zeros.
        ASSERT_EQ (samples.size(), (size_t)c.count) << c.name;
        for (int i = 0; i < c.count; ++i)
            ASSERT_EQ (samples[(size_t)i], i < 800 ? (*c.source)[(size_t)i] : 0.0f) << c.name << " at " << i;
    }
}

TEST (TestSignal, UnfilledSignalWritesSilence)
{
    pellmix_test::TempDir dir ("pellmix-signal");
    PellmixTestSignal signal;
    ASSERT_TRUE (signal.writeFile (juce::File (dir.path()), 2, true, 10));
    EXPECT_EQ (capture_test::readFloats (juce::File (dir.path()).getChildFile ("inverse.raw")),
               std::vector<float> (10, 0.0f));
}

TEST (TestSignal, UnwritableFolderIsReported)
{
    // A regular file where the folder should be: nothing can be created below it.
    pellmix_test::TempDir dir ("pellmix-signal");
    const auto blocker = juce::File (dir.path()).getChildFile ("Temp");
    ASSERT_TRUE (blocker.replaceWithText ("x"));
    PellmixTestSignal signal;
    signal.makeSweep (8000, 800, 80);
    for (bool raw : {false, true})
        EXPECT_FALSE (signal.writeFile (blocker, 0, raw, 800)) << raw;
    EXPECT_EQ (blocker.loadFileAsString(), "x");
}

TEST (TestSignal, UnwritableFileIsReportedAndNotLeftBehind)
{
    // As an unprivileged user (root may write anywhere): a folder this user cannot write.
    pellmix_test::TempDir dir ("pellmix-signal");
    dir.openToEveryone();
    const auto locked = juce::File (dir.path()).getChildFile ("locked");
    ASSERT_TRUE (locked.createDirectory());
    ASSERT_EQ (::chmod (locked.getFullPathName().toRawUTF8(), 0555), 0);

    const auto pid = ::fork();
    ASSERT_GE (pid, 0);
    if (pid == 0)
    {
        if (::setgid (65534) != 0 || ::setuid (65534) != 0)
            ::_exit (2);
        PellmixTestSignal signal;
        signal.makeSweep (8000, 800, 80);
        const bool wav = signal.writeFile (locked, 0, false, 800);
        const bool raw = signal.writeFile (locked, 2, true, 800);
        ::_exit (wav || raw ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ (::waitpid (pid, &status, 0), pid);
    ASSERT_TRUE (WIFEXITED (status));
    EXPECT_EQ (WEXITSTATUS (status), 0) << "a write into a read-only folder was reported as done";
    EXPECT_TRUE (locked.findChildFiles (juce::File::findFilesAndDirectories, false).isEmpty());
}
} // namespace
