// IR slot loading (WAV at 44.1 kHz, which is resampled; WAV at 96 kHz, taken as is; a spectral
// vir file) and the vir writer. The files are made once, in a temporary folder.
// BM_LoadWav44100Split times the parts of the 44.1 kHz load, each as a median over the
// iterations: load_ms the whole load, resampler_setup_ms the converter's set-up (libresample's
// filter for the ratio is designed at the first set-up only, then copied), resampler_convert_ms
// the three bands' conversion as a load runs it (libresample, side by side), and rest_ms the
// remainder (reading and decoding the file, the band low-pass filters, the checks and copies).
// BM_LoadProjectEightWav44100 loads eight one-second 44.1 kHz WAV files, one per slot, with the
// engine calls the IR blocks make when they take a loaded project (the eight files read and
// converted side by side, then per slot mute, solo, the file, the record's parameters and a
// blend with the EQ gains): the message thread's work from the project's records to the last
// blend, with the device prepared at 48 kHz.
#include "engine/PellmixEngine.h"
#include "engine/PellmixIrSlot.h"
#include "engine/PellmixResampler.h"
#include "engine/PellmixVirFile.h"
#include "tests/support/TestSignals.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <vector>

namespace
{
std::vector<float> decayingNoise (int n, unsigned seed)
{
    // Uniform noise of RMS 0.3.
    auto x = pellmix_test::noise (n, seed, std::sqrt (12.0f) * 0.3f);
    for (int i = 0; i < n; ++i)
        x[(size_t)i] *= std::exp (-(float)i / (0.05f * (float)n));
    return x;
}

struct Files
{
    juce::TemporaryFile folder;
    juce::File wav44, wav96, vir;
    std::vector<juce::File> project; // eight 44.1 kHz files

    Files()
    {
        folder.getFile().createDirectory();
        wav44 = writeWav ("ir44.wav", 44100.0);
        wav96 = writeWav ("ir96.wav", 96000.0);
        for (unsigned s = 0; s < 8; ++s)
            project.push_back (writeWav (("project" + std::to_string (s) + ".wav").c_str(), 44100.0, 10 + s));
        vir = folder.getFile().getChildFile ("ir.vir");
        const auto band = decayingNoise (PellmixVir::bandLength, 3);
        const float* bands[] = {band.data(), band.data(), band.data()};
        PellmixVir::writeVirFile (vir, bands, PellmixVir::bandLength);
    }

    ~Files() { folder.getFile().deleteRecursively(); }

    // One second of decaying noise, 24-bit mono.
    juce::File writeWav (const char* name, double rate, unsigned seed = 1)
    {
        const auto file = folder.getFile().getChildFile (name);
        const auto samples = decayingNoise ((int)rate, seed);
        const float* channels[] = {samples.data()};
        juce::WavAudioFormat format;
        std::unique_ptr<juce::AudioFormatWriter> writer (
            format.createWriterFor (new juce::FileOutputStream (file), rate, 1, 24, {}, 0));
        writer->writeFromFloatArrays (channels, 1, (int)samples.size());
        return file;
    }
};

Files& files()
{
    static Files instance;
    return instance;
}

void loadInto (benchmark::State& state, const juce::File& file)
{
    PellmixIrSlot slot;
    for (auto _ : state)
    {
        if (!slot.loadFile (file, 96000.0))
            state.SkipWithError ("load failed");
        benchmark::DoNotOptimize (slot.bands[0].data());
    }
    state.counters["length"] = slot.getLength();
}

void BM_LoadWav44100OneSecond (benchmark::State& state)
{
    loadInto (state, files().wav44);
}

double medianOf (std::vector<double> v)
{
    std::nth_element (v.begin(), v.begin() + (long)v.size() / 2, v.end());
    return v[v.size() / 2];
}

void BM_LoadWav44100Split (benchmark::State& state)
{
    using Clock = std::chrono::steady_clock;
    const auto ms = [] (Clock::time_point a, Clock::time_point b)
    { return std::chrono::duration<double, std::milli> (b - a).count(); };

    PellmixIrSlot slot;
    PellmixResampler resampler;
    const int inLength = 44100, outLength = 96000;
    const auto band = decayingNoise (inLength, 1);
    std::vector<std::vector<float>> out (3, std::vector<float> ((size_t)outLength));
    std::vector<double> load, setup, convert;
    for (auto _ : state)
    {
        const auto t0 = Clock::now();
        if (!slot.loadFile (files().wav44, 96000.0))
            state.SkipWithError ("load failed");
        const auto t1 = Clock::now();
        resampler.setup (44100.0, 96000.0, inLength, outLength);
        const auto t2 = Clock::now();
        const float* in[] = {band.data(), band.data(), band.data()};
        float* outs[] = {out[0].data(), out[1].data(), out[2].data()};
        resampler.processEach (in, outs, 3);
        benchmark::DoNotOptimize (out.data());
        const auto t3 = Clock::now();
        load.push_back (ms (t0, t1));
        setup.push_back (ms (t1, t2));
        convert.push_back (ms (t2, t3));
    }
    const double l = medianOf (load), s = medianOf (setup), c = medianOf (convert);
    state.counters["load_ms"] = l;
    state.counters["resampler_setup_ms"] = s;
    state.counters["resampler_convert_ms"] = c;
    state.counters["rest_ms"] = l - s - c;
}

void BM_LoadWav96000OneSecond (benchmark::State& state)
{
    loadInto (state, files().wav96);
}

void BM_LoadSpectralVir (benchmark::State& state)
{
    loadInto (state, files().vir);
}

void BM_LoadProjectEightWav44100 (benchmark::State& state)
{
    PellmixEngine engine;
    engine.initialise();
    engine.prepareToPlay (512, 48000.0);
    engine.reset();
    float gains[31] = {};
    std::vector<std::pair<int, juce::File>> project;
    for (const auto& path : files().project)
        project.emplace_back ((int)project.size(), path);
    for (auto _ : state)
    {
        auto prepared = engine.prepareIrs (project);
        for (int s = 0; s < (int)prepared.size(); ++s)
        {
            engine.setMute (s, false);
            engine.setSolo (s, false);
            if (!engine.loadPreparedIr (prepared[(size_t)s]))
                state.SkipWithError ("load failed");
            engine.setIrParameters (s, 2048, 0, 0.0f, false, 0.0f);
            engine.blend (gains, true, true);
        }
    }
}

void BM_WriteVirFile (benchmark::State& state)
{
    const auto band = decayingNoise (2048, 7);
    const float* bands[] = {band.data(), band.data(), band.data()};
    const auto target = files().folder.getFile().getChildFile ("export.vir");
    for (auto _ : state)
        if (!PellmixVir::writeVirFile (target, bands, 2048))
            state.SkipWithError ("write failed");
}

void BM_EncodeSpectral (benchmark::State& state)
{
    const auto band = decayingNoise (2048, 7);
    const float* bands[] = {band.data(), band.data(), band.data()};
    for (auto _ : state)
        benchmark::DoNotOptimize (PellmixVir::encodeSpectral (bands, 2048));
}
} // namespace

BENCHMARK (BM_LoadWav44100OneSecond)->Unit (benchmark::kMillisecond);
BENCHMARK (BM_LoadWav44100Split)->Unit (benchmark::kMillisecond);
BENCHMARK (BM_LoadWav96000OneSecond)->Unit (benchmark::kMillisecond);
BENCHMARK (BM_LoadSpectralVir)->Unit (benchmark::kMillisecond);
BENCHMARK (BM_LoadProjectEightWav44100)->Unit (benchmark::kMillisecond)->UseRealTime();
BENCHMARK (BM_WriteVirFile)->Unit (benchmark::kMillisecond);
BENCHMARK (BM_EncodeSpectral)->Unit (benchmark::kMillisecond);
