#pragma once
// The vir IR file: one IR of 1792 samples at 96000 Hz in three bands.
//
// Two variants, chosen by the variant byte (offset 12): 0 is spectral (per band 1024 quantised
// magnitude and phase codes of the 2048-point spectrum plus a phase divisor, then a marker and two
// running check sums), anything else is flat (1792 24-bit samples of band 0 only). The writer
// produces the spectral variant only; the decoder reads both.
//
// Every 24-bit field is two's complement, least significant byte first. The check sums are
// unsigned 16-bit, most significant byte first.
//
// Threading: free functions without shared state; callers serialise their own FFT object. The
// writer allocates and does file I/O, so it never runs on the audio thread.
//
// The codec (PellmixVirFile.cpp) needs no JUCE; only writeVirFile (PellmixVirWriter.cpp) does.
#include <cstddef>
#include <cstdint>
#include <vector>

template <typename T>
class FFTReal;

namespace juce
{
class File;
}

namespace PellmixVir
{
constexpr int numBands = 3;
constexpr int bandLength = 1792; // samples per band
constexpr int fftSize = 2048;    // spectrum size of the spectral variant
constexpr int numBins = 1024;    // bins stored per band (Nyquist is not stored)
constexpr int headerSize = 14;
constexpr int variantOffset = 12; // variant byte: 0 spectral, else flat
constexpr int variantBytesNeeded = variantOffset + 1;
constexpr int bandBlockSize = 6147;                                        // mags, phases, divisor
constexpr int spectralBytesNeeded = headerSize + numBands * bandBlockSize; // 18455
constexpr int spectralFileSize = spectralBytesNeeded + 4 + 4;              // + marker + sums: 18463
constexpr int flatBytesNeeded = headerSize + 3 * bandLength;               // 5390
constexpr int maxDivisor = 8388607;                                        // largest 24-bit value
constexpr double sampleRate = 96000.0;

// Reads a signed 24-bit little-endian field.
int32_t read24 (const uint8_t* p) noexcept;

// Bytes a file of the variant selected by data[variantOffset] needs (flat or spectral size).
// size must be at least variantBytesNeeded.
int bytesNeeded (const uint8_t* data) noexcept;

// True for the spectral variant (variant byte 0).
bool isSpectral (const uint8_t* data) noexcept;

// Encodes three bands (each `length` samples at 96000 Hz; only the first 1792 are used, shorter
// bands are zero-padded) as a complete spectral file of spectralFileSize bytes. A used sample
// that is not finite has no code: the result is then empty.
// piValue is pi as the phase unwrapping and quantisation use it: exported IRs use the double
// value, captured IRs the single-precision value widened to double.
constexpr double doublePi = 3.141592653589793;
constexpr double floatPi = 3.1415927410125732;
std::vector<uint8_t> encodeSpectral (const float* const* bands, int length, double piValue = doublePi);

// Writes encodeSpectral (bands, length) to file through a temporary sibling that replaces the
// target only once the whole file is written. Returns false, leaving any old file as it was,
// when the bands cannot be encoded or the file could not be written.
bool writeVirFile (const juce::File& file, const float* const* bands, int length);

// Decodes a file image of `size` bytes. A flat file fills bands[0] only; a spectral file fills
// all three. Each bands[b] has room for bandLength floats; fft is a 2048-point transform used by
// the spectral decoder. Returns false, with the output untouched, when the data is shorter than
// its variant needs, a spectral divisor is 0 or a decoded sample is not finite. Extra bytes are
// ignored; header, marker and check sums are not checked.
bool decode (const uint8_t* data, std::size_t size, float* const* bands, FFTReal<float>& fft);
} // namespace PellmixVir
