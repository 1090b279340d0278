#pragma once

#include "platform/WorkQueue.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace knokle {

// A pool of worker threads that grows up to a limit: work on it blocks (waiting for an application to
// exit, polling for a window), so one blocked task must not hold up the next.
class ThreadPoolWorkQueue final : public WorkQueue {
public:
    explicit ThreadPoolWorkQueue(size_t maxThreads = 16);
    ~ThreadPoolWorkQueue() override; // finishes queued work, then joins

    void post(std::function<void()> fn) override;

private:
    void workerLoop();

    size_t maxThreads;
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> tasks;
    std::vector<std::thread> workers;
    size_t idleWorkers = 0;
    bool stopping = false;
};

} // namespace knokle
