// A whole capture run for a 60-second sweep at 44.1, 48 and 96 kHz: the worker deconvolves a
// synthetic recording (the sweep, delayed by a device latency, through a short IR, with noise) and
// writes the vir file. Counters:
//   <from>-<to>_ms  wall time between the progress values <from> and <to> as a poller saw them
//                   (read 0-10, FFT set-up 10-20, forward FFTs 20-30, product, inverse FFT and
//                   normalisation 30-40, "deconv.raw" 40-50, read back 60-70, rate conversion
//                   70-75, onset 75-80, bands 80-85, encoding 85-90, file 95-100);
//   run_ms          from the end of the start pause to the end of the run (progress -1);
//   peak_MB         the process's peak resident memory during the run (reset before it), beside
//                   base_MB, what was resident at its start (the benchmark's own copy of the data);
// and, as a reference in the same row, on the same recording and inverse filter, the same linear
// convolution by FFTW in double precision (r2c, product, c2r, FFTW_ESTIMATE plans, after one
// untimed pass): fftw_ms and fftw_peak_MB, with the ratios vsFFTW (run_ms / fftw_ms) and
// peak_vsFFTW (peak_MB / fftw_peak_MB).
#include "engine/Calculs.h"
#include "engine/CalculsResponse.h"
#include "engine/PellmixTestSignal.h"
#include "tests/support/TestSignals.h"

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

double msSince (Clock::time_point t)
{
    return std::chrono::duration<double, std::milli> (Clock::now() - t).count();
}

// Peak resident memory since the last reset, in MB (Linux: VmHWM, reset through clear_refs).
void resetPeakMemory()
{
    std::ofstream ("/proc/self/clear_refs") << "5";
}

double memoryMB (const char* field)
{
    std::ifstream status ("/proc/self/status");
    for (std::string line; std::getline (status, line);)
        if (line.rfind (field, 0) == 0)
            return std::stod (line.substr (6)) / 1024.0;
    return 0.0;
}

double peakMemoryMB()
{
    return memoryMB ("VmHWM:");
}

double residentMemoryMB()
{
    return memoryMB ("VmRSS:");
}

struct CaptureData
{
    ~CaptureData() { folder.deleteRecursively(); }

    juce::File folder = juce::File::createTempFile ("pellmix-capture-bench");
    std::vector<float> recording, inverse;
};

// The sweep's files and a recording of it, 512 samples late, through a three-tap IR with noise.
void makeCapture (CaptureData& data, int rate)
{
    data.folder.createDirectory();
    const int n = 60 * rate, latency = 512;
    PellmixTestSignal signal;
    signal.makeSweep (rate, n, rate);
    signal.writeFile (data.folder, 2, true, n);
    data.inverse = signal.inverse;

    // Uniform noise of RMS 1e-4.
    const auto noise = pellmix_test::noise (n, 1, std::sqrt (12.0f) * 1e-4f);
    data.recording.assign ((size_t)(n + latency), 0.0f);
    for (int i = latency; i < n + latency; ++i)
    {
        const int t = i - latency;
        const float s = signal.signal[(size_t)t] * 0.8f +
                        (t > 0 ? signal.signal[(size_t)t - 1] * -0.3f : 0.0f) +
                        (t > 1 ? signal.signal[(size_t)t - 2] * 0.1f : 0.0f);
        data.recording[(size_t)i] = s + noise[(size_t)t];
    }
    juce::FileOutputStream out (data.folder.getChildFile ("record.raw"));
    out.write (data.recording.data(), data.recording.size() * sizeof (float));
}

void fftwDeconvolve (const CaptureData& data, int n);

void BM_CaptureRun (benchmark::State& state)
{
    const int rate = (int)state.range (0);
    CaptureData data;
    makeCapture (data, rate);
    PellmixSharedString lastPath;

    for (auto _ : state)
    {
        Calculs worker (data.folder, lastPath);
        worker.sampleRate = rate;
        worker.setOutputFile (data.folder.getChildFile ("capture.vir"));
        worker.progress = -5; // the worker sets 0 once its start pause is over

        std::vector<std::pair<int, Clock::time_point>> seen;
        resetPeakMemory();
        state.counters["base_MB"] = residentMemoryMB();
        worker.startThread();
        for (int last = -5;;)
        {
            const int p = worker.progress.load (std::memory_order_relaxed);
            if (p != last)
            {
                seen.emplace_back (p, Clock::now());
                last = p;
            }
            if (p == -1)
                break;
            // Sleeps between looks: a poller that spins takes the worker's processor on a busy machine.
            std::this_thread::sleep_for (std::chrono::microseconds (200));
        }
        worker.stopThread (-1);
        state.counters["peak_MB"] = peakMemoryMB();

        Clock::time_point start{}, done{};
        for (size_t i = 0; i + 1 < seen.size(); ++i)
        {
            const auto [from, t0] = seen[i];
            const auto [to, t1] = seen[i + 1];
            if (from == 0)
                start = t0;
            if (to == -1)
                done = t1;
            if (from >= 0 && to > from)
                state.counters[std::to_string (from) + "-" + std::to_string (to) + "_ms"] =
                    std::chrono::duration<double, std::milli> (t1 - t0).count();
        }
        state.counters["run_ms"] = std::chrono::duration<double, std::milli> (done - start).count();
        if (lastPath.isEmpty())
            state.SkipWithError ("the capture failed");

        // The reference, once untimed so that the timed pass pays no first-use costs.
        const int n = CalculsResponse::deconvolutionSize ((int)data.recording.size());
        fftwDeconvolve (data, n);
        resetPeakMemory();
        const auto t0 = Clock::now();
        fftwDeconvolve (data, n);
        state.counters["fftw_ms"] = msSince (t0);
        state.counters["fftw_peak_MB"] = peakMemoryMB();
        state.counters["vsFFTW"] = state.counters["run_ms"] / state.counters["fftw_ms"];
        state.counters["peak_vsFFTW"] = state.counters["peak_MB"] / state.counters["fftw_peak_MB"];
    }
}

// The linear convolution of the recording with the inverse filter at n points, peak-normalised.
void fftwDeconvolve (const CaptureData& data, int n)
{
    auto* x = fftw_alloc_real ((size_t)n);
    auto* a = fftw_alloc_complex ((size_t)n / 2 + 1);
    auto* b = fftw_alloc_complex ((size_t)n / 2 + 1);
    auto forward = fftw_plan_dft_r2c_1d (n, x, a, FFTW_ESTIMATE);
    auto backward = fftw_plan_dft_c2r_1d (n, a, x, FFTW_ESTIMATE);

    std::fill (x, x + n, 0.0);
    std::copy (data.recording.begin(), data.recording.end(), x);
    fftw_execute_dft_r2c (forward, x, a);
    std::fill (x, x + n, 0.0);
    std::copy (data.inverse.begin(), data.inverse.end(), x);
    fftw_execute_dft_r2c (forward, x, b);
    for (int k = 0; k <= n / 2; ++k)
    {
        const double re = a[k][0] * b[k][0] - a[k][1] * b[k][1];
        const double im = a[k][0] * b[k][1] + a[k][1] * b[k][0];
        a[k][0] = re;
        a[k][1] = im;
    }
    fftw_execute_dft_c2r (backward, a, x);
    double largest = 0.0;
    for (int i = 0; i < n; ++i)
        largest = std::max (largest, std::abs (x[i]));
    for (int i = 0; i < n; ++i)
        x[i] /= largest;
    benchmark::DoNotOptimize (x[0]);

    fftw_destroy_plan (forward);
    fftw_destroy_plan (backward);
    fftw_free (x);
    fftw_free (a);
    fftw_free (b);
}
} // namespace

BENCHMARK (BM_CaptureRun)
    ->Arg (44100)
    ->Arg (48000)
    ->Arg (96000)
    ->Iterations (1)
    ->Unit (benchmark::kMillisecond);
