#pragma once

#include <chrono>

namespace knokle {

// Seconds since 1 January 2001 UTC: the time base of accelerometer samples.
inline double absoluteTimeNow() {
    constexpr double secondsFrom1970To2001 = 978307200.0;
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count() -
           secondsFrom1970To2001;
}

} // namespace knokle
