// The playback callback in process: routing of the chosen file channel to a channel or pair,
// processing on and off, silence elsewhere, and blocks larger than prepared.
#include "PlayerTestHelpers.h"

#include <gtest/gtest.h>

using namespace engine_test;

namespace
{
constexpr double deviceRate = 96000.0; // no resampling: the blended impulse plays as a gain
constexpr float processedGain = 0.459375f;

// The expected content of one output: processed chosen channel, dry chosen channel or silence.
enum class Expect
{
    processed,
    dry,
    silent
};

struct PlayerRig
{
    EngineWithFiles files;
    Routing routing;
    TwoChannelSource source;
    PellmixAudioSourcePlayer player{files.engine, routing.processingEnabled, routing.mainAudioOut,
                                    routing.playingChannel};

    explicit PlayerRig (int block, bool withIr = true)
    {
        if (withIr)
        {
            files.load (0, impulse (8, 0));
            files.engine.blend (nullptr, false, false);
        }
        player.setSource (&source);
        FakeDevice device (deviceRate, block);
        player.audioDeviceAboutToStart (&device);
    }

    ~PlayerRig() { player.setSource (nullptr); }

    // One device block over numOutputs outputs (filled with garbage first).
    std::vector<std::vector<float>> callback (int numOutputs, int n)
    {
        std::vector<std::vector<float>> outs ((size_t)numOutputs, std::vector<float> ((size_t)n, 42.0f));
        std::vector<float*> pointers;
        for (auto& o : outs)
            pointers.push_back (o.data());
        std::vector<float> in0 ((size_t)n, 0.25f), in1 ((size_t)n, -0.25f);
        const float* ins[] = {in0.data(), in1.data()};
        player.audioDeviceIOCallbackWithContext (ins, 2, pointers.data(), numOutputs, n, {});
        return outs;
    }
};
} // namespace

TEST (PlayerRouting, ChannelsPairsProcessingAndSilence)
{
    struct Case
    {
        const char* name;
        int mainOut, playing, numOutputs;
        bool processing;
        int heard;                   // file channel heard: 1 left, 2 right
        std::vector<Expect> outputs; // per output
    };
    const auto P = Expect::processed, D = Expect::dry, S = Expect::silent;
    const Case cases[] = {
        {"single channel 2, left", 2, 1, 4, true, 1, {S, S, P, S}},
        {"mono plays the left channel", 3, 0, 4, true, 1, {S, S, S, P}},
        {"pair 1/2", 101, 0, 4, true, 1, {S, P, P, S}},
        {"right channel on output 0", 0, 2, 4, true, 2, {P, S, S, S}},
        {"right channel on output 1, in place", 1, 2, 4, true, 2, {S, P, S, S}},
        {"processing off", 0, 0, 4, false, 1, {D, S, S, S}},
        {"processing off on pair 0/1, right", 100, 2, 4, false, 2, {D, D, S, S}},
        {"pair 2/3 is the last pair", 102, 1, 4, true, 1, {S, S, P, P}},
        {"99 names nothing", 99, 0, 4, true, 1, {S, S, S, S}},
        {"no channel 4", 4, 0, 4, true, 1, {S, S, S, S}},
        {"no pair 3/4", 103, 0, 4, true, 1, {S, S, S, S}},
        {"none", -1, 0, 4, true, 1, {S, S, S, S}},
        {"right on a one-output device uses output 0", 0, 2, 1, true, 1, {P}},
        {"no pair on a one-output device", 100, 0, 1, true, 1, {S}},
        {"no outputs", 0, 0, 0, true, 1, {}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        PlayerRig rig (256);
        rig.routing.mainAudioOut = c.mainOut;
        rig.routing.playingChannel = c.playing;
        rig.routing.processingEnabled = c.processing;
        const auto outs = rig.callback (c.numOutputs, 256);
        ASSERT_EQ (outs.size(), c.outputs.size());
        for (size_t o = 0; o < outs.size(); ++o)
            for (int i = 0; i < 256; ++i)
            {
                const float x = TwoChannelSource::signal (i, c.heard);
                const float expected = c.outputs[o] == P ? x * processedGain : c.outputs[o] == D ? x : 0.0f;
                ASSERT_NEAR (outs[o][(size_t)i], expected, 1e-6) << "output " << o << ", sample " << i;
            }
        // The engine runs whenever the selection names an output, processing on or off.
        const bool routed =
            std::any_of (c.outputs.begin(), c.outputs.end(), [&] (Expect e) { return e != S; });
        EXPECT_EQ (
            rig.files.engine.getChangeTime (PellmixEngine::outputSpectrum, 0, false).toMilliseconds() != 0,
            routed);
    }
}

// Blocks larger than the device's block size at start are processed in pieces; the stream of
// the pair stays one continuous processed signal.
TEST (PlayerRouting, BlocksLargerThanPreparedAreProcessedInPieces)
{
    PlayerRig rig (128);
    rig.routing.mainAudioOut = 100;
    std::vector<float> left, right;
    for (int n : {128, 1000, 77, 300})
    {
        const auto outs = rig.callback (3, n);
        left.insert (left.end(), outs[0].begin(), outs[0].end());
        right.insert (right.end(), outs[1].begin(), outs[1].end());
        for (float v : outs[2])
            ASSERT_EQ (v, 0.0f);
    }
    ASSERT_EQ (left.size(), 1505u);
    EXPECT_EQ (left, right);
    for (size_t i = 0; i < left.size(); ++i)
        ASSERT_NEAR (left[i], TwoChannelSource::signal ((juce::int64)i, 1) * processedGain, 1e-6) << i;
}

// Without any IR the engine passes the dry signal whatever the processing switch says.
TEST (PlayerRouting, NoIrPlaysDry)
{
    PlayerRig rig (64, false);
    const auto outs = rig.callback (2, 64);
    for (int i = 0; i < 64; ++i)
        ASSERT_NEAR (outs[0][(size_t)i], TwoChannelSource::signal (i, 1), 1e-7);
}

// Processing switched on or off between two blocks: the next block ramps from the signal that
// was heard to the other (the engine runs in every block, so both exist), on every routing and
// over the whole block when it is processed in pieces; the block after it is wholly the new one.
TEST (PlayerRouting, ProcessingSwitchIsRampedOverOneBlock)
{
    struct Case
    {
        const char* name;
        int mainOut, playing, numOutputs, n;
        std::vector<int> heardOn; // outputs that carry the chosen channel
    };
    const Case cases[] = {
        {"in place on output 0", 0, 0, 2, 128, {0}},
        {"copied to output 2", 2, 1, 4, 128, {2}},
        {"the right channel on pair 1/2", 101, 2, 4, 128, {1, 2}},
        {"a block larger than prepared", 0, 0, 2, 300, {0}},
    };
    for (const auto& c : cases)
        for (bool on : {false, true})
        {
            SCOPED_TRACE (testing::Message() << c.name << (on ? ", switched on" : ", switched off"));
            PlayerRig rig (128);
            rig.routing.mainAudioOut = c.mainOut;
            rig.routing.playingChannel = c.playing;
            rig.routing.processingEnabled = !on;
            const int channel = c.playing == 2 ? 2 : 1;
            const auto level = [&] (bool processed) { return processed ? processedGain : 1.0f; };

            for (int k = 0; k < 3; ++k)
            {
                if (k == 1)
                    rig.routing.processingEnabled = on;
                const auto outs = rig.callback (c.numOutputs, c.n);
                for (int o : c.heardOn)
                    for (int i = 0; i < c.n; ++i)
                    {
                        const float x = TwoChannelSource::signal (k * c.n + i, channel);
                        const float w = (float)i / (float)(c.n - 1);
                        const float expected = k == 0   ? x * level (!on)
                                               : k == 2 ? x * level (on)
                                                        : x * (level (!on) * (1.0f - w) + level (on) * w);
                        ASSERT_NEAR (outs[(size_t)o][(size_t)i], expected, 1e-6)
                            << "block " << k << ", output " << o << ", sample " << i;
                    }
            }
        }
}
