#pragma once
// The DSP entry point: eight IR slots, the blend sum and four preview convolvers in two pairs
// (pair p: convolver p for channel 0, convolver p + 2 for channel 1).
//
// A blend puts the new IR into the idle pair; the next audio block that takes the lock
// crossfades linearly from the pair that was playing to the new one over exactly that block
// (sample 0 all old, the last sample all new; a sample that is not finite fades as silence).
// Further blends before that block only replace the new pair's IR.
//
// The switches between the convolved and the dry signal are ramped over one block the same way,
// from what was heard to what will be heard: the signal turns dry when processing is off or no
// slot sounds (the last slot muted or removed), and turns convolved again only with an IR that a
// blend published after it turned dry, or, when only processing was off, the IR that was playing;
// either way from an empty tail. A blend that finds no sounding slot publishes the dry state.
//
// Threading:
// - Everything but processBlock() runs on the message thread (prepareToPlay(), reset() and
//   prepareSpectrum() also at device start, when no audio callback runs). The calls that change
//   the slots or the blend assert it in Debug builds (PELLMIX_ASSERT_MESSAGE_THREAD); the const
//   getters may also be read from another thread, as the player's spectrum reads are.
// - processBlock() runs on the audio thread and never waits for another thread: it tries `lock`
//   once. With the lock it takes what was published (a new pair, the dry state) for the block;
//   without it, it plays on with the pair that was playing, which no publish touches (a publish
//   fills the other pair), and the publish is taken by the next block that gets the lock. It
//   allocates nothing, makes no system call, reads no slot and no sum data: only the convolvers,
//   the scratch buffers, the publish state and the atomic `playable` flag. It is a real-time
//   context (PELLMIX_NONBLOCKING).
// - blend() does its heavy work (sum, normalisation, EQ, resampling and transform of the new IR)
//   outside `lock`, serialised against other blends and device starts by `blendLock`, and holds
//   `lock` only to swap the prepared IR into the idle pair and arm the crossfade, so a publish
//   never overlaps a block that uses it. prepareToPlay(), reset() and the output spectrum's
//   preparation hold it longer, but only at device start.
// - The spectrum getters analyse the convolvers' analysers without `lock` (their hand-over is
//   lock-free); currentPair is atomic for them.
// - Loading (loadIr, prepareIrs) reads and converts files on worker threads (PellmixWorkers)
//   while the message thread waits for them: they fill buffers of their own with the slots'
//   readers and resamplers, touch nothing else of the engine, and only the message thread puts
//   a result into its slot.
#include "engine/PellmixConvolver.h"
#include "engine/PellmixIrSlot.h"
#include "engine/PellmixIrSum.h"
#include "engine/PellmixRealtime.h"

#include <juce_core/juce_core.h>

#include <array>
#include <atomic>
#include <utility>
#include <vector>

class PellmixEngine
{
public:
    static constexpr int numSlots = 8;
    static constexpr double workingRate = 96000.0;

    // Source of a spectrum, length or change time. Any int value may be passed.
    enum SpectrumKind : int
    {
        slotSpectrum = 0,
        sumSpectrum = 1,
        outputSpectrum = 2,
        inputSpectrum = 3
    };

    PellmixEngine();

    // Creates the eight slots (once), applies the active rule and sets up the sum's EQ bank.
    void initialise();

    // Reads a file into a slot. False when the file cannot be read: the slot then stays as it
    // was (a fresh slot unloaded and silent, a loaded slot keeps its IR).
    bool loadIr (int slot, const juce::File& file);

    // loadIr in two steps, so that several slots' files are read and converted side by side.
    // prepareIrs reads and converts each (slot, file) pair into a PreparedIr, on worker threads,
    // and returns once all are done; it changes nothing that the blend, the audio thread or the
    // user interface reads (only each listed slot's reader and resampler are used, and a slot
    // listed twice is read once). loadPreparedIr then does the rest of loadIr with it: exactly
    // what loadIr (slot, file) would have done with the file as it was read.
    struct PreparedIr
    {
        int slot = -1;
        bool read = false;
        PellmixIrData::Loaded data;
    };
    std::vector<PreparedIr> prepareIrs (const std::vector<std::pair<int, juce::File>>& files);
    bool loadPreparedIr (PreparedIr& prepared);
    void removeIr (int slot);
    void setMute (int slot, bool shouldMute);
    void setSolo (int slot, bool shouldSolo);
    // Window, fractional delay, polarity and gain, in that order.
    void setIrParameters (int slot, int length, int offset, float phase, bool invert, float gainDb);

    // Sums the active slots, normalises, applies the EQ when applyEq (with new gains in dB when
    // updateGains) and hands the result to the idle pair. With no active, non-empty slot it
    // clears the sum and publishes the dry state. A sum that is not finite changes nothing: the
    // previous sum and the IR that plays stay.
    void blend (const float* eqGainsDb, bool updateGains, bool applyEq);

    // Writes the sum as a vir file; false when it could not be written.
    bool exportIr (const juce::File& file);

    void prepareToPlay (int blockSize, double sampleRate);
    void reset();
    // inputs and outputs may be the same buffers. Blocks larger than the prepared size are
    // processed in pieces of at most that size; a crossfade or ramp still spans the whole call.
    void processBlock (const float** inputs, float** outputs, int numChannels, int numSamples,
                       bool enabled) PELLMIX_NONBLOCKING;

    void prepareSpectrum (int kind, int fftSize, int numPoints, double sampleRate);
    const float* getMagnitudes (int kind, int slot);
    const float* getPhases (int kind, int slot);
    juce::Time getChangeTime (int kind, int slot, bool analysisTime) const;
    int getIrLength (int kind, int slot) const;

    bool isLoaded (int slot) const { return loaded[(size_t)slot]; }
    int getCurrentPair() const { return currentPair.load(); }
    bool isCrossfadePending() const;
    int getPreparedBlockSize() const { return preparedBlockSize; }
    // How long the last blend held the audio lock, and how long its publish took from asking for
    // the lock to releasing it, in microseconds (for the benchmarks).
    double getLastBlendLockMicroseconds() const { return lastBlendLockMicroseconds.load(); }
    double getLastPublishMicroseconds() const { return lastPublishMicroseconds.load(); }
    // Blocks that found the lock taken and played on with the pair that was playing.
    juce::uint32 getBusyBlocks() const { return busyBlocks.load(); }

    // Read-only views of the engine's data, for the plots and the tests (message thread): slot
    // 0..7 (once initialised; its length and working buffers), the blend sum (its bands and
    // length) and convolver 0..3. They change only through the operations above, which keep the
    // locking rules.
    const PellmixIrSlot& getSlot (int slot) const { return *slots[slot]; }
    const PellmixIrSum& getSum() const { return sum; }
    const PellmixConvolver& getConvolver (int index) const { return convolvers[(size_t)index]; }

private:
    juce::OwnedArray<PellmixIrSlot> slots;
    PellmixIrSum sum;
    std::array<PellmixConvolver, 4> convolvers;

    void updateActiveSlots();
    bool anyPlayableSlot() const;
    PellmixConvolver& outputConvolver() { return convolvers[(size_t)currentPair.load()]; }
    // What a block plays: the dry input, or the output of a pair.
    struct Sound
    {
        bool wet = false;
        int pair = 0;
    };
    void processPiece (const float* const* in, float* const* out, int numChannels, int offset, int n,
                       int fadeLength, Sound from, Sound to) PELLMIX_NONBLOCKING;

    std::atomic<int> currentPair{0};
    // The publish, under `lock`: a new IR in pair currentPair, or the dry state.
    bool crossfadePending = false;
    bool dryPending = false;
    bool blendHeld = false; // the sum holds a blend (blendLock): reset() starts from it

    // The audio thread's own state (reset() sets it while no block runs).
    enum class Heard
    {
        nothing, // no block since reset()
        dry,
        wet
    };
    Heard heard = Heard::nothing;
    int audiblePair = 0;          // the pair whose output ended the last block
    bool awaitingPublish = false; // dry since no slot sounded: wet again only with a new publish
    std::atomic<juce::uint32> busyBlocks{0};

    std::vector<float> scratchNew, scratchOld;
    int preparedBlockSize = 0;
    PellmixSpinLock lock;
    juce::CriticalSection blendLock;
    std::atomic<bool> playable{false}; // some slot is active and holds samples
    std::atomic<double> lastBlendLockMicroseconds{0.0};
    std::atomic<double> lastPublishMicroseconds{0.0};
    std::array<bool, numSlots> solo{}, mute{}, loaded{};

    friend struct PellmixEngineTestAccess; // the tests hold `lock` to make a block find it taken
    JUCE_DECLARE_NON_COPYABLE (PellmixEngine)
};
