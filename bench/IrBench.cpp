// IR slot loading (WAV at 44.1 kHz, which is resampled; WAV at 96 kHz, taken as is; a spectral
// vir file) and the vir writer. The files are made once, in a temporary folder.
#include "engine/PellmixIrSlot.h"
#include "engine/PellmixVirFile.h"
#include "tests/support/TestSignals.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <benchmark/benchmark.h>

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

    Files()
    {
        folder.getFile().createDirectory();
        wav44 = writeWav ("ir44.wav", 44100.0);
        wav96 = writeWav ("ir96.wav", 96000.0);
        vir = folder.getFile().getChildFile ("ir.vir");
        const auto band = decayingNoise (PellmixVir::bandLength, 3);
        const float* bands[] = {band.data(), band.data(), band.data()};
        PellmixVir::writeVirFile (vir, bands, PellmixVir::bandLength);
    }

    ~Files() { folder.getFile().deleteRecursively(); }

    // One second of decaying noise, 24-bit mono.
    juce::File writeWav (const char* name, double rate)
    {
        const auto file = folder.getFile().getChildFile (name);
        const auto samples = decayingNoise ((int)rate, 1);
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

void BM_LoadWav96000OneSecond (benchmark::State& state)
{
    loadInto (state, files().wav96);
}

void BM_LoadSpectralVir (benchmark::State& state)
{
    loadInto (state, files().vir);
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
BENCHMARK (BM_LoadWav96000OneSecond)->Unit (benchmark::kMillisecond);
BENCHMARK (BM_LoadSpectralVir)->Unit (benchmark::kMillisecond);
BENCHMARK (BM_WriteVirFile)->Unit (benchmark::kMillisecond);
BENCHMARK (BM_EncodeSpectral)->Unit (benchmark::kMillisecond);
