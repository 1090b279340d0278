#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

namespace knokle {

// Monotonic time of the main loop: a wall-clock jump can neither stretch nor cancel a cooldown.
using MonotonicTime = std::chrono::steady_clock::time_point;
using Seconds = std::chrono::duration<double>;

inline std::chrono::steady_clock::duration toSteady(Seconds s) {
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(s);
}

// Handle to a scheduled timer. Dropping the handle leaves the timer scheduled; cancel() (on the main
// thread) guarantees that it never fires afterwards.
class TimerHandle {
public:
    TimerHandle() = default;
    explicit TimerHandle(std::shared_ptr<std::atomic<bool>> cancelled) : cancelled(std::move(cancelled)) {}

    void cancel() {
        if (cancelled) cancelled->store(true);
        cancelled.reset();
    }
    bool isScheduled() const { return cancelled != nullptr; }

private:
    std::shared_ptr<std::atomic<bool>> cancelled;
};

// The one thread on which everything but running a mode happens.
class MainLoop {
public:
    virtual ~MainLoop() = default;

    virtual MonotonicTime now() const = 0;
    // Runs fn on the main loop, after the current work, in the order posted. Callable from any thread.
    virtual void post(std::function<void()> fn) = 0;
    // Runs fn once on the main loop after the delay. Callable from any thread.
    virtual TimerHandle after(Seconds delay, std::function<void()> fn) = 0;
    // Runs fn on the main loop every interval until cancelled.
    virtual TimerHandle every(Seconds interval, std::function<void()> fn) = 0;
};

} // namespace knokle
