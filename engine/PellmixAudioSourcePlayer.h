#pragma once
// The audio callback of the player: the transport (the source set on the base class) renders
// the file into the device outputs; the chosen file channel is then routed to the main output
// channel or pair, run through the engine, and every other output is silenced.
//
// The configuration's routing fields are handed over at construction, as references:
// processingEnabled (the processed signal replaces the dry one), mainAudioOut (a code of
// PellmixChannelCode: a channel position below 99, or 99 + k for the pair k - 1 / k; anything
// else silences the outputs) and playingChannel (2: the file's right channel, rendered in
// output 1; otherwise its left one).
//
// A change of processingEnabled is ramped over one block, from the signal that was heard to the
// other (the engine runs in every block, so both are at hand); the first block after a start
// takes the switch as it stands.
//
// Threading: audioDeviceIOCallbackWithContext() runs on the audio thread, a real-time context
// (PELLMIX_NONBLOCKING); it reads the three fields once per block (atomics), allocates nothing
// and waits for nothing but, inside the base class's rendering, the framework's own source locks
// (the engine never waits).
// audioDeviceAboutToStart() runs while the device calls no audio callback; it sizes the one
// temporary block and prepares the engine. Blocks larger than that size are processed in
// pieces of that size.
#include "engine/PellmixEngine.h"

#include <juce_audio_devices/juce_audio_devices.h>
#include <juce_events/juce_events.h>

#include <atomic>
#include <vector>

class PellmixAudioSourcePlayer : public juce::AudioSourcePlayer, public juce::Timer
{
public:
    PellmixAudioSourcePlayer (PellmixEngine& engine, std::atomic<bool>& processingEnabled,
                              std::atomic<int>& mainAudioOut, std::atomic<int>& playingChannel);
    ~PellmixAudioSourcePlayer() override;

    void audioDeviceIOCallbackWithContext (const float* const* inputChannelData, int numInputChannels,
                                           float* const* outputChannelData, int numOutputChannels,
                                           int numSamples, const juce::AudioIODeviceCallbackContext& context)
        PELLMIX_NONBLOCKING override;
    void audioDeviceAboutToStart (juce::AudioIODevice* device) override;

    // Never started.
    void timerCallback() override {}

    // Output positions of one block: `source` is the rendered channel that is heard, `left` the
    // output that is processed and `right` the second channel of a pair (-1 when none).
    // left is -1 when the selection names no existing channel or pair.
    struct Routing
    {
        int source = -1;
        int left = -1;
        int right = -1;
    };
    static Routing route (int mainAudioOut, int playingChannel, int numOutputs);

private:
    PellmixEngine& engine;
    std::atomic<bool>& processingEnabled;
    std::atomic<int>& mainAudioOut;
    std::atomic<int>& playingChannel;
    std::vector<float> block; // sized when the device starts
    int processedHeard = -1;  // audio thread: the last block's processing (0 or 1); -1 before one

    JUCE_DECLARE_NON_COPYABLE (PellmixAudioSourcePlayer)
};
