#pragma once
// Shared pieces of the engine tests: IR files written on the fly, an engine with loaded slots,
// a direct (double precision) convolution as the reference, the expected streams around a
// crossfade, and raw float files for the numpy oracles.
#include "engine/PellmixEngine.h"
#include "engine/PellmixResampler.h"
#include "support/Fixtures.h"
#include "support/TestSignals.h"

#include <gtest/gtest.h>
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

inline constexpr double rate96 = 96000.0;
inline constexpr float scale96 = 0.459375f;

// An engine at 96000 Hz (no resampling: the convolvers hold the sum's first 2048 samples) with
// one slot playing `ir`.
struct PlayingEngine : EngineWithFiles
{
    explicit PlayingEngine (const std::vector<float>& ir, int block)
    {
        load (0, ir);
        engine.blend (nullptr, false, false);
        engine.prepareToPlay (block, rate96);
        engine.reset();
    }

    // Re-blends slot 0 from new samples; returns the blended IR.
    std::vector<float> reblend (const std::vector<float>& ir, bool invert = false)
    {
        load (0, ir, 96000.0, 0.0f, invert);
        engine.blend (nullptr, false, false);
        return engine.getSum().bands[0];
    }

    std::vector<float> run (const std::vector<float>& x, size_t from, size_t count, int block,
                            bool enabled = true)
    {
        std::vector<float> y (x.begin() + (long)from, x.begin() + (long)(from + count));
        for (size_t offset = 0; offset < count; offset += (size_t)block)
            processInPlace (engine, y.data() + offset, (int)std::min ((size_t)block, count - offset),
                            enabled);
        return y;
    }

    // Blocks [first, first + count) of x, appended to `heard`.
    void play (const std::vector<float>& x, int first, int count, int block, std::vector<float>& heard,
               bool enabled = true)
    {
        const auto y = run (x, (size_t)(first * block), (size_t)(count * block), block, enabled);
        heard.insert (heard.end(), y.begin(), y.end());
    }
};

inline std::vector<double> scaled (std::vector<double> v, double s)
{
    for (auto& x : v)
        x *= s;
    return v;
}

// The expected crossfade block: old * (n - 1 - i) / (n - 1) + new * i / (n - 1).
inline std::vector<double> fade (const std::vector<double>& oldOut, const std::vector<double>& newOut)
{
    const double n = (double)oldOut.size();
    std::vector<double> y (oldOut.size());
    for (size_t i = 0; i < y.size(); ++i)
        y[i] = n < 2 ? newOut[i] : (oldOut[i] * (n - 1 - (double)i) + newOut[i] * (double)i) / (n - 1);
    return y;
}

inline void expectStream (const std::vector<float>& actual, const std::vector<double>& expected,
                          const char* what)
{
    ASSERT_EQ (actual.size(), expected.size()) << what;
    for (size_t i = 0; i < actual.size(); ++i)
        ASSERT_NEAR (actual[i], expected[i], 2e-5) << what << ", sample " << i;
}
// x[begin .. end) in double precision: the dry signal as the expectation of a stream.
inline std::vector<double> dry (const std::vector<float>& x, int begin, int end)
{
    return std::vector<double> (x.begin() + begin, x.begin() + end);
}

// Appends `part` to the expected stream.
inline void append (std::vector<double>& stream, const std::vector<double>& part)
{
    stream.insert (stream.end(), part.begin(), part.end());
}
} // namespace engine_test
