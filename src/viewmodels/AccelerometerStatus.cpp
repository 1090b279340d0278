#include "viewmodels/AccelerometerStatus.h"

#include "common/TextFormat.h"
#include "sensing/LowRateTapDetector.h"

namespace knokle {

AccelerometerStatus accelerometerStatus(const std::optional<AccelerometerInfo>& device, double measuredRate,
                                        bool reading) {
    AccelerometerStatus status;
    if (!device) {
        status.device = "No accelerometer found";
        return status;
    }
    double rate = measuredRate > 0 ? measuredRate : device->rate;
    std::string where = device->location.empty() ? device->kind : device->kind + ", " + device->location;
    status.device = format("%s (%s) at %.0f Hz", device->name.c_str(), where.c_str(), rate);
    if (device->busy) {
        status.advice = "Another program reads it; Knokle leaves it alone.";
        return status;
    }
    if (!reading) {
        status.advice = "It does not answer now; Knokle looks for it again every few seconds.";
        return status;
    }
    if (rate >= LowRateTapDetector::minUsableRate) {
        status.usable = true;
        return status;
    }
    if (!device->rateCanBeRaised) {
        status.advice = "Too slow for taps, and it cannot be made faster (AMD sensor hub).";
    } else if (device->kind == "joystick") {
        status.advice = "Too slow for taps: Knokle's optional udev rule (share/knokle/udev-optional, see the README) "
                        "can poll it every 5 ms.";
    } else {
        status.advice = "Too slow for taps: Knokle's optional udev rule (share/knokle/udev-optional, see the README) "
                        "can raise it to 200 Hz or more.";
    }
    return status;
}

std::string testTapsNote(const AccelerometerStatus& status) {
    if (status.usable) return "Taps from the accelerometer " + status.device + ".";
    if (status.advice.empty()) return status.device + ".";
    return "Accelerometer " + status.device + ". " + status.advice;
}

} // namespace knokle
