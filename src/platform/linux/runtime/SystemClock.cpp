#include "platform/linux/runtime/SystemClock.h"

#include <thread>

namespace knokle {

MonotonicTime SystemClock::now() const {
    return std::chrono::steady_clock::now();
}

void SystemClock::sleepFor(Seconds duration) {
    std::this_thread::sleep_for(toSteady(duration));
}

} // namespace knokle
