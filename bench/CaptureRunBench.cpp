// The capture callback's work per device block while a 60-second sweep is recorded: the signal
// rendered into the capture output (silence elsewhere), the block stored in the recording and the
// input metered. One iteration is one block; the recording starts again when it completes.
// Counters: p99_us, p999_us and worst_us, the 99th and 99.9th percentile and the longest of the
// blocks' times (the longest mostly shows the thread being preempted on a busy machine), and
// period_us, the length of one block at the rate, for comparison.
#include "engine/PellmixCaptureRun.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

namespace
{
void BM_CaptureRecordingBlock (benchmark::State& state)
{
    const int rate = (int)state.range (0);
    const int blockSize = (int)state.range (1);
    constexpr int numOutputs = 4;
    const int latency = 2 * blockSize;

    std::vector<float> in ((size_t)blockSize);
    for (int i = 0; i < blockSize; ++i)
        in[(size_t)i] = 0.5f * (float)std::sin (0.01 * i);
    std::vector<std::vector<float>> out (numOutputs, std::vector<float> ((size_t)blockSize));
    const float* inputs[] = {in.data(), in.data()};
    float* outputs[numOutputs];
    for (int c = 0; c < numOutputs; ++c)
        outputs[c] = out[(size_t)c].data();

    PellmixCaptureRun run;
    const std::vector<float> sweep ((size_t)(60 * rate), 0.25f);
    auto begin = [&]
    {
        PellmixCaptureRun::Buffers buffers{sweep, std::vector<float> ((size_t)(60 * rate + latency), 0.0f)};
        run.begin (PellmixCaptureRun::State::recording, buffers, latency);
    };
    begin();
    std::vector<double> times;
    times.reserve ((size_t)state.max_iterations);
    using Clock = std::chrono::steady_clock;
    for (auto _ : state)
    {
        const auto start = Clock::now();
        run.processBlock (inputs, 2, outputs, numOutputs, blockSize, 0, 1, blockSize);
        times.push_back (std::chrono::duration<double, std::micro> (Clock::now() - start).count());
        if (run.getState() != PellmixCaptureRun::State::recording)
        {
            state.PauseTiming();
            run.beginHandOver();
            run.finishHandOver();
            begin();
            state.ResumeTiming();
        }
        benchmark::DoNotOptimize (out[1][0]);
    }
    std::sort (times.begin(), times.end());
    auto percentile = [&] (double p) { return times[(size_t)(p * (double)(times.size() - 1))]; };
    state.counters["p99_us"] = percentile (0.99);
    state.counters["p999_us"] = percentile (0.999);
    state.counters["worst_us"] = times.back();
    state.counters["period_us"] = 1.0e6 * blockSize / rate;
}
} // namespace

BENCHMARK (BM_CaptureRecordingBlock)
    ->Args ({48000, 64})
    ->Args ({44100, 512})
    ->Args ({96000, 512})
    ->Iterations (60 * 48000 / 64)
    ->Unit (benchmark::kMicrosecond);
