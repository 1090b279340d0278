#pragma once

#include "platform/HidManager.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QSocketNotifier;

namespace knokle {

struct HidUsage {
    int usagePage = 0;
    int usage = 0;
    bool operator==(const HidUsage&) const = default;
};

// The usage page and usage of each top-level collection of a HID report descriptor.
std::vector<HidUsage> topLevelUsages(const std::vector<std::uint8_t>& descriptor);

// What a hidraw device's `uevent` says about it: HID_ID=BBBB:VVVVVVVV:PPPPPPPP and HID_NAME.
struct HidUevent {
    int bus = 0;
    int vendorID = 0;
    int productID = 0;
    std::optional<std::string> name;
};
std::optional<HidUevent> parseHidUevent(std::string_view text);

// "USB", "Bluetooth", "I2C", "SPI", "Virtual", else "Bus 0xNN".
std::string transportName(int bus);

struct HidrawReadAhead;

// One /dev/hidrawN node. A reader thread blocks on the node, reads each report as it comes (each read of a hidraw
// node returns one report) and stamps it; the main loop takes the reports in order, some milliseconds' worth at a
// time, each with its read time. Waking the main loop for every report of a 1 kHz sensor cost three times as
// much as the reading itself.
class HidrawDevice final : public HidDevice {
public:
    HidrawDevice(std::filesystem::path node, HidUevent info);
    ~HidrawDevice() override;
    HidrawDevice(const HidrawDevice&) = delete;
    HidrawDevice& operator=(const HidrawDevice&) = delete;

    std::optional<std::string> property(const std::string& key) const override;
    int open() override;
    void setInputReportHandler(std::uint8_t* buffer, std::size_t length, InputReportHandler handler) override;
    void scheduleWithMainLoop() override;
    std::optional<double> currentReportTime() const override { return deliveringTime; }

    const std::filesystem::path& node() const { return nodePath; }
    // How often the reader thread or the main loop woke for this node: a closed writer must not make it spin.
    std::size_t wakeupCount() const;

private:
    void deliverReadAhead();
    void closeNode();

    std::filesystem::path nodePath;
    HidUevent info;
    int fd = -1; // until the reader thread takes it over
    // On a FIFO (test fixtures) our own writer keeps the read end from reaching end-of-file when the last
    // outside writer closes, which would wake the reader without end.
    int keepAliveWriter = -1;
    std::shared_ptr<HidrawReadAhead> readAhead; // shared with the reader thread
    std::unique_ptr<QSocketNotifier> notifier;  // the hand-off timer
    std::uint8_t* buffer = nullptr;
    std::size_t bufferLength = 0;
    InputReportHandler handler;
    std::optional<double> deliveringTime;
    std::size_t wakeupsWhenClosed = 0;
};

// Finds hidraw devices through sysfs. The roots are parameters so that tests can use a fixture tree.
class HidrawManager final : public HidManager {
public:
    // /sys and /dev, unless KNOKLE_HIDRAW_SYSFS_ROOT or KNOKLE_HIDRAW_DEV_ROOT name others: a benchmark drives the
    // real program from a fixture tree that way.
    HidrawManager();
    HidrawManager(std::filesystem::path sysfsRoot, std::filesystem::path devRoot);
    // The variable's folder when it is set and not empty, else the fallback; the access check follows the same.
    static std::filesystem::path rootFromEnvironment(const char* name, const char* fallback);

    void setDeviceMatching(const HidDeviceMatching& matching) override;
    void scheduleWithMainLoop() override {}
    int open() override;
    std::optional<std::vector<std::shared_ptr<HidDevice>>> matchedDevices() override;

private:
    std::filesystem::path classFolder() const { return sysfsRoot / "class" / "hidraw"; }

    std::filesystem::path sysfsRoot;
    std::filesystem::path devRoot;
    std::optional<HidDeviceMatching> matching;
};

} // namespace knokle
