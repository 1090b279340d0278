#include "LineCapture.h"
#include "QtEventLoop.h"
#include "ScopedEnv.h"
#include "TempDir.h"
#include "common/SampleClock.h"
#include "platform/linux/sensors/HidrawManager.h"
#include "platform/linux/sensors/HidrawSensorAccess.h"
#include "sensing/MotionSensor.h"

#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace knokle;
using namespace knokle::test;
namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kSensorDescriptor = {0xFE, 0x02, 0x10, 0xAA, 0xBB,                   // long item
                                 0x06, 0x00, 0xFF, 0x0A, 0x03, 0x00, 0xA1, 0x01, // vendor page 0xFF00, usage 3
                                 0x15, 0x00, 0x75, 0x08, 0x95, 0x16, 0x81, 0x02, 0xC0};
const Bytes kKeyboardDescriptor = {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x75, 0x01, 0x81, 0x02, 0xC0};
const char* const kSpu = "HID_ID=001C:000005AC:00008104\nHID_NAME=Apple SPU\n";

// sysfs and /dev as the manager sees them, under a temporary folder.
struct Fixture {
    TempDir dir;
    fs::path sys = dir / "sys";
    fs::path dev = dir / "dev";

    Fixture() { fs::create_directories(dev); }

    void addDevice(const std::string& node, const std::string& uevent, const Bytes& descriptor = kSensorDescriptor) {
        auto folder = sys / "class" / "hidraw" / node / "device";
        fs::create_directories(folder);
        std::ofstream(folder / "uevent") << uevent;
        std::ofstream(folder / "report_descriptor", std::ios::binary)
            .write(reinterpret_cast<const char*>(descriptor.data()), std::streamsize(descriptor.size()));
    }
    // Another vendor's sensor, the sensor's own IDs on a keyboard, and a device without identity.
    void addDecoys() {
        addDevice("hidraw0", "HID_ID=0003:0000046D:00008104\nHID_NAME=Logitech Receiver\n");
        addDevice("hidraw1", "HID_ID=001C:000005AC:00008104\nHID_NAME=Apple Keyboard\n", kKeyboardDescriptor);
        addDevice("hidraw3", "HID_NAME=No identity\n");
    }
    // The one device a manager matching the accelerometer finds, or nothing when it finds another number.
    std::shared_ptr<HidrawDevice> onlyDevice() {
        HidrawManager m(sys, dev);
        m.setDeviceMatching({0x05AC, 0x8104, 0xFF00, 0x03});
        auto devices = m.matchedDevices();
        if (!devices || devices->size() != 1) return nullptr;
        return std::dynamic_pointer_cast<HidrawDevice>(devices->front());
    }
};

// Opens and schedules a device and keeps what it delivers, with the read time each report carried.
struct Received {
    std::shared_ptr<HidrawDevice> device;
    std::array<std::uint8_t, 64> buffer{};
    std::vector<Bytes> reports;
    std::vector<double> readTimes;

    explicit Received(std::shared_ptr<HidrawDevice> d) : device(std::move(d)) {
        ensureQtApplication();
        EXPECT_EQ(device->open(), 0);
        device->setInputReportHandler(buffer.data(), buffer.size(), [this](const std::uint8_t* report, long length) {
            reports.emplace_back(report, report + length);
            readTimes.push_back(device->currentReportTime().value_or(-1));
        });
        device->scheduleWithMainLoop();
    }
};

} // namespace

TEST(Hidraw, TopLevelUsagesOfReportDescriptors) {
    const std::tuple<const char*, Bytes, std::vector<HidUsage>> cases[] = {
        {"sensor with long item and 2-byte usage", kSensorDescriptor, {{0xFF00, 3}}},
        {"nested collection is not top level",
         {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x09, 0x01, 0xA1, 0x00, 0xC0, 0xC0},
         {{1, 2}}},
        {"two top-level collections",
         {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0xC0, 0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0xC0},
         {{1, 6}, {0x0C, 1}}},
        {"4-byte usage carries its page", {0x05, 0x01, 0x0B, 0x03, 0x00, 0x00, 0xFF, 0xA1, 0x01, 0xC0}, {{0xFF00, 3}}},
        {"usage cleared by a main item", {0x06, 0x00, 0xFF, 0x09, 0x03, 0x81, 0x02, 0xA1, 0x01, 0xC0}, {{0xFF00, 0}}},
        {"push and pop", {0x05, 0x01, 0xA4, 0x05, 0x07, 0xB4, 0x09, 0x02, 0xA1, 0x01, 0xC0}, {{1, 2}}},
        {"truncated item", {0x06, 0x00}, {}},
        {"long item running past the end", {0xFE, 0x20, 0x10, 0x01, 0xA1, 0x01}, {}},
    };
    for (const auto& [name, descriptor, usages] : cases)
        EXPECT_EQ(topLevelUsages(descriptor), usages) << name;
}

// A good uevent is read by the matching below, which also names the transport.
TEST(Hidraw, UeventsWithoutAUsableIdAreRefused) {
    for (const char* bad : {"HID_ID=0003:zz:0001\n", "HID_ID=0003\n", ""})
        EXPECT_FALSE(parseHidUevent(bad)) << bad;
}

TEST(Hidraw, MatchesOnlyTheSensorAmongDecoysUnderTheRootsTheEnvironmentNames) {
    Fixture f;
    f.addDecoys();
    f.addDevice("hidraw2", std::string("DRIVER=hid-generic\n") + kSpu);
    std::vector<fs::path> opened;
    auto [manager, access] = [&] {
        ScopedEnv sys("KNOKLE_HIDRAW_SYSFS_ROOT", f.sys.c_str()), dev("KNOKLE_HIDRAW_DEV_ROOT", f.dev.c_str());
        // The access check looks where the program reads the sensor.
        return std::pair{std::make_unique<HidrawManager>(),
                         HidrawSensorAccess(HidrawSensorAccess::defaultLocations(), [&](const fs::path& node) {
                             opened.push_back(node);
                             return EACCES;
                         })};
    }();
    ASSERT_TRUE(access.unreadableSensor());
    EXPECT_EQ(opened, std::vector<fs::path>{f.dev / "hidraw2"});
    manager->setDeviceMatching({0x05AC, 0x8104, 0xFF00, 0x03});
    EXPECT_EQ(manager->open(), 0);
    auto devices = manager->matchedDevices();
    ASSERT_TRUE(devices && devices->size() == 1);
    auto device = std::dynamic_pointer_cast<HidrawDevice>(devices->front());
    EXPECT_EQ(device->node(), f.dev / "hidraw2");
    EXPECT_EQ(device->property("Product"), "Apple SPU");
    EXPECT_EQ(device->property("Transport"), "SPI");
    EXPECT_FALSE(device->property("SerialNumber"));

    HidrawManager missing(f.dir / "nothing", f.dev);
    EXPECT_EQ(missing.open(), ENOENT);
    EXPECT_FALSE(missing.matchedDevices());
}

TEST(Hidraw, ReportsArriveInOrderWithTheirReadTimesAndAClosedWriterNeverSpins) {
    Fixture f;
    f.addDecoys();
    f.addDevice("hidraw2", kSpu);
    ASSERT_EQ(mkfifo((f.dev / "hidraw2").c_str(), 0600), 0);
    auto device = f.onlyDevice();
    ASSERT_TRUE(device);
    Received received(device);
    std::vector<Bytes> sent;
    for (int round = 0; round < 2; ++round) {
        // The second writer comes after the first one closed: the node must still deliver.
        int writer = ::open((f.dev / "hidraw2").c_str(), O_WRONLY | O_NONBLOCK);
        ASSERT_GE(writer, 0);
        for (int i = 0; i < 10; ++i) {
            Bytes report = encodeReport(0.01 * i, -0.5, 1.0 + round, 22);
            report[0] = std::uint8_t(round * 10 + i);
            double written = sampleClockNow();
            ASSERT_EQ(::write(writer, report.data(), report.size()), ssize_t(report.size()));
            sent.push_back(report);
            // One report at a time: a FIFO, unlike hidraw, would join reports written back to back.
            ASSERT_TRUE(runEventsUntil([&] { return received.reports.size() == sent.size(); }));
            EXPECT_GE(received.readTimes.back(), written); // stamped when read, before its delivery
            EXPECT_LE(received.readTimes.back(), sampleClockNow());
        }
        ::close(writer);
        std::size_t wakeupsBefore = device->wakeupCount();
        runEventsFor(150);
        EXPECT_LE(device->wakeupCount() - wakeupsBefore, 1u);
    }
    EXPECT_EQ(received.reports, sent);
    EXPECT_FALSE(device->currentReportTime()); // only while a report is delivered
}

TEST(Hidraw, ANodeAtEndOfFileIsReportedOnceAndLeftAlone) {
    Fixture f;
    f.addDevice("hidraw4", kSpu);
    fs::create_symlink("/dev/null", f.dev / "hidraw4"); // a character device that only ends
    auto device = f.onlyDevice();
    ASSERT_TRUE(device);
    LineCapture capture;
    Received received(device);
    ASSERT_TRUE(runEventsUntil([&] { return !capture.lines().empty(); }));
    runEventsFor(100);
    EXPECT_EQ(capture.lines(), std::vector<std::string>{"[MotionSensor] Accelerometer " + (f.dev / "hidraw4").string() +
                                                        " stopped delivering: end of file."});
    EXPECT_LE(device->wakeupCount(), 2u);
    EXPECT_TRUE(received.reports.empty());
}

TEST(Hidraw, UnopenableNodeSaysWhyAndHowToGetAccess) {
    Fixture f;
    f.addDevice("hidraw0", kSpu);
    auto device = f.onlyDevice();
    ASSERT_TRUE(device);
    // One line for the error; a permission problem also says how to get access.
    auto refused = [&](int error) {
        LineCapture capture;
        std::string line =
            "[MotionSensor] Cannot open " + (f.dev / "hidraw0").string() + ": " + std::strerror(error) + ".";
        if (device->open() != error || capture.lines().size() != 1) return false;
        if (error != EACCES) return capture.lines()[0] == line;
        return capture.lines()[0].starts_with(line + " ") && capture.lines()[0].find("udev rule") != std::string::npos;
    };
    EXPECT_TRUE(refused(ENOENT));
    fs::create_directory(f.dev / "hidraw0");
    EXPECT_TRUE(refused(EISDIR));
    fs::remove(f.dev / "hidraw0");
    std::ofstream(f.dev / "hidraw0") << "x";
    EXPECT_TRUE(refused(ENODEV));
    fs::remove(f.dev / "hidraw0");
    ASSERT_EQ(mkfifo((f.dev / "hidraw0").c_str(), 0000), 0);
    ASSERT_EQ(chmod(f.dir.path().c_str(), 0755), 0);
    ASSERT_EQ(chmod(f.dev.c_str(), 0755), 0);
    if (geteuid() != 0) {
        EXPECT_TRUE(refused(EACCES));
        return;
    }
    // Root reads anything: check from a child that has given up its privileges.
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(setgid(65534) != 0 || setuid(65534) != 0 ? 2 : refused(EACCES) ? 0 : 1);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 2) GTEST_SKIP() << "could not drop privileges";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(HidrawSensorAccess, OnlyTheAccelerometerIsTriedAndAnUnreadableOneSaysWhereTheRuleIs) {
    Fixture f;
    std::vector<fs::path> opened;
    int error = EACCES;
    HidrawSensorAccess access({f.sys, f.dev, {f.dir / "etc", f.dir / "lib"}, {f.dir / "share/k.rules"}},
                              [&](const fs::path& node) {
                                  opened.push_back(node);
                                  return error;
                              });
    EXPECT_FALSE(access.unreadableSensor()) << "no hidraw devices at all";
    f.addDecoys();
    f.addDevice("hidraw2", kSpu);
    error = 0;
    EXPECT_FALSE(access.unreadableSensor()) << "readable";
    EXPECT_EQ(opened, std::vector<fs::path>{f.dev / "hidraw2"});

    error = EACCES;
    auto problem = access.unreadableSensor();
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->device, (f.dev / "hidraw2").string());
    EXPECT_EQ(problem->reason, "Permission denied");
    EXPECT_FALSE(problem->installedRule || problem->shippedRule);
    for (const char* folder : {"share", "lib", "etc"})
        fs::create_directories(f.dir / folder);
    std::ofstream(f.dir / "share/k.rules") << "rule\n";
    for (const char* folder : {"lib", "etc"}) { // the folder udev reads first wins
        std::ofstream(f.dir / folder / "70-knokle-accelerometer.rules") << "rule\n";
        problem = access.unreadableSensor();
        ASSERT_TRUE(problem);
        EXPECT_EQ(problem->installedRule, (f.dir / folder / "70-knokle-accelerometer.rules").string());
        EXPECT_EQ(problem->shippedRule, (f.dir / "share/k.rules").string());
    }
}
