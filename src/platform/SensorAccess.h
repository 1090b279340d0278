#pragma once

#include <optional>
#include <string>

namespace knokle {

// The built-in accelerometer as the HID layer sees it.
inline constexpr int kAccelerometerVendorID = 0x05AC;
inline constexpr int kAccelerometerProductID = 0x8104;
inline constexpr int kAccelerometerUsagePage = 0xFF00;
inline constexpr int kAccelerometerUsage = 0x03;

// The file name of the udev rule that lets the logged-in user read the accelerometer.
inline constexpr const char* kUdevRuleName = "70-knokle-accelerometer.rules";
// Its one rule: any bus (the built-in sensor is not on USB), the accelerometer's vendor and product IDs.
inline constexpr const char* kUdevRule = R"(SUBSYSTEM=="hidraw", KERNELS=="*:05AC:8104.*", TAG+="uaccess")";

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
