// The message-thread checks of the engine facade: a Debug build reports a call from another
// thread to the failure handler; a Release build has no check at all. Calls on the message thread
// (this test's main thread, where the message manager was made) report nothing.
#include "EngineTestHelpers.h"
#include "engine/PellmixThreadCheck.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

using namespace engine_test;

namespace
{
#if defined(NDEBUG)
constexpr bool checked = false;
#else
constexpr bool checked = true;
#endif

std::vector<std::string> reported; // written by the handler, read after the thread has joined

void recordFailure (const char* function, const char*, int)
{
    reported.push_back (function);
}

struct RecordedFailures
{
    RecordedFailures()
        : previous (PellmixThreadCheck::setFailureHandler (&recordFailure))
    {
        reported.clear();
    }
    ~RecordedFailures() { PellmixThreadCheck::setFailureHandler (previous); }
    PellmixThreadCheck::FailureHandler previous;
};
} // namespace

TEST (ThreadCheck, EngineCallsOffTheMessageThreadAreReportedInDebugBuilds)
{
    ASSERT_TRUE (juce::MessageManager::getInstance()->isThisTheMessageThread());
    EngineWithFiles e;
    e.load (0, decayingIr (1500, 48000.0, 1.0), 48000.0);

    struct Case
    {
        const char* function;
        std::function<void()> call;
    };
    const Case cases[] = {
        {"setMute", [&] { e.engine.setMute (0, false); }},
        {"setSolo", [&] { e.engine.setSolo (0, false); }},
        {"setIrParameters", [&] { e.engine.setIrParameters (0, 2048, 0, 0.0f, false, 0.0f); }},
        {"blend", [&] { e.engine.blend (nullptr, false, false); }},
        {"removeIr", [&] { e.engine.removeIr (5); }},
    };
    const RecordedFailures failures;
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.function);
        reported.clear();
        c.call(); // the message thread
        EXPECT_TRUE (reported.empty());

        std::thread other (c.call);
        other.join();
        if (checked)
        {
            ASSERT_EQ (reported.size(), 1u);
            EXPECT_EQ (reported[0], c.function);
        }
        else
        {
            EXPECT_TRUE (reported.empty()) << "the check is compiled into a Release build";
        }
    }
}

// The default handler stops the program and names the function.
TEST (ThreadCheck, TheDefaultHandlerStopsTheProgram)
{
    if (!checked)
        GTEST_SKIP() << "Release build: there is no check to stop on";
    PellmixEngine engine;
    engine.initialise();
    EXPECT_DEATH (std::thread ([&] { engine.setMute (0, true); }).join(),
                  "setMute called off the message thread");
}
