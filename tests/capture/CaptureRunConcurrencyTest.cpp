// The capture run with an audio thread and a message thread at work together, as the capture
// window uses it: the audio thread processes blocks under a lock that stands for the device
// manager's callback lock; the message thread begins tones and recordings (buffers swapped under
// that lock), stops, aborts, takes the peaks and hands complete recordings over. Every recording
// handed over must hold consecutive input samples: a torn or reused buffer would break the run.
// Also run under ThreadSanitizer.
#include "engine/PellmixCaptureRun.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

TEST (CaptureRunConcurrency, RecordingsHandedOverAreWholeWhileTheMessageThreadActs)
{
    using State = PellmixCaptureRun::State;
    PellmixCaptureRun run;
    std::mutex callbackLock;
    std::atomic<bool> done{false};
    constexpr int blockSize = 64;
    constexpr int modulus = 1 << 20; // input values stay exact in single precision

    std::thread audio (
        [&]
        {
            std::vector<float> in (blockSize), out0 (blockSize), out1 (blockSize);
            const float* inputs[] = {in.data()};
            float* outputs[] = {out0.data(), out1.data()};
            int next = 1;
            while (!done)
            {
                for (auto& v : in)
                {
                    v = (float)next;
                    next = next % modulus + 1;
                }
                {
                    const std::lock_guard<std::mutex> lock (callbackLock);
                    run.processBlock (inputs, 1, outputs, 2, blockSize, 0, 1, blockSize);
                }
                std::this_thread::yield();
            }
        });

    // What the message thread does with each session is chosen when it begins, not by timing, so
    // that every kind of ending happens however slowly the audio thread runs: a tone is stopped,
    // a recording is left to complete, stopped or aborted. The run lasts at least 1.5 s and until
    // each ending was seen a few times.
    enum class Ending
    {
        stop,
        complete,
        abort
    };
    Ending ending = Ending::complete;
    int handedOver = 0, stopped = 0, tones = 0, aborted = 0, session = 0;
    const auto start = std::chrono::steady_clock::now();
    const auto enough = [&]
    {
        return handedOver > 3 && stopped > 3 && tones > 3 && aborted > 3 &&
               std::chrono::steady_clock::now() - start > std::chrono::milliseconds (1500);
    };
    for (int step = 0; !enough() && std::chrono::steady_clock::now() - start < std::chrono::seconds (60);
         ++step)
    {
        run.takePeakSinceLastCall();
        run.takeBlockSizeMismatch();
        const auto state = run.getState();
        if ((state == State::recording || state == State::complete) && ending == Ending::abort)
        {
            // A recording that clipped is dropped, whether or not it completed meanwhile.
            if (run.abort())
                ++aborted;
        }
        else if (state == State::complete && run.beginHandOver())
        {
            const auto& r = run.getRecording();
            const auto latency = (size_t)run.getLatency();
            for (size_t i = latency + 1; i < r.size(); ++i)
                ASSERT_EQ ((int)r[i], (int)r[i - 1] % modulus + 1) << "sample " << i;
            run.finishHandOver();
            ++handedOver;
        }
        else if (state == State::idle)
        {
            // Buffers are made outside the lock and only swapped inside it.
            // Taken in turn: a tone, then recordings that complete, are stopped and are aborted.
            const int kind = session++ % 4;
            const bool tone = kind == 0;
            ending = std::array{Ending::stop, Ending::complete, Ending::stop, Ending::abort}[(size_t)kind];
            PellmixCaptureRun::Buffers buffers{
                std::vector<float> (500, 0.5f),
                std::vector<float> (tone ? 0 : 3000 + (size_t)(step % 7) * 100, 0.0f)};
            {
                const std::lock_guard<std::mutex> lock (callbackLock);
                ASSERT_TRUE (run.begin (tone ? State::tone : State::recording, buffers, step % 5 * 10));
            }
            tones += tone ? 1 : 0;
        }
        else if ((state == State::tone || state == State::recording) && ending == Ending::stop &&
                 step % 3 == 0)
        {
            if (run.stop() == state)
                ++stopped;
        }
        std::this_thread::sleep_for (std::chrono::microseconds (200));
    }
    done = true;
    audio.join();
    EXPECT_GT (handedOver, 3);
    EXPECT_GT (stopped, 3);
    EXPECT_GT (tones, 3);
    EXPECT_GT (aborted, 3);
}
