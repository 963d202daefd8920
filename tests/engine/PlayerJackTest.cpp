// The playback callback on a real JACK device (dummy backend): registered with a device manager
// opened on JACK, it plays a source from memory through a transport; an independent JACK client
// records the device's output ports and numpy checks the recording.
#include "JackRecorder.h"
#include "PlayerTestHelpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <thread>
#include <unistd.h>

using namespace engine_test;

namespace
{
struct JackCase
{
    const char* name;
    int rate, period;
    int mainOut, playing;
    bool processing;
    bool changeBufferSize;
    int left, right; // outputs that carry the signal (-1: none)
};

void sleepMs (int ms)
{
    std::this_thread::sleep_for (std::chrono::milliseconds (ms));
}
} // namespace

class PlayerJack : public ::testing::TestWithParam<JackCase>
{
};

TEST_P (PlayerJack, RecordingMatchesOracle)
{
    const auto c = GetParam();
    pellmix_test::JackServer server ({c.rate, c.period, 2, 4, true});
    ASSERT_TRUE (server.started()) << server.logText();

    EngineWithFiles e;
    e.load (0, decayingIr (1800, 48000.0, 1.0), 48000.0, -3.0f);
    e.load (1, decayingIr (2000, 96000.0, 1.5), 96000.0, 0.0f, true);
    e.engine.blend (nullptr, false, false);

    // JUCE's JACK client can collide with a client of the same name that another test's server
    // registers at that moment: a new manager then tries again. With the whole suite running in
    // parallel such moments can follow each other for several seconds.
    std::unique_ptr<juce::AudioDeviceManager> managerOwner;
    for (int attempt = 0; attempt < 12; ++attempt)
    {
        managerOwner = std::make_unique<juce::AudioDeviceManager>();
        managerOwner->initialise (2, 4, nullptr, false);
        if (managerOwner->getCurrentAudioDeviceType() != "JACK")
            managerOwner->setCurrentAudioDeviceType ("JACK", true);
        if (managerOwner->getCurrentAudioDevice() != nullptr)
            break;
        sleepMs (std::min (200 * (attempt + 1), 1000));
    }
    auto& manager = *managerOwner;
    auto* device = manager.getCurrentAudioDevice();
    ASSERT_NE (device, nullptr);
    ASSERT_EQ (device->getTypeName(), "JACK");
    // JUCE counts an output as active once JACK shows its connection, which may come a cycle
    // after the open; the later count arrives through the message loop.
    for (int i = 0; i < 100 && device->getActiveOutputChannels().countNumberOfSetBits() < 4; ++i)
        juce::MessageManager::getInstance()->runDispatchLoopUntil (20);
    ASSERT_EQ (device->getActiveOutputChannels().countNumberOfSetBits(), 4) << server.ports().listing();
    ASSERT_EQ (device->getCurrentSampleRate(), (double)c.rate);

    JackRecorder recorder (4, (size_t)c.rate * 6);
    std::string error;
    ASSERT_TRUE (recorder.open ("pellmix_recorder_" + std::to_string (getpid()), error)) << error;
    const auto outputs = recorder.findOutputs ("^JUCEJack[^:]*:out_");
    ASSERT_EQ (outputs.size(), 4u);
    ASSERT_TRUE (recorder.connect (outputs));

    const int length = c.rate / 2;
    juce::AudioBuffer<float> sourceBuffer (2, length);
    const auto left = noise (length, 1), right = noise (length, 2);
    sourceBuffer.copyFrom (0, 0, left.data(), length);
    sourceBuffer.copyFrom (1, 0, right.data(), length);
    juce::MemoryAudioSource memory (sourceBuffer, false, false);
    juce::AudioTransportSource transport;
    transport.setSource (&memory);

    Routing routing;
    routing.mainAudioOut = c.mainOut;
    routing.playingChannel = c.playing;
    routing.processingEnabled = c.processing;
    PellmixAudioSourcePlayer player (e.engine, routing.processingEnabled, routing.mainAudioOut,
                                     routing.playingChannel);
    player.setSource (&transport);

    recorder.start();
    manager.addAudioCallback (&player);
    EXPECT_EQ (e.engine.getPreparedBlockSize(), c.period);
    sleepMs (100);
    transport.start();
    if (c.changeBufferSize)
    {
        sleepMs (120);
        EXPECT_TRUE (server.ports().setBufferSize (2048));
        sleepMs (150);
        EXPECT_TRUE (server.ports().setBufferSize (64));
        sleepMs (100);
        EXPECT_TRUE (server.ports().setBufferSize (c.period));
    }
    for (int waited = 0; transport.getNextReadPosition() < length && waited < 5000; waited += 10)
        sleepMs (10);
    sleepMs (250); // the convolution tail
    manager.removeAudioCallback (&player);
    const auto recording = recorder.finish();
    EXPECT_FALSE (recorder.overflowed());
    transport.setSource (nullptr);
    player.setSource (nullptr);

    for (int i = 0; i < 4; ++i)
        writeFloats (e.dir.child ("rec" + std::to_string (i) + ".f32"), recording[(size_t)i]);
    writeFloats (e.dir.child ("source.f32"), c.playing == 2 ? right : left);
    writeFloats (e.dir.child ("irrate.f32"), irAtRate (e.engine.getSum().bands[0], (double)c.rate));
    pellmix_test::runPythonScript ("engine_jack_oracle.py",
                                   {e.dir.path(), std::to_string (c.rate), c.processing ? "1" : "0",
                                    std::to_string (c.left), std::to_string (c.right)});
}

INSTANTIATE_TEST_SUITE_P (
    Routes, PlayerJack,
    ::testing::Values (JackCase{"ProcessedOnOutput0", 44100, 512, 0, 1, true, false, 0, -1},
                       JackCase{"ProcessedRightOnOutput2", 48000, 256, 2, 2, true, false, 2, -1},
                       JackCase{"DryWhenProcessingOff", 48000, 512, 1, 0, false, false, 1, -1},
                       JackCase{"PairCarriesBothChannels", 44100, 128, 102, 1, true, false, 2, 3},
                       JackCase{"BufferSizeChangesWhilePlaying", 48000, 256, 100, 1, true, true, 0, 1}),
    [] (const auto& testInfo) { return std::string (testInfo.param.name); });
