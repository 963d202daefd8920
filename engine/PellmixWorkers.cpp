#include "engine/PellmixWorkers.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include <juce_core/juce_core.h>

namespace
{
// One forEach call: its job, how many of its jobs have not ended, the first failure.
struct Batch
{
    const std::function<void (int)>* job = nullptr;
    int unfinished = 0;
    std::exception_ptr failure;
};

struct Task
{
    Batch* batch = nullptr;
    int index = 0;
};

class Pool
{
public:
    ~Pool()
    {
        {
            std::lock_guard<std::mutex> hold (mutex);
            stopping = true;
        }
        workAvailable.notify_all();
        for (auto& t : threads)
            t.join();
    }

    void forEach (int count, const std::function<void (int)>& job)
    {
        if (count <= 0)
            return;
        Batch batch;
        batch.job = &job;
        batch.unfinished = count;
        {
            std::lock_guard<std::mutex> hold (mutex);
            startThreads();
            for (int i = 1; i < count; ++i)
                queue.push_back ({&batch, i});
        }
        workAvailable.notify_all();

        run ({&batch, 0});
        std::unique_lock<std::mutex> hold (mutex);
        while (batch.unfinished > 0)
        {
            // Runs queued jobs (of this batch or of any other) rather than sleeping while they wait.
            if (!queue.empty())
            {
                const auto task = queue.front();
                queue.pop_front();
                hold.unlock();
                run (task);
                hold.lock();
            }
            else
            {
                taskEnded.wait (hold);
            }
        }
        if (batch.failure)
            std::rethrow_exception (batch.failure);
    }

private:
    void startThreads()
    {
        if (!threads.empty())
            return;
        const int wanted = std::clamp ((int)std::thread::hardware_concurrency() - 1, 1, 7);
        for (int i = 0; i < wanted; ++i)
            threads.emplace_back ([this] { work(); });
    }

    void work()
    {
        juce::Thread::setCurrentThreadName ("Pellmix worker");
        std::unique_lock<std::mutex> hold (mutex);
        for (;;)
        {
            workAvailable.wait (hold, [this] { return stopping || !queue.empty(); });
            if (stopping)
                return;
            const auto task = queue.front();
            queue.pop_front();
            hold.unlock();
            run (task);
            hold.lock();
        }
    }

    void run (const Task& task)
    {
        std::exception_ptr failure;
        try
        {
            (*task.batch->job) (task.index);
        }
        catch (...)
        {
            failure = std::current_exception();
        }
        {
            std::lock_guard<std::mutex> hold (mutex);
            if (failure && !task.batch->failure)
                task.batch->failure = failure;
            --task.batch->unfinished;
        }
        taskEnded.notify_all();
    }

    std::mutex mutex;
    std::condition_variable workAvailable, taskEnded;
    std::deque<Task> queue;
    std::vector<std::thread> threads;
    bool stopping = false;
};

Pool& pool()
{
    static Pool instance;
    return instance;
}
} // namespace

void PellmixWorkers::forEach (int count, const std::function<void (int)>& job)
{
    if (count == 1)
    {
        job (0);
        return;
    }
    pool().forEach (count, job);
}
