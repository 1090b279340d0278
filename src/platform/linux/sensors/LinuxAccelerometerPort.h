#pragma once

#include "platform/MainLoop.h"
#include "platform/PolledAccelerometer.h"

#include <filesystem>

namespace knokle {

// IIO and platform accelerometers under /sys and /dev, unless KNOKLE_ACCEL_SYSFS_ROOT or KNOKLE_ACCEL_DEV_ROOT
// name other folders (tests and benchmarks build a fake tree).
class LinuxAccelerometerPort final : public AccelerometerPort {
public:
    explicit LinuxAccelerometerPort(MainLoop& loop);
    LinuxAccelerometerPort(MainLoop& loop, std::filesystem::path sysRoot, std::filesystem::path devRoot);

    std::vector<AccelerometerInfo> discover() override;
    std::unique_ptr<PolledAccelerometer> open(const AccelerometerInfo& info) override;

private:
    MainLoop& loop;
    std::filesystem::path sysRoot, devRoot;
};

} // namespace knokle
