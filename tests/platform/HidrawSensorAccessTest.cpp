#include "platform/linux/HidrawSensorAccess.h"
#include "TempDir.h"

#include <cerrno>
#include <fstream>
#include <gtest/gtest.h>

using namespace knokle;

namespace {

using Bytes = std::vector<std::uint8_t>;
const Bytes kSensorDescriptor = {0x06, 0x00, 0xFF, 0x09, 0x03, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x16, 0x81, 0x02, 0xC0};
const Bytes kKeyboardDescriptor = {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x75, 0x01, 0x81, 0x02, 0xC0};

struct Fixture {
    test::TempDir dir;
    HidrawSensorAccess::Locations where{dir / "sys", dir / "dev", {dir / "etc", dir / "lib"}, {dir / "share/k.rules"}};
    std::vector<std::filesystem::path> opened;
    int error = 0;

    void addDevice(const std::string& node, const std::string& id, const Bytes& descriptor) {
        auto folder = where.sysfsRoot / "class/hidraw" / node / "device";
        std::filesystem::create_directories(folder);
        std::ofstream(folder / "uevent") << "HID_ID=" << id << "\nHID_NAME=Some device\n";
        std::ofstream(folder / "report_descriptor", std::ios::binary)
            .write(reinterpret_cast<const char*>(descriptor.data()), std::streamsize(descriptor.size()));
    }
    void touch(const std::filesystem::path& file) {
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file) << "rule\n";
    }
    std::optional<SensorAccessProblem> check() {
        HidrawSensorAccess access(where, [this](const std::filesystem::path& node) {
            opened.push_back(node);
            return error;
        });
        return access.unreadableSensor();
    }
};

} // namespace

TEST(HidrawSensorAccess, OnlyTheAccelerometerIsTried) {
    Fixture f;
    f.error = EACCES;
    EXPECT_FALSE(f.check()) << "no hidraw devices at all";
    f.addDevice("hidraw0", "0003:000005AC:00008104", kKeyboardDescriptor); // same IDs, other usage
    f.addDevice("hidraw1", "0003:0000046D:00008104", kSensorDescriptor);   // other vendor
    EXPECT_FALSE(f.check());
    EXPECT_TRUE(f.opened.empty());

    f.addDevice("hidraw2", "001C:000005AC:00008104", kSensorDescriptor);
    f.error = 0;
    EXPECT_FALSE(f.check()) << "readable";
    EXPECT_EQ(f.opened, std::vector<std::filesystem::path>{f.where.devRoot / "hidraw2"});
}

TEST(HidrawSensorAccess, UnreadableNodeSaysWhereTheRuleIs) {
    Fixture f;
    f.addDevice("hidraw2", "001C:000005AC:00008104", kSensorDescriptor);
    f.error = EACCES;
    auto problem = f.check();
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->device, (f.where.devRoot / "hidraw2").string());
    EXPECT_EQ(problem->reason, "Permission denied");
    EXPECT_FALSE(problem->installedRule);
    EXPECT_FALSE(problem->shippedRule);

    f.touch(f.dir / "share/k.rules");
    f.touch(f.dir / "lib/70-knokle-accelerometer.rules");
    problem = f.check();
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->shippedRule, (f.dir / "share/k.rules").string());
    EXPECT_EQ(problem->installedRule, (f.dir / "lib/70-knokle-accelerometer.rules").string());
    // The folder udev reads first wins.
    f.touch(f.dir / "etc/70-knokle-accelerometer.rules");
    EXPECT_EQ(f.check()->installedRule, (f.dir / "etc/70-knokle-accelerometer.rules").string());
}
