#include "sensing/MotionSensor.h"
#include "FakeHid.h"
#include "LineCapture.h"

#include <gtest/gtest.h>

using namespace knokle;
using knokle::test::FakeHid;
using knokle::test::LineCapture;

namespace {

using Lines = std::vector<std::string>;
const std::string kOpenLine = "[MotionSensor] HID device search opened: 0 (0 = success)";

struct Harness {
    LineCapture capture;
    FakeHid hid;
    double clock = 700000000.0;
    int unavailable = 0;
    std::vector<std::array<double, 4>> samples;
    MotionSensor sensor{hid.factory(), [this] { return clock; }};

    Harness() {
        sensor.onUnavailable = [this] { ++unavailable; };
        sensor.onSample = [this](double x, double y, double z, double t) { samples.push_back({x, y, z, t}); };
    }
    Lines start() {
        capture.clear();
        sensor.start();
        return capture.lines();
    }
};

} // namespace

TEST(MotionSensor, DecodesFixedPointAxesOfLongEnoughReports) {
    const std::pair<std::array<std::uint8_t, 4>, double> cases[] = {
        {{0xFF, 0xFF, 0xFF, 0xFF}, -1.0 / 65536},
        {{0x00, 0x80, 0x01, 0x00}, 1.5},
        {{0x00, 0x00, 0x00, 0x80}, -32768.0},
        {{0xFF, 0xFF, 0xFF, 0x7F}, 32768.0 - 1.0 / 65536},
    };
    for (const auto& [bytes, expected] : cases) {
        for (int axis = 0; axis < 3; ++axis) {
            std::vector<std::uint8_t> report(18, 0x11);
            std::copy(bytes.begin(), bytes.end(), report.begin() + 6 + 4 * axis);
            auto decoded = decodeReport(report.data(), 18);
            double values[] = {decoded->x, decoded->y, decoded->z};
            EXPECT_EQ(values[axis], expected) << "axis " << axis;
            EXPECT_EQ(values[(axis + 1) % 3], double(0x11111111) / 65536);
        }
    }
    std::vector<std::uint8_t> report = encodeReport(0.25, -0.5, 1.0, 64);
    for (long length : {0L, 17L})
        EXPECT_FALSE(decodeReport(report.data(), length)) << length;
    for (long length : {18L, 64L})
        EXPECT_EQ(decodeReport(report.data(), length), (DecodedReport{0.25, -0.5, 1.0})) << length;
    // Encoding rounds to 1/65536 g and stops at what 32 bits hold.
    EXPECT_EQ(encodeReport(0, 0, 0, 4).size(), 18u);
    EXPECT_EQ(std::vector<std::uint8_t>(report.begin() + 6, report.begin() + 10),
              (std::vector<std::uint8_t>{0, 0x40, 0, 0}));
    auto limited = decodeReport(encodeReport(0.1, 1e9, -1e9).data(), 18);
    EXPECT_NEAR(limited->x, 0.1, 0.5 / 65536);
    EXPECT_EQ(limited->y, 32768.0 - 1.0 / 65536);
    EXPECT_EQ(limited->z, -32768.0);
}

TEST(MotionSensor, StartOpensRegistersAndSchedulesTheFirstDeviceThenDecodesItsReports) {
    Harness h;
    auto device = h.hid.addDevice();
    h.hid.addDevice("Second"); // only the first is opened (one "device open" in the journal)
    device->properties.erase("Product");
    device->openStatus = 13;
    h.hid.managerOpenStatus = -536870201;
    // A failed manager open and a failed device open both go on.
    EXPECT_EQ(h.start(), (Lines{"[MotionSensor] HID device search opened: -536870201 (0 = success)",
                                "[MotionSensor] Matched 2 SPU accelerometer device(s).",
                                "[MotionSensor] Using accelerometer - product: ?, transport: SPI",
                                "[MotionSensor] Direct device open result: 13"}));
    EXPECT_EQ(h.hid.journal, (Lines{"matching", "manager schedule", "manager open", "copy devices", "device open",
                                    "device register", "device schedule"}));
    const auto& m = *h.hid.matching;
    EXPECT_EQ(std::tuple(m.vendorID, m.productID, m.usagePage, m.usage), std::tuple(1452, 33028, 65280, 3));
    EXPECT_EQ(device->bufferLength, 64u);

    std::uint8_t* lent = device->buffer;
    device->deliver(encodeReport(0.5, -1.0, 1.0, 20));
    h.clock += 0.25; // stamped when handled...
    device->deliver(encodeReport(0.0, 0.0, -2.0, 20));
    device->readTime = 12.5; // ...or when read, by a device that reads ahead
    device->deliver(encodeReport(0.0, 0.0, 3.0, 20));
    EXPECT_EQ(device->buffer, lent);
    EXPECT_EQ(h.samples, (std::vector<std::array<double, 4>>{
                             {0.5, -1.0, 1.0, 700000000.0}, {0, 0, -2.0, 700000000.25}, {0, 0, 3.0, 12.5}}));
    EXPECT_EQ(h.unavailable, 0);
}

TEST(MotionSensor, StartWithoutAUsableDevice) {
    const std::tuple<const char*, std::function<void(FakeHid&)>, Lines, int> cases[] = {
        {"no set",
         [](FakeHid&) {},
         {"[MotionSensor] No SPU accelerometer matched (vendor 0x05ac/product 0x8104, usage 0xFF00/0x03)."},
         1},
        {"empty set",
         [](FakeHid& hid) { hid.devices.emplace(); },
         {"[MotionSensor] Matched 0 SPU accelerometer device(s).",
          "[MotionSensor] SPU accelerometer not present on this computer."},
         1},
    };
    for (const auto& [name, setUp, lines, unavailable] : cases) {
        SCOPED_TRACE(name);
        Harness h;
        setUp(h.hid);
        Lines expected{kOpenLine};
        expected.insert(expected.end(), lines.begin(), lines.end());
        EXPECT_EQ(h.start(), expected);
        EXPECT_EQ(h.unavailable, unavailable);
        EXPECT_EQ(std::count(h.hid.journal.begin(), h.hid.journal.end(), "device open"), 0);
    }

    int unavailable = 0;
    MotionSensor sensor([] { return nullptr; }); // no manager at all counts as no match
    sensor.onUnavailable = [&] { ++unavailable; };
    std::vector<double> stamps;
    sensor.onSample = [&](double, double, double, double t) { stamps.push_back(t); };
    LineCapture capture;
    sensor.start();
    EXPECT_EQ(capture.lines().at(0).rfind("[MotionSensor] No SPU accelerometer matched", 0), 0u);
    EXPECT_EQ(unavailable, 1);
    // By default samples are stamped on the monotonic clock: a wall clock set back would block taps.
    double before = sampleClockNow();
    sensor.handleRawReport(encodeReport(0, 0, 1.0).data(), 18);
    ASSERT_EQ(stamps.size(), 1u);
    EXPECT_GE(stamps[0], before);
    EXPECT_LE(stamps[0], sampleClockNow());
}
