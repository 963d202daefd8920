#pragma once
// The capture hand-off: an IR block asks for a capture, the capture window records and the worker
// writes the IR file, and the block that asked takes that file. Its rules, and the names of the
// values it is stored as, live here; the others call these functions.
//
// The hand-off state (stored in PellmixConfig::captureState as these numbers):
//
//   idle (0) --request (slot)--> windowShown (1)       an IR block asks (any state: the last
//                                                     request wins, with its slot)
//   windowShown --windowClosed()--> windowClosed (2)  the capture window's close, held by the
//                                                     window until its run and worker have ended
//   windowClosed --takeResult (slot)--> idle          the timer of the block that asked, with
//                                                     the new file or none
//
// Who reads it: the main content shows the capture window while windowShown; the player stays
// paused while a capture isUnderWay(); the block that asked shows "Capturing ..." while
// isPendingFor (its slot). A request from idle forgets a path an earlier session left untaken, so
// that file cannot land in the new slot.
//
// The worker's progress (Calculs::progress) runs 0 to 100 during a run and is runEnded (-1) once
// a run has ended; the capture window, seeing that end, resets its controls and marks the end as
// seen (runEndSeen, -2), so that it acts on each end once. A new start sets it to 0 again.
//
// Threading: every move of the state is made on the message thread. The state, the slot and the
// path are atomics or handed over whole (the worker writes the path on its own thread), so any
// thread may read them.
#include "engine/PellmixSharedString.h"

#include <atomic>

class PellmixCaptureHandOff
{
public:
    enum State : int
    {
        idle = 0,
        windowShown = 1,
        windowClosed = 2
    };

    // Values of the worker's progress outside 0..100.
    static constexpr int runEnded = -1;
    static constexpr int runEndSeen = -2;

    PellmixCaptureHandOff (std::atomic<int>& storedState, std::atomic<int>& storedSlot,
                           PellmixSharedString& storedPath)
        : state (storedState)
        , slot (storedSlot)
        , lastPath (storedPath)
    {
    }

    // An IR block asks for a capture into `slotIndex`.
    void request (int slotIndex)
    {
        if (state.load() == idle)
            lastPath.clear();
        slot = slotIndex;
        state = windowShown;
    }

    // The capture window was closed (with nothing of its run left to finish).
    void windowWasClosed() { state = windowClosed; }

    // The block of `slotIndex`, on its timer: once the window was closed after this block asked,
    // takes the path of the new file (empty when the capture wrote none) and returns to idle.
    // False, with nothing changed, before that or for any other slot.
    bool takeResult (int slotIndex, juce::String& path)
    {
        if (slotIndex < 0 || slot.load() != slotIndex || state.load() != windowClosed)
            return false;
        path = lastPath.take();
        state = idle;
        return true;
    }

    State getState() const { return (State)state.load(); }
    bool isUnderWay() const { return state.load() != idle; }
    bool isWindowShown() const { return state.load() == windowShown; }
    bool isPendingFor (int slotIndex) const
    {
        return slotIndex >= 0 && slot.load() == slotIndex && state.load() != idle;
    }

    // The worker's progress: a run has ended and its end was not yet seen; mark it seen.
    static bool hasRunEnded (const std::atomic<int>& progress) { return progress.load() == runEnded; }
    static void markRunEndSeen (std::atomic<int>& progress) { progress = runEndSeen; }

private:
    std::atomic<int>& state;
    std::atomic<int>& slot;
    PellmixSharedString& lastPath;
};
