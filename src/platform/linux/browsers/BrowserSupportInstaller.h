#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace knokle {

// Where browser support is installed; every field has a default from the environment, tests set them.
struct BrowserSupportPlaces {
    std::filesystem::path home;          // $HOME
    std::filesystem::path config;        // $XDG_CONFIG_HOME, else ~/.config
    std::filesystem::path hostProgram;   // this program, which the browsers start as the host
    std::filesystem::path record;        // the list of what the install wrote, for the uninstall
    std::filesystem::path extension;     // the extension's folder, to tell the user
    std::vector<std::string> searchPath; // where browser programs are looked for ($PATH)
    std::vector<std::filesystem::path> flatpakApps = {"/var/lib/flatpak/app"}; // plus ~/.local/share/flatpak/app
    std::filesystem::path snaps = "/snap";

    static BrowserSupportPlaces fromEnvironment();
};

// Writes the native-messaging host manifests for the browsers that are installed (their own folders, and
// those of their Flatpak and Snap packages), records what it wrote and says how to add the extension.
// Returns the exit status.
int installBrowserSupport(const BrowserSupportPlaces& places, std::ostream& out);

// Removes exactly what the install wrote (files, then the folders it made when they are empty).
int uninstallBrowserSupport(const BrowserSupportPlaces& places, std::ostream& out);

} // namespace knokle
