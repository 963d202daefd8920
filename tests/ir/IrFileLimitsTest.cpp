// Audio files that fuzzing the WAV path found hard to take:
//  - samples far beyond full scale (one of 3.2e38): the low-pass bands, the rate conversion and
//    the fractional delay overflowed, and the slot's shaped IR was not finite. They are refused
//    like non-finite samples; loud ones load;
//  - a file of 103 bytes whose header declares 29268 channels and 1.4 GB of data: reading the
//    frames it declares took minutes. A file that holds less data than it declares is refused
//    before any is read.
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
