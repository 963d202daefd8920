// The one opener of outside audio: the reason it gives for each hostile file (in a child process
// with bounded memory and time), RF64 files checked with the sizes of their "ds64" chunk, the
// limits of a sane header (channels, rate, frames), the sample sizes and frame counts the WAV and
// AIFF readers can decode, and containers that end before the file does (a trailing ID3 tag) or
// declare more than it holds.
#include "HostileAudioFiles.h"

#include "engine/PellmixAudioOpener.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <algorithm>
#include <cmath>
#include <utility>

using hostile_audio::Refusal;

namespace
{
PellmixAudioOpener::Opened openWithBasicFormats (const std::string& path)
{
    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    return PellmixAudioOpener::open (juce::File (path), formats);
}

void put (std::vector<uint8_t>& b, const char* id, uint32_t length)
{
    b.insert (b.end(), id, id + 4);
    hostile_audio::putLE (b, length, 4);
}

void putBE (std::vector<uint8_t>& b, uint64_t value, int bytes)
{
    for (int i = bytes; --i >= 0;)
        b.push_back ((uint8_t)(value >> (8 * i)));
}

void putChunkBE (std::vector<uint8_t>& b, const char* id, uint32_t length)
{
    b.insert (b.end(), id, id + 4);
    putBE (b, length, 4);
}

// An AIFF file at 44100 Hz: COMM declaring `frames` frames of `channels` channels of `bits` bits,
// and an SSND chunk holding `soundFrames` such frames (none when negative), after COMM or before.
std::vector<uint8_t> aiff (int channels, uint32_t frames, int bits, int soundFrames, bool soundFirst = false)
{
    std::vector<uint8_t> comm, sound;
    putChunkBE (comm, "COMM", 18);
    putBE (comm, (uint64_t)channels, 2);
    putBE (comm, frames, 4);
    putBE (comm, (uint64_t)bits, 2);
    comm.insert (comm.end(), {0x40, 0x0e, 0xac, 0x44, 0, 0, 0, 0, 0, 0}); // 44100 as an 80-bit float
    if (soundFrames >= 0)
    {
        const auto bytes = (uint32_t)(soundFrames * channels * bits / 8);
        putChunkBE (sound, "SSND", 8 + bytes + (bytes & 1));
        sound.resize (sound.size() + 8, 0); // offset and block size
        for (uint32_t i = 0; i < bytes + (bytes & 1); ++i)
            sound.push_back ((uint8_t)(i * 37));
    }
    std::vector<uint8_t> b{'F', 'O', 'R', 'M'};
    putBE (b, 4 + comm.size() + sound.size(), 4);
    b.insert (b.end(), {'A', 'I', 'F', 'F'});
    const std::vector<uint8_t>* chunks[] = {&comm, &sound};
    if (soundFirst)
        std::swap (chunks[0], chunks[1]);
    for (const auto* chunk : chunks)
        b.insert (b.end(), chunk->begin(), chunk->end());
    return b;
}

// A mono 16-bit file of `frames` frames at 44100 Hz, as the framework's writer of `format` makes it.
std::vector<uint8_t> writtenBy (juce::AudioFormat&& format, int frames)
{
    juce::MemoryBlock block;
    {
        std::unique_ptr<juce::AudioFormatWriter> writer (
            format.createWriterFor (new juce::MemoryOutputStream (block, false), 44100.0, 1, 16, {}, 0));
        juce::AudioBuffer<float> tone (1, frames);
        for (int i = 0; i < frames; ++i)
            tone.setSample (0, i, 0.5f * std::sin (0.05f * (float)i));
        writer->writeFromAudioSampleBuffer (tone, 0, frames);
    }
    return {(const uint8_t*)block.getData(), (const uint8_t*)block.getData() + block.getSize()};
}

// The container's declared size (bytes 4 to 7), little-endian for RIFF, big-endian for FORM.
void setContainerSize (std::vector<uint8_t>& b, uint32_t size)
{
    const bool form = b[0] == 'F';
    for (int i = 0; i < 4; ++i)
        b[(size_t)(4 + i)] = (uint8_t)(size >> (8 * (form ? 3 - i : i)));
}

std::vector<uint8_t> operator+ (std::vector<uint8_t> a, const std::vector<uint8_t>& tail)
{
    a.insert (a.end(), tail.begin(), tail.end());
    return a;
}

// A 26-byte ID3v2 tag with one frame, as taggers append to WAV and AIFF files.
const std::vector<uint8_t> id3Tag{'I', 'D', '3', 4, 0, 0, 0, 0, 0,   16,  'T', 'I', 'T',
                                  '2', 0,   0,   0, 6, 0, 0, 0, 't', 'a', 'i', 'l', 0};

// Opens `bytes` as a file of the given extension in a child process (bounded in memory and time)
// and reads up to 4096 frames of what opened. The refusal; 100 when it opened and read, 101 when
// that read came up short; -N for signal N.
int openAndRead (const pellmix_test::TempDir& dir, const std::vector<uint8_t>& bytes, const char* extension)
{
    const auto path = dir.child (std::string ("case") + extension);
    hostile_audio::writeBytes (path, bytes);
    return hostile_audio::runBounded (
        [&]
        {
            const auto opened = openWithBasicFormats (path);
            if (opened.reader == nullptr)
                return (int)opened.why;
            const int n = (int)std::min<juce::int64> (opened.reader->lengthInSamples, 4096);
            juce::AudioBuffer<float> start ((int)opened.reader->numChannels, n);
            opened.reader->read (&start, 0, n, 0, true, true);
            return opened.readCameUpShort() ? 101 : 100;
        });
}

// An RF64 file: "ds64" with the given sizes (28 bytes, or `ds64Length`), mono 16-bit "fmt ",
// "data" whose length field is the RF64 placeholder and which holds `frames` frames, then an
// optional "bext" chunk declaring `bextLength` with 16 bytes present.
std::vector<uint8_t> rf64 (uint64_t riffSize, uint64_t dataSize, int frames, uint32_t bextLength = 0,
                           uint32_t ds64Length = 28, const char* firstChunk = "ds64")
{
    std::vector<uint8_t> b{'R', 'F', '6', '4', 0xff, 0xff, 0xff, 0xff, 'W', 'A', 'V', 'E'};
    put (b, firstChunk, ds64Length);
    hostile_audio::putLE (b, riffSize, 8);
    hostile_audio::putLE (b, dataSize, 8);
    hostile_audio::putLE (b, (uint64_t)frames, 8);
    b.resize (b.size() + ds64Length - 24, 0);
    put (b, "fmt ", 16);
    for (auto [v, n] : {std::pair{1u, 2}, {1u, 2}, {44100u, 4}, {88200u, 4}, {2u, 2}, {16u, 2}})
        hostile_audio::putLE (b, v, n);
    put (b, "data", 0xffffffffu);
    for (int i = 0; i < frames; ++i)
        hostile_audio::putLE (b, (uint64_t)(1000 * i), 2);
    if (bextLength != 0)
    {
        put (b, "bext", bextLength);
        b.resize (b.size() + 16, 0);
    }
    return b;
}
} // namespace

TEST (AudioOpener, HostileFilesAreRefusedAtOnceWithTheirReason)
{
    pellmix_test::TempDir dir ("opener");
    for (const auto& c : hostile_audio::make (dir, true))
    {
        SCOPED_TRACE (c.name);
        const auto path = dir.child (c.name);
        const int result = hostile_audio::runBounded (
            [&]
            {
                const auto opened = openWithBasicFormats (path);
                return opened.reader == nullptr ? (int)opened.why : 100;
            });
        EXPECT_EQ (result, (int)c.why)
            << "100: opened; -14: it hung; -11 or -6: an allocation under the limit";
        EXPECT_FALSE (PellmixAudioOpener::describe (c.why).isEmpty());
    }
}

TEST (AudioOpener, Rf64FilesAreCheckedWithTheirDs64Sizes)
{
    pellmix_test::TempDir dir ("opener");
    // A whole file of 4 frames is 12 + 36 + 24 + 8 + 8 = 88 bytes, its RIFF size 80.
    const struct
    {
        const char* what;
        std::vector<uint8_t> bytes;
        Refusal why;
    } cases[] = {
        {"whole file", rf64 (80, 8, 4), Refusal::none},
        {"with a bext chunk inside the file", rf64 (104, 8, 4, 16), Refusal::none},
        {"bext chunk declaring 0xfffffff0 bytes", rf64 (104, 8, 4, 0xfffffff0u), Refusal::damaged},
        {"data size beyond the file", rf64 (80, 9, 4), Refusal::damaged},
        {"data size of gigabytes", rf64 (80, 0x7fffffff00ull, 4), Refusal::damaged},
        {"RIFF size beyond the file", rf64 (81, 8, 4), Refusal::damaged},
        {"negative sizes", rf64 (~0ull, ~0ull, 4), Refusal::damaged},
        {"ds64 too short", rf64 (80, 8, 4, 0, 20), Refusal::damaged},
        {"no ds64 chunk", rf64 (80, 8, 4, 0, 28, "JUNK"), Refusal::damaged},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        const auto path = dir.child ("case.wav");
        hostile_audio::writeBytes (path, c.bytes);
        const auto opened = openWithBasicFormats (path);
        EXPECT_EQ (opened.why, c.why);
        if (c.why == Refusal::none)
        {
            ASSERT_NE (opened.reader, nullptr);
            EXPECT_EQ (opened.reader->lengthInSamples, 4);
        }
    }
}

TEST (AudioOpener, HeadersWithinSaneLimitsOpenOthersAreRefused)
{
    pellmix_test::TempDir dir ("opener");
    const struct
    {
        const char* what;
        int frames, channels;
        uint32_t rate;
        Refusal why;
    } cases[] = {
        {"one frame", 1, 1, 44100, Refusal::none},
        {"no frame", 0, 1, 44100, Refusal::noAudio},
        {"64 channels", 3, 64, 48000, Refusal::none},
        {"65 channels", 3, 65, 48000, Refusal::badChannels},
        {"no channel", 3, 0, 48000, Refusal::notAudio}, // the framework's reader refuses it itself
        {"a low rate", 10, 1, 1, Refusal::none},
        {"rate 0", 10, 1, 0, Refusal::notAudio}, // the framework's reader refuses it itself
        {"highest rate", 10, 2, 768000, Refusal::none},
        {"above the highest rate", 10, 2, 768001, Refusal::damaged},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        const auto path = dir.child ("case.wav");
        hostile_audio::writeBytes (path, hostile_audio::pcmWav (c.frames, c.channels, c.rate));
        const auto opened = openWithBasicFormats (path);
        EXPECT_EQ (opened.why, c.why);
        EXPECT_EQ (opened.reader != nullptr, c.why == Refusal::none);
    }
}

TEST (AudioOpener, WavAndAiffOpenOnlyWithSampleSizesAndFrameCountsTheirReadersDecode)
{
    pellmix_test::TempDir dir ("opener");
    using hostile_audio::pcmWav;
    constexpr int whole = 100; // opened, and its frames read
    const struct
    {
        const char* what;
        std::vector<uint8_t> bytes;
        const char* extension;
        int result;
    } cases[] = {
        {"AIFF 8-bit stereo", aiff (2, 100, 8, 100), ".aiff", whole},
        {"AIFF 16-bit", aiff (1, 100, 16, 100), ".aiff", whole},
        {"AIFF 24-bit", aiff (1, 100, 24, 100), ".aiff", whole},
        {"AIFF 32-bit", aiff (1, 100, 32, 100), ".aiff", whole},
        {"AIFF 0 bits, COMM only (38 bytes)", aiff (1, 1000, 0, -1), ".aiff", (int)Refusal::damaged},
        {"AIFF 7 bits, SSND before COMM", aiff (1, 100, 7, 100, true), ".aiff", (int)Refusal::damaged},
        {"AIFF 12-bit", aiff (1, 100, 12, 100), ".aiff", (int)Refusal::damaged},
        {"AIFF 20-bit stereo", aiff (2, 100, 20, 100), ".aiff", (int)Refusal::damaged},
        {"AIFF COMM only, 2^31 - 1 frames", aiff (1, 0x7fffffff, 16, -1), ".aiff", (int)Refusal::damaged},
        {"AIFF more frames than the file holds, SSND before COMM", aiff (1, 100000, 16, 100, true), ".aiff",
         (int)Refusal::damaged},
        {"AIFF COMM only, frames that would fit", aiff (1, 4, 8, -1), ".aiff", (int)Refusal::noAudio},
        {"WAV 8-bit", pcmWav (100, 1, 44100, 8), ".wav", whole},
        {"WAV 24-bit stereo", pcmWav (100, 2, 44100, 24), ".wav", whole},
        {"WAV 32-bit", pcmWav (100, 1, 44100, 32), ".wav", whole},
        {"WAV 32-bit float", pcmWav (100, 1, 44100, 32, 3), ".wav", whole},
        {"WAV 64-bit float", pcmWav (100, 1, 44100, 64, 3), ".wav",
         (int)Refusal::notAudio}, // the framework's
        {"WAV 12-bit", pcmWav (100, 1, 44100, 12), ".wav", (int)Refusal::damaged},
        {"WAV 20-bit", pcmWav (100, 1, 44100, 20), ".wav", (int)Refusal::damaged},
        {"WAV 4-bit stereo", pcmWav (100, 2, 44100, 4), ".wav", (int)Refusal::damaged},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        EXPECT_EQ (openAndRead (dir, c.bytes, c.extension), c.result)
            << "100: opened and read; 101: the read came up short; -8: it divided by zero";
    }
}

TEST (AudioOpener, ContainersEndWhereTheirSizeSaysAndChunksStillEndWithinTheFile)
{
    pellmix_test::TempDir dir ("opener");
    constexpr int frames = 44100;
    const auto wav = writtenBy (juce::WavAudioFormat(), frames);
    const auto aiffFile = writtenBy (juce::AiffAudioFormat(), frames);
    auto declaringMore = wav;
    setContainerSize (declaringMore, (uint32_t)wav.size() + 1000);
    auto cutShort = declaringMore;
    cutShort.resize (cutShort.size() - 100);
    auto coveringJunk = wav + std::vector<uint8_t>{'J', 'U', 'N', 'K', 0xff, 0xff, 0xff, 0x7f};
    setContainerSize (coveringJunk, (uint32_t)coveringJunk.size() - 8);
    const struct
    {
        const char* what;
        std::vector<uint8_t> bytes;
        const char* extension;
        Refusal why;
    } cases[] = {
        {"WAV with an ID3 tag after it", wav + id3Tag, ".wav", Refusal::none},
        {"AIFF with an ID3 tag after it", aiffFile + id3Tag, ".aiff", Refusal::none},
        {"WAV with 8 bytes of junk after it", wav + std::vector<uint8_t> (8, 0xff), ".wav", Refusal::none},
        {"WAV declaring more than the file holds", declaringMore, ".wav", Refusal::none},
        {"WAV declaring more, its data chunk cut short", cutShort, ".wav", Refusal::damaged},
        {"WAV whose container holds a chunk reaching past the file", coveringJunk, ".wav", Refusal::damaged},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        const auto path = dir.child (std::string ("case") + c.extension);
        hostile_audio::writeBytes (path, c.bytes);
        const auto opened = openWithBasicFormats (path);
        EXPECT_EQ (opened.why, c.why);
        if (c.why != Refusal::none)
            continue;
        ASSERT_NE (opened.reader, nullptr);
        EXPECT_EQ (opened.reader->lengthInSamples, frames);
        juce::AudioBuffer<float> all (1, frames);
        ASSERT_TRUE (opened.reader->read (&all, 0, frames, 0, true, false));
        EXPECT_FALSE (opened.readCameUpShort());
        EXPECT_NEAR (all.getSample (0, frames - 1), 0.5f * std::sin (0.05f * (float)(frames - 1)), 1.0e-4f);
    }
}
