#include "platform/linux/sensors/HidrawSensorAccess.h"

#include "common/AtomicFile.h"
#include "platform/linux/desktop/XdgFolders.h"
#include "platform/linux/sensors/HidrawManager.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace knokle {
namespace {

int tryOpen(const std::filesystem::path& node) {
    int fd = ::open(node.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno;
    ::close(fd);
    return 0;
}

bool isAccelerometer(const std::filesystem::path& device) {
    auto uevent = readWholeFile(device / "uevent");
    auto info = uevent ? parseHidUevent(*uevent) : std::nullopt;
    if (!info || info->vendorID != kAccelerometerVendorID || info->productID != kAccelerometerProductID)
        return false;
    auto descriptor = readWholeFile(device / "report_descriptor");
    if (!descriptor) return false;
    auto usages = topLevelUsages(std::vector<std::uint8_t>(descriptor->begin(), descriptor->end()));
    return std::find(usages.begin(), usages.end(),
                     HidUsage{kAccelerometerUsagePage, kAccelerometerUsage}) != usages.end();
}

} // namespace

HidrawSensorAccess::Locations HidrawSensorAccess::defaultLocations() {
    Locations l;
    // The folders the sensor is read from, so that the check sees what the program will open.
    l.sysfsRoot = HidrawManager::rootFromEnvironment("KNOKLE_HIDRAW_SYSFS_ROOT", "/sys");
    l.devRoot = HidrawManager::rootFromEnvironment("KNOKLE_HIDRAW_DEV_ROOT", "/dev");
    l.udevRuleFolders = {"/etc/udev/rules.d", "/run/udev/rules.d", "/usr/local/lib/udev/rules.d",
                         "/usr/lib/udev/rules.d", "/lib/udev/rules.d"};
    std::filesystem::path program = XdgFolders::executable();
    if (!program.empty()) {
        std::filesystem::path bin = program.parent_path();
        l.shippedRules = {bin.parent_path() / "lib/udev/rules.d" / kUdevRuleName, bin / "share/knokle" / kUdevRuleName};
    }
    return l;
}

HidrawSensorAccess::HidrawSensorAccess(Locations locations, std::function<int(const std::filesystem::path&)> open)
    : where(std::move(locations)), openError(open ? std::move(open) : tryOpen) {}

std::optional<SensorAccessProblem> HidrawSensorAccess::unreadableSensor() const {
    std::error_code ec;
    std::filesystem::directory_iterator entries(where.sysfsRoot / "class/hidraw", ec);
    if (ec) return std::nullopt;
    std::vector<std::string> names;
    for (const auto& entry : entries)
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    for (const auto& name : names) {
        if (!isAccelerometer(where.sysfsRoot / "class/hidraw" / name / "device")) continue;
        std::filesystem::path node = where.devRoot / name;
        int error = openError(node);
        if (error == 0) return std::nullopt;
        SensorAccessProblem problem{node.string(), std::strerror(error), std::nullopt, std::nullopt};
        for (const auto& folder : where.udevRuleFolders)
            if (std::filesystem::exists(folder / kUdevRuleName, ec)) {
                problem.installedRule = (folder / kUdevRuleName).string();
                break;
            }
        for (const auto& copy : where.shippedRules)
            if (std::filesystem::exists(copy, ec)) {
                problem.shippedRule = copy.string();
                break;
            }
        return problem;
    }
    return std::nullopt;
}

} // namespace knokle
