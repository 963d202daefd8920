// The bank's own lock: band values changed on one thread while another processes. Run under
// ThreadSanitizer as well.
#include "engine/PellmixEqFilterBank.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

TEST (EqFilterBankConcurrency, SetBandValueWhileProcessing)
{
    PellmixEqFilterBank bank;
    bank.setup (31, 6.0f, 96000.0, 2, 1);
    bank.resetAndEnable();

    std::atomic<bool> done{false};
    std::thread writer (
        [&]
        {
            for (int round = 0; round < 200; ++round)
                for (int b = 0; b < bank.getNumBands(); ++b)
                    bank.setBandValue (b, float ((round + b) % 11) / 10.0f);
            done = true;
        });

    std::vector<float> buffer (2048);
    int blocks = 0;
    while (!done || blocks < 10)
    {
        for (size_t i = 0; i < buffer.size(); ++i)
            buffer[i] = std::sin (0.01f * float (i));
        bank.process (buffer.data(), int (buffer.size()));
        for (float s : buffer)
            ASSERT_TRUE (std::isfinite (s));
        bank.resetAndEnable(); // on this thread only, as the blend sum does
        ++blocks;
    }
    writer.join();
}
