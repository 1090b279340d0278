#include "platform/linux/sensors/LinuxAccelerometerPort.h"

#include "platform/linux/sensors/AccelerometerDiscovery.h"
#include "platform/linux/sensors/IioAccelerometer.h"
#include "platform/linux/sensors/JoystickAccelerometer.h"

#include <cstdlib>

namespace knokle {

namespace {

std::filesystem::path rootFrom(const char* variable, const char* fallback) {
    const char* value = std::getenv(variable);
    return value && *value ? value : fallback;
}

} // namespace

LinuxAccelerometerPort::LinuxAccelerometerPort(MainLoop& loop)
    : LinuxAccelerometerPort(loop, rootFrom("KNOKLE_ACCEL_SYSFS_ROOT", "/sys"),
                             rootFrom("KNOKLE_ACCEL_DEV_ROOT", "/dev")) {}

LinuxAccelerometerPort::LinuxAccelerometerPort(MainLoop& loop, std::filesystem::path sysRoot,
                                               std::filesystem::path devRoot)
    : loop(loop), sysRoot(std::move(sysRoot)), devRoot(std::move(devRoot)) {}

std::vector<AccelerometerInfo> LinuxAccelerometerPort::discover() {
    return discoverAccelerometers(sysRoot, devRoot);
}

std::unique_ptr<PolledAccelerometer> LinuxAccelerometerPort::open(const AccelerometerInfo& info) {
    if (info.kind == "IIO") return std::make_unique<IioAccelerometer>(loop, info);
    if (info.kind == "joystick") return std::make_unique<JoystickAccelerometer>(info);
    return nullptr;
}

} // namespace knokle
