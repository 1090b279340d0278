#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace knokle {

// A package's launch script and the browser binary it execs (same process), as the package lays them out.
struct BrowserWrapper {
    std::string script;
    std::string target;
};

// Everything Knokle knows about one browser on Linux.
struct BrowserCatalogRow {
    std::string name; // as printed, and in the devToolsPort.<name> setting
    bool firefox = false;
    std::vector<std::string> desktopIds; // including the Flatpak and Snap ones (and the other desktop's)
    std::vector<std::string> programs;   // command names on $PATH
    std::vector<BrowserWrapper> wrappers;
    std::string profileFolder;                // below the configuration folder (Firefox: below home)
    std::vector<std::string> devToolsFolders; // profile folders holding DevToolsActivePort, below the same
    std::string flatpakId, flatpakProfile;    // the profile folder inside ~/.var/app/ID
    std::string snapName, snapProfile;        // the profile folder inside ~/snap/NAME

    // Where its native-messaging host manifests go, inside a profile folder.
    std::string nativeMessagingFolder() const { return firefox ? "native-messaging-hosts" : "NativeMessagingHosts"; }
    bool hasDevTools() const { return !devToolsFolders.empty(); }
};

// The browsers, in the order tabs are closed in them.
const std::vector<BrowserCatalogRow>& browserCatalog();
const BrowserCatalogRow* browserNamed(std::string_view name);
// The browser whose program, launch script or binary has this file name (the process that started us).
const BrowserCatalogRow* browserOfExecutableName(std::string_view fileName);
// The binaries a launch script at this resolved path execs: when the path ends with a catalog script's path
// (below the same root, so that fixtures laid out like the packages work), the targets below that root.
std::vector<std::filesystem::path> wrapperTargets(const std::filesystem::path& resolvedScript);

} // namespace knokle
