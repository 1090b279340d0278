#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace knokle {

// An accelerometer the system exposes at a low rate: an IIO part (convertibles, Chromebooks) or a platform
// accelerometer read through its joystick node (HP, old ThinkPads, old Macs).
struct AccelerometerInfo {
    std::string name;            // the driver's or part's name: "bmc150_accel", "lis3lv02d"
    std::string kind;            // "IIO" or "joystick"
    std::string node;            // what is read: the IIO device folder or /dev/input/jsN
    std::string location;        // "base", "lid", "display", or empty when unknown
    double rate = 0;             // Hz, as the device says it samples now
    double highestRate = 0;      // Hz the device could be raised to (0 when it cannot say)
    bool rateCanBeRaised = true; // false for parts no setting speeds up (AMD's sensor hub)
    bool busy = false;           // another program streams it; it is left alone
};

// One opened accelerometer. Samples (g, seconds on the monotonic clock) arrive on the main loop.
class PolledAccelerometer {
public:
    virtual ~PolledAccelerometer() = default;
    std::function<void(double x, double y, double z, double timestamp)> onSample;
    // The device went away or stopped answering; no more samples follow.
    std::function<void()> onVanished;
    // False when it cannot be read at all.
    virtual bool start() = 0;
    virtual void stop() = 0;
};

class AccelerometerPort {
public:
    virtual ~AccelerometerPort() = default;
    // Every accelerometer found, the one best placed for taps first (the base before the display).
    virtual std::vector<AccelerometerInfo> discover() = 0;
    virtual std::unique_ptr<PolledAccelerometer> open(const AccelerometerInfo& info) = 0;
};

} // namespace knokle
