// Threads as the application runs them: blends (with the EQ, new gains and reshaped slots) on
// one thread, processBlock on an audio thread, and the player's spectrum reads on a third; the
// playback callback while its routing fields change. Run under ThreadSanitizer too.
#include "PlayerTestHelpers.h"

#include <gtest/gtest.h>

#include <thread>

using namespace engine_test;

namespace
{
bool allFinite (const std::vector<float>& v)
{
    return std::all_of (v.begin(), v.end(), [] (float x) { return std::isfinite (x); });
}

// The device start for 64-sample blocks at 48 kHz, with the player's output spectrum.
void startDevice (PellmixEngine& engine)
{
    engine.prepareToPlay (64, 48000.0);
    engine.prepareSpectrum (PellmixEngine::outputSpectrum, 2048, 364, 48000.0);
    engine.reset();
}

// processBlock over a noise block in a loop on a thread of its own, as the audio thread calls
// it, until stop(); every `offEvery`-th block with processing off (0: never). Counts the blocks
// and whether every output was finite.
struct AudioLoop
{
    AudioLoop (PellmixEngine& engine, int offEvery)
        : thread (
              [this, &engine, offEvery]
              {
                  auto x = noise (64, 3);
                  std::vector<float> y (64);
                  while (!stopped)
                  {
                      const float* in[] = {x.data()};
                      float* out[] = {y.data()};
                      engine.processBlock (in, out, 1, 64, offEvery == 0 || blocks % offEvery != 0);
                      if (!allFinite (y))
                          finite = false;
                      ++blocks;
                  }
              })
    {
    }
    ~AudioLoop() { stop(); }

    void stop()
    {
        stopped = true;
        if (thread.joinable())
            thread.join();
    }

    std::atomic<bool> stopped{false};
    std::atomic<int> blocks{0};
    std::atomic<bool> finite{true};
    std::thread thread;
};
} // namespace

TEST (EngineConcurrency, BlendsWhileProcessingAndReadingSpectra)
{
    EngineWithFiles e;
    for (int i = 0; i < 3; ++i)
        e.load (i, decayingIr (1500 + 100 * i, 48000.0, 1.0 + 0.2 * i), 48000.0);
    e.engine.blend (nullptr, false, false);
    startDevice (e.engine);

    std::atomic<bool> stop{false};
    std::atomic<bool> finite{true};
    AudioLoop audio (e.engine, 0);
    std::thread spectra (
        [&]
        {
            while (!stop)
            {
                const float* m = e.engine.getMagnitudes (PellmixEngine::outputSpectrum, 0);
                const float* in = e.engine.getMagnitudes (PellmixEngine::inputSpectrum, 0);
                const float* p = e.engine.getPhases (PellmixEngine::outputSpectrum, 0);
                if (m == nullptr || in == nullptr || p == nullptr || !std::isfinite (m[100]))
                    finite = false;
                (void)e.engine.getChangeTime (PellmixEngine::outputSpectrum, 0, true);
                std::this_thread::yield();
            }
        });

    std::vector<float> gains (31, 0.0f);
    for (int k = 0; k < 60; ++k)
    {
        gains[(size_t)(k % 31)] = (float)(k % 25) - 12.0f;
        e.engine.setIrParameters (k % 3, 2048, -(k % 40), (float)(k % 100), k % 2 == 0,
                                  (float)(k % 13) - 6.0f);
        e.engine.setMute (1, k % 7 == 0);
        e.engine.blend (k % 4 == 0 ? gains.data() : nullptr, k % 4 == 0, k % 3 != 0);
        std::this_thread::sleep_for (std::chrono::microseconds (500));
    }
    while (audio.blocks < 200)
        std::this_thread::yield();
    stop = true;
    audio.stop();
    spectra.join();
    EXPECT_TRUE (finite);
    EXPECT_TRUE (audio.finite);
}

TEST (EngineConcurrency, PlaybackWhileRoutingChangesAndBlending)
{
    EngineWithFiles e;
    e.load (0, decayingIr (1000, 96000.0, 1.0));
    e.engine.blend (nullptr, false, false);
    Routing routing;
    TwoChannelSource source;
    PellmixAudioSourcePlayer player (e.engine, routing.processingEnabled, routing.mainAudioOut,
                                     routing.playingChannel);
    player.setSource (&source);
    FakeDevice device (44100.0, 128);
    player.audioDeviceAboutToStart (&device);

    std::atomic<bool> stop{false};
    std::atomic<int> blocks{0};
    std::thread audio (
        [&]
        {
            std::vector<std::vector<float>> outs (4, std::vector<float> (128));
            float* pointers[] = {outs[0].data(), outs[1].data(), outs[2].data(), outs[3].data()};
            const float* ins[] = {outs[0].data()};
            while (!stop)
            {
                player.audioDeviceIOCallbackWithContext (ins, 0, pointers, 4, 128, {});
                ++blocks;
            }
        });

    const int selections[] = {0, 1, 101, 102, 99, -1, 3, 100, 7};
    for (int k = 0; k < 90; ++k)
    {
        routing.mainAudioOut = selections[k % 9];
        routing.playingChannel = k % 3;
        routing.processingEnabled = k % 5 != 0;
        if (k % 10 == 0)
        {
            e.engine.setIrParameters (0, 2048, 0, (float)k, false, 0.0f);
            e.engine.blend (nullptr, false, false);
        }
        std::this_thread::sleep_for (std::chrono::microseconds (200));
    }
    while (blocks < 100)
        std::this_thread::yield();
    stop = true;
    audio.join();
    player.setSource (nullptr);
}

// Blocks that find the lock taken play on without it while blends publish new IRs and the dry
// state (the last slot muted and unmuted) and another thread takes the lock over and over: under
// ThreadSanitizer this shows that such a block touches nothing a publish writes.
TEST (EngineConcurrency, BusyBlocksPlayOnWhilePublishing)
{
    EngineWithFiles e;
    e.load (0, decayingIr (1500, 48000.0, 1.0), 48000.0);
    e.engine.blend (nullptr, false, false);
    startDevice (e.engine);

    std::atomic<bool> stop{false};
    AudioLoop audio (e.engine, 50);
    std::thread holder (
        [&]
        {
            while (!stop)
                (void)e.engine.isCrossfadePending();
        });

    const auto start = std::chrono::steady_clock::now();
    for (int k = 0; std::chrono::steady_clock::now() - start < std::chrono::seconds (30); ++k)
    {
        if (k > 20 && audio.blocks > 2000 && e.engine.getBusyBlocks() > 100)
            break;
        e.engine.setMute (0, k % 5 == 4);
        e.engine.setIrParameters (0, 2048, 0, (float)(k % 100), false, 0.0f);
        e.engine.blend (nullptr, false, false);
    }
    stop = true;
    audio.stop();
    holder.join();
    EXPECT_TRUE (audio.finite);
    EXPECT_GT (e.engine.getBusyBlocks(), 0u);
}
