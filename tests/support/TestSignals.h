#pragma once
// Deterministic test signals shared by the tests and the benchmarks (header-only, no JUCE).
#include <cstdint>
#include <vector>

namespace pellmix_test
{
// Noise in [-0.5, 0.5) from a linear congruential generator: the same samples for a seed on
// every run and machine.
inline std::vector<float> noise (int length, uint32_t seed)
{
    std::vector<float> x (static_cast<size_t> (length));
    uint32_t s = seed * 2654435761u + 1u;
    for (auto& v : x)
    {
        s = s * 1664525u + 1013904223u;
        v = static_cast<float> ((s >> 8) / 16777216.0 - 0.5);
    }
    return x;
}
} // namespace pellmix_test
