#pragma once
// Shared pieces of the engine tests: IR files written on the fly, an engine with loaded slots,
// a direct (double precision) convolution as the reference, and raw float files for the numpy
// oracles.
#include "engine/PellmixEngine.h"
#include "engine/PellmixResampler.h"
#include "support/Fixtures.h"
#include "support/TestSignals.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace engine_test
{
// 44100 / rate: the convolver's output scale.
inline float outputScale (double rate)
{
    return (float)(44100.0 / rate);
}

// Writes a mono 32-bit float WAV file (read back bit for bit by the slot).
inline juce::File writeWav (const std::string& path, const std::vector<float>& samples, double rate)
{
    juce::File file (path);
    file.deleteFile();
    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatWriter> writer (
        wav.createWriterFor (new juce::FileOutputStream (file), rate, 1, 32, {}, 0));
    const float* channels[] = {samples.data()};
    writer->writeFromFloatArrays (channels, 1, (int)samples.size());
    return file;
}

// A decaying IR of a few sines well below 20 kHz: every resampler agrees on it closely.
inline std::vector<float> decayingIr (int length, double rate, double seed)
{
    std::vector<float> ir ((size_t)length);
    for (int i = 0; i < length; ++i)
    {
        const double t = i / rate;
        ir[(size_t)i] =
            (float)(std::exp (-t * 900.0) *
                    (std::sin (2 * M_PI * 310.0 * seed * t + seed) + 0.6 * std::sin (2 * M_PI * 1730.0 * t) +
                     0.3 * std::sin (2 * M_PI * 4700.0 / seed * t + 1.0)));
    }
    return ir;
}

using pellmix_test::noise;

// An initialised engine whose slots are filled from files in a temporary folder.
struct EngineWithFiles
{
    pellmix_test::TempDir dir{"pellmix-engine"};
    PellmixEngine engine;

    EngineWithFiles() { engine.initialise(); }

    juce::File file (const std::string& name, const std::vector<float>& samples, double rate)
    {
        return writeWav (dir.child (name), samples, rate);
    }

    // Loads samples into a slot and shapes it with the full window and the given gain.
    void load (int slot, const std::vector<float>& samples, double rate = 96000.0, float gainDb = 0.0f,
               bool invert = false)
    {
        const auto f =
            file ("slot" + std::to_string (slot) + "-" + std::to_string (counter++) + ".wav", samples, rate);
        if (!engine.loadIr (slot, f))
            throw std::runtime_error ("load failed");
        engine.setIrParameters (slot, 2048, 0, 0.0f, invert, gainDb);
    }

    int counter = 0;
};

// An impulse of height 1 at `at`.
inline std::vector<float> impulse (int length, int at)
{
    std::vector<float> x ((size_t)length, 0.0f);
    x[(size_t)at] = 1.0f;
    return x;
}

// y[t] for t in [begin, end) of the convolution of ir with x, where x counts only from `from`.
inline std::vector<double> convolve (const std::vector<float>& x, const std::vector<float>& ir, int begin,
                                     int end, int from = 0)
{
    std::vector<double> y ((size_t)(end - begin), 0.0);
    for (int t = begin; t < end; ++t)
    {
        double acc = 0.0;
        const int lo = std::max (from, t - (int)ir.size() + 1);
        for (int u = lo; u <= t && u < (int)x.size(); ++u)
            acc += (double)ir[(size_t)(t - u)] * x[(size_t)u];
        y[(size_t)(t - begin)] = acc;
    }
    return y;
}

// The IR as the convolver holds it at `rate`: the first 2048 samples at 96000 Hz, converted.
inline std::vector<float> irAtRate (const std::vector<float>& ir96, double rate)
{
    const int l = (int)std::floor (2048.0 * rate / 96000.0);
    std::vector<float> out ((size_t)l);
    if (rate == 96000.0)
    {
        std::copy (ir96.begin(), ir96.begin() + l, out.begin());
        return out;
    }
    PellmixResampler r;
    r.setup (96000.0, rate, 2048, l);
    r.reset();
    r.process (ir96.data(), out.data());
    return out;
}

inline void writeFloats (const std::string& path, const float* data, size_t count)
{
    std::ofstream out (path, std::ios::binary);
    out.write (reinterpret_cast<const char*> (data), (std::streamsize) (count * sizeof (float)));
}

inline void writeFloats (const std::string& path, const std::vector<float>& data)
{
    writeFloats (path, data.data(), data.size());
}

// Runs one engine block over a mono buffer in place.
inline void processInPlace (PellmixEngine& engine, float* data, int n, bool enabled = true)
{
    const float* in[] = {data};
    float* out[] = {data};
    engine.processBlock (in, out, 1, n, enabled);
}
} // namespace engine_test
