#pragma once

#include "platform/MainLoop.h"

namespace knokle {

// The main loop as a replay at `speed` sees it: time runs `speed` times as fast, so a timer of one replayed
// second fires after 1/speed real seconds. The tap counter's windows and cooldowns run on it during a replay, so
// that a recording groups into the same gestures at any speed.
class ScaledMainLoop final : public MainLoop {
public:
    ScaledMainLoop(MainLoop& inner, double speed);

    MonotonicTime now() const override;
    void post(std::function<void()> fn) override;
    TimerHandle after(Seconds delay, std::function<void()> fn) override;
    TimerHandle every(Seconds interval, std::function<void()> fn) override;

private:
    MainLoop& inner;
    double speed;
    MonotonicTime origin;
};

} // namespace knokle
