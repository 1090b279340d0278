#pragma once

#include "common/AbsoluteTime.h"
#include "platform/HidManager.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

namespace knokle {

// Finds the built-in accelerometer among the HID devices, opens it and turns each raw input report into
// a sample in g, stamped with the absolute time at which the report is handled.
class MotionSensor {
public:
    static constexpr int kAccelUsagePage = 0xFF00;
    static constexpr int kAccelUsage = 0x03;
    static constexpr int kAppleVendorID = 0x05AC;
    static constexpr int kSPUProductID = 0x8104;

    // absoluteTime stamps samples (a replay stamps them with its own timeline).
    explicit MotionSensor(HidManagerFactory createManager,
                          std::function<double()> absoluteTime = [] { return absoluteTimeNow(); });
    MotionSensor(const MotionSensor&) = delete;
    MotionSensor& operator=(const MotionSensor&) = delete;

    std::function<void(double x, double y, double z, double timestamp)> onSample;
    std::function<void()> onUnavailable;

    void start();
    // Called for every input report; public so that recorded bytes can be fed in directly.
    void handleRawReport(const std::uint8_t* report, long length);

    std::int64_t debugPrintCount = 0;

private:
    void registerRawReportCallback(HidDevice& device);

    HidManagerFactory createManager;
    std::function<double()> absoluteTime;
    std::unique_ptr<HidManager> manager;
    std::shared_ptr<HidDevice> device;
    std::array<std::uint8_t, 64> reportBuffer{};
};

} // namespace knokle
