#pragma once

#include "platform/MainLoop.h"

namespace knokle {

// Time for code that polls with sleeps (waiting for an application to exit, for a window to appear),
// so that tests can run it in virtual time. Callable from any thread.
class Clock {
public:
    virtual ~Clock() = default;
    virtual MonotonicTime now() const = 0;
    virtual void sleepFor(Seconds duration) = 0;
};

} // namespace knokle
