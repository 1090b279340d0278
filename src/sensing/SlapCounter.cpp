#include "sensing/SlapCounter.h"

#include <algorithm>

namespace knokle {

namespace {

constexpr double rhythmFactor = 2.2; // the next tap may come a little more than twice as late as the last

} // namespace

SlapCounter::SlapCounter(MainLoop& loop) : loop(loop) {}

SlapCounter::~SlapCounter() {
    cancel(timer);
    cancel(cooldownTimer);
}

void SlapCounter::cancel(std::optional<TimerHandle>& handle) {
    if (handle) handle->cancel();
    handle.reset();
}

int SlapCounter::currentCount() const {
    return count;
}

void SlapCounter::registerImpact() {
    MonotonicTime now = loop.now();
    if (cooldownUntil && now < *cooldownUntil) return;

    bool gestureOpen = lastImpact.has_value();
    double rhythmWindow = gestureOpen ? Seconds(now - *lastImpact).count() * rhythmFactor : 0;
    lastImpact = now;
    count = std::min(count + 1, maxCount);
    if (onCountChanged) onCountChanged(count);
    cancel(timer);
    if (count >= maxCount || count >= fireAtCount) {
        finish();
        return;
    }
    double window = gestureOpen ? std::min(std::max(rhythmWindow, minWindow), maxWindow) : initialWindow;
    // Cancelled by the destructor, so the timer never finds the counter gone.
    timer = loop.after(Seconds(window), [this] { finish(); });
}

void SlapCounter::finish() {
    cancel(timer);
    int n = count;
    count = 0;
    lastImpact.reset();
    if (n < 1) return;

    cooldownUntil = loop.now() + toSteady(Seconds(cooldown));
    if (onCooldownChanged) onCooldownChanged(true);
    cancel(cooldownTimer);
    cooldownTimer = loop.after(Seconds(cooldown), [this] {
        cooldownTimer.reset();
        if (onCooldownChanged) onCooldownChanged(false);
    });
    if (onGesture) onGesture(n);
}

void SlapCounter::reset() {
    cancel(timer);
    cancel(cooldownTimer);
    count = 0;
    lastImpact.reset();
    cooldownUntil.reset();
}

} // namespace knokle
