#pragma once

#include "platform/Clock.h"
#include "platform/MainLoop.h"
#include "platform/WorkQueue.h"

#include <deque>
#include <map>

namespace knokle::test {

// Main loop, background queue and clock in virtual time, on the test's thread. Time moves only when advanced
// or slept on; timers fire in due order, each seeing now() equal to its due time.
class VirtualLoop final : public MainLoop, public Clock, public WorkQueue {
public:
    MonotonicTime now() const override { return current; }
    void post(std::function<void()> fn) override { posted.push_back(std::move(fn)); }
    TimerHandle after(Seconds delay, std::function<void()> fn) override {
        return schedule(delay, Seconds(0), std::move(fn));
    }
    TimerHandle every(Seconds interval, std::function<void()> fn) override {
        return schedule(interval, interval, std::move(fn));
    }
    // Fires the main-loop timers that fall due meanwhile, as the main thread would while another sleeps.
    void sleepFor(Seconds duration) override { runUntil(duration, false); }

    // The background queue: its work runs with the posted work, in the order posted.
    WorkQueue& workQueue() { return *this; }

    // Runs posted main-loop work and background work until none is left (at the current time).
    void runPending();
    // Moves time forward by the duration, running everything that falls due, in order.
    void advance(Seconds duration) { runUntil(duration, true); }
    void advance(double seconds) { advance(Seconds(seconds)); }
    // Seconds of virtual time since the loop was made.
    double elapsed() const { return Seconds(current - start).count(); }
    size_t pendingTimerCount() const;

private:
    struct PendingTimer {
        std::shared_ptr<std::atomic<bool>> cancelled;
        std::function<void()> fn;
        Seconds interval; // zero for a one-shot timer
    };

    TimerHandle schedule(Seconds delay, Seconds interval, std::function<void()> fn);
    // Runs the timers due by now + duration (with the posted work after each, if asked), then moves there.
    void runUntil(Seconds duration, bool withPosted);

    // Far from zero, like a real steady clock, so that code never mistakes the start for "unset".
    const MonotonicTime start = MonotonicTime() + std::chrono::hours(1000);
    MonotonicTime current = start;
    std::deque<std::function<void()>> posted; // main-loop and background work, in posting order
    std::multimap<std::pair<MonotonicTime, unsigned long>, PendingTimer> timers; // by due time, then by order
    unsigned long sequence = 0;
};

} // namespace knokle::test
