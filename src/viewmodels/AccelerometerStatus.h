#pragma once

#include "platform/PolledAccelerometer.h"

#include <optional>
#include <string>

namespace knokle {

// What the menu and the Test Taps window say about a low-rate accelerometer: which one was found, how fast
// it really delivers, and, when that is too slow for taps, whether and how it can be raised.
struct AccelerometerStatus {
    std::string device; // "bmc150_accel (IIO, base) at 125 Hz"
    std::string advice; // empty when the device is usable as it is
    bool usable = false;
};

// measuredRate: samples per second from their timestamps (0 while not yet known: the device's own rate is shown).
AccelerometerStatus accelerometerStatus(const std::optional<AccelerometerInfo>& device, double measuredRate,
                                        bool reading);

// The Test Taps window's one line about it: the device taps come from, or the device and why it is not used.
std::string testTapsNote(const AccelerometerStatus& status);

} // namespace knokle
