#include "platform/linux/sensors/JoystickAccelerometer.h"

#include "common/SampleClock.h"

#include <QSocketNotifier>
#include <cerrno>
#include <fcntl.h>
#include <linux/joystick.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace knokle {

namespace {

// Driver units per g: lis3lv02d reports mg; hdaps and applesmc report raw counts of about 1/256 g.
double unitsPerG(const std::string& driver) {
    return driver == "lis3lv02d" ? 1000 : 256;
}

// Without the range (a node that is not a joystick), a full-scale value of about 2 g.
constexpr double kAssumedFullScale = 2.0;

} // namespace

double joystickGPerValue(const std::string& driver, std::optional<double> driverHalfRange) {
    if (!driverHalfRange || *driverHalfRange <= 0) return kAssumedFullScale / 32767;
    return *driverHalfRange / 32767 / unitsPerG(driver);
}

JoystickAccelerometer::JoystickAccelerometer(AccelerometerInfo info) : info(std::move(info)) {}

JoystickAccelerometer::~JoystickAccelerometer() {
    stop();
}

bool JoystickAccelerometer::start() {
    stop();
    fd = ::open(info.node.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    std::optional<double> halfRange;
    js_corr corrections[ABS_CNT] = {};
    if (::ioctl(fd, JSIOCGCORR, corrections) == 0 && corrections[0].type == JS_CORR_BROKEN &&
        corrections[0].coef[2] > 0) {
        // joydev scales (value - centre) by 2^29 / (half range - 2 flat), in 1/2^14 steps.
        double flat = (corrections[0].coef[1] - corrections[0].coef[0]) / 2.0;
        halfRange = (1 << 29) / static_cast<double>(corrections[0].coef[2]) + 2 * flat;
    }
    gPerValue = joystickGPerValue(info.name, halfRange);
    notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(), [this] { readEvents(); });
    return true;
}

void JoystickAccelerometer::stop() {
    notifier.reset();
    if (fd >= 0) ::close(fd);
    fd = -1;
    burstTime.reset();
}

void JoystickAccelerometer::readEvents() {
    js_event events[64];
    for (;;) {
        ssize_t length = ::read(fd, events, sizeof events);
        if (length < 0 && (errno == EAGAIN || errno == EINTR)) break;
        if (length <= 0) {
            // End of file or ENODEV: the device (or the test's writer) is gone.
            stop();
            if (onVanished) onVanished();
            return;
        }
        for (ssize_t i = 0; i < length / static_cast<ssize_t>(sizeof(js_event)); ++i) {
            const js_event& event = events[i];
            if ((event.type & ~JS_EVENT_INIT) != JS_EVENT_AXIS || event.number > 2) continue;
            if (burstTime && *burstTime != event.time) emitBurst();
            burstTime = event.time;
            axes[event.number] = event.value * gPerValue;
        }
    }
    // A driver's poll arrives in one go: what was read ends the burst.
    emitBurst();
}

void JoystickAccelerometer::emitBurst() {
    if (!burstTime) return;
    double kernelSeconds = *burstTime / 1000.0;
    if (!clockOffset) clockOffset = sampleClockNow() - kernelSeconds;
    double t = *clockOffset + kernelSeconds;
    burstTime.reset();
    if (onSample) onSample(axes[0], axes[1], axes[2], t);
}

} // namespace knokle
