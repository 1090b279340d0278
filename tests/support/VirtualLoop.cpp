#include "VirtualLoop.h"

#include <algorithm>

namespace knokle::test {

TimerHandle VirtualLoop::schedule(Seconds delay, Seconds interval, std::function<void()> fn) {
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    timers.emplace(std::make_pair(current + toSteady(std::max(delay, Seconds(0))), sequence++),
                   PendingTimer{cancelled, std::move(fn), interval});
    return TimerHandle(cancelled);
}

void VirtualLoop::runPending() {
    while (!posted.empty()) {
        auto fn = std::move(posted.front());
        posted.pop_front();
        fn();
    }
}

void VirtualLoop::runUntil(Seconds duration, bool withPosted) {
    MonotonicTime limit = current + toSteady(duration);
    if (withPosted) runPending();
    while (!timers.empty() && timers.begin()->first.first <= limit) {
        auto node = timers.extract(timers.begin());
        PendingTimer& timer = node.mapped();
        if (timer.cancelled->load()) continue;
        current = std::max(current, node.key().first);
        if (timer.interval > Seconds(0)) {
            timers.emplace(std::make_pair(current + toSteady(timer.interval), sequence++), timer);
        } else {
            timer.cancelled->store(true); // fired: the handle is spent
        }
        timer.fn();
        if (withPosted) runPending();
    }
    current = std::max(current, limit);
}

size_t VirtualLoop::pendingTimerCount() const {
    return static_cast<size_t>(
        std::count_if(timers.begin(), timers.end(), [](const auto& entry) { return !entry.second.cancelled->load(); }));
}

} // namespace knokle::test
