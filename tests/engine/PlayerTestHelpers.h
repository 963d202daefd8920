#pragma once
// Pieces of the playback-callback tests: a device that only reports a rate and a block size, a
// two-channel source with a different known signal in each channel, and a signal on a transport.
#include "EngineTestHelpers.h"
#include "engine/PellmixAudioSourcePlayer.h"

namespace engine_test
{
class FakeDevice : public juce::AudioIODevice
{
public:
    FakeDevice (double r, int block)
        : juce::AudioIODevice ("fake", "fake")
        , rate (r)
        , blockSize (block)
    {
    }
    juce::StringArray getOutputChannelNames() override { return {"1", "2", "3", "4"}; }
    juce::StringArray getInputChannelNames() override { return {"1", "2"}; }
    juce::Array<double> getAvailableSampleRates() override { return {rate}; }
    juce::Array<int> getAvailableBufferSizes() override { return {blockSize}; }
    int getDefaultBufferSize() override { return blockSize; }
    juce::String open (const juce::BigInteger&, const juce::BigInteger&, double, int) override { return {}; }
    void close() override {}
    bool isOpen() override { return true; }
    void start (juce::AudioIODeviceCallback*) override {}
    void stop() override {}
    bool isPlaying() override { return true; }
    juce::String getLastError() override { return {}; }
    int getCurrentBufferSizeSamples() override { return blockSize; }
    double getCurrentSampleRate() override { return rate; }
    int getCurrentBitDepth() override { return 32; }
    juce::BigInteger getActiveOutputChannels() const override { return 15; }
    juce::BigInteger getActiveInputChannels() const override { return 3; }
    int getOutputLatencyInSamples() override { return 0; }
    int getInputLatencyInSamples() override { return 0; }

private:
    double rate;
    int blockSize;
};

// Left channel: signal (t, 1), right channel: signal (t, 2), t counting from the first block.
class TwoChannelSource : public juce::AudioSource
{
public:
    static float signal (juce::int64 t, int channel)
    {
        return channel == 1 ? 0.5f * std::sin (0.01f * (float)t) : 0.3f * std::cos (0.037f * (float)t) + 0.1f;
    }

    void prepareToPlay (int, double) override {}
    void releaseResources() override {}
    void getNextAudioBlock (const juce::AudioSourceChannelInfo& info) override
    {
        for (int ch = 0; ch < info.buffer->getNumChannels(); ++ch)
        {
            float* d = info.buffer->getWritePointer (ch, info.startSample);
            for (int i = 0; i < info.numSamples; ++i)
                d[i] = ch < 2 ? signal (position + i, ch + 1) : 0.0f;
        }
        position += info.numSamples;
    }

    juce::int64 position = 0;
};

// The configuration fields the player reads.
struct Routing
{
    std::atomic<bool> processingEnabled{true};
    std::atomic<int> mainAudioOut{0};
    std::atomic<int> playingChannel{0};
};
// A mono signal on both channels of a transport, as the player plays a file: the source to give
// a PellmixAudioSourcePlayer. Played once, or round and round when `looping`.
struct TransportedSignal
{
    TransportedSignal (const std::vector<float>& samples, bool looping)
        : buffer (2, (int)samples.size())
        , memory (buffer, false, looping)
    {
        for (int channel = 0; channel < 2; ++channel)
            buffer.copyFrom (channel, 0, samples.data(), (int)samples.size());
        transport.setSource (&memory);
    }

    juce::AudioBuffer<float> buffer;
    juce::MemoryAudioSource memory;
    juce::AudioTransportSource transport;
};

} // namespace engine_test
