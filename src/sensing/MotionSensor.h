#pragma once

#include "common/SampleClock.h"
#include "platform/HidManager.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace knokle {

// One report's three accelerations in g.
struct DecodedReport {
    double x = 0;
    double y = 0;
    double z = 0;
    bool operator==(const DecodedReport&) const = default;
};

// Length of the shortest report that carries all three axes.
inline constexpr long kMinimumReportLength = 18;

// x, y and z from bytes 6, 10 and 14: little-endian signed 32-bit, 16 fraction bits. Nothing for a report
// shorter than 18 bytes.
std::optional<DecodedReport> decodeReport(const std::uint8_t* report, long length);

// The inverse: a report of the given length (at least 18 bytes, the rest zero) that decodes to the values,
// each rounded to the nearest 1/65536 g and limited to what 32 bits hold.
std::vector<std::uint8_t> encodeReport(double x, double y, double z, std::size_t length = kMinimumReportLength);

// Finds the built-in accelerometer among the HID devices, opens it and turns each raw input report into
// a sample in g, stamped with the monotonic time at which the report is handled (or was read, when the device
// reads ahead of the main loop).
class MotionSensor {
public:
    // sampleTime stamps samples (a replay stamps them with its own timeline).
    explicit MotionSensor(
        HidManagerFactory createManager, std::function<double()> sampleTime = [] { return sampleClockNow(); });
    MotionSensor(const MotionSensor&) = delete;
    MotionSensor& operator=(const MotionSensor&) = delete;

    std::function<void(double x, double y, double z, double timestamp)> onSample;
    std::function<void()> onUnavailable;

    void start();
    // Called for every input report; public so that recorded bytes can be fed in directly.
    void handleRawReport(const std::uint8_t* report, long length);

    // Whether the first reports are printed as bytes: with the detector's debug log (KNOKLE_DEBUG=1).
    bool printReports = false;
    std::int64_t debugPrintCount = 0;

private:
    void openReports(HidDevice& device);

    HidManagerFactory createManager;
    std::function<double()> sampleTime;
    std::unique_ptr<HidManager> manager;
    std::shared_ptr<HidDevice> device;
    // Lent to the device by address: a fixed-size member of a non-movable object never moves.
    std::array<std::uint8_t, 64> reportBuffer{};
};

} // namespace knokle
