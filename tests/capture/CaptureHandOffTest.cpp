// The capture hand-off's rules, on its own: who moves it from which state, which slot takes the
// file, and that an old session's untaken file never lands in a new one.
#include "engine/PellmixCaptureHandOff.h"

#include <gtest/gtest.h>

namespace
{
using HandOff = PellmixCaptureHandOff;

struct Stored
{
    std::atomic<int> state{HandOff::idle};
    std::atomic<int> slot{-1};
    PellmixSharedString path;
    HandOff handOff{state, slot, path};
};
} // namespace

// The stored numbers are those the settings, the tests of every panel and the worker share.
TEST (CaptureHandOff, StoredValues)
{
    EXPECT_EQ (HandOff::idle, 0);
    EXPECT_EQ (HandOff::windowShown, 1);
    EXPECT_EQ (HandOff::windowClosed, 2);
    EXPECT_EQ (HandOff::runEnded, -1);
    EXPECT_EQ (HandOff::runEndSeen, -2);
}

TEST (CaptureHandOff, ASessionFromRequestToTakenFile)
{
    Stored s;
    s.handOff.request (3);
    EXPECT_TRUE (s.handOff.isWindowShown());
    EXPECT_TRUE (s.handOff.isUnderWay());
    EXPECT_TRUE (s.handOff.isPendingFor (3));
    EXPECT_FALSE (s.handOff.isPendingFor (2));

    juce::String taken = "untouched";
    EXPECT_FALSE (s.handOff.takeResult (3, taken)) << "nothing is taken while the window is shown";
    EXPECT_EQ (taken, "untouched");

    s.path.set ("/tmp/new.vir"); // the worker, on its own thread
    s.handOff.windowWasClosed();
    EXPECT_FALSE (s.handOff.isWindowShown());
    EXPECT_TRUE (s.handOff.isUnderWay()) << "the player stays paused until the block took the file";
    EXPECT_FALSE (s.handOff.takeResult (2, taken)) << "only the block that asked takes it";
    EXPECT_EQ (s.handOff.getState(), HandOff::windowClosed);

    EXPECT_TRUE (s.handOff.takeResult (3, taken));
    EXPECT_EQ (taken, "/tmp/new.vir");
    EXPECT_TRUE (s.path.isEmpty());
    EXPECT_EQ (s.handOff.getState(), HandOff::idle);
    EXPECT_FALSE (s.handOff.isPendingFor (3));
}

// A capture that wrote no file still ends the session: the block takes "nothing" and the state
// returns to idle.
TEST (CaptureHandOff, ClosedWithoutAFileEndsTheSession)
{
    Stored s;
    s.handOff.request (0);
    s.handOff.windowWasClosed();
    juce::String taken = "untouched";
    EXPECT_TRUE (s.handOff.takeResult (0, taken));
    EXPECT_TRUE (taken.isEmpty());
    EXPECT_EQ (s.handOff.getState(), HandOff::idle);
}

// A request from idle forgets an old untaken path; a request during a session (the last request
// wins) moves the session to the new slot and keeps the path the worker may have written.
TEST (CaptureHandOff, RequestsAndTheLeftOverPath)
{
    struct Case
    {
        const char* name;
        int stateBefore;
        bool pathKept;
    };
    const Case cases[] = {{"from idle", HandOff::idle, false},
                          {"while shown", HandOff::windowShown, true},
                          {"after the close", HandOff::windowClosed, true}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        Stored s;
        s.state = c.stateBefore;
        s.slot = 1;
        s.path.set ("/tmp/old.vir");
        s.handOff.request (5);
        EXPECT_EQ (s.handOff.getState(), HandOff::windowShown);
        EXPECT_EQ (s.slot.load(), 5);
        EXPECT_EQ (s.path.isEmpty(), !c.pathKept);
        EXPECT_FALSE (s.handOff.isPendingFor (1));
    }
}

TEST (CaptureHandOff, NoSlotNeverTakes)
{
    Stored s; // slot -1, as at start
    s.state = HandOff::windowClosed;
    juce::String taken;
    EXPECT_FALSE (s.handOff.takeResult (-1, taken));
    EXPECT_FALSE (s.handOff.isPendingFor (-1));
}

TEST (CaptureHandOff, TheWorkersRunEndIsSeenOnce)
{
    std::atomic<int> progress{100};
    EXPECT_FALSE (HandOff::hasRunEnded (progress));
    progress = HandOff::runEnded;
    EXPECT_TRUE (HandOff::hasRunEnded (progress));
    HandOff::markRunEndSeen (progress);
    EXPECT_FALSE (HandOff::hasRunEnded (progress));
    EXPECT_EQ (progress.load(), HandOff::runEndSeen);
}
