#pragma once

#include "platform/ApplicationList.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace knokle {

// The desktop entries of the applications folders (earlier folders win for the same ID, also when there the
// entry is hidden). Entries that are hidden, not shown in menus or not applications are left out; names are
// read in the user's locale.
class DesktopApplicationList final : public ApplicationList {
public:
    // Nothing: the XDG applications folders and the locale of the environment.
    explicit DesktopApplicationList(std::optional<std::vector<std::filesystem::path>> folders = std::nullopt,
                                    std::optional<std::string> locale = std::nullopt);

    std::vector<InstalledApplication> installedApplications() override;

private:
    std::vector<std::filesystem::path> folders;
    std::string locale;
};

} // namespace knokle
