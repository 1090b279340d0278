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

    // (the remaining fields of the design and finish() are the implementer's)
};

} // namespace knokle
