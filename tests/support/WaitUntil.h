#pragma once
// Waiting in a test for a state that comes about by itself: polled, with a bound.
#include <chrono>
#include <thread>

namespace pellmix_test
{
// Polls `condition` every `interval` until it holds or `timeout` passes; true when it held.
template <typename Condition>
bool waitUntil (Condition condition, std::chrono::milliseconds timeout,
                std::chrono::milliseconds interval = std::chrono::milliseconds (50))
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition())
    {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for (interval);
    }
    return true;
}
} // namespace pellmix_test
