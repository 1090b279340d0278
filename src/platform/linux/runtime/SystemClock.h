#pragma once

#include "platform/Clock.h"

namespace knokle {

class SystemClock final : public Clock {
public:
    MonotonicTime now() const override;
    void sleepFor(Seconds duration) override;
};

} // namespace knokle
