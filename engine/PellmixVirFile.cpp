#include "engine/PellmixVirFile.h"

#include "engine/FFTReal.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

namespace PellmixVir
{
namespace
{
constexpr uint8_t header[headerSize] = {0x01, 0x0E, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x02};
constexpr uint8_t marker[4] = {0xAE, 0x10, 0x54, 0x98};
constexpr double magnitudeScale = 8388607.0;  // full scale of a magnitude code
constexpr double phaseFullScale = 7969176.65; // 0.95 of the 24-bit range
constexpr double peakThreshold = 0.015;       // normalised magnitude above which phases unwrap

// A code from its real value, floored and held to the 24-bit range. The input is finite, and so
// is every value derived from it.
int64_t toCode (double value)
{
    return (int64_t)std::floor (std::clamp (value, -8388608.0, 8388607.0));
}

void put24 (std::vector<uint8_t>& out, int64_t value)
{
    const auto v = static_cast<uint32_t> (value);
    out.push_back (static_cast<uint8_t> (v & 0xFF));
    out.push_back (static_cast<uint8_t> ((v >> 8) & 0xFF));
    out.push_back (static_cast<uint8_t> ((v >> 16) & 0xFF));
}

// Polar form of one band, normalised and with its phases unwrapped (not yet negated).
struct PolarBand
{
    std::array<double, numBins> mag{};
    std::array<double, numBins> phase{};
};

void toPolar (const double* f, PolarBand& band, double piValue)
{
    std::array<double, numBins> raw{};
    double peak = 0.0;
    for (int k = 0; k < numBins; ++k)
    {
        // Bin 0 pairs with the Nyquist slot, which is dropped (treated as 0).
        const double re = f[k];
        const double v = k == 0 ? 0.0 : f[numBins + k];
        band.mag[(size_t)k] = std::sqrt (re * re + v * v);
        raw[(size_t)k] = std::atan2 (v, re);
        peak = std::max (peak, band.mag[(size_t)k]);
    }

    int peakBin = 0;
    if (peak > 0.0)
        for (int k = 0; k < numBins; ++k)
        {
            band.mag[(size_t)k] = band.mag[(size_t)k] / peak * 0.95;
            if (band.mag[(size_t)k] > peakThreshold)
                peakBin = k;
        }

    // Unwrap from differences of raw phases; the offset stops changing above the peak bin.
    double offset = 0.0;
    band.phase[0] = raw[0];
    for (int k = 1; k < numBins; ++k)
    {
        const double d = raw[(size_t)k] - raw[(size_t)k - 1];
        if (std::abs (d) >= piValue && k <= peakBin)
            offset += d < 0.0 ? 2.0 * piValue : -2.0 * piValue;
        band.phase[(size_t)k] = raw[(size_t)k] + offset;
    }
}

void appendBand (std::vector<uint8_t>& out, const PolarBand& band, double piValue)
{
    const double twoPi = 2.0 * piValue;
    std::array<double, numBins> q{};
    for (int k = 0; k < numBins; ++k)
        q[(size_t)k] = -band.phase[(size_t)k];

    const double lo = *std::min_element (q.begin(), q.end());
    const double hi = *std::max_element (q.begin(), q.end());
    const double shift = twoPi * std::ceil (lo / -twoPi);

    // The largest shifted phase maps to about 0.95 of the code range. Only a band whose shifted
    // phases are all 0 keeps the divisor 1: equal phases elsewhere (an inverted impulse has pi in
    // every bin) would otherwise be stored as whole radians. The divisor must fit its signed
    // 24-bit field: phases all close to 0 would ask for far more than 8388607.
    double divisor = 1.0;
    if (hi + shift > 0.0 && std::isfinite (hi + shift))
        divisor = std::clamp (std::floor (phaseFullScale / (hi + shift)), 1.0, (double)maxDivisor);

    for (int k = 0; k < numBins; ++k)
        put24 (out, toCode (band.mag[(size_t)k] * magnitudeScale));
    for (int k = 0; k < numBins; ++k)
        put24 (out, toCode ((q[(size_t)k] + shift) * divisor));
    put24 (out, (int64_t)divisor);
}
} // namespace

int32_t read24 (const uint8_t* p) noexcept
{
    int32_t value = (int32_t)p[0] | ((int32_t)p[1] << 8) | ((int32_t)p[2] << 16);
    return p[2] >= 128 ? value - 16777216 : value;
}

bool isSpectral (const uint8_t* data) noexcept
{
    return data[variantOffset] == 0;
}

int bytesNeeded (const uint8_t* data) noexcept
{
    return isSpectral (data) ? spectralBytesNeeded : flatBytesNeeded;
}

std::vector<uint8_t> encodeSpectral (const float* const* bands, int length, double piValue)
{
    FFTReal<double> fft (fftSize);
    std::vector<double> x ((size_t)fftSize), f ((size_t)fftSize);
    auto polar = std::make_unique<std::array<PolarBand, numBands>>();

    const int used = std::clamp (length, 0, bandLength);
    for (int b = 0; b < numBands; ++b)
        if (!std::all_of (bands[b], bands[b] + used, [] (float v) { return std::isfinite (v); }))
            return {};

    for (int b = 0; b < numBands; ++b)
    {
        std::fill (x.begin(), x.end(), 0.0);
        for (int n = 0; n < used; ++n)
            x[(size_t)n] = bands[b][n];
        fft.forwardTransform (f.data(), x.data());
        toPolar (f.data(), (*polar)[(size_t)b], piValue);
    }

    std::vector<uint8_t> out;
    out.reserve ((size_t)spectralFileSize);
    out.insert (out.end(), std::begin (header), std::end (header));
    for (const auto& band : *polar)
        appendBand (out, band, piValue);

    uint32_t a = 0, sumB = 0;
    for (const uint8_t byte : out)
    {
        a = (a + byte) & 0xFFFF;
        sumB = (sumB + a) & 0xFFFF;
    }
    out.insert (out.end(), std::begin (marker), std::end (marker));
    for (const uint32_t sum : {a, sumB})
    {
        out.push_back (static_cast<uint8_t> (sum >> 8));
        out.push_back (static_cast<uint8_t> (sum & 0xFF));
    }
    return out;
}

bool decode (const uint8_t* data, std::size_t size, float* const* bands, FFTReal<float>& fft)
{
    if (data == nullptr || size < (std::size_t)variantBytesNeeded || size < (std::size_t)bytesNeeded (data))
        return false;

    const bool spectral = isSpectral (data);
    const int filled = spectral ? numBands : 1;
    if (spectral)
        for (int b = 0; b < numBands; ++b)
            if (read24 (data + headerSize + bandBlockSize * b + 2 * 3 * numBins) == 0)
                return false; // a divisor of 0

    // Decoded whole before the output is touched. Fixed buffers, every element written before it
    // is read: no allocation per file.
    std::array<float, numBands * bandLength> decoded;
    if (!spectral)
    {
        for (int i = 0; i < bandLength; ++i)
            decoded[(size_t)i] = ((float)read24 (data + headerSize + 3 * i) * 256.0f) / 38654705664.0f;
    }
    else
    {
        std::array<float, fftSize> f, x;
        for (int b = 0; b < numBands; ++b)
        {
            const uint8_t* block = data + headerSize + bandBlockSize * b;
            const auto d = (float)read24 (block + 2 * 3 * numBins) * 256.0f;
            for (int k = 0; k < numBins; ++k)
            {
                const float m = ((float)read24 (block + 3 * k) * 256.0f) * 4.656612873077393e-10f * 1.2f;
                const float p = ((float)read24 (block + 3 * numBins + 3 * k) * 256.0f) / d;
                if (k == 0)
                {
                    // Only the sign of the DC term is taken from its phase (0 or pi as written).
                    f[0] = std::cos (p) < 0.0f ? -m : m;
                    continue;
                }
                f[(size_t)k] = m * std::cos (p);
                f[(size_t)(numBins + k)] = m * std::sin (-p);
            }
            f[(size_t)numBins] = 0.0f;
            fft.inverseTransform (f.data(), x.data());
            for (int n = 0; n < bandLength; ++n)
                decoded[(size_t)(b * bandLength + n)] = x[(size_t)n] * (1.0f / 2048.0f);
        }
    }

    const auto end = decoded.begin() + filled * bandLength;
    if (!std::all_of (decoded.begin(), end, [] (float v) { return std::isfinite (v); }))
        return false;
    for (int b = 0; b < filled; ++b)
        std::copy_n (decoded.begin() + b * bandLength, bandLength, bands[b]);
    return true;
}
} // namespace PellmixVir
