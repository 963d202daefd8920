// The blend engine in the audio callback and on the message thread:
// - processBlock per block at 44.1, 48 and 96 kHz, 64 to 2048 samples, as a fraction of the block
//   period, next to zita-convolver and a plain direct convolution on the same IR and input
//   (the outputs are checked equal before timing); each processBlock row also carries
//   zita-convolver's fraction and the ratio of the two, timed in alternating bursts;
// - the wall time of a blend and the time it holds the engine lock (1 and 8 slots, EQ on/off);
// - the longest processBlock call while another thread blends 50 times a second.
#include "bench/BenchTiming.h"
#include "engine/PellmixEngine.h"
#include "engine/PellmixResampler.h"
#include "tests/support/TestSignals.h"

#include <benchmark/benchmark.h>
#include <juce_audio_formats/juce_audio_formats.h>
#include <zita-convolver.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <utility>
#include <vector>

namespace
{
std::vector<float> decayingIr (int length, double rate, double seed)
{
    std::vector<float> ir ((size_t)length);
    for (int i = 0; i < length; ++i)
    {
        const double t = i / rate;
        ir[(size_t)i] = (float)(std::exp (-t * 700.0) * (std::sin (2 * M_PI * 310.0 * seed * t) +
                                                         0.5 * std::sin (2 * M_PI * 2900.0 * t)));
    }
    return ir;
}

using pellmix_test::noise;

// An engine with `slots` loaded slots (files in a temporary folder), blended once.
struct BenchEngine
{
    juce::TemporaryFile folderName;
    juce::File folder = folderName.getFile();
    PellmixEngine engine;

    explicit BenchEngine (int slots)
    {
        folder.createDirectory();
        engine.initialise();
        for (int s = 0; s < slots; ++s)
        {
            const auto ir = decayingIr (1800, 96000.0, 1.0 + 0.1 * s);
            const auto file = folder.getChildFile ("ir" + juce::String (s) + ".wav");
            juce::WavAudioFormat wav;
            std::unique_ptr<juce::AudioFormatWriter> writer (
                wav.createWriterFor (new juce::FileOutputStream (file), 96000.0, 1, 32, {}, 0));
            const float* channels[] = {ir.data()};
            writer->writeFromFloatArrays (channels, 1, (int)ir.size());
            writer.reset();
            engine.loadIr (s, file);
            engine.setIrParameters (s, 2048, 0, 10.0f * (float)s, s % 2 == 1, -(float)s);
        }
        engine.blend (nullptr, false, false);
    }

    ~BenchEngine() { folder.deleteRecursively(); }
};

std::vector<float> irAtRate (const std::vector<float>& ir96, double rate)
{
    const int l = (int)std::floor (2048.0 * rate / 96000.0);
    std::vector<float> out ((size_t)l);
    if (rate == 96000.0)
        return std::vector<float> (ir96.begin(), ir96.begin() + l);
    PellmixResampler r;
    r.setup (96000.0, rate, 2048, l);
    r.reset();
    r.process (ir96.data(), out.data());
    return out;
}

// A plain direct convolution with a history of the last IR-length inputs.
struct DirectConvolver
{
    std::vector<float> ir, history;
    size_t pos = 0;

    explicit DirectConvolver (std::vector<float> h)
        : ir (std::move (h))
        , history (ir.size(), 0.0f)
    {
    }

    void process (const float* in, float* out, int n, float scale)
    {
        const size_t l = ir.size();
        for (int i = 0; i < n; ++i)
        {
            pos = (pos + l - 1) % l;
            history[pos] = in[i];
            float acc = 0.0f;
            const size_t first = l - pos; // history[pos + k] for k < first, then wraps
            for (size_t k = 0; k < first; ++k)
                acc += ir[k] * history[pos + k];
            for (size_t k = first; k < l; ++k)
                acc += ir[k] * history[pos + k - l];
            out[i] = acc * scale;
        }
    }
};

// zita-convolver with one uniform partition of the block size, run in the calling thread.
struct ZitaConvolver
{
    Convproc proc;
    int block;

    ZitaConvolver (std::vector<float> ir, int blockSize)
        : block (blockSize)
    {
        const auto part = (uint32_t)std::max (blockSize, (int)Convproc::MINPART);
        proc.configure (1, 1, (uint32_t)ir.size(), (uint32_t)blockSize, part, part, 0.0f);
        proc.impdata_create (0, 0, 1, ir.data(), 0, (int32_t)ir.size());
        proc.start_process (0, 0);
    }

    ~ZitaConvolver()
    {
        proc.stop_process();
        proc.cleanup();
    }

    void process (const float* in, float* out, float scale)
    {
        std::copy (in, in + block, proc.inpdata (0));
        proc.process (true);
        const float* y = proc.outdata (0);
        for (int i = 0; i < block; ++i)
            out[i] = y[i] * scale;
    }
};

// Times the loop body itself and reports the mean call as a fraction of the block period.
template <typename Body>
void runTimed (benchmark::State& state, int block, double rate, Body&& body)
{
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
        body();
    const double seconds = std::chrono::duration<double> (std::chrono::steady_clock::now() - start).count();
    const double period = (double)block / rate;
    state.counters["period_fraction"] = seconds / ((double)state.iterations() * period);
}

// Runs `blocks` blocks of the same input through the engine, zita and the direct convolution
// and returns the largest difference relative to the output peak.
double outputsDiffer (int block, double rate)
{
    BenchEngine e (2);
    e.engine.prepareToPlay (block, rate);
    e.engine.reset();
    const auto ir = irAtRate (e.engine.getSum().bands[0], rate);
    const float scale = (float)(44100.0 / rate);
    ZitaConvolver zita (ir, block);
    DirectConvolver direct (ir);
    const int blocks = 8;
    const auto x = noise (block * blocks, 7);
    std::vector<float> a = x, b (x.size()), c (x.size());
    double peak = 0.0, diff = 0.0;
    for (int k = 0; k < blocks; ++k)
    {
        float* pa = a.data() + k * block;
        const float* in[] = {pa};
        float* out[] = {pa};
        e.engine.processBlock (in, out, 1, block, true);
        zita.process (x.data() + k * block, b.data() + k * block, scale);
        direct.process (x.data() + k * block, c.data() + k * block, block, scale);
    }
    for (size_t i = 0; i < x.size(); ++i)
    {
        peak = std::max (peak, (double)std::abs (c[i]));
        diff = std::max ({diff, (double)std::abs (a[i] - c[i]), (double)std::abs (b[i] - c[i])});
    }
    return diff / peak;
}

bool checkOutputs (benchmark::State& state, int block, double rate)
{
    const double d = outputsDiffer (block, rate);
    if (d > 1e-4)
    {
        state.SkipWithError ("outputs differ");
        return false;
    }
    return true;
}

using pellmix_bench::alternateBursts;

void BM_EngineProcessBlock (benchmark::State& state)
{
    const int block = (int)state.range (0);
    const double rate = (double)state.range (1);
    if (!checkOutputs (state, block, rate))
        return;
    BenchEngine e (8);
    e.engine.prepareToPlay (block, rate);
    e.engine.prepareSpectrum (PellmixEngine::outputSpectrum, 2048, 364, rate);
    e.engine.reset();
    auto x = noise (block, 3);
    const float* in[] = {x.data()};
    float* out[] = {x.data()};
    auto engineBlock = [&]
    {
        e.engine.processBlock (in, out, 1, block, true);
        benchmark::ClobberMemory();
        std::transform (x.begin(), x.end(), x.begin(), [] (float v) { return v * 0.5f + 0.1f; });
    };
    runTimed (state, block, rate, engineBlock);

    ZitaConvolver zita (irAtRate (e.engine.getSum().bands[0], rate), block);
    std::vector<float> y ((size_t)block);
    auto zitaBlock = [&]
    {
        zita.process (x.data(), y.data(), 1.0f);
        benchmark::DoNotOptimize (y.data());
    };
    const auto [engineSeconds, zitaSeconds] = alternateBursts (engineBlock, zitaBlock);
    const double period = (double)block / rate;
    state.counters["best_fraction"] = engineSeconds / period;
    state.counters["zita_fraction"] = zitaSeconds / period;
    state.counters["vsZita"] = engineSeconds / zitaSeconds;
    state.SetLabel ("N=" + std::to_string (e.engine.getConvolver (0).getFftSize()));
}

void BM_ZitaConvolver (benchmark::State& state)
{
    const int block = (int)state.range (0);
    const double rate = (double)state.range (1);
    if (!checkOutputs (state, block, rate))
        return;
    BenchEngine e (1);
    ZitaConvolver zita (irAtRate (e.engine.getSum().bands[0], rate), block);
    auto x = noise (block, 3);
    std::vector<float> y ((size_t)block);
    runTimed (state, block, rate,
              [&]
              {
                  zita.process (x.data(), y.data(), 1.0f);
                  benchmark::DoNotOptimize (y.data());
              });
}

void BM_DirectConvolution (benchmark::State& state)
{
    const int block = (int)state.range (0);
    const double rate = (double)state.range (1);
    if (!checkOutputs (state, block, rate))
        return;
    BenchEngine e (1);
    DirectConvolver direct (irAtRate (e.engine.getSum().bands[0], rate));
    auto x = noise (block, 3);
    std::vector<float> y ((size_t)block);
    runTimed (state, block, rate,
              [&]
              {
                  direct.process (x.data(), y.data(), block, 1.0f);
                  benchmark::DoNotOptimize (y.data());
              });
}

void blockAndRateArgs (benchmark::internal::Benchmark* b)
{
    for (int rate : {44100, 48000, 96000})
        for (int block : {64, 128, 256, 512, 1024, 2048})
            b->Args ({block, rate});
}

BENCHMARK (BM_EngineProcessBlock)->Apply (blockAndRateArgs)->Unit (benchmark::kMicrosecond);
BENCHMARK (BM_ZitaConvolver)->Apply (blockAndRateArgs)->Unit (benchmark::kMicrosecond);
BENCHMARK (BM_DirectConvolution)->Apply (blockAndRateArgs)->Unit (benchmark::kMicrosecond);

double median (std::vector<double> v)
{
    if (v.empty())
        return 0.0;
    std::nth_element (v.begin(), v.begin() + (long)v.size() / 2, v.end());
    return v[v.size() / 2];
}

double maximum (const std::vector<double>& v)
{
    return v.empty() ? 0.0 : *std::max_element (v.begin(), v.end());
}

// Wall time of a blend, the time it holds the engine lock and the time of its publish (from asking
// for the lock to releasing it), median and maximum in ns.
void BM_EngineBlend (benchmark::State& state)
{
    const int slots = (int)state.range (0);
    const bool eq = state.range (1) != 0;
    BenchEngine e (slots);
    e.engine.prepareToPlay (64, 48000.0);
    e.engine.reset();
    std::vector<float> gains (31, 0.0f);
    for (size_t i = 0; i < gains.size(); ++i)
        gains[i] = (float)((int)(i % 7) - 3) * 2.0f;
    std::vector<double> locked, published;
    int round = 0;
    for (auto _ : state)
    {
        e.engine.blend (gains.data(), round % 2 == 0, eq);
        locked.push_back (1000.0 * e.engine.getLastBlendLockMicroseconds());
        published.push_back (1000.0 * e.engine.getLastPublishMicroseconds());
        float sample = 0.0f; // lets the pending crossfade complete
        const float* in[] = {&sample};
        float* out[] = {&sample};
        e.engine.processBlock (in, out, 1, 1, true);
        ++round;
    }
    state.counters["lock_median_ns"] = median (locked);
    state.counters["lock_max_ns"] = maximum (locked);
    state.counters["publish_median_ns"] = median (published);
    state.counters["publish_max_ns"] = maximum (published);
    state.SetLabel (std::to_string (slots) + (slots == 1 ? " slot" : " slots") +
                    (eq ? ", EQ on" : ", EQ off"));
}
BENCHMARK (BM_EngineBlend)
    ->Args ({1, 0})
    ->Args ({1, 1})
    ->Args ({8, 0})
    ->Args ({8, 1})
    ->Unit (benchmark::kMicrosecond);

// The longest processBlock call (64 samples at 48 kHz, 8 slots, EQ on) while another thread
// blends 50 times a second; reported in microseconds and as a fraction of the block period,
// with the blends' publish and lock times (ns) while the audio thread competes for the lock, and
// the blocks that found the lock taken (they play on with the pair that was playing).
void BM_EngineProcessBlockUnderBlends (benchmark::State& state)
{
    const int block = 64;
    const double rate = 48000.0;
    BenchEngine e (8);
    e.engine.prepareToPlay (block, rate);
    e.engine.prepareSpectrum (PellmixEngine::outputSpectrum, 2048, 364, rate);
    e.engine.reset();

    std::atomic<bool> stop{false};
    std::atomic<int> blends{0};
    std::vector<double> locked, published; // the blender's own
    std::thread blender (
        [&]
        {
            std::vector<float> gains (31, 3.0f);
            for (int k = 0; !stop; ++k)
            {
                e.engine.setIrParameters (k % 8, 2048, 0, (float)(k % 100), false, -(float)(k % 6));
                e.engine.blend (gains.data(), true, true);
                locked.push_back (1000.0 * e.engine.getLastBlendLockMicroseconds());
                published.push_back (1000.0 * e.engine.getLastPublishMicroseconds());
                ++blends;
                std::this_thread::sleep_for (std::chrono::milliseconds (20));
            }
        });

    auto x = noise (block, 3);
    const float* in[] = {x.data()};
    float* out[] = {x.data()};
    double longest = 0.0;
    std::vector<double> calls;
    for (auto _ : state)
    {
        // One simulated second of blocks per iteration, paced like a device.
        const auto start = std::chrono::steady_clock::now();
        for (int b = 0; b < (int)(rate / block); ++b)
        {
            const auto t0 = std::chrono::steady_clock::now();
            e.engine.processBlock (in, out, 1, block, true);
            const double us =
                std::chrono::duration<double, std::micro> (std::chrono::steady_clock::now() - t0).count();
            longest = std::max (longest, us);
            calls.push_back (us);
            std::this_thread::sleep_until (start +
                                           std::chrono::microseconds ((long)((b + 1) * 1e6 * block / rate)));
        }
    }
    stop = true;
    blender.join();
    const double period = 1e6 * block / rate;
    state.counters["blends"] = blends.load();
    state.counters["median_us"] = median (calls);
    state.counters["max_us"] = longest;
    state.counters["max_period_fraction"] = longest / period;
    state.counters["busy_blocks"] = (double)e.engine.getBusyBlocks();
    state.counters["lock_median_ns"] = median (locked);
    state.counters["lock_max_ns"] = maximum (locked);
    state.counters["publish_median_ns"] = median (published);
    state.counters["publish_max_ns"] = maximum (published);
}
BENCHMARK (BM_EngineProcessBlockUnderBlends)->Iterations (3)->Unit (benchmark::kMillisecond)->UseRealTime();
} // namespace
