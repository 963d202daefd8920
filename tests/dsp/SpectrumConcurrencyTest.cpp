// Spectrum analyser hand-over: the audio thread pushes while the message thread analyses. Every
// analysis must see one whole window as pushed, never a mix of two (run under ThreadSanitizer).
#include "engine/PellmixSpectrum.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

// Each push replaces the whole window by a constant. A whole constant window has energy in the
// DC bin only, so every display point from bin 1 upwards reads -96 dB before normalisation; a
// window torn between two pushes has a step, which spreads energy over all bins.
TEST (SpectrumConcurrency, AnalysisSeesWholeWindowsWhilePushing)
{
    const int n = 2048;
    PellmixSpectrum s;
    s.prepare (n, 224, 96000.0);
    const double binWidth = 96000.0 / n;

    std::atomic<bool> done{false};
    std::atomic<int> pushes{0};
    std::thread audio (
        [&]
        {
            std::vector<float> block (static_cast<size_t> (n));
            for (int k = 0; !done.load(); ++k)
            {
                std::fill (block.begin(), block.end(), 0.25f + 0.5f * float (k % 2));
                s.pushSamples (block.data(), n);
                pushes.fetch_add (1);
            }
        });

    while (pushes.load() == 0)
        std::this_thread::yield();

    int torn = 0;
    for (int analysis = 0; analysis < 400; ++analysis)
    {
        s.analyse();
        // Without smoothing the values are normalised by the peak; points whose bins are all
        // above DC share one value.
        float reference = 0.0f;
        bool first = true;
        for (int i = 0; i < s.numPoints; ++i)
        {
            if (s.frequencies[size_t (i)] < binWidth)
                continue;
            if (first)
                reference = s.magnitudesDb[size_t (i)];
            first = false;
            if (s.magnitudesDb[size_t (i)] != reference)
            {
                ++torn;
                break;
            }
        }
    }
    done.store (true);
    audio.join();
    EXPECT_EQ (torn, 0);
    EXPECT_GT (pushes.load(), 1);
}
