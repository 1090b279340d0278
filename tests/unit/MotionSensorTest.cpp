#include "sensing/MotionSensor.h"
#include "LineCapture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>

using namespace knokle;
using knokle::test::LineCapture;

namespace {

struct FakeDevice : HidDevice {
    std::map<std::string, std::string> properties;
    int openStatus = 0;
    int openCalls = 0;
    std::vector<std::string>* journal = nullptr;
    std::uint8_t* buffer = nullptr;
    std::size_t bufferLength = 0;
    InputReportCallback callback = nullptr;
    void* context = nullptr;
    bool scheduled = false;

    std::optional<std::string> property(const std::string& key) const override {
        auto it = properties.find(key);
        if (it == properties.end()) return std::nullopt;
        return it->second;
    }
    int open() override {
        ++openCalls;
        if (journal) journal->push_back("device open");
        return openStatus;
    }
    void registerInputReportCallback(std::uint8_t* b, std::size_t length, InputReportCallback cb, void* ctx) override {
        if (journal) journal->push_back("device register");
        buffer = b;
        bufferLength = length;
        callback = cb;
        context = ctx;
    }
    void scheduleWithMainLoop() override {
        if (journal) journal->push_back("device schedule");
        scheduled = true;
    }
    // What the HID layer does for one report: fill the lent buffer and call the handler.
    void deliver(const std::vector<std::uint8_t>& report) {
        std::copy(report.begin(), report.end(), buffer);
        callback(context, 0, this, 0, 0, buffer, static_cast<long>(report.size()));
    }
};

struct FakeManager : HidManager {
    std::optional<std::vector<std::shared_ptr<HidDevice>>> devices;
    int openStatus = 0;
    std::vector<std::string>* journal = nullptr;
    HidDeviceMatching matching;

    void setDeviceMatching(const HidDeviceMatching& m) override {
        matching = m;
        journal->push_back("matching");
    }
    void scheduleWithMainLoop() override { journal->push_back("manager schedule"); }
    int open() override {
        journal->push_back("manager open");
        return openStatus;
    }
    std::optional<std::vector<std::shared_ptr<HidDevice>>> copyDevices() override {
        journal->push_back("copy devices");
        return devices;
    }
};

std::shared_ptr<FakeDevice> accelerometer(std::vector<std::string>& journal, std::string product = "SPU",
                                          std::string transport = "SPI") {
    auto device = std::make_shared<FakeDevice>();
    device->properties = {{"Product", product}, {"Transport", transport}};
    device->journal = &journal;
    return device;
}

// A sensor over one fake manager, with counters for its callbacks.
struct Harness {
    std::vector<std::string> journal;
    FakeManager* manager = nullptr;
    std::optional<std::vector<std::shared_ptr<HidDevice>>> devices;
    int managerOpenStatus = 0;
    int unavailable = 0;
    std::vector<std::array<double, 4>> samples;
    double clock = 700000000.0;

    std::unique_ptr<MotionSensor> makeSensor() {
        auto sensor = std::make_unique<MotionSensor>(
            [this] {
                auto m = std::make_unique<FakeManager>();
                m->devices = devices;
                m->openStatus = managerOpenStatus;
                m->journal = &journal;
                manager = m.get();
                return m;
            },
            [this] { return clock; });
        sensor->onUnavailable = [this] { ++unavailable; };
        sensor->onSample = [this](double x, double y, double z, double t) { samples.push_back({x, y, z, t}); };
        return sensor;
    }
};

} // namespace

TEST(MotionSensorDecoding, FixedPointAxes) {
    struct Case {
        std::array<std::uint8_t, 4> bytes;
        double expected;
    };
    const Case cases[] = {
        {{0x00, 0x00, 0x01, 0x00}, 1.0},      {{0xFF, 0xFF, 0xFF, 0xFF}, -1.0 / 65536},
        {{0x00, 0x00, 0xFF, 0xFF}, -1.0},     {{0x00, 0x80, 0x00, 0x00}, 0.5},
        {{0x00, 0x00, 0x00, 0x80}, -32768.0}, {{0xFF, 0xFF, 0xFF, 0x7F}, 32768.0 - 1.0 / 65536},
    };
    for (const Case& c : cases) {
        // The same bytes on each axis, with the others holding different values, read the same.
        for (int axis = 0; axis < 3; ++axis) {
            std::vector<std::uint8_t> report(18, 0x11);
            std::copy(c.bytes.begin(), c.bytes.end(), report.begin() + 6 + 4 * axis);
            auto decoded = decodeReport(report.data(), 18);
            ASSERT_TRUE(decoded);
            double values[] = {decoded->x, decoded->y, decoded->z};
            EXPECT_EQ(values[axis], c.expected) << "axis " << axis;
            EXPECT_EQ(values[(axis + 1) % 3], double(0x11111111) / 65536);
        }
    }
}

TEST(MotionSensorDecoding, LengthRule) {
    std::vector<std::uint8_t> report = encodeReport(0.25, -0.5, 1.0, 64);
    for (long length : {0L, 1L, 17L})
        EXPECT_FALSE(decodeReport(report.data(), length)) << length;
    for (long length : {18L, 19L, 64L})
        EXPECT_EQ(decodeReport(report.data(), length), (DecodedReport{0.25, -0.5, 1.0})) << length;
    EXPECT_FALSE(decodeReport(nullptr, 18));
}

TEST(MotionSensorDecoding, EncodeRoundsAndLimits) {
    EXPECT_EQ(encodeReport(0, 0, 0, 4).size(), 18u);
    auto report = encodeReport(1.0, -1.0, 1e9);
    EXPECT_EQ(std::vector<std::uint8_t>(report.begin() + 6, report.end()),
              (std::vector<std::uint8_t>{0, 0, 1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}));
    auto rounded = decodeReport(encodeReport(0.1, -0.1, -1e9).data(), 18);
    EXPECT_NEAR(rounded->x, 0.1, 0.5 / 65536);
    EXPECT_NEAR(rounded->y, -0.1, 0.5 / 65536);
    EXPECT_EQ(rounded->z, -32768.0);
}

TEST(MotionSensor, FirstTwentyReportsArePrintedWhateverTheirLength) {
    Harness h;
    auto sensor = h.makeSensor();
    LineCapture capture;
    std::vector<std::uint8_t> bytes = {0x00, 0x0a, 0xff, 0x10, 0x7f};
    sensor->handleRawReport(bytes.data(), 0);
    for (int i = 1; i < 19; ++i)
        sensor->handleRawReport(bytes.data(), 2);
    std::vector<std::uint8_t> full = encodeReport(0, 0, 1.0, 19);
    sensor->handleRawReport(full.data(), 19); // the 20th
    sensor->handleRawReport(bytes.data(), 5); // the 21st
    auto lines = capture.lines();
    ASSERT_EQ(lines.size(), 20u);
    EXPECT_EQ(lines[0], "[MotionSensor] RAW REPORT (0 bytes): ");
    EXPECT_EQ(lines[1], "[MotionSensor] RAW REPORT (2 bytes): 00 0a");
    EXPECT_EQ(lines[19],
              "[MotionSensor] RAW REPORT (19 bytes): 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 01 00 00");
    EXPECT_EQ(sensor->debugPrintCount, 21);
    ASSERT_EQ(h.samples.size(), 1u); // only the 19-byte report
    EXPECT_EQ(h.samples[0][2], 1.0);
}

TEST(MotionSensor, StartWithOneDeviceOpensRegistersAndSchedulesIt) {
    Harness h;
    auto device = accelerometer(h.journal);
    device->openStatus = 13;
    h.devices = std::vector<std::shared_ptr<HidDevice>>{device};
    h.managerOpenStatus = -536870201;
    auto sensor = h.makeSensor();
    LineCapture capture;
    sensor->start();
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{
                                   "[MotionSensor] IOHIDManagerOpen result: -536870201 (0 = success)",
                                   "[MotionSensor] Matched 1 SPU accelerometer device(s).",
                                   "[MotionSensor] Using accelerometer - product: SPU, transport: SPI",
                                   "[MotionSensor] Direct device open result: 13",
                               }));
    // A failed manager open and a failed device open both go on.
    EXPECT_EQ(h.journal, (std::vector<std::string>{"matching", "manager schedule", "manager open", "copy devices",
                                                   "device open", "device register", "device schedule"}));
    EXPECT_EQ(h.manager->matching.vendorID, 1452);
    EXPECT_EQ(h.manager->matching.productID, 33028);
    EXPECT_EQ(h.manager->matching.usagePage, 65280);
    EXPECT_EQ(h.manager->matching.usage, 3);
    EXPECT_EQ(device->bufferLength, 64u);
    EXPECT_EQ(h.unavailable, 0);

    // Reports reach onSample through the registered handler; the buffer stays where it was lent.
    std::uint8_t* lent = device->buffer;
    device->deliver(encodeReport(0.5, -1.0, 1.0, 20));
    h.clock += 0.25; // stamped when handled
    device->deliver(encodeReport(0.0, 0.0, -2.0, 20));
    EXPECT_EQ(device->buffer, lent);
    ASSERT_EQ(h.samples.size(), 2u);
    EXPECT_EQ(h.samples[0], (std::array<double, 4>{0.5, -1.0, 1.0, 700000000.0}));
    EXPECT_EQ(h.samples[1], (std::array<double, 4>{0.0, 0.0, -2.0, 700000000.25}));
}

TEST(MotionSensor, NullContextDoesNothing) {
    Harness h;
    auto device = accelerometer(h.journal);
    h.devices = std::vector<std::shared_ptr<HidDevice>>{device};
    auto sensor = h.makeSensor();
    sensor->start();
    LineCapture capture;
    auto report = encodeReport(1, 1, 1);
    device->callback(nullptr, 0, device.get(), 0, 0, report.data(), 18);
    EXPECT_TRUE(capture.lines().empty());
    EXPECT_TRUE(h.samples.empty());
    EXPECT_EQ(sensor->debugPrintCount, 0);
}

TEST(MotionSensor, StartOutcomes) {
    struct Case {
        const char* name;
        std::function<std::optional<std::vector<std::shared_ptr<HidDevice>>>(std::vector<std::string>&)> devices;
        std::vector<std::string> lines;
        int unavailable;
        int opened; // device opens, over all matched devices
    };
    const std::string openLine = "[MotionSensor] IOHIDManagerOpen result: 0 (0 = success)";
    const Case cases[] = {
        {"null set",
         [](auto&) { return std::nullopt; },
         {openLine, "[MotionSensor] No SPU accelerometer matched (vendor 0x05ac/product 0x8104, usage 0xFF00/0x03)."},
         1,
         0},
        {"empty set",
         [](auto&) { return std::vector<std::shared_ptr<HidDevice>>{}; },
         {openLine, "[MotionSensor] Matched 0 SPU accelerometer device(s).",
          "[MotionSensor] SPU accelerometer not present on this Mac."},
         1,
         0},
        {"not a HID device",
         [](auto& journal) {
             return std::vector<std::shared_ptr<HidDevice>>{nullptr, accelerometer(journal)};
         },
         {openLine, "[MotionSensor] Matched 2 SPU accelerometer device(s).",
          "[MotionSensor] Matched device is not an IOHIDDevice; ignoring."},
         0,
         0},
        {"missing product",
         [](auto& journal) {
             auto device = accelerometer(journal);
             device->properties.erase("Product");
             return std::vector<std::shared_ptr<HidDevice>>{device};
         },
         {openLine, "[MotionSensor] Matched 1 SPU accelerometer device(s).",
          "[MotionSensor] Using accelerometer - product: ?, transport: SPI",
          "[MotionSensor] Direct device open result: 0"},
         0,
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        h.devices = c.devices(h.journal);
        auto sensor = h.makeSensor();
        LineCapture capture;
        sensor->start();
        EXPECT_EQ(capture.lines(), c.lines);
        EXPECT_EQ(h.unavailable, c.unavailable);
        int opened = 0;
        for (auto& device : h.devices.value_or(std::vector<std::shared_ptr<HidDevice>>{}))
            if (device) opened += static_cast<FakeDevice*>(device.get())->openCalls;
        EXPECT_EQ(opened, c.opened);
        sensor->handleRawReport(encodeReport(0, 0, 1).data(), 18);
        EXPECT_EQ(h.samples.size(), 1u); // the handler itself still decodes fed bytes
    }
}

TEST(MotionSensor, TwoDevicesOnlyTheFirstIsOpened) {
    Harness h;
    auto first = accelerometer(h.journal, "First");
    auto second = accelerometer(h.journal, "Second");
    h.devices = std::vector<std::shared_ptr<HidDevice>>{first, second};
    auto sensor = h.makeSensor();
    LineCapture capture;
    sensor->start();
    auto lines = capture.lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[1], "[MotionSensor] Matched 2 SPU accelerometer device(s).");
    EXPECT_EQ(lines[2], "[MotionSensor] Using accelerometer - product: First, transport: SPI");
    EXPECT_EQ(first->openCalls, 1);
    EXPECT_TRUE(first->scheduled);
    EXPECT_EQ(second->openCalls, 0);
    EXPECT_EQ(second->callback, nullptr);
    EXPECT_FALSE(second->scheduled);
}

TEST(MotionSensor, MissingManagerCountsAsNoMatch) {
    int unavailable = 0;
    MotionSensor sensor([] { return nullptr; });
    sensor.onUnavailable = [&] { ++unavailable; };
    LineCapture capture;
    sensor.start();
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{"[MotionSensor] No SPU accelerometer matched (vendor "
                                                         "0x05ac/product 0x8104, usage 0xFF00/0x03)."}));
    EXPECT_EQ(unavailable, 1);
}

TEST(MotionSensor, SamplesAreStampedOnTheMonotonicClock) {
    // A wall clock set back would otherwise block every tap for as long as it was set back.
    std::vector<double> stamps;
    MotionSensor sensor([] { return nullptr; });
    sensor.onSample = [&](double, double, double, double t) { stamps.push_back(t); };
    auto report = encodeReport(0, 0, 1.0);
    double before = std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    sensor.handleRawReport(report.data(), static_cast<long>(report.size()));
    ASSERT_EQ(stamps.size(), 1u);
    EXPECT_NEAR(stamps[0], before, 1.0);
}
