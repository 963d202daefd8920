// Timing helpers shared by the benchmarks that compare our code with a reference library on the
// same input: time per call over a short span, and the best of alternating bursts of two runs;
// and the clocks of the measurement programs.
#pragma once

#include <algorithm>
#include <chrono>
#include <ctime>
#include <utility>

namespace pellmix_bench
{
using Clock = std::chrono::steady_clock;

inline double microsecondsSince (Clock::time_point t)
{
    return std::chrono::duration<double, std::micro> (Clock::now() - t).count();
}

// CPU time of the calling thread: what the code itself spent, without the time the thread
// waited for a processor (on a shared machine).
inline double threadCpuMicroseconds()
{
    timespec ts{};
    clock_gettime (CLOCK_THREAD_CPUTIME_ID, &ts);
    return (double)ts.tv_sec * 1e6 + (double)ts.tv_nsec / 1e3;
}

// Calls run repeatedly for at least span and returns the mean wall time of one call in seconds.
template <typename Run>
double secondsPerCall (Run& run, std::chrono::milliseconds span)
{
    long calls = 0;
    const auto start = Clock::now();
    auto now = start;
    do
    {
        run();
        ++calls;
        now = Clock::now();
    } while (now - start < span);
    return std::chrono::duration<double> (now - start).count() / double (calls);
}

// The best time per call of a and of b over `rounds` alternating bursts of 10 ms each, so that a
// busy machine affects both alike.
template <typename A, typename B>
std::pair<double, double> alternateBursts (A& a, B& b, int rounds = 15)
{
    double bestA = 1e30, bestB = 1e30;
    for (int round = 0; round < rounds; ++round)
    {
        bestA = std::min (bestA, secondsPerCall (a, std::chrono::milliseconds (10)));
        bestB = std::min (bestB, secondsPerCall (b, std::chrono::milliseconds (10)));
    }
    return {bestA, bestB};
}
} // namespace pellmix_bench
