#include "platform/linux/browsers/BrowserSupportInstaller.h"

#include "common/AtomicFile.h"
#include "modes/ModeManager.h"
#include "platform/linux/browsers/BrowserHosts.h"

#include <algorithm>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <ostream>
#include <set>
#include <unistd.h>

namespace knokle {
namespace {

namespace fs = std::filesystem;

// One browser: its programs, its profile root under the configuration folder (Firefox: under home), and
// its Flatpak and Snap packages with the profile root inside them.
struct Browser {
    std::string name;
    bool firefox;
    std::vector<std::string> programs;
    std::string profile;
    std::string flatpak, flatpakProfile;
    std::string snap, snapProfile;
};

const std::vector<Browser>& browsers() {
    static const std::vector<Browser> table = {
        {"Chromium",
         false,
         {"chromium", "chromium-browser"},
         "chromium",
         "org.chromium.Chromium",
         "config/chromium",
         "chromium",
         "common/chromium"},
        {"Google Chrome",
         false,
         {"google-chrome", "google-chrome-stable"},
         "google-chrome",
         "com.google.Chrome",
         "config/google-chrome",
         "",
         ""},
        {"Brave",
         false,
         {"brave-browser", "brave"},
         "BraveSoftware/Brave-Browser",
         "com.brave.Browser",
         "config/BraveSoftware/Brave-Browser",
         "brave",
         "common/BraveSoftware/Brave-Browser"},
        {"Vivaldi", false, {"vivaldi", "vivaldi-stable"}, "vivaldi", "com.vivaldi.Vivaldi", "config/vivaldi", "", ""},
        {"Microsoft Edge",
         false,
         {"microsoft-edge", "microsoft-edge-stable"},
         "microsoft-edge",
         "com.microsoft.Edge",
         "config/microsoft-edge",
         "",
         ""},
        {"Firefox",
         true,
         {"firefox", "firefox-esr"},
         ".mozilla",
         "org.mozilla.firefox",
         ".mozilla",
         "firefox",
         "common/.mozilla"},
    };
    return table;
}

fs::path hostFolder(const fs::path& profileRoot, bool firefox) {
    return profileRoot / (firefox ? "native-messaging-hosts" : "NativeMessagingHosts");
}

std::string manifest(const fs::path& program, bool firefox) {
    nlohmann::ordered_json json{{"name", kBrowserHostName},
                                {"description", "Knokle: closes the tabs a mode names"},
                                {"path", program.string()},
                                {"type", "stdio"}};
    if (firefox)
        json["allowed_extensions"] = {kFirefoxExtensionId};
    else
        json["allowed_origins"] = {kChromiumExtensionOrigin};
    return json.dump(2) + "\n";
}

bool present(const fs::path& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

bool onPath(const std::vector<std::string>& searchPath, const std::string& program) {
    return std::any_of(searchPath.begin(), searchPath.end(), [&](const std::string& folder) {
        return !folder.empty() && ::access((fs::path(folder) / program).c_str(), X_OK) == 0;
    });
}

// Makes the folder and its missing parents, noting each one made so that the uninstall can remove them.
bool makeFolders(const fs::path& folder, std::vector<std::string>& made) {
    std::vector<fs::path> missing;
    for (fs::path p = folder; !p.empty() && !present(p) && p != p.parent_path(); p = p.parent_path())
        missing.push_back(p);
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        std::error_code ec;
        if (!fs::create_directory(*it, ec) && ec) return false;
        made.push_back("folder " + it->string());
    }
    return true;
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

} // namespace

BrowserSupportPlaces BrowserSupportPlaces::fromEnvironment() {
    BrowserSupportPlaces places;
    places.home = environment("HOME");
    std::string config = environment("XDG_CONFIG_HOME");
    places.config = config.empty() ? places.home / ".config" : fs::path(config);
    std::error_code ec;
    places.hostProgram = fs::read_symlink("/proc/self/exe", ec);
    places.record = ModeManager::defaultStoreURL().parent_path() / "browser-support-installed";
    // Installed: PREFIX/bin/knokle beside PREFIX/share/knokle; built: the build folder inside the sources.
    fs::path bin = places.hostProgram.parent_path();
    for (const fs::path& candidate : {bin / "../share/knokle/browser-extension", bin / "../share/browser-extension"})
        if (present(candidate / "manifest.json")) {
            places.extension = fs::weakly_canonical(candidate, ec);
            break;
        }
    std::string path = environment("PATH");
    for (size_t start = 0; start <= path.size();) {
        size_t end = std::min(path.find(':', start), path.size());
        places.searchPath.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    places.flatpakApps.push_back(places.home / ".local/share/flatpak/app");
    return places;
}

int installBrowserSupport(const BrowserSupportPlaces& places, std::ostream& out) {
    std::vector<std::string> record;
    std::set<std::string> recorded;
    if (auto previous = readWholeFile(places.record)) // a second install keeps what the first one wrote
        for (size_t start = 0, end; (end = previous->find('\n', start)) != std::string::npos; start = end + 1)
            if (recorded.insert(previous->substr(start, end - start)).second)
                record.push_back(previous->substr(start, end - start));
    auto write = [&](const fs::path& file, const std::string& text, bool executable) {
        std::vector<std::string> made;
        bool ok = makeFolders(file.parent_path(), made) && writeFileAtomically(file, text);
        if (ok && executable)
            fs::permissions(file, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
        for (auto& line : made)
            if (recorded.insert(line).second) record.push_back(line);
        if (ok && recorded.insert("file " + file.string()).second) record.push_back("file " + file.string());
        out << (ok ? "wrote " : "could not write ") << file.string() << "\n";
    };
    const std::string manifestName = std::string(kBrowserHostName) + ".json";
    int written = 0;
    for (const auto& browser : browsers()) {
        fs::path root = browser.firefox ? places.home / browser.profile : places.config / browser.profile;
        bool installed = present(root) || std::any_of(browser.programs.begin(), browser.programs.end(),
                                                      [&](const auto& p) { return onPath(places.searchPath, p); });
        if (installed) {
            write(hostFolder(root, browser.firefox) / manifestName, manifest(places.hostProgram, browser.firefox),
                  false);
            ++written;
        }
        bool flatpak = present(places.home / ".var/app" / browser.flatpak) ||
                       std::any_of(places.flatpakApps.begin(), places.flatpakApps.end(),
                                   [&](const fs::path& apps) { return present(apps / browser.flatpak); });
        if (flatpak) {
            // Inside the sandbox the host is started outside it, through flatpak-spawn.
            fs::path folder =
                hostFolder(places.home / ".var/app" / browser.flatpak / browser.flatpakProfile, browser.firefox);
            fs::path wrapper = folder / "knokle-host";
            write(wrapper, "#!/bin/sh\nexec flatpak-spawn --host '" + places.hostProgram.string() + "' \"$@\"\n", true);
            write(folder / manifestName, manifest(wrapper, browser.firefox), false);
            out << "  " << browser.name << " (Flatpak) needs: flatpak override --user "
                << "--talk-name=org.freedesktop.Flatpak " << browser.flatpak << "\n";
            ++written;
        }
        if (!browser.snap.empty() &&
            (present(places.snaps / browser.snap) || present(places.home / "snap" / browser.snap))) {
            write(hostFolder(places.home / "snap" / browser.snap / browser.snapProfile, browser.firefox) / manifestName,
                  manifest(places.hostProgram, browser.firefox), false);
            ++written;
        }
    }
    std::string text;
    for (const auto& line : record)
        text += line + "\n";
    std::vector<std::string> made;
    if (!makeFolders(places.record.parent_path(), made) || !writeFileAtomically(places.record, text)) {
        out << "could not record what was written in " << places.record.string() << "\n";
        return 1;
    }
    if (written == 0) out << "no supported browser was found\n";
    if (places.extension.empty()) {
        out << "The Knokle extension was not found beside the program; add the browser-extension folder of its\n"
            << "sources to each browser as below.\n";
    }
    std::string extension = places.extension.empty() ? "browser-extension" : places.extension.string();
    // The package keeps a packed copy beside the folder for Firefox's "Install Add-on From File".
    fs::path packed = places.extension.parent_path() / "knokle-tabs.xpi";
    bool hasPacked = !places.extension.empty() && present(packed);
    out << "Now add the Knokle extension to each browser:\n"
        << "  Chromium, Google Chrome, Brave, Vivaldi, Edge: open the extensions page, turn on developer mode,\n"
        << "    choose \"Load unpacked\" and pick " << extension << "\n"
        << "  Firefox: open about:debugging, \"This Firefox\", \"Load Temporary Add-on\" and pick " << extension
        << "/manifest.json\n";
    if (hasPacked)
        out << "    (until Firefox restarts; Firefox ESR, Developer Edition and Nightly keep it installed from\n"
            << "    " << packed.string() << " through \"Install Add-on From File\" in about:addons when\n"
            << "    xpinstall.signatures.required is false in about:config)\n";
    else
        out << "    (until Firefox restarts; Firefox ESR, Developer Edition and Nightly keep it installed from a zip "
               "of\n"
            << "    that folder when xpinstall.signatures.required is false in about:config)\n";
    return 0;
}

int uninstallBrowserSupport(const BrowserSupportPlaces& places, std::ostream& out) {
    auto text = readWholeFile(places.record);
    if (!text) {
        out << "nothing to remove: browser support was not installed\n";
        return 0;
    }
    std::vector<std::string> lines;
    for (size_t start = 0, end; (end = text->find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text->substr(start, end - start));
    // Files first, then the folders the install made, deepest first, each only when it is empty.
    int failures = 0;
    for (const auto& line : lines) {
        if (!line.starts_with("file ")) continue;
        fs::path file = line.substr(5);
        std::error_code ec;
        if (fs::remove(file, ec))
            out << "removed " << file.string() << "\n";
        else if (ec)
            ++failures, out << "could not remove " << file.string() << ": " << ec.message() << "\n";
    }
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        if (!it->starts_with("folder ")) continue;
        std::error_code ec;
        fs::path folder = it->substr(7);
        if (fs::is_directory(folder, ec) && fs::is_empty(folder, ec) && fs::remove(folder, ec))
            out << "removed " << folder.string() << "\n";
    }
    std::error_code ec;
    fs::remove(places.record, ec);
    return failures == 0 ? 0 : 1;
}

} // namespace knokle
