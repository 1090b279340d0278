#pragma once

#include <optional>
#include <string>

namespace knokle {

// The accelerometer is there, but this user may not read it (on Linux: no udev rule grants access yet).
struct SensorAccessProblem {
    std::string device; // "/dev/hidraw3"
    std::string reason; // "Permission denied"
    // Where the system already has Knokle's rule that grants access, when it does.
    std::optional<std::string> installedRule;
    // A copy of that rule which can be installed, when one is known.
    std::optional<std::string> shippedRule;
};

class SensorAccess {
public:
    virtual ~SensorAccess() = default;
    // Nothing when there is no accelerometer or it can be read.
    virtual std::optional<SensorAccessProblem> unreadableSensor() const = 0;
};

} // namespace knokle
