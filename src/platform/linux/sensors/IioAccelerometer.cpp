#include "platform/linux/sensors/IioAccelerometer.h"

#include "common/SampleClock.h"
#include "platform/linux/sensors/AccelerometerDiscovery.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace knokle {
namespace fs = std::filesystem;

namespace {

constexpr double kStandardGravity = 9.80665;
constexpr const char* kAxes[] = {"x", "y", "z"};

double numberIn(const fs::path& folder, std::initializer_list<std::string> names, double fallback) {
    for (const auto& name : names)
        if (auto line = readFirstLine(folder / name)) return std::strtod(line->c_str(), nullptr);
    return fallback;
}

} // namespace

IioAccelerometer::IioAccelerometer(MainLoop& loop, AccelerometerInfo info) : loop(loop), info(std::move(info)) {}

IioAccelerometer::~IioAccelerometer() {
    stop();
}

bool IioAccelerometer::start() {
    stop();
    fs::path folder = info.node;
    // Channels in m/s^2 once scaled; a part without a scale file reports in raw units of 1/1000 g at best guess.
    double unitScale = numberIn(folder, {"in_accel_scale", "in_accel_x_scale"}, kStandardGravity / 1000);
    scale = unitScale / kStandardGravity;
    for (int i = 0; i < 3; ++i) {
        std::string axis = kAxes[i];
        offset[i] = numberIn(folder, {"in_accel_" + axis + "_offset", "in_accel_offset"}, 0);
        fds[i] = ::open((folder / ("in_accel_" + axis + "_raw")).c_str(), O_RDONLY | O_CLOEXEC);
        if (fds[i] < 0) {
            stop();
            return false;
        }
    }
    double rate = std::clamp(info.rate > 0 ? info.rate : unknownRate, 1.0, maxPollRate);
    timer = loop.every(Seconds(1 / rate), [this] { poll(); });
    // A removed device's files fail to read; a fake tree's simply disappear, so look for the folder too.
    presence = loop.every(Seconds(1), [this] {
        std::error_code ec;
        if (!fs::exists(fs::path(info.node) / "in_accel_x_raw", ec)) vanish();
    });
    return true;
}

void IioAccelerometer::stop() {
    timer.cancel();
    presence.cancel();
    for (int& fd : fds) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
    previous.reset();
}

bool IioAccelerometer::readAxis(int index, long& value) {
    char text[32];
    ssize_t length = ::pread(fds[index], text, sizeof text - 1, 0);
    if (length <= 0) return false;
    text[length] = 0;
    char* end = nullptr;
    value = std::strtol(text, &end, 10);
    return end != text;
}

void IioAccelerometer::poll() {
    ++pollCount;
    std::array<long, 3> raw{};
    for (int i = 0; i < 3; ++i) {
        if (!readAxis(i, raw[i])) {
            // EBUSY: another program turned the buffer on; ENODEV/EIO: the part is gone. Either way, let go.
            vanish();
            return;
        }
    }
    double t = sampleClockNow();
    if (previous && *previous == raw) return; // not converted again yet
    previous = raw;
    if (onSample)
        onSample((raw[0] + offset[0]) * scale, (raw[1] + offset[1]) * scale, (raw[2] + offset[2]) * scale, t);
}

void IioAccelerometer::vanish() {
    stop();
    if (onVanished) onVanished();
}

} // namespace knokle
