// Loading files into a slot: WAV and AIFF through JUCE's readers with conversion to 96000 Hz and
// the low-passed bands, vir files from an independent writer, and refusals that keep the slot.
#include "IrTestSupport.h"

#include "engine/PellmixIrSlot.h"
#include "engine/PellmixVirFile.h"

#include <juce_core/juce_core.h>

#include <chrono>
#include <numeric>
#include <sys/inotify.h>
#include <unistd.h>

using namespace ir_test;

namespace
{
constexpr double targetRate = 96000.0;
const std::vector<std::string> int24{"-e", "signed", "-b", "24"};
const std::vector<std::string> float32{"-e", "floating-point", "-b", "32"};

std::vector<float> impulse (int frames, int at, float height = 0.5f)
{
    std::vector<float> x ((size_t)frames, 0.0f);
    x[(size_t)at] = height;
    return x;
}

double sum (const std::vector<float>& x)
{
    return std::accumulate (x.begin(), x.end(), 0.0);
}

struct Snapshot
{
    PellmixIrData::Bands bands;
    int length;
    double rate;
    explicit Snapshot (const PellmixIrSlot& s)
        : bands (s.bands)
        , length (s.length)
        , rate (s.sampleRate)
    {
    }
    bool operator== (const Snapshot& o) const
    {
        return bands == o.bands && length == o.length && rate == o.rate;
    }
};

void expectWellFormed (const PellmixIrSlot& slot, int expectedLength)
{
    EXPECT_EQ (slot.getLength(), expectedLength);
    EXPECT_EQ (slot.sampleRate, targetRate);
    for (const auto& band : slot.bands)
    {
        EXPECT_EQ ((int)band.size(), expectedLength);
        EXPECT_TRUE (allFinite (band));
    }
}
} // namespace

TEST (IrSlotLoad, AudioFilesComeIn96kHzWithTheirBands)
{
    pellmix_test::TempDir dir ("irload");
    struct Case
    {
        const char* name;
        const char* fileName;
        const char* soxType;
        double rate;
        int frames;
        std::vector<std::string> encoding;
        int expectedLength;
    };
    const Case cases[] = {
        {"44.1 kHz", "a.wav", "wav", 44100, 1000, int24, 2176},
        {"48 kHz, exact 1:2", "b.wav", "wav", 48000, 1000, int24, 2000},
        {"96 kHz, taken as is", "c.wav", "wav", 96000, 1000, int24, 1000},
        {"192 kHz, exact 2:1", "d.wav", "wav", 192000, 1000, int24, 500},
        {"3 s at 44.1 kHz keeps 2 s", "e.wav", "wav", 44100, 132300, int24, 192000},
        {"8 kHz", "f.wav", "wav", 8000, 1000, int24, 12000},
        {"32-bit float", "g.wav", "wav", 96000, 1000, float32, 1000},
        {"AIFF", "h.aiff", "aiff", 44100, 1000, int24, 2176},
        {"AIF", "i.aif", "aiff", 96000, 1000, int24, 1000},
        {"upper-case WAV", "J.WAV", "wav", 48000, 1000, int24, 2000},
        {"upper-case AIFF", "K.AIFF", "aiff", 96000, 1000, int24, 1000},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const auto path = dir.child (c.fileName);
        makeAudioFile (path, c.soxType, c.rate, 1, impulse (c.frames, 100), c.encoding);

        PellmixIrSlot slot;
        ASSERT_TRUE (slot.loadFile (juce::File (path), targetRate));
        expectWellFormed (slot, c.expectedLength);

        // The impulse's area scales with the rate change; at 96 kHz it is taken sample for sample.
        const auto& band0 = slot.bands[0];
        EXPECT_NEAR (sum (band0), 0.5 * targetRate / c.rate, 0.02 * 0.5 * targetRate / c.rate);
        if (c.rate == targetRate)
        {
            EXPECT_TRUE (band0 == impulse (c.frames, 100));
        }

        // Low-passed bands keep the DC gain but lose the peak; at 8 kHz they stay copies.
        for (int b = 1; b < 3; ++b)
        {
            if (c.rate <= 10000.0)
            {
                EXPECT_TRUE (slot.bands[(size_t)b] == band0) << b;
                continue;
            }
            EXPECT_NEAR (sum (slot.bands[(size_t)b]), sum (band0), 1e-3 * std::abs (sum (band0))) << b;
            EXPECT_LT (peakOf (slot.bands[(size_t)b].data(), slot.getLength()),
                       0.9f * peakOf (band0.data(), slot.getLength()))
                << b;
        }
    }
}

TEST (IrSlotLoad, OpensAnAudioFileOnce)
{
    pellmix_test::TempDir dir ("irload");
    for (const char* name : {"once.wav", "once.aiff"})
    {
        SCOPED_TRACE (name);
        const auto path = dir.child (name);
        makeAudioFile (path, juce::File (path).getFileExtension().substring (1).toStdString(), 44100, 1,
                       impulse (1000, 3), int24);

        const int watcher = ::inotify_init1 (IN_NONBLOCK);
        ASSERT_GE (watcher, 0);
        // Closes are watched too: identical events in a row would be counted as one.
        ASSERT_GE (::inotify_add_watch (watcher, path.c_str(), IN_OPEN | IN_CLOSE), 0);
        PellmixIrSlot slot;
        ASSERT_TRUE (slot.loadFile (juce::File (path), targetRate));

        int opens = 0;
        alignas (inotify_event) char buffer[4096];
        for (ssize_t got; (got = ::read (watcher, buffer, sizeof (buffer))) > 0;)
            for (char* p = buffer; p < buffer + got; p += sizeof (inotify_event) + ((inotify_event*)p)->len)
                opens += (((inotify_event*)p)->mask & IN_OPEN) != 0 ? 1 : 0;
        ::close (watcher);
        EXPECT_EQ (opens, 1);
    }
}

TEST (IrSlotLoad, TakesFloatSamplesUnchanged)
{
    // Written by scipy: sox would round float samples through its integer format.
    pellmix_test::TempDir dir ("irload");
    const std::vector<float> values{0.123456789f, -0.987654321f, 1e-7f, 0.0f, 1.5f};
    std::vector<std::string> args{dir.child ("f.wav"), "96000"};
    for (const float v : values)
        args.push_back (juce::String (v, 12).toStdString());
    pellmix_test::runPythonScript ("ir_wav_fixture.py", args);

    PellmixIrSlot slot;
    ASSERT_TRUE (slot.loadFile (juce::File (dir.child ("f.wav")), targetRate));
    EXPECT_TRUE (slot.bands[0] == values);
}

TEST (IrSlotLoad, StereoFilesGiveTheirLeftChannel)
{
    pellmix_test::TempDir dir ("irload");
    const std::vector<float> left{0.5f, -0.25f, 0.125f, 0.0f, 0.75f};
    const std::vector<float> right{-0.5f, 0.0f, 0.25f, 0.5f, -0.125f};
    std::vector<float> interleaved;
    for (size_t i = 0; i < left.size(); ++i)
        interleaved.insert (interleaved.end(), {left[i], right[i]});

    for (const char* type : {"wav", "aiff"})
    {
        SCOPED_TRACE (type);
        const auto path = dir.child (std::string ("stereo.") + type);
        makeAudioFile (path, type, 96000, 2, interleaved, int24);
        PellmixIrSlot slot;
        ASSERT_TRUE (slot.loadFile (juce::File (path), targetRate));
        EXPECT_TRUE (slot.bands[0] == left);
    }
}

TEST (IrSlotLoad, VirFilesFromAnIndependentWriter)
{
    pellmix_test::TempDir dir ("irload");
    struct Case
    {
        const char* variant;
        const char* fileName;
        const char* extraBytes;
    };
    const Case cases[] = {
        {"flat", "flat.vir", "0"},
        {"flat", "flat-tail.VIR", "100"},
        {"spectral", "spectral.vir", "0"},
        {"spectral", "spectral-tail.Vir", "5000"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.fileName);
        const auto vir = dir.child (c.fileName);
        const auto expected = vir + ".f32";
        pellmix_test::runPythonScript ("vir_reference.py", {c.variant, vir, expected, c.extraBytes});

        PellmixIrSlot slot;
        ASSERT_TRUE (slot.loadFile (juce::File (vir), targetRate));
        expectWellFormed (slot, PellmixVir::bandLength);
        const auto want = readFloats (expected);
        ASSERT_EQ (want.size(), 3u * PellmixVir::bandLength);
        for (int b = 0; b < 3; ++b)
            for (int n = 0; n < PellmixVir::bandLength; ++n)
                ASSERT_NEAR (slot.bands[(size_t)b][(size_t)n], want[(size_t)(b * PellmixVir::bandLength + n)],
                             1e-4)
                    << "band " << b << " sample " << n;
    }
}

TEST (IrSlotLoad, ReadsOnlyTheBytesAVirFileNeeds)
{
    // A spectral file followed by gigabytes (sparse) of junk loads at once.
    pellmix_test::TempDir dir ("irload");
    const auto vir = dir.child ("huge.vir");
    pellmix_test::runPythonScript ("vir_reference.py", {"spectral", vir, vir + ".f32"});
    ASSERT_EQ (::truncate (vir.c_str(), (off_t)3 << 30), 0);

    PellmixIrSlot slot;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE (slot.loadFile (juce::File (vir), targetRate));
    EXPECT_LT (std::chrono::steady_clock::now() - start, std::chrono::seconds (2));
    expectWellFormed (slot, PellmixVir::bandLength);
}

TEST (IrSlotLoad, RefusedFilesLeaveTheSlotAsItWas)
{
    pellmix_test::TempDir dir ("irload");
    const auto good = dir.child ("good.wav");
    makeAudioFile (good, "wav", 48000, 1, impulse (700, 3), int24);

    // Damaged vir files, made from an independently written one.
    const auto spectral = dir.child ("ref.vir");
    pellmix_test::runPythonScript ("vir_reference.py", {"spectral", spectral, spectral + ".f32"});
    const auto flat = dir.child ("ref-flat.vir");
    pellmix_test::runPythonScript ("vir_reference.py", {"flat", flat, flat + ".f32"});
    const auto spectralBytes = readBytes (spectral);
    const auto flatBytes = readBytes (flat);
    auto cut = [] (std::vector<uint8_t> b, size_t n)
    { return std::vector<uint8_t> (b.begin(), b.begin() + (long)n); };
    auto zeroDivisor = spectralBytes;
    std::fill_n (zeroDivisor.begin() + 14 + 6147 + 6144, 3, 0);

    writeBytes (dir.child ("short.vir"), cut (spectralBytes, 18454));
    writeBytes (dir.child ("short-flat.vir"), cut (flatBytes, 5389));
    writeBytes (dir.child ("variant-only.vir"), cut (spectralBytes, 12));
    writeBytes (dir.child ("zero-divisor.vir"), zeroDivisor);
    writeBytes (dir.child ("empty.vir"), {});
    juce::File (dir.child ("text.vir")).replaceWithText ("this is not an impulse response");
    juce::File (dir.child ("text.wav")).replaceWithText ("RIFF but not really a wave file at all");
    juce::File (dir.child ("ir.vsr")).replaceWithText ("unknown kind");
    juce::File (dir.child ("ir.mp3")).replaceWithText ("unknown kind");
    makeAudioFile (dir.child ("low-rate.wav"), "wav", 500, 1, impulse (100, 3), int24);
    makeAudioFile (dir.child ("wav-named.txt"), "wav", 96000, 1, impulse (100, 3), int24);
    pellmix_test::runPythonScript ("ir_wav_fixture.py",
                                   {dir.child ("nan.wav"), "96000", "0.5", "nan", "0.1"});
    pellmix_test::runPythonScript ("ir_wav_fixture.py", {dir.child ("inf.wav"), "44100", "0.5", "0", "-inf"});
    juce::File (dir.child ("folder.wav")).createDirectory();
    // Audio files without a single frame hold no IR: loaded, they would play silence.
    makeAudioFile (dir.child ("empty.wav"), "wav", 44100, 1, {}, int24);
    makeAudioFile (dir.child ("empty.aiff"), "aiff", 44100, 2, {}, int24);

    // Files shorter than their headers say: the readers would pad the missing part with zeros.
    auto truncated = [&] (const char* name, const char* type, double rate, int frames,
                          const std::vector<std::string>& encoding, long removedBytes)
    {
        const auto path = dir.child (name);
        makeAudioFile (path, type, rate, 1, impulse (frames, 3), encoding);
        auto bytes = readBytes (path);
        writeBytes (path, cut (bytes, removedBytes < 0 ? (size_t)-removedBytes
                                                       : bytes.size() - (size_t)removedBytes));
    };
    truncated ("first-2000-bytes.wav", "wav", 44100, 44100, int24, -2000);
    truncated ("first-2000-bytes.aiff", "aiff", 44100, 44100, int24, -2000);
    truncated ("half-last-frame.wav", "wav", 96000, 1000, int24, 1);
    truncated ("half-last-frame.aif", "aiff", 96000, 1000, int24, 2);
    truncated ("float-one-frame-short.wav", "wav", 48000, 1000, float32, 4);
    truncated ("cut-past-the-two-seconds-kept.wav", "wav", 8000, 24000, int24, 3 * 4000);

    const char* refused[] = {"missing.wav",
                             "missing.vir",
                             "folder.wav",
                             "empty.wav",
                             "empty.aiff",
                             "short.vir",
                             "short-flat.vir",
                             "variant-only.vir",
                             "zero-divisor.vir",
                             "empty.vir",
                             "text.vir",
                             "text.wav",
                             "ir.vsr",
                             "ir.mp3",
                             "low-rate.wav",
                             "wav-named.txt",
                             "nan.wav",
                             "inf.wav",
                             "first-2000-bytes.wav",
                             "first-2000-bytes.aiff",
                             "half-last-frame.wav",
                             "half-last-frame.aif",
                             "float-one-frame-short.wav",
                             "cut-past-the-two-seconds-kept.wav"};
    for (const bool loadedBefore : {false, true})
    {
        PellmixIrSlot slot;
        if (loadedBefore)
        {
            ASSERT_TRUE (slot.loadFile (juce::File (good), targetRate));
        }
        const Snapshot before (slot);
        for (const char* name : refused)
        {
            SCOPED_TRACE (std::string (name) + (loadedBefore ? " over a loaded IR" : " into an empty slot"));
            EXPECT_FALSE (slot.loadFile (juce::File (dir.child (name)), targetRate));
            EXPECT_TRUE (Snapshot (slot) == before);
        }
    }
}
