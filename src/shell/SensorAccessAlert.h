#pragma once

#include "platform/AlertPresenter.h"
#include "platform/SensorAccess.h"

#include <string>

namespace knokle {

// The file name of the udev rule that lets the logged-in user read the accelerometer.
inline constexpr const char* kUdevRuleName = "70-knokle-accelerometer.rules";
// Its one rule: any bus (the built-in sensor is not on USB), the accelerometer's vendor and product IDs.
inline constexpr const char* kUdevRule = R"(SUBSYSTEM=="hidraw", KERNELS=="*:05AC:8104.*", TAG+="uaccess")";

// What to tell a user whose accelerometer cannot be read: which device, why, and the commands that fix it.
Alert sensorAccessAlert(const SensorAccessProblem& problem);

// A word for a POSIX shell, in single quotes where it needs them.
std::string shellWord(const std::string& text);

} // namespace knokle
