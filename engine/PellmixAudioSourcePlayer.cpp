#include "engine/PellmixAudioSourcePlayer.h"

#include "engine/PellmixChannelCode.h"
#include "engine/PellmixRamp.h"

#include <algorithm>

namespace
{
constexpr int playerFftSize = 2048;
constexpr int playerSpectrumPoints = 364;
} // namespace

PellmixAudioSourcePlayer::PellmixAudioSourcePlayer (PellmixEngine& engineToUse, std::atomic<bool>& processing,
                                                    std::atomic<int>& mainOut, std::atomic<int>& channel)
    : engine (engineToUse)
    , processingEnabled (processing)
    , mainAudioOut (mainOut)
    , playingChannel (channel)
{
}

PellmixAudioSourcePlayer::~PellmixAudioSourcePlayer() = default;

PellmixAudioSourcePlayer::Routing PellmixAudioSourcePlayer::route (int mainOut, int channel, int numOutputs)
{
    Routing r;
    if (numOutputs <= 0)
        return r;
    // The right channel is rendered in output 1; a one-output device has only the left.
    r.source = (channel == 2 && numOutputs >= 2) ? 1 : 0;

    if (PellmixChannelCode::isSingle (mainOut))
    {
        if (mainOut < numOutputs)
            r.left = mainOut;
    }
    else if (PellmixChannelCode::isPair (mainOut))
    {
        const int k = PellmixChannelCode::pairRight (mainOut);
        if (k < numOutputs)
        {
            r.left = k - 1;
            r.right = k;
        }
    }
    return r;
}

void PellmixAudioSourcePlayer::audioDeviceIOCallbackWithContext (
    const float* const* inputChannelData, int numInputChannels, float* const* outputChannelData,
    int numOutputChannels, int numSamples, const juce::AudioIODeviceCallbackContext& context)
{
    // The played files take no input; passing none keeps the base class from sizing a buffer for
    // surplus inputs on the audio thread.
    juce::ignoreUnused (inputChannelData, numInputChannels);
    // JUCE's player, transport and read-ahead locks: held elsewhere for a source swap or one chunk read.
    PELLMIX_FRAMEWORK_CALL (juce::AudioSourcePlayer::audioDeviceIOCallbackWithContext (
        nullptr, 0, outputChannelData, numOutputChannels, numSamples, context));
    if (numSamples <= 0)
        return;

    auto r = route (mainAudioOut.load(), playingChannel.load(), numOutputChannels);
    const bool haveBlock = !block.empty();
    if (r.left >= 0 && haveBlock && outputChannelData[r.source] != nullptr &&
        outputChannelData[r.left] != nullptr)
    {
        const bool processed = processingEnabled.load();
        // A switch of processing is ramped over this block, from what was heard.
        const bool switching = processedHeard >= 0 && processed != (processedHeard == 1);
        const float* src = outputChannelData[r.source];
        float* dst = outputChannelData[r.left];
        const int capacity = (int)block.size();
        float* tmp = block.data();

        for (int offset = 0; offset < numSamples; offset += capacity)
        {
            const int n = std::min (capacity, numSamples - offset);
            std::copy (src + offset, src + offset + n, tmp);
            const float* ins[] = {tmp};
            float* outs[] = {tmp};
            engine.processBlock (ins, outs, 1, n, true);
            if (switching)
                pellmixRamp (processed ? src + offset : tmp, processed ? tmp : src + offset, dst + offset, n,
                             offset, numSamples);
            else if (processed)
                std::copy (tmp, tmp + n, dst + offset);
            else if (dst != src)
                std::copy (src + offset, src + offset + n, dst + offset);
        }
        processedHeard = processed ? 1 : 0;
        if (r.right >= 0 && outputChannelData[r.right] != nullptr)
            std::copy (dst, dst + numSamples, outputChannelData[r.right]);
    }
    else
    {
        r.left = r.right = -1;
    }

    for (int c = 0; c < numOutputChannels; ++c)
        if (c != r.left && c != r.right && outputChannelData[c] != nullptr)
            std::fill (outputChannelData[c], outputChannelData[c] + numSamples, 0.0f);
}

void PellmixAudioSourcePlayer::audioDeviceAboutToStart (juce::AudioIODevice* device)
{
    juce::AudioSourcePlayer::audioDeviceAboutToStart (device);
    const int blockSize = std::max (1, device->getCurrentBufferSizeSamples());
    const double rate = device->getCurrentSampleRate();
    block.assign ((size_t)blockSize, 0.0f);
    processedHeard = -1;
    engine.prepareToPlay (blockSize, rate);
    engine.prepareSpectrum (PellmixEngine::outputSpectrum, playerFftSize, playerSpectrumPoints, rate);
    engine.reset();
}
