// The worker's progress, status text and the last-capture path are read by the message thread
// (and here by a second reader) while the worker writes them; every value read is whole and one
// the run can produce. Run under ThreadSanitizer.
#include "CaptureSupport.h"
#include "engine/PellmixCaptureHandOff.h"

#include <atomic>
#include <cmath>
#include <set>
#include <thread>

namespace
{
using capture_test::CaptureFolder;

TEST (CalculsConcurrency, ReadersSeeWholeValuesWhileTheWorkerRuns)
{
    CaptureFolder folder;
    std::vector<float> x (20000);
    for (size_t i = 0; i < x.size(); ++i)
    {
        const double u = (double)i / 48000.0 - 0.1;
        x[i] = (float)(std::exp (-u * u / 3.2e-7) * std::cos (2.0 * 3.141592653589793 * 2000.0 * u));
    }
    capture_test::writeFloats (folder.temp.getChildFile ("record.raw"), x);
    capture_test::writeFloats (folder.temp.getChildFile ("inverse.raw"), {1.0f});
    const auto output = folder.temp.getChildFile ("capture.vir");
    const auto outputPath = output.getFullPathName();

    const std::set<juce::String> statuses{"", "Processing...", "Process successful !"};
    const std::set<int> steps{-2, -1, 0, 4, 8, 10, 20, 30, 40, 50, 60, 65, 70, 75, 80, 85, 90, 95, 100};
    std::atomic<bool> stop{false};
    std::atomic<int> badReads{0};
    const auto check = [&]
    {
        if (!statuses.count (folder.worker.statusText.get()) || !steps.count (folder.worker.progress.load()))
            ++badReads;
        const auto path = folder.lastCapturePath.get();
        if (path.isNotEmpty() && path != outputPath)
            ++badReads;
    };
    std::thread reader (
        [&]
        {
            while (!stop)
                check();
        });

    for (int runIndex = 0; runIndex < 2; ++runIndex)
    {
        // What the capture window does before a start, and after it has seen -1.
        folder.worker.progress = 0;
        folder.worker.statusText.set ("");
        folder.worker.sampleRate = 48000;
        folder.worker.setOutputFile (output);
        folder.worker.startThread();
        const auto end = juce::Time::getMillisecondCounter() + 60000;
        while (folder.worker.progress.load() != PellmixCaptureHandOff::runEnded &&
               juce::Time::getMillisecondCounter() < end)
        {
            check();
            juce::MessageManager::getInstance()->runDispatchLoopUntil (1);
        }
        ASSERT_EQ (folder.worker.progress.load(), PellmixCaptureHandOff::runEnded) << "run " << runIndex;
        folder.worker.waitForThreadToExit (-1);
        PellmixCaptureHandOff::markRunEndSeen (folder.worker.progress);
        EXPECT_EQ (folder.lastCapturePath.get(), outputPath);
        EXPECT_EQ (folder.boxes.size(), (size_t)runIndex + 1);
        folder.lastCapturePath.clear();
    }
    stop = true;
    reader.join();
    EXPECT_EQ (badReads.load(), 0);
}
} // namespace
