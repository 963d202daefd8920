// The audio thread and a blending thread on one processor, as on a single-core machine or a
// container limited to one CPU: the audio thread runs at real-time priority, paced like a device
// (64 samples at 96 kHz), while the other thread blends eight slots in a loop (a knob drag). A
// block that found the lock taken must not wait for its holder: the holder cannot run until the
// audio thread sleeps, so a block that waits spins until the kernel's real-time throttling stops
// it (about a second). A block that does not wait is short whatever else the machine runs, since
// no ordinary thread can preempt the audio thread.
//
// A block is measured by the audio thread's own processor time: on a virtual machine the host
// may take the processor away from the whole guest for milliseconds, which shows in the wall
// clock but is no wait of ours; a spinning block spends its whole wait on the processor. The
// wall-clock worst is reported beside it.
#include "EngineTestHelpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <pthread.h>
#include <sched.h>
#include <thread>
#include <time.h>

using namespace engine_test;

namespace
{
// Pins the calling thread to one processor; its former set comes back with the scope's end.
class PinnedToCpu
{
public:
    explicit PinnedToCpu (int cpu)
    {
        CPU_ZERO (&former);
        sched_getaffinity (0, sizeof (former), &former);
        cpu_set_t one;
        CPU_ZERO (&one);
        CPU_SET (cpu, &one);
        pinned = sched_setaffinity (0, sizeof (one), &one) == 0;
    }
    ~PinnedToCpu() { sched_setaffinity (0, sizeof (former), &former); }

    bool pinned = false;

private:
    cpu_set_t former;
};

// The calling thread's processor time, in microseconds.
double threadCpuUs()
{
    timespec t{};
    clock_gettime (CLOCK_THREAD_CPUTIME_ID, &t);
    return (double)t.tv_sec * 1e6 + (double)t.tv_nsec / 1e3;
}

timespec addNanoseconds (timespec t, long ns)
{
    t.tv_nsec += ns;
    while (t.tv_nsec >= 1000000000L)
    {
        t.tv_nsec -= 1000000000L;
        ++t.tv_sec;
    }
    return t;
}

bool before (const timespec& a, const timespec& b)
{
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

// The median time of a block that crossfades to a new blend, on this build, uncontended.
double medianCrossfadeBlockUs (PellmixEngine& engine, int block)
{
    auto x = noise (block, 5);
    const float* in[] = {x.data()};
    float* out[] = {x.data()};
    std::vector<double> us;
    for (int k = 0; k < 41; ++k)
    {
        engine.setIrParameters (0, 2048, 0, (float)k, false, 0.0f);
        engine.blend (nullptr, false, false);
        const auto t0 = std::chrono::steady_clock::now();
        engine.processBlock (in, out, 1, block, true);
        us.push_back (
            std::chrono::duration<double, std::micro> (std::chrono::steady_clock::now() - t0).count());
    }
    std::nth_element (us.begin(), us.begin() + (long)us.size() / 2, us.end());
    return us[us.size() / 2];
}

// The audio thread: pinned to `cpu`, at SCHED_FIFO, it plays blocks paced like a device until
// stopped and keeps its worst block by processor and by wall clock. `setupError` is 0 once it
// runs, else why it could not (-1: not pinned; else the error of pthread_setschedparam).
class PacedAudioThread
{
public:
    PacedAudioThread (PellmixEngine& engineToPlay, int cpuToUse, int blockSize, long periodNs)
        : engine (engineToPlay)
        , cpu (cpuToUse)
        , block (blockSize)
        , period (periodNs)
    {
        thread = std::thread ([this] { run(); });
        while (!ready)
            std::this_thread::yield();
        if (setupError != 0)
            thread.join();
    }

    ~PacedAudioThread() { stop(); }

    void stop()
    {
        stopping = true;
        if (thread.joinable())
            thread.join();
    }

    std::atomic<int> setupError{0};
    std::atomic<long> blocks{0};
    std::atomic<double> worstUs{0.0}, worstWallUs{0.0};

private:
    void run()
    {
        const PinnedToCpu here (cpu);
        sched_param param{};
        param.sched_priority = 80;
        setupError = here.pinned ? pthread_setschedparam (pthread_self(), SCHED_FIFO, &param) : -1;
        ready = true;
        if (setupError != 0)
            return;

        auto x = noise (block, 3);
        const float* in[] = {x.data()};
        float* out[] = {x.data()};
        timespec deadline{};
        clock_gettime (CLOCK_MONOTONIC, &deadline);
        while (!stopping)
        {
            const auto t0 = std::chrono::steady_clock::now();
            const double cpu0 = threadCpuUs();
            engine.processBlock (in, out, 1, block, true);
            worstUs = std::max (worstUs.load(), threadCpuUs() - cpu0);
            const double us =
                std::chrono::duration<double, std::micro> (std::chrono::steady_clock::now() - t0).count();
            worstWallUs = std::max (worstWallUs.load(), us);
            ++blocks;
            for (auto& v : x)
                v = v * 0.5f + 0.1f;

            // Paced like a device; after a late block the pace starts again from now.
            deadline = addNanoseconds (deadline, period);
            timespec now{};
            clock_gettime (CLOCK_MONOTONIC, &now);
            if (before (deadline, now))
                deadline = addNanoseconds (now, period / 2);
            clock_nanosleep (CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr);
        }
    }

    PellmixEngine& engine;
    const int cpu, block;
    const long period;
    std::atomic<bool> stopping{false}, ready{false};
    std::thread thread;
};

// A knob drag: one slot's gain changes and the blend follows, as fast as the thread can (with the
// EQ off, so that publishes come often). A publish holds the lock for well under a microsecond,
// so between blends the thread also asks for the crossfade state, under the lock, for as long
// again: the audio thread then finds the lock taken in many blocks, not only a few times a
// second. The drag goes on until that has happened a good number of times. Returns the blends.
int dragAKnob (PellmixEngine& engine)
{
    const auto start = std::chrono::steady_clock::now();
    const auto elapsed = [&] { return std::chrono::steady_clock::now() - start; };
    int blends = 0;
    while (elapsed() < std::chrono::seconds (60) &&
           (engine.getBusyBlocks() < 20 || elapsed() < std::chrono::seconds (2)))
    {
        const auto blendStart = std::chrono::steady_clock::now();
        engine.setIrParameters (blends % 8, 2048, 0, 0.0f, false, -(float)(blends % 6));
        engine.blend (nullptr, false, false);
        ++blends;
        const auto blendTime = std::chrono::steady_clock::now() - blendStart;
        for (const auto until = std::chrono::steady_clock::now() + blendTime;
             std::chrono::steady_clock::now() < until;)
            (void)engine.isCrossfadePending();
    }
    return blends;
}
} // namespace

TEST (EngineOneCpu, AudioThreadNeverWaitsForABlendingThread)
{
    constexpr int block = 64;
    constexpr double rate = 96000.0;

    EngineWithFiles e;
    for (int s = 0; s < PellmixEngine::numSlots; ++s)
        e.load (s, decayingIr (1800, rate, 1.0 + 0.1 * s), rate, -(float)s);
    e.engine.prepareToPlay (block, rate);
    e.engine.prepareSpectrum (PellmixEngine::outputSpectrum, 2048, 364, rate);
    e.engine.reset();

    // The device period, 0.667 ms; a build too slow to convolve a block well within it (a debug
    // or sanitizer build) is paced and judged at eight times its own block instead, which still
    // tells a block that does not wait from one that waits a time slice.
    const double ownBlockUs = medianCrossfadeBlockUs (e.engine, block);
    const double periodUs = std::max (1e6 * block / rate, 8.0 * ownBlockUs);

    const int cpu = sched_getcpu();
    ASSERT_GE (cpu, 0);
    const PinnedToCpu blender (cpu);
    ASSERT_TRUE (blender.pinned);

    PacedAudioThread audio (e.engine, cpu, block, (long)(1000.0 * periodUs));
    if (const int error = audio.setupError; error != 0)
    {
        // Real-time scheduling is a right of root (or of a real-time limit above 0), which the test
        // command has; without it the case cannot be made.
        if (error == EPERM)
            GTEST_SKIP() << "the audio thread may not have SCHED_FIFO: this test needs the right to "
                            "real-time scheduling (root)";
        FAIL() << "the audio thread could not be pinned or given SCHED_FIFO (error " << error << ")";
    }

    const int blends = dragAKnob (e.engine);
    audio.stop();

    std::cout << audio.blocks.load() << " blocks (" << e.engine.getBusyBlocks() << " found the lock taken), "
              << blends << " blends on CPU " << cpu << "; worst block " << audio.worstUs.load()
              << " us on the processor, " << audio.worstWallUs.load() << " us by the wall clock (period "
              << periodUs << " us, a crossfade block " << ownBlockUs << " us)\n";
    RecordProperty ("worst_block_us", std::to_string (audio.worstUs.load()));
    RecordProperty ("worst_block_wall_us", std::to_string (audio.worstWallUs.load()));
    EXPECT_GT (e.engine.getBusyBlocks(), 0u) << "the audio thread never found the lock taken";
    EXPECT_LT (audio.worstUs.load(), periodUs);
}
