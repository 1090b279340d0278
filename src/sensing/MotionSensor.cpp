#include "sensing/MotionSensor.h"

#include "common/DiagnosticOutput.h"
#include "common/TextFormat.h"
#include "platform/SensorAccess.h"
#include "sensing/EventLog.h"

#include <cmath>
#include <limits>
#include <string>

namespace knokle {
namespace {

constexpr double kFixedPointScale = 65536.0;
constexpr long kMaxPrintedReports = 20;

double readAxis(const std::uint8_t* bytes) {
    std::uint32_t raw = std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16 |
                        std::uint32_t(bytes[3]) << 24;
    return static_cast<double>(static_cast<std::int32_t>(raw)) / kFixedPointScale;
}

void writeAxis(std::uint8_t* bytes, double g) {
    double scaled = std::round(g * kFixedPointScale);
    if (std::isnan(scaled)) scaled = 0;
    scaled = std::fmax(scaled, double(std::numeric_limits<std::int32_t>::min()));
    scaled = std::fmin(scaled, double(std::numeric_limits<std::int32_t>::max()));
    auto raw = static_cast<std::uint32_t>(static_cast<std::int32_t>(scaled));
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<std::uint8_t>(raw >> (8 * i));
}

std::string hexBytes(const std::uint8_t* report, long length) {
    std::string text;
    if (!report || length <= 0) return text;
    text.reserve(static_cast<size_t>(length) * 3);
    static constexpr char digits[] = "0123456789abcdef";
    for (long i = 0; i < length; ++i) {
        if (i > 0) text.push_back(' ');
        text.push_back(digits[report[i] >> 4]);
        text.push_back(digits[report[i] & 0x0f]);
    }
    return text;
}

} // namespace

std::optional<DecodedReport> decodeReport(const std::uint8_t* report, long length) {
    if (!report || length < kMinimumReportLength) return std::nullopt;
    return DecodedReport{readAxis(report + 6), readAxis(report + 10), readAxis(report + 14)};
}

std::vector<std::uint8_t> encodeReport(double x, double y, double z, std::size_t length) {
    std::vector<std::uint8_t> report(std::max<std::size_t>(length, kMinimumReportLength), 0);
    writeAxis(report.data() + 6, x);
    writeAxis(report.data() + 10, y);
    writeAxis(report.data() + 14, z);
    return report;
}

MotionSensor::MotionSensor(HidManagerFactory createManager, std::function<double()> sampleTime)
    : createManager(std::move(createManager)), sampleTime(std::move(sampleTime)) {
    printReports = EventLog::standard().enabled();
}

void MotionSensor::start() {
    manager = createManager ? createManager() : nullptr;
    std::optional<std::vector<std::shared_ptr<HidDevice>>> devices;
    if (manager) {
        manager->setDeviceMatching(
            {kAccelerometerVendorID, kAccelerometerProductID, kAccelerometerUsagePage, kAccelerometerUsage});
        manager->scheduleWithMainLoop();
        int status = manager->open();
        printLine(format("[MotionSensor] HID device search opened: %d (0 = success)", status));
        devices = manager->matchedDevices();
    }
    if (!devices) {
        printLine("[MotionSensor] No SPU accelerometer matched (vendor 0x05ac/product 0x8104, usage 0xFF00/0x03).");
        if (onUnavailable) onUnavailable();
        return;
    }
    printLine(format("[MotionSensor] Matched %zu SPU accelerometer device(s).", devices->size()));
    if (devices->empty()) {
        printLine("[MotionSensor] SPU accelerometer not present on this computer.");
        if (onUnavailable) onUnavailable();
        return;
    }
    std::shared_ptr<HidDevice> first = devices->front();
    if (!first) {
        printLine("[MotionSensor] Matched device is not a HID device; ignoring.");
        return;
    }
    std::string product = first->property("Product").value_or("?");
    std::string transport = first->property("Transport").value_or("?");
    printLine("[MotionSensor] Using accelerometer - product: " + product + ", transport: " + transport);
    device = first;
    openReports(*device);
}

void MotionSensor::openReports(HidDevice& hidDevice) {
    int status = hidDevice.open();
    printLine(format("[MotionSensor] Direct device open result: %d", status));
    // The sensor owns the device, so the handler never outlives the sensor.
    hidDevice.setInputReportHandler(reportBuffer.data(), reportBuffer.size(),
                                    [this](const std::uint8_t* report, long length) { handleRawReport(report, length); });
    hidDevice.scheduleWithMainLoop();
}

void MotionSensor::handleRawReport(const std::uint8_t* report, long length) {
    // The first reports' bytes help when a new sensor misbehaves; only asked for (KNOKLE_DEBUG=1).
    if (printReports && ++debugPrintCount <= kMaxPrintedReports) {
        printLine(format("[MotionSensor] RAW REPORT (%ld bytes): ", length) + hexBytes(report, length));
    }
    if (length < kMinimumReportLength) return;
    if (!onSample) return;
    std::optional<DecodedReport> sample = decodeReport(report, length);
    if (!sample) return;
    // A device that reads ahead knows when the report came; otherwise it came now.
    std::optional<double> readTime = device ? device->currentReportTime() : std::nullopt;
    onSample(sample->x, sample->y, sample->z, readTime ? *readTime : sampleTime());
}

} // namespace knokle
