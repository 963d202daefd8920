// PellmixWorkers::forEach: every job runs once and has ended when it returns, jobs that call it
// in turn (more of them than there are threads, all waiting) finish, callers on several threads
// at once, and a job's exception reaches the caller only after the other jobs ended. Run under
// ThreadSanitizer too.
#include "engine/PellmixWorkers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

TEST (WorkersConcurrency, EveryJobRunsOnceAndHasEndedOnReturn)
{
    for (const int count : {0, 1, 2, 3, 24, 200})
    {
        SCOPED_TRACE (count);
        std::vector<int> runs ((size_t)count, 0); // written by the jobs, read after forEach
        PellmixWorkers::forEach (count, [&] (int i) { ++runs[(size_t)i]; });
        EXPECT_EQ (runs, std::vector<int> ((size_t)count, 1));
    }
}

TEST (WorkersConcurrency, NestedCallsFromEveryThreadFinish)
{
    // 16 outer jobs (more than the pool has threads), each waiting for 3 inner jobs: only the
    // waiting callers running queued jobs themselves lets this end.
    std::vector<std::atomic<int>> inner (16 * 3);
    PellmixWorkers::forEach (16,
                             [&] (int outer)
                             {
                                 PellmixWorkers::forEach (3,
                                                          [&] (int i) { ++inner[(size_t)(3 * outer + i)]; });
                                 for (int i = 0; i < 3; ++i)
                                     EXPECT_EQ (inner[(size_t)(3 * outer + i)].load(), 1);
                             });
}

TEST (WorkersConcurrency, CallersOnSeveralThreadsAtOnce)
{
    std::vector<std::thread> callers;
    std::vector<long> sums (4, 0);
    for (int c = 0; c < 4; ++c)
        callers.emplace_back (
            [&sums, c]
            {
                std::vector<long> parts (50, 0);
                for (int round = 0; round < 20; ++round)
                    PellmixWorkers::forEach (50, [&] (int i) { parts[(size_t)i] += i; });
                for (const auto p : parts)
                    sums[(size_t)c] += p;
            });
    for (auto& t : callers)
        t.join();
    for (const auto s : sums)
        EXPECT_EQ (s, 20L * (49 * 50 / 2));
}

TEST (WorkersConcurrency, AFailingJobIsReportedAfterTheOthersEnded)
{
    std::atomic<int> ended{0};
    try
    {
        PellmixWorkers::forEach (12,
                                 [&] (int i)
                                 {
                                     if (i == 5)
                                         throw std::runtime_error ("job 5");
                                     std::this_thread::yield();
                                     ++ended;
                                 });
        ADD_FAILURE() << "no exception";
    }
    catch (const std::runtime_error& e)
    {
        EXPECT_STREQ (e.what(), "job 5");
    }
    EXPECT_EQ (ended.load(), 11);

    // The pool works on after a failure.
    std::atomic<int> runs{0};
    PellmixWorkers::forEach (8, [&] (int) { ++runs; });
    EXPECT_EQ (runs.load(), 8);
}
