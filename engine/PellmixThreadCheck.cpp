#include "engine/PellmixThreadCheck.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace PellmixThreadCheck
{
namespace
{
void stopProgram (const char* function, const char* file, int line)
{
    std::fprintf (stderr, "%s:%d: %s called off the message thread\n", file, line, function);
    std::abort();
}

std::atomic<FailureHandler> handler{&stopProgram};
} // namespace

FailureHandler setFailureHandler (FailureHandler newHandler)
{
    return handler.exchange (newHandler != nullptr ? newHandler : &stopProgram);
}

bool isMessageThread()
{
    auto* manager = juce::MessageManager::getInstanceWithoutCreating();
    return manager == nullptr || manager->isThisTheMessageThread();
}

void messageThreadExpected (const char* function, const char* file, int line)
{
    handler.load() (function, file, line);
}
} // namespace PellmixThreadCheck
