#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace knokle {

// What a HID manager is restricted to: the "VendorID", "ProductID", "DeviceUsagePage" and "DeviceUsage" entries.
struct HidDeviceMatching {
    int vendorID = 0;
    int productID = 0;
    int usagePage = 0;
    int usage = 0;
};

// Called on the main loop for every input report, with the report's bytes in the buffer the device was lent.
using InputReportHandler = std::function<void(const std::uint8_t* report, long length)>;

class HidDevice {
public:
    virtual ~HidDevice() = default;
    // "Product", "Transport", ...; nothing when the device has no such property.
    virtual std::optional<std::string> property(const std::string& key) const = 0;
    // 0 on success, otherwise a status (an errno value on Linux).
    virtual int open() = 0;
    // The buffer is lent for the device's lifetime; it must not move.
    virtual void setInputReportHandler(std::uint8_t* buffer, std::size_t length, InputReportHandler handler) = 0;
    virtual void scheduleWithMainLoop() = 0;
    // For a device that reads reports ahead of the main loop and hands them over in batches: the sample-clock
    // time at which the report being delivered was read. Nothing when reports are delivered as they are read.
    virtual std::optional<double> currentReportTime() const { return std::nullopt; }
};

class HidManager {
public:
    virtual ~HidManager() = default;
    virtual void setDeviceMatching(const HidDeviceMatching& matching) = 0;
    virtual void scheduleWithMainLoop() = 0;
    // 0 on success, otherwise a status.
    virtual int open() = 0;
    // The matched devices; nothing when the manager could not produce a set at all. An element that is
    // not a HID device is a null pointer.
    virtual std::optional<std::vector<std::shared_ptr<HidDevice>>> matchedDevices() = 0;
};

using HidManagerFactory = std::function<std::unique_ptr<HidManager>()>;

} // namespace knokle
