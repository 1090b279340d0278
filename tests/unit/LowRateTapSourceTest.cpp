#include "sensing/LowRateTapSource.h"
#include "VirtualLoop.h"
#include "sensing/SyntheticMotion.h"
#include "viewmodels/AccelerometerStatus.h"

#include <gtest/gtest.h>

using namespace knokle;

namespace {

// Devices as the test lists them; each opened one is handed to the test to feed.
struct FakeAccelerometer final : PolledAccelerometer {
    bool startResult = true;
    bool running = false;
    bool start() override { return running = startResult; }
    void stop() override { running = false; }
};

struct FakePort final : AccelerometerPort {
    std::vector<AccelerometerInfo> devices;
    std::vector<FakeAccelerometer*> opened;
    int discoveries = 0;
    std::vector<AccelerometerInfo> discover() override {
        ++discoveries;
        return devices;
    }
    std::unique_ptr<PolledAccelerometer> open(const AccelerometerInfo&) override {
        auto accel = std::make_unique<FakeAccelerometer>();
        opened.push_back(accel.get());
        return accel;
    }
};

AccelerometerInfo device(std::string name, double rate, bool busy = false) {
    return {std::move(name), "IIO", "/sys/x", "base", rate, 1000, true, busy};
}

void feed(FakeAccelerometer& accel, const SyntheticMotion& motion, double from = 0) {
    for (const auto& s : motion.samples())
        if (s.t >= from) accel.onSample(s.x, s.y, s.z, s.t);
}

TEST(LowRateTapSource, ReadsTheBestReadableDeviceAndReportsItsTaps) {
    test::VirtualLoop loop;
    FakePort port;
    port.devices = {device("busy-one", 400, true), device("bmi160", 200)};
    LowRateTapSource source(loop, port);
    std::vector<Impact> impacts;
    source.onImpact = [&](const Impact& impact) { impacts.push_back(impact); };
    source.start();
    ASSERT_EQ(port.opened.size(), 1u) << "the busy one is never opened";
    EXPECT_EQ(source.device()->name, "bmi160");
    SyntheticMotion motion(200, 1, 0.002);
    feed(*port.opened[0], motion.rest(1).tap({.peak = 0.16, .duration = 0.01}).rest(0.5));
    ASSERT_EQ(impacts.size(), 1u);
    EXPECT_GT(impacts[0].strength, 0.12);
    EXPECT_LT(impacts[0].strength, 0.3);
    EXPECT_NEAR(impacts[0].time, 1.0, 0.02);
}

TEST(LowRateTapSource, AVanishedDeviceIsSaidAndLookedForAgain) {
    test::VirtualLoop loop;
    FakePort port;
    port.devices = {device("bmc150_accel", 125)};
    LowRateTapSource source(loop, port);
    int unavailable = 0;
    source.onUnavailable = [&] { ++unavailable; };
    source.start();
    ASSERT_TRUE(source.reading());
    port.devices.clear();
    port.opened[0]->onVanished();
    EXPECT_FALSE(source.reading());
    EXPECT_EQ(unavailable, 1);
    loop.advance(LowRateTapSource::rediscoverySeconds * 3);
    EXPECT_EQ(port.discoveries, 4);
    EXPECT_EQ(unavailable, 1) << "said once, not at every look";
    port.devices = {device("bmc150_accel", 125)};
    loop.advance(LowRateTapSource::rediscoverySeconds);
    EXPECT_TRUE(source.reading());
    source.stop();
    EXPECT_EQ(loop.pendingTimerCount(), 0u);
}

TEST(AccelerometerStatus, SaysWhatWasFoundAndHowToMakeItUsable) {
    auto amd = device("accel_3d", 5);
    amd.rateCanBeRaised = false;
    auto joystick = device("lis3lv02d", 20);
    joystick.kind = "joystick";
    auto display = device("bmc150_accel", 10);
    display.location = "";
    struct Row {
        std::optional<AccelerometerInfo> info;
        double measured;
        bool reading;
        std::string line, advice;
    } rows[] = {
        {std::nullopt, 0, false, "No accelerometer found", ""},
        {device("bmi160", 200), 38, true, "bmi160 (IIO, base) at 38 Hz", "200 Hz or more"},
        {display, 0, true, "bmc150_accel (IIO) at 10 Hz", "raise it to 200 Hz"},
        {amd, 0, true, "accel_3d (IIO, base) at 5 Hz", "cannot be made faster (AMD sensor hub)"},
        {joystick, 0, true, "lis3lv02d (joystick, base) at 20 Hz", "every 5 ms"},
        {device("cros-ec-accel", 200, true), 0, false, "cros-ec-accel (IIO, base) at 200 Hz", "leaves it alone"},
    };
    for (const auto& row : rows) {
        auto status = accelerometerStatus(row.info, row.measured, row.reading);
        EXPECT_EQ(status.device, row.line);
        EXPECT_EQ(status.usable, row.advice.empty() && row.info) << row.line;
        if (row.advice.empty())
            EXPECT_EQ(status.advice, "") << row.line;
        else
            EXPECT_NE(status.advice.find(row.advice), std::string::npos) << status.advice;
    }
}

TEST(AccelerometerStatus, TestTapsNamesTheDeviceAndHowToRaiseIt) {
    EXPECT_EQ(testTapsNote(accelerometerStatus(device("bmi160", 200), 200, true)),
              "Taps from the accelerometer bmi160 (IIO, base) at 200 Hz.");
    EXPECT_EQ(testTapsNote(accelerometerStatus(device("bmi160", 200), 38, true)),
              "Accelerometer bmi160 (IIO, base) at 38 Hz. Too slow for taps: Knokle's optional udev rule "
              "(share/knokle/udev-optional, see the README) can raise it to 200 Hz or more.");
    EXPECT_EQ(testTapsNote(accelerometerStatus(std::nullopt, 0, false)), "No accelerometer found.");
}

} // namespace
