#include "QtEventLoop.h"
#include "TempDir.h"
#include "VirtualLoop.h"
#include "platform/linux/runtime/QtMainLoop.h"
#include "platform/linux/sensors/AccelerometerDiscovery.h"
#include "platform/linux/sensors/IioAccelerometer.h"
#include "platform/linux/sensors/JoystickAccelerometer.h"
#include "platform/linux/sensors/LinuxAccelerometerPort.h"

#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <linux/joystick.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace knokle;
namespace fs = std::filesystem;

namespace {

void put(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text << "\n";
}

// A sysfs tree as the kernel lays it out, with only the files the discovery reads.
struct FakeSys {
    test::TempDir dir;
    fs::path sys = dir / "sys", dev = dir / "dev";

    fs::path iio(const std::string& device, const std::string& name, double rate, const std::string& label = "") {
        fs::path folder = sys / "bus/iio/devices" / device;
        put(folder / "name", name);
        for (const char* axis : {"x", "y", "z"})
            put(folder / (std::string("in_accel_") + axis + "_raw"), "0");
        put(folder / "in_accel_scale", "0.009580"); // m/s^2 per unit: about 1/1024 g
        put(folder / "sampling_frequency", std::to_string(rate));
        put(folder / "sampling_frequency_available", "15.62 31.25 62.5 125 250 500 1000");
        if (!label.empty()) put(folder / "label", label);
        return folder;
    }
    fs::path joystick(const std::string& js, const std::string& name, std::optional<int> pollMs) {
        fs::path folder = sys / "class/input" / js / "device";
        put(folder / "name", name);
        if (pollMs) put(folder / "poll", std::to_string(*pollMs));
        fs::create_directories(dev / "input");
        return dev / "input" / js;
    }
};

TEST(AccelerometerDiscovery, FindsEachKindAndPutsTheBaseFirst) {
    FakeSys f;
    f.iio("iio:device0", "bmc150_accel", 125, "accel-display");
    f.iio("iio:device1", "bmc150_accel", 62.5, "accel-base");
    put(f.sys / "bus/iio/devices/iio:device2/in_illuminance_raw", "40"); // a light sensor
    fs::path busy = f.iio("iio:device3", "cros-ec-accel", 200);
    put(busy / "location", "base");
    put(busy / "buffer/enable", "1");
    f.joystick("js0", "ST LIS3LV02DL Accelerometer", 5);
    f.joystick("js1", "Logitech Gamepad F310", std::nullopt);

    auto found = discoverAccelerometers(f.sys, f.dev);
    ASSERT_EQ(found.size(), 4u);
    // Readable base parts, fastest first; the display's; the one another program streams last.
    EXPECT_EQ(found[0].name, "lis3lv02d");
    EXPECT_EQ(found[0].node, (f.dev / "input/js0").string());
    EXPECT_DOUBLE_EQ(found[0].rate, 200);
    EXPECT_EQ(found[1].node, (f.sys / "bus/iio/devices/iio:device1").string());
    EXPECT_EQ(found[1].location, "base");
    EXPECT_DOUBLE_EQ(found[1].rate, 62.5);
    EXPECT_DOUBLE_EQ(found[1].highestRate, 1000);
    EXPECT_EQ(found[2].location, "display");
    EXPECT_TRUE(found[3].busy);
}

// udev's hardware database places parts whose driver says nothing; its word comes before the location file's.
TEST(AccelerometerDiscovery, UdevsAccelLocationPlacesThePart) {
    FakeSys f;
    fs::path lid = f.iio("iio:device0", "bmi160", 200);
    put(lid / "dev", "241:0");
    put(lid / "location", "base");
    put(f.dir / "run/udev/data/c241:0", "S:iio:device0\nE:ACCEL_MOUNT_MATRIX=1,0,0;0,1,0;0,0,1\nE:ACCEL_LOCATION=display");
    fs::path base = f.iio("iio:device1", "bmi160", 100);
    put(base / "dev", "241:1");
    put(f.dir / "run/udev/data/c241:1", "E:ACCEL_LOCATION=base");
    fs::path unknown = f.iio("iio:device2", "kxcj91008", 400);
    put(unknown / "dev", "241:2"); // no database entry

    auto found = discoverAccelerometers(f.sys, f.dev);
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].node, base.string());
    EXPECT_EQ(found[0].location, "base");
    EXPECT_EQ(found[1].location, "");
    EXPECT_EQ(found[2].location, "display");
}

TEST(AccelerometerDiscovery, RatesAndLocationsAreRead) {
    EXPECT_EQ(parseRateList("12.5 25 50 100 200\n"), (std::vector<double>{12.5, 25, 50, 100, 200}));
    EXPECT_EQ(parseRateList("[0.5 0.5 100]"), (std::vector<double>{0.5, 0.5, 100}));
    EXPECT_EQ(nearestRateAtLeast({12.5, 125, 250, 500}, 200), 250);
    EXPECT_EQ(nearestRateAtLeast({1, 10, 25, 100}, 200), 100) << "the highest when none reaches it";
    EXPECT_EQ(nearestRateAtLeast({}, 200), std::nullopt);
    EXPECT_EQ(iioLocation("accel-base", ""), "base");
    EXPECT_EQ(iioLocation("accel-display", "lid"), "display");
    EXPECT_EQ(iioLocation("", "Lid"), "lid");
}

TEST(IioAccelerometer, PollsTheChannelsAtTheRateAndCountsOnlyNewReadings) {
    FakeSys f;
    fs::path folder = f.iio("iio:device0", "bmi160_accel", 200);
    put(folder / "in_accel_z_raw", "-1024");
    test::ensureQtApplication();
    QtMainLoop loop;
    LinuxAccelerometerPort port(loop, f.sys, f.dev);
    auto found = port.discover();
    ASSERT_EQ(found.size(), 1u);
    auto accel = port.open(found[0]);
    std::vector<std::array<double, 3>> samples;
    bool vanished = false;
    accel->onSample = [&](double x, double y, double z, double) { samples.push_back({x, y, z}); };
    accel->onVanished = [&] { vanished = true; };
    ASSERT_TRUE(accel->start());
    ASSERT_TRUE(test::runEventsUntil([&] { return static_cast<IioAccelerometer&>(*accel).polls() >= 20; }));
    ASSERT_TRUE(test::runEventsUntil([&] { return !samples.empty(); }));
    EXPECT_NEAR(samples[0][2], -1024 * 0.009580 / 9.80665, 1e-9);
    put(folder / "in_accel_x_raw", "100");
    ASSERT_TRUE(test::runEventsUntil([&] { return samples.size() >= 2; }));
    EXPECT_EQ(samples.size(), 2u) << "an unchanged reading is no sample";
    EXPECT_NEAR(samples[1][0], 0.0977, 0.001);

    fs::remove_all(folder);
    EXPECT_TRUE(test::runEventsUntil([&] { return vanished; }, 3000));
}

void writeEvent(int fd, unsigned time, std::uint8_t axis, std::int16_t value) {
    js_event event{time, value, JS_EVENT_AXIS, axis};
    ASSERT_EQ(::write(fd, &event, sizeof event), static_cast<ssize_t>(sizeof event));
}

TEST(JoystickAccelerometer, EachPollBecomesOneSampleStampedWithItsKernelTime) {
    FakeSys f;
    fs::path node = f.joystick("js0", "applesmc", 10);
    ASSERT_EQ(mkfifo(node.c_str(), 0600), 0);
    test::ensureQtApplication();
    auto found = discoverAccelerometers(f.sys, f.dev);
    ASSERT_EQ(found.size(), 1u);
    JoystickAccelerometer accel(found[0]);
    std::vector<std::array<double, 4>> samples;
    bool vanished = false;
    accel.onSample = [&](double x, double y, double z, double t) { samples.push_back({x, y, z, t}); };
    accel.onVanished = [&] { vanished = true; };
    ASSERT_TRUE(accel.start());
    int writer = ::open(node.c_str(), O_WRONLY);
    ASSERT_GE(writer, 0);
    writeEvent(writer, 1000, 0, 0);
    writeEvent(writer, 1000, 2, -16384);
    writeEvent(writer, 1010, 0, 1638);
    writeEvent(writer, 1010, 2, -16384);
    ASSERT_TRUE(test::runEventsUntil([&] { return samples.size() >= 2; }));
    EXPECT_NEAR(samples[0][2], -1.0, 0.001) << "a FIFO has no joystick range: +-2 g full scale";
    EXPECT_NEAR(samples[1][3] - samples[0][3], 0.010, 1e-9);
    ::close(writer);
    EXPECT_TRUE(test::runEventsUntil([&] { return vanished; }));
}

// The optional rule's helper, run against a fake device folder as udev would run it.
TEST(FasterAccelerometerRule, RaisesToTheNearestRateOfAtLeastTwoHundredHertz) {
    struct Row {
        const char* available;
        const char* expected;
    } rows[] = {{"15.62 31.25 62.5 125 250 500 1000", "250"}, {"1 10 25 50 100", "100"}, {"[12.5 200 400]", "200"}};
    for (const auto& row : rows) {
        FakeSys f;
        fs::path folder = f.iio("iio:device0", "lis3dh", 10);
        put(folder / "sampling_frequency_available", row.available);
        std::string command = std::string(KNOKLE_SOURCE_DIR) +
                              "/share/udev/optional/knokle-raise-accelerometer-rate '" + folder.string() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
        EXPECT_EQ(readFirstLine(folder / "sampling_frequency"), row.expected) << row.available;
    }
}

} // namespace
