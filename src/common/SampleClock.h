#pragma once

#include <chrono>

namespace knokle {

// Seconds on the monotonic clock: the time base of accelerometer samples. Only differences between samples
// are used, so setting the wall clock back must not make every tap look like it came before the last one.
inline double sampleClockNow() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

} // namespace knokle
