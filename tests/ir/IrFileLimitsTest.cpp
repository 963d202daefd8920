// Audio files that fuzzing the WAV path found hard to take:
//  - samples far beyond full scale (one of 3.2e38): the low-pass bands, the rate conversion and
//    the fractional delay overflowed, and the slot's shaped IR was not finite. They are refused
//    like non-finite samples; loud ones load;
//  - a file of 103 bytes whose header declares 29268 channels and 1.4 GB of data: reading the
//    frames it declares took minutes. A file that holds less data than it declares is refused
//    before any is read;
//  - a WAV file of 158 bytes with a "cue " chunk that declares 1.9 GB: the framework's reader
//    allocated and filled that much before any sample was read. A file with a chunk that reaches
//    past its end is refused before the reader sees it; chunks of odd length (with their pad
//    byte) still load;
//  - named pipes (the open blocked for good), lying headers that loaded as silent IRs, and an
//    RF64 file whose 4 GB "bext" chunk the reader allocated: refused at once, slot and file as
//    they were.
#include "HostileAudioFiles.h"
#include "IrTestSupport.h"

#include "engine/PellmixIrSlot.h"

#include <algorithm>
#include <cmath>
#include <string>

TEST (IrFileLimits, SamplesFarBeyondFullScaleAreRefusedLoudOnesLoad)
{
    pellmix_test::TempDir dir ("irlimits");
    const struct
    {
        const char* name;
        const char* rate;
        const char* loudest;
        bool loads;
    } cases[] = {
        {"near-float-max.wav", "96000", "3.2300244e38", false},
        {"negative-1e7.wav", "44100", "-1e7", false},
        {"just-above-1e6.wav", "48000", "1000001", false},
        {"at-1e6.wav", "44100", "1e6", true},
        {"plus-60-dB.wav", "96000", "-1000", true},
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const auto path = dir.child (c.name);
        pellmix_test::runPythonScript ("ir_wav_fixture.py",
                                       {path, c.rate, "0.5", c.loudest, "0.25", "-0.125"});

        PellmixIrSlot slot;
        ASSERT_EQ (slot.loadFile (juce::File (path), 96000.0), c.loads);
        if (!c.loads)
        {
            EXPECT_EQ (slot.getLength(), 0) << "the empty slot stays empty";
            continue;
        }
        slot.setWindow (1792, 0);
        slot.setPhase (50.0f);
        slot.setGain (0.0f);
        for (int b = 0; b < PellmixIrData::numBands; ++b)
        {
            const float* work = slot.getWorkBuffer (b);
            EXPECT_TRUE (std::all_of (work, work + PellmixIrSlot::workLength,
                                      [] (float v) { return std::isfinite (v); }))
                << "band " << b;
        }
    }
}

TEST (IrFileLimits, FileHoldingLessThanItsHeaderDeclaresIsRefusedBeforeReading)
{
    pellmix_test::TempDir dir ("irlimits");
    // RIFF header, "fmt " of 16 bytes: PCM, 29268 channels, 28267 Hz, block align 0, 16 bits;
    // "data" declaring 0x544d4f43 bytes, followed by 56 bytes.
    std::vector<uint8_t> bytes = {'R',  'I',  'F',  'F',  0x84, 0,   0,    0,    'W',  'A',  'V',
                                  'E',  'f',  'm',  't',  ' ',  16,  0,    0,    0,    1,    0,
                                  0x54, 0x72, 0x6b, 0x6e, 0,    0,   0x88, 0x58, 0x0b, 0,    0,
                                  0,    16,   0,    'd',  'a',  't', 'a',  0x43, 0x4f, 0x4d, 0x54};
    bytes.resize (bytes.size() + 56, 0x11);
    const auto path = dir.child ("many-channels.wav");
    ir_test::writeBytes (path, bytes);

    PellmixIrSlot slot;
    EXPECT_FALSE (slot.loadFile (juce::File (path), 96000.0));
    EXPECT_EQ (slot.getLength(), 0);
}

namespace
{
// A copy of `file` (RIFF or FORM) with one more chunk at its end: `id`, the declared `length`, then
// `payload` bytes (a pad byte after an odd payload). The container's own length follows.
std::vector<uint8_t> withChunk (std::vector<uint8_t> file, const char* id, uint32_t length, size_t payload)
{
    const bool bigEndian = file[0] == 'F';
    auto put32 = [bigEndian] (uint8_t* at, uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            at[i] = (uint8_t)(v >> (bigEndian ? 24 - 8 * i : 8 * i));
    };
    const auto start = file.size();
    file.resize (start + 8 + payload + (payload & 1), 0x5a);
    std::copy (id, id + 4, file.begin() + (std::ptrdiff_t)start);
    put32 (file.data() + start + 4, length);
    put32 (file.data() + 4, (uint32_t)(file.size() - 8));
    return file;
}
} // namespace

TEST (IrFileLimits, ChunkReachingPastTheEndIsRefusedOddChunksLoad)
{
    pellmix_test::TempDir dir ("irlimits");
    PellmixIrSlot slot;
    for (const char* type : {"wav", "aiff"})
    {
        const auto plain = dir.child (std::string ("plain.") + type);
        ir_test::makeAudioFile (plain, type, 48000.0, 1, std::vector<float> (480, 0.25f),
                                {"-e", "signed", "-b", "16"});
        const auto bytes = ir_test::readBytes (plain);
        ASSERT_GT (bytes.size(), 12u);
        const char* metadata = type[0] == 'w' ? "LIST" : "ANNO";
        const struct
        {
            const char* name;
            std::vector<uint8_t> file;
            bool loads;
        } cases[] = {
            {"odd chunk with its pad byte", withChunk (bytes, metadata, 5, 5), true},
            {"odd chunk last, no pad byte",
             [&]
             {
                 auto f = withChunk (bytes, metadata, 5, 5);
                 f.pop_back();
                 return f;
             }(),
             true},
            {"chunk declaring 1.9 GB", withChunk (bytes, type[0] == 'w' ? "cue " : "COMT", 0x745e6166u, 16),
             false},
            {"chunk one byte past the end", withChunk (bytes, metadata, 17, 16), false},
        };
        for (const auto& c : cases)
        {
            SCOPED_TRACE (std::string (type) + ": " + c.name);
            const auto path = dir.child (std::string ("case.") + type);
            ir_test::writeBytes (path, c.file);
            EXPECT_EQ (slot.loadFile (juce::File (path), 96000.0), c.loads);
        }
    }

    // The start of the input the fuzzer found (its "cue " chunk declares 1.9 GB): refused, and the
    // slot keeps what it held.
    const std::vector<uint8_t> found = {
        0x52, 0x49, 0x46, 0x46, 0x68, 0x01, 0x00, 0x00, 0x57, 0x41, 0x56, 0x45, 0x66, 0x6d, 0x74,
        0x20, 0x28, 0x00, 0x00, 0x00, 0xfe, 0xff, 0x02, 0x40, 0x80, 0xbb, 0x00, 0x00, 0x00, 0x65,
        0x04, 0x00, 0x06, 0x00, 0x18, 0x00, 0x16, 0x00, 0x18, 0x00, 0x03, 0x00, 0x00, 0x00, 0x01,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71,
        0x63, 0x75, 0x65, 0x20, 0x66, 0x61, 0x5e, 0x74, 0x04, 0x00, 0x00, 0x6e, 0x00, 0x00, 0x00,
        0x30, 0x00, 0x00, 0x00, 0x00, 0x64, 0x61, 0x74, 0x61, 0x20, 0x01, 0x00, 0x00};
    const auto path = dir.child ("cue.wav");
    ir_test::writeBytes (path, found);
    const int lengthBefore = slot.getLength();
    ASSERT_GT (lengthBefore, 0);
    EXPECT_FALSE (slot.loadFile (juce::File (path), 96000.0));
    EXPECT_EQ (slot.getLength(), lengthBefore);
}

TEST (IrFileLimits, HostileFilesAreRefusedAtOnceAndLeaveSlotAndFile)
{
    pellmix_test::TempDir dir ("irhostile");
    auto cases = hostile_audio::make (dir, false);
    // The vir reader opens its files the same way.
    ASSERT_EQ (::mkfifo (dir.child ("fifo.vir").c_str(), 0644), 0);
    ASSERT_EQ (::symlink ("/dev/zero", dir.child ("zero.vir").c_str()), 0);
    hostile_audio::writeBytes (dir.child ("sparse-2GiB.vir"), {});
    ASSERT_EQ (::truncate (dir.child ("sparse-2GiB.vir").c_str(), 2LL << 30), 0);
    cases.push_back ({"fifo.vir", hostile_audio::Refusal::notRegular});
    cases.push_back ({"zero.vir", hostile_audio::Refusal::notRegular});
    cases.push_back ({"sparse-2GiB.vir", hostile_audio::Refusal::damaged});

    const auto good = dir.child ("good.wav");
    ir_test::makeAudioFile (good, "wav", 48000, 1, std::vector<float> (480, 0.25f),
                            {"-e", "signed", "-b", "16"});
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const auto path = dir.child (c.name);
        const hostile_audio::Stamp before (path);
        // 0: refused with the slot unchanged; 1: loaded; 2: refused but the slot changed.
        const int result = hostile_audio::runBounded (
            [&]
            {
                PellmixIrSlot slot;
                if (!slot.loadFile (juce::File (good), 96000.0))
                    return 3;
                const auto bands = slot.bands;
                const int length = slot.getLength();
                if (slot.loadFile (juce::File (path), 96000.0))
                    return 1;
                return slot.bands == bands && slot.getLength() == length ? 0 : 2;
            });
        EXPECT_EQ (result, 0) << "1: loaded, 2: the slot changed, -14: it hung, -11 or -6: it allocated "
                                 "what the header declares";
        EXPECT_TRUE (hostile_audio::Stamp (path) == before) << "the file changed";
    }
}
