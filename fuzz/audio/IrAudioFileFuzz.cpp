// libFuzzer target: a WAV or AIFF file read into an IR slot, then shaped as an IR block shapes
// it. The bytes go to a file named ".aiff" when they begin like an AIFF file ("FORM") and ".wav"
// otherwise (the slot picks its reader by extension). A refused file must leave the slot as it
// was; an accepted one must give finite bands at the working rate and a finite shaped IR.
#include "engine/PellmixIrSlot.h"
#include "support/FuzzScratch.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace
{
constexpr double workingRate = 96000.0;

bool allFinite (const std::vector<float>& v)
{
    return std::all_of (v.begin(), v.end(), [] (float x) { return std::isfinite (x); });
}
} // namespace

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    pellmix_fuzz::scratchFolder();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    static PellmixIrSlot slot;
    const bool looksAiff = size >= 4 && std::memcmp (data, "FORM", 4) == 0;
    const auto file = pellmix_fuzz::scratchFolder().getChildFile (looksAiff ? "input.aiff" : "input.wav");
    pellmix_fuzz::writeInput (file, data, size);

    const auto bandsBefore = slot.bands;
    const int lengthBefore = slot.getLength();
    const double rateBefore = slot.sampleRate;

    const bool loaded = slot.loadFile (file, workingRate);
    file.deleteFile();

    if (!loaded)
    {
        if (slot.bands != bandsBefore || slot.getLength() != lengthBefore || slot.sampleRate != rateBefore)
            std::abort(); // a refused file changed the slot
        return 0;
    }

    if (slot.sampleRate != workingRate)
        std::abort();
    for (const auto& band : slot.bands)
        if ((int)band.size() < slot.getLength() || !allFinite (band))
            std::abort();

    slot.allocateWorkBuffers();
    slot.setWindow (1792, 0);
    slot.setPhase (50.0f);
    slot.setGain (0.0f);
    for (int b = 0; b < PellmixIrData::numBands; ++b)
        if (!std::all_of (slot.getWorkBuffer (b), slot.getWorkBuffer (b) + PellmixIrSlot::workLength,
                          [] (float x) { return std::isfinite (x); }))
            std::abort();
    return 0;
}
