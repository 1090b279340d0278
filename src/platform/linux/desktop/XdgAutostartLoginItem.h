#pragma once

#include "platform/LoginItem.h"

#include <filesystem>
#include <string>
#include <vector>

namespace knokle {

// The program's desktop entry ID: org.knokle.Knokle.desktop in applications/ once installed.
inline constexpr const char* kDesktopEntryId = "org.knokle.Knokle";

// The login item as an XDG autostart entry, $XDG_CONFIG_HOME/autostart/org.knokle.Knokle.desktop.
class XdgAutostartLoginItem final : public LoginItem {
public:
    struct Locations {
        std::filesystem::path autostartFolder;
        std::vector<std::filesystem::path> dataDirs; // searched for the installed entry, in order
        std::filesystem::path executable;            // this program
    };
    // The autostart folder, the data folders and this program, from XdgFolders.
    static Locations defaultLocations();

    explicit XdgAutostartLoginItem(Locations locations = defaultLocations());

    LoginItemStatus status() const override;
    std::optional<std::string> registerItem() override;
    std::optional<std::string> unregisterItem() override;
    bool canChange() const override;

    std::filesystem::path entryFile() const {
        return where.autostartFolder / (std::string(kDesktopEntryId) + ".desktop");
    }

private:
    Locations where;
};

} // namespace knokle
