// Audio files whose samples lie far beyond full scale (a fuzzed WAV file held one of 3.2e38): the
// low-pass bands, the rate conversion and the fractional delay overflowed, and the slot's shaped
// IR was not finite. Such files are refused like those with non-finite samples; loud ones load.
#include "IrTestSupport.h"

#include "engine/PellmixIrSlot.h"

#include <algorithm>
#include <cmath>
#include <string>

TEST (IrSampleLevel, FilesFarBeyondFullScaleAreRefusedLoudOnesLoad)
{
    pellmix_test::TempDir dir ("irlevel");
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
