#include "sensing/ScaledMainLoop.h"

namespace knokle {

ScaledMainLoop::ScaledMainLoop(MainLoop& inner, double speed) : inner(inner), speed(speed), origin(inner.now()) {}

MonotonicTime ScaledMainLoop::now() const {
    return origin + toSteady(Seconds(inner.now() - origin) * speed);
}

void ScaledMainLoop::post(std::function<void()> fn) {
    inner.post(std::move(fn));
}

TimerHandle ScaledMainLoop::after(Seconds delay, std::function<void()> fn) {
    return inner.after(delay / speed, std::move(fn));
}

TimerHandle ScaledMainLoop::every(Seconds interval, std::function<void()> fn) {
    return inner.every(interval / speed, std::move(fn));
}

} // namespace knokle
