// Resampler cost per call (reset + one whole-signal conversion, as the IR slots and convolvers
// use it), the reset alone, and the close-and-reopen that the reset avoids. The quality report
// (BM_ResamplerQuality, printed as a table by scripts/resampler_quality.sh) sets the resampler
// beside libsamplerate's best sinc converter and soxr's very-high quality on the same tones,
// 20 Hz to 20 kHz: SNR (everything but the fitted tone counts as noise, images and aliases
// included), the ripple of the gain over the tones, and the gain at 18 and 20 kHz.
#include "engine/PellmixResampler.h"

#include <benchmark/benchmark.h>
#include <samplerate.h>
#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace
{
struct Conversion
{
    double inRate, outRate;
    int inBlock;
    int outBlock() const { return int (std::floor (inBlock * outRate / inRate)); }
};

// 2048 -> 940 (libresample), 2048 -> 1024 (half-band), 88200 -> 192000 (libresample).
const Conversion costCases[] = {{96000, 44100, 2048}, {96000, 48000, 2048}, {88200, 192000, 2048}};

std::vector<float> tone (int n, double freq, double rate, double amplitude)
{
    std::vector<float> x (static_cast<size_t> (n));
    for (int i = 0; i < n; ++i)
        x[size_t (i)] = float (amplitude * std::sin (2.0 * M_PI * freq * i / rate));
    return x;
}

void BM_ResamplerProcess (benchmark::State& state)
{
    const auto& c = costCases[state.range (0)];
    PellmixResampler r;
    r.setup (c.inRate, c.outRate, c.inBlock, c.outBlock());
    const auto in = tone (c.inBlock, 1000.0, c.inRate, 0.5);
    std::vector<float> out (size_t (c.outBlock()));
    for (auto _ : state)
    {
        r.reset();
        r.process (in.data(), out.data());
        benchmark::DoNotOptimize (out.data());
    }
    state.SetLabel (std::to_string (int (c.inRate)) + "->" + std::to_string (int (c.outRate)) + ", " +
                    std::to_string (c.inBlock) + "->" + std::to_string (c.outBlock()));
}
BENCHMARK (BM_ResamplerProcess)->DenseRange (0, 2)->Unit (benchmark::kMicrosecond);

void BM_ResamplerReset (benchmark::State& state)
{
    const auto& c = costCases[state.range (0)];
    PellmixResampler r;
    r.setup (c.inRate, c.outRate, c.inBlock, c.outBlock());
    for (auto _ : state)
        r.reset();
    state.SetLabel (std::to_string (int (c.inRate)) + "->" + std::to_string (int (c.outRate)));
}
BENCHMARK (BM_ResamplerReset)->DenseRange (0, 2)->Unit (benchmark::kMicrosecond);

// What a reset by closing and reopening the converter would cost: a new setup of the same ratio.
void BM_ResamplerSetupGeneral (benchmark::State& state)
{
    PellmixResampler r;
    for (auto _ : state)
        r.setup (96000, 44100, 2048, 940);
}
BENCHMARK (BM_ResamplerSetupGeneral)->Unit (benchmark::kMicrosecond);

// ---------------------------------------------------------------------------------------------
// Quality report.

enum Converter
{
    pellmix,
    libsamplerateBest,
    soxrVeryHigh
};
const char* const converterNames[] = {"PellmixResampler", "libsamplerate SINC_BEST", "soxr VHQ"};

const Conversion qualityCases[] = {
    {44100, 96000, 65536}, {48000, 96000, 65536}, {96000, 44100, 65536},
    {96000, 48000, 65536}, {96000, 88200, 65536},
};
const double qualityTones[] = {20, 100, 1000, 5000, 10000, 15000, 18000, 20000};

std::vector<float> convert (Converter which, const Conversion& c, const std::vector<float>& in)
{
    std::vector<float> out (size_t (c.outBlock()), 0.0f);
    if (which == pellmix)
    {
        PellmixResampler r;
        r.setup (c.inRate, c.outRate, c.inBlock, c.outBlock());
        r.reset();
        r.process (in.data(), out.data());
    }
    else if (which == libsamplerateBest)
    {
        SRC_DATA data{};
        data.data_in = in.data();
        data.data_out = out.data();
        data.input_frames = long (in.size());
        data.output_frames = long (out.size());
        data.src_ratio = c.outRate / c.inRate;
        src_simple (&data, SRC_SINC_BEST_QUALITY, 1);
    }
    else
    {
        const auto io = soxr_io_spec (SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        const auto quality = soxr_quality_spec (SOXR_VHQ, 0);
        size_t done = 0;
        soxr_oneshot (c.inRate, c.outRate, 1, in.data(), in.size(), nullptr, out.data(), out.size(), &done,
                      &io, &quality, nullptr);
    }
    return out;
}

struct Fit
{
    double gainDb, snrDb;
};

// Least-squares fit of a sine and cosine of the known output frequency (plus an offset) over the
// middle half of the output, away from both ends; the residual is noise, distortion and aliases.
Fit fitTone (const std::vector<float>& y, double freq, double rate, double amplitude)
{
    const size_t begin = y.size() / 4, end = 3 * y.size() / 4;
    double m[3][3] = {}, v[3] = {};
    for (size_t i = begin; i < end; ++i)
    {
        const double w = 2.0 * M_PI * freq * double (i) / rate;
        const double basis[3] = {std::sin (w), std::cos (w), 1.0};
        for (int r = 0; r < 3; ++r)
        {
            v[r] += basis[r] * y[i];
            for (int k = 0; k < 3; ++k)
                m[r][k] += basis[r] * basis[k];
        }
    }
    // Gaussian elimination on the 3x3 normal equations.
    for (int p = 0; p < 3; ++p)
        for (int r = p + 1; r < 3; ++r)
        {
            const double f = m[r][p] / m[p][p];
            for (int k = p; k < 3; ++k)
                m[r][k] -= f * m[p][k];
            v[r] -= f * v[p];
        }
    double coef[3];
    for (int r = 2; r >= 0; --r)
    {
        double s = v[r];
        for (int k = r + 1; k < 3; ++k)
            s -= m[r][k] * coef[k];
        coef[r] = s / m[r][r];
    }
    double residual = 0.0, signal = 0.0;
    for (size_t i = begin; i < end; ++i)
    {
        const double w = 2.0 * M_PI * freq * double (i) / rate;
        const double fitted = coef[0] * std::sin (w) + coef[1] * std::cos (w);
        residual += std::pow (y[i] - fitted - coef[2], 2.0);
        signal += fitted * fitted;
    }
    const double fittedAmplitude = std::hypot (coef[0], coef[1]);
    return {20.0 * std::log10 (fittedAmplitude / amplitude),
            10.0 * std::log10 (signal / std::max (residual, 1e-300))};
}

void BM_ResamplerQuality (benchmark::State& state)
{
    const auto& c = qualityCases[state.range (0)];
    const auto which = Converter (state.range (1));
    double snr1k = 0, worstSnr = 1e9, minGain = 1e9, maxGain = -1e9, gain18k = 0, gain20k = 0;
    for (auto _ : state)
    {
        for (double f : qualityTones)
        {
            const auto out = convert (which, c, tone (c.inBlock, f, c.inRate, 0.5));
            const auto fit = fitTone (out, f, c.outRate, 0.5);
            worstSnr = std::min (worstSnr, fit.snrDb);
            minGain = std::min (minGain, fit.gainDb);
            maxGain = std::max (maxGain, fit.gainDb);
            if (f == 1000)
                snr1k = fit.snrDb;
            if (f == 18000)
                gain18k = fit.gainDb;
            if (f == 20000)
                gain20k = fit.gainDb;
        }
    }
    state.counters["SNR_1k_dB"] = snr1k;
    state.counters["SNR_worst_dB"] = worstSnr;
    state.counters["ripple_dB"] = maxGain - minGain;
    state.counters["gain_18k_dB"] = gain18k;
    state.counters["gain_20k_dB"] = gain20k;
    state.SetLabel (std::string (converterNames[which]) + ", " + std::to_string (int (c.inRate)) + "->" +
                    std::to_string (int (c.outRate)));
}
BENCHMARK (BM_ResamplerQuality)
    ->ArgsProduct ({{0, 1, 2, 3, 4}, {pellmix, libsamplerateBest, soxrVeryHigh}})
    ->Iterations (1)
    ->Unit (benchmark::kMillisecond);
} // namespace
