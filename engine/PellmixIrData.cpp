#include "engine/PellmixIrData.h"

#include "engine/FFTReal.h"
#include "engine/PellmixAudioOpener.h"
#include "engine/PellmixInputFile.h"
#include "engine/PellmixResampler.h"
#include "engine/PellmixVirFile.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
constexpr double lowPassBand1 = 5000.0;
constexpr double lowPassBand2 = 3333.3;

// The largest sample magnitude taken from an audio file: 120 dB above full scale. No IR comes
// near it, while samples near float's largest value overflow in the filtering done before the
// level is normalised (low-pass bands, rate conversion, fractional delay).
constexpr float maxSampleMagnitude = 1.0e6f;

bool allUsable (const std::vector<float>& samples)
{
    return std::all_of (samples.begin(), samples.end(),
                        [] (float v) { return std::isfinite (v) && std::abs (v) <= maxSampleMagnitude; });
}
} // namespace

PellmixIrData::PellmixIrData()
    : fft (std::make_unique<FFTReal<float>> (PellmixVir::fftSize))
    , resampler (std::make_unique<PellmixResampler>())
{
}

PellmixIrData::~PellmixIrData() = default;

bool PellmixIrData::readAudioFile (const juce::File& file, Loaded& out, double& rate)
{
    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    auto audio = PellmixAudioOpener::open (file, formats);
    if (audio.reader == nullptr)
        return false;
    auto& reader = *audio.reader;
    rate = reader.sampleRate;
    if (rate < minFileRate)
        return false;

    const juce::int64 declared = reader.lengthInSamples;
    juce::int64 n = declared;
    if ((double)n > 2.0 * rate)
        n = 2 * (juce::int64)std::floor (rate); // at most two seconds are kept
    out.length = (int)std::max<juce::int64> (n, 0);

    if (out.length > 0)
    {
        std::vector<int> raw ((size_t)out.length);
        int* channels[] = {raw.data()};
        if (!reader.read (channels, 1, 0, out.length, false))
            return false;

        // The file must hold every sample its header declares, the last one included.
        if (declared > n)
        {
            int last = 0;
            int* lastChannel[] = {&last};
            if (!reader.read (lastChannel, 1, declared - 1, 1, false))
                return false;
        }
        if (audio.readCameUpShort())
            return false;

        // Floating-point readers deliver float bit patterns in the integer buffer.
        std::vector<float> samples ((size_t)out.length);
        if (reader.usesFloatingPointData)
            std::memcpy (samples.data(), raw.data(), samples.size() * sizeof (float));
        else
            std::transform (raw.begin(), raw.end(), samples.begin(),
                            [] (int v) { return (float)v * (1.0f / 2147483648.0f); });
        if (!allUsable (samples))
            return false;
        out.bands.fill (samples);
    }
    lowPassBands (out, rate, out.length);
    return true;
}

bool PellmixIrData::readVirFile (const juce::File& file, Loaded& out)
{
    auto stream = PellmixInputFile::open (file);
    if (stream == nullptr)
        return false;

    // Only the bytes the variant needs are read, whatever the file's size.
    std::vector<uint8_t> bytes ((size_t)PellmixVir::variantBytesNeeded);
    if (stream->read (bytes.data(), PellmixVir::variantBytesNeeded) != PellmixVir::variantBytesNeeded)
        return false;
    const int needed = PellmixVir::bytesNeeded (bytes.data());
    bytes.resize ((size_t)needed);
    const int rest = needed - PellmixVir::variantBytesNeeded;
    if (stream->read (bytes.data() + PellmixVir::variantBytesNeeded, rest) != rest)
        return false;

    for (auto& band : out.bands)
        band.assign ((size_t)PellmixVir::bandLength, 0.0f);
    float* targets[] = {out.bands[0].data(), out.bands[1].data(), out.bands[2].data()};
    if (!PellmixVir::decode (bytes.data(), bytes.size(), targets, *fft))
        return false;
    out.length = PellmixVir::bandLength;

    if (!PellmixVir::isSpectral (bytes.data()))
    {
        out.bands[1] = out.bands[0];
        out.bands[2] = out.bands[0];
        lowPassBands (out, PellmixVir::sampleRate, out.length);
    }
    return true;
}

void PellmixIrData::lowPassBands (Loaded& data, double rate, int n)
{
    // At or below 10 kHz the 5 kHz cut-off reaches the Nyquist frequency, where the filter is
    // no longer a stable low-pass: both bands then stay copies of band 0.
    if (n <= 0 || rate <= 2.0 * lowPassBand1)
        return;

    juce::IIRFilter filter;
    filter.setCoefficients (juce::IIRCoefficients::makeLowPass (rate, lowPassBand1));
    filter.reset();
    filter.processSamples (data.bands[1].data(), n);
    filter.setCoefficients (juce::IIRCoefficients::makeLowPass (rate, lowPassBand2));
    filter.reset();
    filter.processSamples (data.bands[2].data(), n);
}

void PellmixIrData::resampleBands (Loaded& data, double fromRate, double toRate, int inputLength,
                                   int outputLength)
{
    if (fromRate == toRate)
        return;

    data.length = outputLength;
    if (inputLength <= 0 || outputLength <= 0)
    {
        for (auto& band : data.bands)
            band.assign ((size_t)std::max (outputLength, 0), 0.0f);
        return;
    }

    resampler->setup (fromRate, toRate, inputLength, outputLength);
    Bands converted;
    const float* in[numBands];
    float* out[numBands];
    for (size_t b = 0; b < (size_t)numBands; ++b)
    {
        converted[b].resize ((size_t)outputLength);
        in[b] = data.bands[b].data();
        out[b] = converted[b].data();
    }
    resampler->processEach (in, out, numBands);
    data.bands = std::move (converted);
}

void PellmixIrData::take (Loaded& data, double rate)
{
    bands = std::move (data.bands);
    length = data.length;
    sampleRate = rate;
}
