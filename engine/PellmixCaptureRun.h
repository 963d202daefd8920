#pragma once
// The real-time side of a capture: one run state, the test signal played from memory, the
// recording of the capture input into a buffer made beforehand, and the input level.
//
// States: idle -> tone (a looping test tone) or recording (the sweep, recorded); recording ->
// complete (the audio thread has recorded every sample) -> handingOver (the message thread writes
// the recording and runs the worker) -> idle. Every change is a compare-and-swap, so a click and
// the audio thread never both act on one state: a stop that loses against the completion finds
// the run complete, and a completion that loses against a stop finds it idle.
//
// Threads:
// - processBlock() runs on the audio thread (PELLMIX_NONBLOCKING). It allocates nothing, takes no
//   lock, does no I/O, starts nothing and calls nothing of the framework: it renders the signal into the
//   chosen output (silence elsewhere, and a one block fade-out after a stop), records while recording,
//   publishes the input peak, counts the recorded samples and the blocks, flags blocks of an unexpected
//   size, counts the recording's dropouts that the block time stamps or short blocks show and marks the
//   run complete.
// - deviceStopped() may run on any thread (the device's own or the message thread); it only
//   changes atomics.
// - begin() hands new buffers over. It must not run concurrently with processBlock(): call it
//   with the device manager's callback lock held, or while no device calls the callback. It only
//   swaps buffers, so the lock is held for a moment; the old buffers come back to the caller,
//   who frees them after releasing the lock.
// - Everything else is for the message thread and reads or changes only atomics. The recording
//   may be read by the message thread once beginHandOver() succeeded: the audio thread no longer
//   writes it from the moment it marks the run complete.
#include "engine/PellmixRealtime.h"

#include <juce_core/juce_core.h>

#include <atomic>
#include <cstdint>
#include <vector>

class PellmixCaptureRun
{
public:
    enum class State
    {
        idle,
        tone,
        recording,
        complete,
        handingOver
    };

    struct Buffers
    {
        std::vector<float> signal; // played from sample 0; looped for a tone
        std::vector<float> record; // recording: latency zeros, then the input (empty for a tone)
    };

    PellmixCaptureRun() = default;

    // Enters `newState` (tone or recording) from idle with these buffers; `buffers` receives the
    // previous ones. For a recording, `record` holds zeros, as many as the run records: input
    // sample k of the run is stored at k for latency <= k < record.size(). deviceRate, when
    // positive, lets the block time stamps show samples the device skipped. False (nothing
    // changed) when not idle.
    bool begin (State newState, Buffers& buffers, int64_t latency, double deviceRate = 0.0);

    // Tone or recording -> idle. Returns the state found: a stop that meets complete or
    // handingOver changes nothing.
    State stop();
    // Recording or complete -> idle (a recording that clipped). True when it was one of these.
    bool abort();
    // Complete -> handingOver. True when the run was complete.
    bool beginHandOver();
    // HandingOver -> idle.
    void finishHandOver();

    State getState() const { return state.load(); }
    bool isPlaying() const;
    int64_t getRecordedCount() const { return recorded.load(); }
    int64_t getTotal() const { return total; }
    int64_t getLatency() const { return latency; }
    // The recording; read it only in handingOver (or idle after a finished run).
    const std::vector<float>& getRecording() const { return buffers.record; }

    // Largest absolute input sample of the latest block (during a recording: of its recorded
    // part), and the largest since the last call of takePeakSinceLastCall().
    float getLatestPeak() const { return latestPeak.load(); }
    float takePeakSinceLastCall() { return peakSinceTake.exchange (0.0f); }
    // The size of the latest block of another size than expected during a tone or recording, once;
    // 0 when none came since the last call.
    int takeBlockSizeMismatch() { return mismatchedBlockSize.exchange (0); }
    // Dropouts of the current or last recording seen here: from a device that stamps its blocks,
    // blocks whose time stamp lies further after the previous block's than that block's length
    // (the device skipped samples, late or short); from one that does not, blocks shorter than the
    // expected block size; and device stops during the recording. Blocks that come late with no
    // sample lost are not counted here: the device's own dropout count, which tells them, is the
    // caller's.
    int getDropouts() const { return dropouts.load(); }
    // Blocks handed to processBlock() since construction: a count that stands still means that no
    // device feeds the run.
    uint32_t getBlockCount() const { return blocks.load(); }
    // The device stopped calling: the input is silent from now on, and a recording lost samples.
    void deviceStopped();
    // Longest processBlock() call during recordings since the last reset, in microseconds.
    double getWorstBlockMicroseconds() const;
    void resetWorstBlockTime() { worstBlockNanoseconds = 0; }

    // The audio callback's work, once per device block. inputChannel and outputChannel are
    // positions among the callback's channels; one outside them silences the outputs or stops
    // metering and recording (the count then stands still). expectedBlockSize is the device's block
    // size, as the settings name it. hostTimeNs is the device's time stamp of the block, when it
    // gives one.
    void processBlock (const float* const* inputs, int numInputs, float* const* outputs, int numOutputs,
                       int numSamples, int inputChannel, int outputChannel, int expectedBlockSize,
                       const uint64_t* hostTimeNs = nullptr) PELLMIX_NONBLOCKING;

private:
    void render (float* out, int numSamples, bool playing) PELLMIX_NONBLOCKING;
    float recordBlock (const float* in, int numSamples) PELLMIX_NONBLOCKING;
    static float peakOf (const float* in, int numSamples) PELLMIX_NONBLOCKING;
    void publishPeak (float peak) PELLMIX_NONBLOCKING;
    void countDropouts (const uint64_t* hostTimeNs, int numSamples,
                        int expectedBlockSize) PELLMIX_NONBLOCKING;

    std::atomic<State> state{State::idle};
    Buffers buffers;
    bool looping = false;
    int64_t latency = 0;
    int64_t total = 0;
    double deviceRate = 0.0;

    // Audio thread only (set by begin() while the audio thread is held off).
    int64_t playPosition = 0;
    bool playedLastBlock = false;
    uint64_t lastHostTimeNs = 0;
    int lastBlockLength = 0; // 0: no time stamp of this recording yet

    std::atomic<int64_t> recorded{0};
    std::atomic<float> latestPeak{0.0f};
    std::atomic<float> peakSinceTake{0.0f};
    std::atomic<int> mismatchedBlockSize{0};
    std::atomic<int> dropouts{0};
    std::atomic<uint32_t> blocks{0};
    std::atomic<int64_t> worstBlockNanoseconds{0};

    JUCE_DECLARE_NON_COPYABLE (PellmixCaptureRun)
};
