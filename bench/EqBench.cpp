// Graphic-EQ bank cost as the blend sum uses it: 31 bands at 96 kHz over three 2048-sample band
// buffers, each from silent filter states, with and without new band values first.
#include "engine/PellmixEqFilterBank.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace
{
void BM_EqBankThreeBands (benchmark::State& state)
{
    const bool newValues = state.range (0) != 0;
    PellmixEqFilterBank bank;
    bank.setup (31, 6.0f, 96000.0, 2, 1);
    std::vector<float> source (2048);
    for (size_t i = 0; i < source.size(); ++i)
        source[i] = std::sin (0.05f * float (i));
    std::vector<std::vector<float>> bands (3, source);
    int round = 0;
    for (auto _ : state)
    {
        if (newValues)
            for (int b = 0; b < 31; ++b)
                bank.setBandValue (b, float ((b + round) % 11) / 10.0f);
        for (auto& b : bands)
        {
            b = source; // a fresh signal each time (a few hundred ns), never a decayed one
            bank.resetAndEnable();
            bank.process (b.data(), int (b.size()));
        }
        benchmark::DoNotOptimize (bands[2].data());
        ++round;
    }
    state.SetLabel (newValues ? "31 new band values, then 3 x 2048" : "3 x 2048");
}
BENCHMARK (BM_EqBankThreeBands)->Arg (0)->Arg (1)->Unit (benchmark::kMicrosecond);
} // namespace
