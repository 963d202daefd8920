#pragma once
// Checks of the threading contracts that the headers state.
//
// PELLMIX_ASSERT_MESSAGE_THREAD() stands first in an entry point that its header reserves for the
// message thread. In a Debug build (NDEBUG not defined) a call from another thread is reported to
// the failure handler, which by default writes the function, file and line to the standard error
// and stops the program, as assert() does. In a Release build the check compiles away.
//
// The message thread is the juce::MessageManager's; a program with no message manager (a
// benchmark, a command-line tool) has no message thread to keep to, and nothing is checked there.
//
// Threading: the check runs on any thread; setFailureHandler is for tests, called while no other
// thread runs a check.
#include <juce_events/juce_events.h>

namespace PellmixThreadCheck
{
using FailureHandler = void (*) (const char* function, const char* file, int line);

// Replaces the failure handler; null restores the default. Returns the handler it replaced.
FailureHandler setFailureHandler (FailureHandler handler);

// True on the message manager's thread, and everywhere when there is no message manager.
bool isMessageThread();

// Reports a call of `function` from another thread than the message thread.
void messageThreadExpected (const char* function, const char* file, int line);
} // namespace PellmixThreadCheck

#if defined(NDEBUG)
#define PELLMIX_ASSERT_MESSAGE_THREAD() ((void)0)
#else
#define PELLMIX_ASSERT_MESSAGE_THREAD()                                                                      \
    (PellmixThreadCheck::isMessageThread() ? (void)0                                                         \
                                           : PellmixThreadCheck::messageThreadExpected (                     \
                                                 static_cast<const char*> (__func__), __FILE__, __LINE__))
#endif
