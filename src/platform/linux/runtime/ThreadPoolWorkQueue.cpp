#include "platform/linux/runtime/ThreadPoolWorkQueue.h"

namespace knokle {

ThreadPoolWorkQueue::ThreadPoolWorkQueue(size_t maxThreads) : maxThreads(maxThreads < 1 ? 1 : maxThreads) {}

ThreadPoolWorkQueue::~ThreadPoolWorkQueue() {
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    for (auto& worker : workers)
        worker.join();
}

void ThreadPoolWorkQueue::post(std::function<void()> fn) {
    {
        std::lock_guard lock(mutex);
        tasks.push_back(std::move(fn));
        if (idleWorkers == 0 && workers.size() < maxThreads) {
            workers.emplace_back([this] { workerLoop(); });
            return;
        }
    }
    wake.notify_one();
}

void ThreadPoolWorkQueue::workerLoop() {
    std::unique_lock lock(mutex);
    for (;;) {
        ++idleWorkers;
        wake.wait(lock, [this] { return stopping || !tasks.empty(); });
        --idleWorkers;
        if (tasks.empty()) return; // stopping and drained
        auto task = std::move(tasks.front());
        tasks.pop_front();
        lock.unlock();
        task();
        lock.lock();
    }
}

} // namespace knokle
