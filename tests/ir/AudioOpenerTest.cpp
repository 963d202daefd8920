// The one opener of outside audio: the reason it gives for each hostile file (in a child process
// with bounded memory and time), RF64 files checked with the sizes of their "ds64" chunk, and the
// limits of a sane header (channels, rate, frames).
#include "HostileAudioFiles.h"

#include "engine/PellmixAudioOpener.h"

#include <juce_audio_formats/juce_audio_formats.h>

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
