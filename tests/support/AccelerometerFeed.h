#pragma once

#include "platform/HidManager.h"
#include "sensing/MotionSensor.h"

#include <algorithm>
#include <cstring>

namespace knokle::test {

// The accelerometer as the HID layer shows it, fed by the test: one matched device (or none without a sensor)
// whose registered report callback receives the reports the test delivers.
class AccelerometerFeed {
public:
    bool present = true;

    HidManagerFactory factory() {
        return [this] { return std::make_unique<Manager>(*this); };
    }
    void deliver(const std::vector<std::uint8_t>& report) {
        if (!callback) return;
        std::memcpy(buffer, report.data(), std::min(report.size(), length));
        callback(context, 0, nullptr, 0, 0, buffer, static_cast<long>(report.size()));
    }

private:
    struct Device final : HidDevice {
        explicit Device(AccelerometerFeed& feed) : feed(feed) {}
        std::optional<std::string> property(const std::string&) const override { return std::string("SPU"); }
        int open() override { return 0; }
        void registerInputReportCallback(std::uint8_t* b, std::size_t l, InputReportCallback c, void* ctx) override {
            feed.buffer = b;
            feed.length = l;
            feed.callback = c;
            feed.context = ctx;
        }
        void scheduleWithMainLoop() override {}
        AccelerometerFeed& feed;
    };
    struct Manager final : HidManager {
        explicit Manager(AccelerometerFeed& feed) : feed(feed) {}
        void setDeviceMatching(const HidDeviceMatching&) override {}
        void scheduleWithMainLoop() override {}
        int open() override { return 0; }
        std::optional<std::vector<std::shared_ptr<HidDevice>>> copyDevices() override {
            std::vector<std::shared_ptr<HidDevice>> devices;
            if (feed.present) devices.push_back(std::make_shared<Device>(feed));
            return devices;
        }
        AccelerometerFeed& feed;
    };

    std::uint8_t* buffer = nullptr;
    std::size_t length = 0;
    InputReportCallback callback = nullptr;
    void* context = nullptr;
};

} // namespace knokle::test
