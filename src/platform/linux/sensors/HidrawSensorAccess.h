#pragma once

#include "platform/SensorAccess.h"

#include <filesystem>
#include <functional>
#include <vector>

namespace knokle {

// Looks for the accelerometer among the hidraw devices and tries to open its node for reading; says where
// Knokle's udev rule is installed (or could be installed from) when it cannot.
class HidrawSensorAccess final : public SensorAccess {
public:
    struct Locations {
        std::filesystem::path sysfsRoot = "/sys";
        std::filesystem::path devRoot = "/dev";
        // Where udev reads rules, in its order of precedence.
        std::vector<std::filesystem::path> udevRuleFolders;
        // Where a copy of the rule may be, beside the program (installed) or in its build tree.
        std::vector<std::filesystem::path> shippedRules;
    };
    // The system's folders, and copies relative to the running program.
    static Locations defaultLocations();

    // `openError` returns 0 when the node opens for reading, else an errno value (a parameter for tests,
    // which may run as a user who can open anything).
    explicit HidrawSensorAccess(Locations locations = defaultLocations(),
                                std::function<int(const std::filesystem::path&)> openError = {});

    std::optional<SensorAccessProblem> unreadableSensor() const override;

private:
    Locations where;
    std::function<int(const std::filesystem::path&)> openError;
};

} // namespace knokle
