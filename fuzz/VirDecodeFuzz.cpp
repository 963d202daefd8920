// libFuzzer target: the vir decoder on arbitrary bytes. Whatever it accepts must decode to
// finite samples; nothing may crash, leak or hit undefined behaviour.
#include "engine/FFTReal.h"
#include "engine/PellmixVirFile.h"

#include <cmath>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    static FFTReal<float> fft (PellmixVir::fftSize);
    std::vector<float> storage ((size_t)(3 * PellmixVir::bandLength), 0.0f);
    float* bands[] = {storage.data(), storage.data() + PellmixVir::bandLength,
                      storage.data() + 2 * PellmixVir::bandLength};

    // Copy to a buffer of exactly `size` bytes so that any over-read is caught.
    std::vector<uint8_t> bytes (data, data + size);
    if (PellmixVir::decode (bytes.empty() ? nullptr : bytes.data(), bytes.size(), bands, fft))
        for (const float v : storage)
            if (!std::isfinite (v))
                std::abort();
    return 0;
}
