#include "engine/PellmixTestSignal.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr double amplitude = 0.7071067811865476;  // -3 dB below full scale
constexpr double logRange = 6.907755278982137;    // ln 1000: the sweep covers 20 Hz to 20 kHz
constexpr double startOmega = 125.66370964050293; // 2 pi x 20 Hz, with pi in single precision
constexpr double ln2 = 0.6931471805599453;
constexpr double pi = 3.141592653589793;

// Quadratic fade-in over the first F samples and fade-out over the last F (gain 0 at both ends).
void applyFades (std::vector<float>& x, int F)
{
    const int n = (int)x.size();
    for (int i = 0; i < F && i < n; ++i)
    {
        const double g = (double)i / (double)F;
        x[(size_t)i] = (float)((double)x[(size_t)i] * g * g);
        x[(size_t)(n - 1 - i)] = (float)((double)x[(size_t)(n - 1 - i)] * g * g);
    }
}
} // namespace

void PellmixTestSignal::makeSine (int rate, int n, double frequency)
{
    sampleRate = rate;
    bits = 32;
    n = std::max (n, 0);
    signal.assign ((size_t)n, 0.0f);
    for (int t = 0; t < n; ++t)
        signal[(size_t)t] = (float)(std::sin (2.0 * ((double)t / (double)rate) * pi * frequency) * amplitude);
    inverse = signal;
}

void PellmixTestSignal::makeSweep (int rate, int N, int F)
{
    sampleRate = rate;
    bits = 32;
    N = std::max (N, 0);
    signal.assign ((size_t)N, 0.0f);
    inverse.assign ((size_t)N, 0.0f);

    const double duration = (double)N / (double)rate;
    const double K = startOmega * duration / logRange;
    const auto sweepAt = [&] (int t)
    { return std::sin ((std::exp ((double)t / (double)N * logRange) - 1.0) * K) * amplitude; };

    for (int t = 0; t < N; ++t)
        signal[(size_t)t] = (float)sweepAt (t);

    // The reversed sweep, falling 6 dB for each doubling of exp (R j / N): the weighting that makes
    // the deconvolved spectrum flat.
    for (int j = 0; j < N; ++j)
    {
        const double gain = std::pow (10.0, (double)j * logRange / (double)N * (-6.0) / ln2 / 20.0);
        inverse[(size_t)j] = (float)(sweepAt (N - 1 - j) * gain);
    }

    if (F > 0)
    {
        applyFades (signal, F);
        applyFades (inverse, F);
    }
}

juce::String PellmixTestSignal::fileName (int kind, bool raw)
{
    const juce::String stem = kind == 1 ? "sinustest." : kind == 2 ? "inverse." : "sinus.";
    return stem + (raw ? "raw" : "wav");
}

bool PellmixTestSignal::writeFile (const juce::File& folder, int kind, bool raw, int count) const
{
    count = std::max (count, 0);
    const auto& source = kind == 2 ? inverse : signal;

    juce::AudioSampleBuffer buffer (1, count);
    buffer.clear();
    const int available = std::min (count, (int)source.size());
    if (available > 0)
        buffer.addFrom (0, 0, source.data(), available, 1.0f);

    const auto file = folder.getChildFile (fileName (kind, raw));
    file.deleteFile();
    if (!file.create())
        return false;

    const bool written = raw ? writeRaw (file, buffer) : writeWav (file, buffer);
    if (!written)
        file.deleteFile(); // a short sweep or filter must not pass for a whole one
    return written;
}

bool PellmixTestSignal::writeRaw (const juce::File& file, const juce::AudioSampleBuffer& buffer) const
{
    {
        auto stream = file.createOutputStream (32768);
        if (stream == nullptr || !stream->openedOk())
            return false;
        const float* samples = buffer.getReadPointer (0);
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            if (!stream->writeFloat (samples[i]))
                return false;
        stream->flush();
        if (stream->getStatus().failed())
            return false;
    }
    return file.getSize() == 4 * (juce::int64)buffer.getNumSamples();
}

bool PellmixTestSignal::writeWav (const juce::File& file, const juce::AudioSampleBuffer& buffer) const
{
    {
        auto stream = file.createOutputStream (32768);
        if (stream == nullptr || !stream->openedOk())
            return false;

        juce::WavAudioFormat format;
        std::unique_ptr<juce::AudioFormatWriter> writer (
            format.createWriterFor (stream.get(), (double)sampleRate, 1, bits, juce::StringPairArray(), 0));
        if (writer == nullptr)
            return false;
        stream.release(); // the writer owns the stream from here and closes it

        if (!writer->writeFromAudioSampleBuffer (buffer, 0, buffer.getNumSamples()))
            return false;
        if (!writer->flush())
            return false;
    }
    // A complete WAV holds at least every sample's 4 bytes besides its header.
    return file.getSize() > 4 * (juce::int64)buffer.getNumSamples();
}
