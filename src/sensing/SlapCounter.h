#pragma once

#include "platform/MainLoop.h"

#include <functional>
#include <optional>

namespace knokle {

// Groups accepted impacts into gestures of one to maxCount taps, with a window that adapts to the rhythm
// of the taps and a cooldown after each gesture. Runs on the main loop; its clock is the loop's now().
class SlapCounter {
public:
    explicit SlapCounter(MainLoop& loop);
    ~SlapCounter(); // cancels its timers, so none fires after it is gone
    SlapCounter(const SlapCounter&) = delete;
    SlapCounter& operator=(const SlapCounter&) = delete;

    double initialWindow = 1.2;
    double minWindow = 0.25;
    double maxWindow = 1.6;
    int maxCount = 3;
    int fireAtCount = 3;
    double cooldown = 1.0;

    std::function<void(bool)> onCooldownChanged;
    std::function<void(int count)> onGesture;
    std::function<void(int count)> onCountChanged;

    void registerImpact();
    void reset();
    int currentCount() const;

    // Impacts before this moment are ignored; unset when no cooldown was started since the last reset.
    std::optional<MonotonicTime> cooldownEnd() const { return cooldownUntil; }

private:
    void finish();
    static void cancel(std::optional<TimerHandle>& handle);

    MainLoop& loop;
    std::optional<MonotonicTime> cooldownUntil;
    std::optional<TimerHandle> cooldownTimer;
    int count = 0;
    std::optional<TimerHandle> timer;
    std::optional<MonotonicTime> lastImpact;
};

} // namespace knokle
