#include "VirtualLoop.h"

namespace knokle::test {

// Far from zero, like a real steady clock, so that code never mistakes the start for "unset".
VirtualLoop::VirtualLoop() : start(MonotonicTime() + std::chrono::hours(1000)), current(start) {}

MonotonicTime VirtualLoop::now() const {
    std::lock_guard lock(mutex);
    return current;
}

void VirtualLoop::post(std::function<void()> fn) {
    std::lock_guard lock(mutex);
    posted.push_back(std::move(fn));
}

TimerHandle VirtualLoop::schedule(Seconds delay, Seconds interval, std::function<void()> fn) {
    std::lock_guard lock(mutex);
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    MonotonicTime due = current + toSteady(delay < Seconds(0) ? Seconds(0) : delay);
    timers.emplace(std::make_pair(due, sequence++), PendingTimer{cancelled, std::move(fn), interval});
    return TimerHandle(cancelled);
}

bool VirtualLoop::runOnePosted() {
    std::function<void()> fn;
    {
        std::lock_guard lock(mutex);
        if (posted.empty()) return false;
        fn = std::move(posted.front());
        posted.pop_front();
    }
    fn();
    return true;
}

bool VirtualLoop::runOneDueTimer(MonotonicTime limit) {
    PendingTimer timer;
    {
        std::lock_guard lock(mutex);
        while (!timers.empty() && timers.begin()->second.cancelled->load())
            timers.erase(timers.begin());
        if (timers.empty() || timers.begin()->first.first > limit) return false;
        auto it = timers.begin();
        if (it->first.first > current) current = it->first.first;
        timer = std::move(it->second);
        timers.erase(it);
        if (timer.interval > Seconds(0)) {
            timers.emplace(std::make_pair(current + toSteady(timer.interval), sequence++), timer);
        } else {
            timer.cancelled->store(true); // fired: the handle is spent
        }
    }
    timer.fn();
    return true;
}

void VirtualLoop::runPending() {
    while (runOnePosted()) {
    }
}

void VirtualLoop::runUntil(Seconds duration, bool withPosted) {
    MonotonicTime limit = now() + toSteady(duration);
    if (withPosted) runPending();
    while (runOneDueTimer(limit)) {
        if (withPosted) runPending();
    }
    std::lock_guard lock(mutex);
    if (current < limit) current = limit;
}

double VirtualLoop::elapsed() const {
    return std::chrono::duration<double>(now() - start).count();
}

size_t VirtualLoop::pendingTimerCount() const {
    std::lock_guard lock(mutex);
    size_t count = 0;
    for (const auto& [key, timer] : timers)
        count += timer.cancelled->load() ? 0 : 1;
    return count;
}

} // namespace knokle::test
