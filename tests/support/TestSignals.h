#pragma once
// Deterministic test signals shared by the tests and the benchmarks (header-only, no JUCE).
// The standard library's distributions give different values on different standard libraries;
// these give the same samples for a seed on every run, machine and compiler.
#include <cstdint>
#include <vector>

namespace pellmix_test
{
// A 32-bit linear congruential sequence.
class TestRandom
{
public:
    explicit TestRandom (uint32_t seed)
        : state (seed * 2654435761u + 1u)
    {
    }

    // Uniform in [0, 1), 24 bits.
    double next()
    {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) / 16777216.0;
    }

    // Uniform in [lo, hi).
    double uniform (double lo, double hi) { return lo + (hi - lo) * next(); }

private:
    uint32_t state;
};

// Noise in [-0.5, 0.5) times `scale`.
inline std::vector<float> noise (int length, uint32_t seed, float scale = 1.0f)
{
    std::vector<float> x (static_cast<size_t> (length));
    TestRandom random (seed);
    for (auto& v : x)
        v = static_cast<float> (random.next() - 0.5) * scale;
    return x;
}
} // namespace pellmix_test
