// libFuzzer target: the vir decoder on arbitrary bytes. Whatever it accepts must decode to
// finite samples, whatever it refuses must leave the output untouched; nothing may crash, leak
// or hit undefined behaviour.
//
// No allocation per input here: libFuzzer already hands over a heap copy of exactly `size`
// bytes, so AddressSanitizer sees any read past the end without a copy of our own.
#include "engine/FFTReal.h"
#include "engine/PellmixVirFile.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace
{
constexpr std::size_t outputLength = PellmixVir::numBands * PellmixVir::bandLength;
// A value no decode produces as a whole band (it is not finite).
const float untouched = std::nanf ("");

bool allUntouched (const std::vector<float>& v)
{
    return std::all_of (v.begin(), v.end(), [] (float x) { return std::isnan (x); });
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    static FFTReal<float> fft (PellmixVir::fftSize);
    static std::vector<float> storage (outputLength);
    std::fill (storage.begin(), storage.end(), untouched);
    float* bands[] = {storage.data(), storage.data() + PellmixVir::bandLength,
                      storage.data() + 2 * PellmixVir::bandLength};

    if (!PellmixVir::decode (size == 0 ? nullptr : data, size, bands, fft))
    {
        if (!allUntouched (storage))
            std::abort(); // a refused file changed the output
        return 0;
    }

    // A flat file fills band 0 only; a spectral file all three.
    const std::size_t filled =
        PellmixVir::isSpectral (data) ? outputLength : (std::size_t)PellmixVir::bandLength;
    if (!std::all_of (storage.begin(), storage.begin() + (std::ptrdiff_t)filled,
                      [] (float v) { return std::isfinite (v); }))
        std::abort();
    if (!std::all_of (storage.begin() + (std::ptrdiff_t)filled, storage.end(),
                      [] (float v) { return std::isnan (v); }))
        std::abort(); // a flat file wrote into bands 1 and 2
    return 0;
}
