#pragma once

#include "platform/HidManager.h"

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace knokle::test {

// A HID device that notes what it is asked in a shared journal and delivers reports as the HID layer would.
struct FakeHidDevice final : HidDevice {
    explicit FakeHidDevice(std::vector<std::string>& journal) : journal(journal) {}

    std::vector<std::string>& journal;
    std::map<std::string, std::string> properties{{"Product", "SPU"}, {"Transport", "SPI"}};
    int openStatus = 0;
    std::optional<double> readTime; // what currentReportTime() answers
    std::uint8_t* buffer = nullptr;
    std::size_t bufferLength = 0;
    InputReportHandler handler;

    std::optional<std::string> property(const std::string& key) const override {
        auto it = properties.find(key);
        return it == properties.end() ? std::nullopt : std::optional(it->second);
    }
    int open() override {
        journal.push_back("device open");
        return openStatus;
    }
    void setInputReportHandler(std::uint8_t* b, std::size_t length, InputReportHandler h) override {
        journal.push_back("device register");
        buffer = b;
        bufferLength = length;
        handler = std::move(h);
    }
    void scheduleWithMainLoop() override { journal.push_back("device schedule"); }
    std::optional<double> currentReportTime() const override { return readTime; }

    // Fills the lent buffer and calls the handler.
    void deliver(const std::vector<std::uint8_t>& report) {
        std::copy(report.begin(), report.end(), buffer);
        handler(buffer, static_cast<long>(report.size()));
    }
};

// The HID layer as the sensor sees it: managers made by factory() match `devices` (nothing: no set at all)
// and, with their devices, note every call in `journal`. Outlives the sensors it serves.
struct FakeHid {
    std::vector<std::string> journal;
    std::optional<std::vector<std::shared_ptr<HidDevice>>> devices;
    int managerOpenStatus = 0;
    std::optional<HidDeviceMatching> matching;

    std::shared_ptr<FakeHidDevice> addDevice(std::string product = "SPU") {
        auto device = std::make_shared<FakeHidDevice>(journal);
        device->properties["Product"] = std::move(product);
        if (!devices) devices.emplace();
        devices->push_back(device);
        return device;
    }

    HidManagerFactory factory() {
        return [this] { return std::make_unique<Manager>(*this); };
    }

private:
    struct Manager final : HidManager {
        explicit Manager(FakeHid& hid) : hid(hid) {}
        FakeHid& hid;
        void setDeviceMatching(const HidDeviceMatching& m) override {
            hid.matching = m;
            hid.journal.push_back("matching");
        }
        void scheduleWithMainLoop() override { hid.journal.push_back("manager schedule"); }
        int open() override {
            hid.journal.push_back("manager open");
            return hid.managerOpenStatus;
        }
        std::optional<std::vector<std::shared_ptr<HidDevice>>> matchedDevices() override {
            hid.journal.push_back("copy devices");
            return hid.devices;
        }
    };
};

} // namespace knokle::test
