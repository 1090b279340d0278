#include "platform/linux/browsers/BrowserSupportInstaller.h"

#include "common/AtomicFile.h"
#include "common/NoFollowFiles.h"
#include "platform/linux/browsers/BrowserHosts.h"
#include "platform/linux/browsers/BrowserCatalog.h"
#include "platform/linux/desktop/XdgFolders.h"

#include <algorithm>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <ostream>
#include <unistd.h>

namespace knokle {
namespace {

namespace fs = std::filesystem;

fs::path hostFolder(const fs::path& profileRoot, const BrowserCatalogRow& browser) {
    return profileRoot / browser.nativeMessagingFolder();
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

// A single-quoted word for sh: a ' inside ends the quote, is escaped, and reopens it.
std::string shellQuoted(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// The sandbox lets a Flatpak browser start a program outside only through the Flatpak portal's host command,
// a permission wide enough that the user must choose it knowingly.
std::string flatpakPermissionText(const std::string& browser, const std::string& appId) {
    return "  " + browser + " (Flatpak): its sandbox can start Knokle only after\n" +
           "      flatpak override --user --talk-name=org.freedesktop.Flatpak " + appId + "\n" +
           "    which lets anything running inside that browser's sandbox run any command outside it, as you.\n" +
           "    Knokle does not set it; without it, modes cannot close this browser's tabs.\n";
}

// The root below which a file is written without following links: the configuration folder for the
// browsers' own folders, else the home folder (which holds the sandboxed browsers' folders, writable by them).
std::optional<fs::path> rootOf(const BrowserSupportPlaces& places, const fs::path& path) {
    auto below = [&](const fs::path& root) {
        if (root.empty()) return false;
        auto relative = path.lexically_normal().lexically_relative(root.lexically_normal());
        return !relative.empty() && *relative.begin() != ".." && *relative.begin() != ".";
    };
    auto inSandbox = [&](const char* folder) { return below(places.home / folder); };
    if (below(places.config) && !inSandbox(".var") && !inSandbox("snap")) return places.config;
    if (below(places.home)) return places.home;
    return std::nullopt;
}

// The record: "folder PATH" for each folder made, "file HASH PATH" for each file written. Lines are added
// (and saved) before what they name is made, so that an install cut short is still undone.
class InstallRecord {
public:
    explicit InstallRecord(const fs::path& file) : file(file) {
        if (auto previous = readWholeFile(file)) // a second install keeps what the first one wrote
            for (size_t start = 0, end; (end = previous->find('\n', start)) != std::string::npos; start = end + 1)
                add(previous->substr(start, end - start));
    }

    void add(const std::string& line) {
        if (line.starts_with("file ")) // a file written again is recorded with what it holds now
            std::erase_if(lines,
                          [&](const std::string& l) { return l.starts_with("file ") && pathOf(l) == pathOf(line); });
        if (std::find(lines.begin(), lines.end(), line) == lines.end()) lines.push_back(line);
    }

    bool save() const {
        std::string text;
        for (const auto& line : lines)
            text += line + "\n";
        std::error_code ec;
        fs::create_directories(file.parent_path(), ec);
        return writeFileAtomically(file, text, SymbolicLinks::replace);
    }

    // "file HASH PATH"; records of earlier versions have no hash.
    static std::string hashOf(const std::string& line) {
        bool hashed = line.starts_with("file ") && line.size() > 22 && line[21] == ' ' &&
                      line.find_first_not_of("0123456789abcdef", 5) == 21;
        return hashed ? line.substr(5, 16) : "";
    }

    static fs::path pathOf(const std::string& line) {
        return line.substr(hashOf(line).empty() ? line.find(' ') + 1 : 22);
    }

    const std::vector<std::string>& all() const { return lines; }

private:
    fs::path file;
    std::vector<std::string> lines;
};

} // namespace

BrowserSupportPlaces BrowserSupportPlaces::fromEnvironment() {
    BrowserSupportPlaces places;
    XdgFolders folders;
    places.home = folders.home();
    places.config = folders.configHome();
    places.hostProgram = XdgFolders::executable();
    places.record = folders.data() / "browser-support-installed";
    std::error_code ec;
    // Installed: PREFIX/bin/knokle beside PREFIX/share/knokle; built: the build folder inside the sources.
    fs::path bin = places.hostProgram.parent_path();
    for (const fs::path& candidate : {bin / "../share/knokle/browser-extension", bin / "../share/browser-extension"})
        if (present(candidate / "manifest.json")) {
            places.extension = fs::weakly_canonical(candidate, ec);
            break;
        }
    const char* pathVariable = std::getenv("PATH");
    std::string path = pathVariable ? pathVariable : "";
    for (size_t start = 0; start <= path.size();) {
        size_t end = std::min(path.find(':', start), path.size());
        places.searchPath.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    places.flatpakApps.push_back(places.home / ".local/share/flatpak/app");
    return places;
}

int installBrowserSupport(const BrowserSupportPlaces& places, std::ostream& out) {
    InstallRecord record(places.record);
    bool recorded = true;
    auto write = [&](const fs::path& file, const std::string& text, bool executable) {
        auto root = rootOf(places, file);
        bool ok = root.has_value();
        if (ok) {
            for (const auto& folder : missingFoldersBelow(*root, file.parent_path()))
                record.add("folder " + folder.string());
            record.add("file " + contentHash(text) + " " + file.string());
            recorded = record.save() && recorded;
            ok = recorded && writeFileBelow(*root, file, text, executable ? 0744 : 0644);
        }
        out << (ok ? "wrote " : "could not write ") << file.string() << "\n";
    };
    const std::string manifestName = std::string(kBrowserHostName) + ".json";
    int written = 0;
    for (const auto& browser : browserCatalog()) {
        fs::path root = browser.firefox ? places.home / browser.profileFolder : places.config / browser.profileFolder;
        bool installed = present(root) || std::any_of(browser.programs.begin(), browser.programs.end(),
                                                      [&](const auto& p) { return onPath(places.searchPath, p); });
        if (installed) {
            write(hostFolder(root, browser) / manifestName, manifest(places.hostProgram, browser.firefox),
                  false);
            ++written;
        }
        bool flatpak = present(places.home / ".var/app" / browser.flatpakId) ||
                       std::any_of(places.flatpakApps.begin(), places.flatpakApps.end(),
                                   [&](const fs::path& apps) { return present(apps / browser.flatpakId); });
        if (flatpak) {
            // Inside the sandbox the host is started outside it, through flatpak-spawn.
            fs::path folder =
                hostFolder(places.home / ".var/app" / browser.flatpakId / browser.flatpakProfile, browser);
            fs::path wrapper = folder / "knokle-host";
            write(wrapper,
                  "#!/bin/sh\nexec flatpak-spawn --host " + shellQuoted(places.hostProgram.string()) + " \"$@\"\n",
                  true);
            write(folder / manifestName, manifest(wrapper, browser.firefox), false);
            out << flatpakPermissionText(browser.name, browser.flatpakId);
            ++written;
        }
        if (!browser.snapName.empty() &&
            (present(places.snaps / browser.snapName) || present(places.home / "snap" / browser.snapName))) {
            write(hostFolder(places.home / "snap" / browser.snapName / browser.snapProfile, browser) / manifestName,
                  manifest(places.hostProgram, browser.firefox), false);
            ++written;
        }
    }
    if (!recorded || !record.save()) {
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
    if (!readWholeFile(places.record)) {
        out << "nothing to remove: browser support was not installed\n";
        return 0;
    }
    InstallRecord record(places.record);
    // Files first, each only while it holds what the install wrote; then the folders the install made,
    // deepest first, each only when it is empty. Nothing is reached through a link.
    int failures = 0;
    for (const auto& line : record.all()) {
        if (!line.starts_with("file ")) continue;
        fs::path file = InstallRecord::pathOf(line);
        auto root = rootOf(places, file);
        std::string hash = InstallRecord::hashOf(line);
        auto text = root ? readFileBelow(*root, file, 1u << 20) : std::nullopt;
        if (!text) {
            std::error_code ec;
            if (fs::symlink_status(file, ec).type() != fs::file_type::not_found)
                out << "left " << file.string() << ": not a file the install wrote\n";
        } else if (hash.empty() || contentHash(*text) != hash) {
            out << "left " << file.string() << ": changed since the install wrote it\n";
        } else if (removeBelow(*root, file, false)) {
            out << "removed " << file.string() << "\n";
        } else {
            ++failures, out << "could not remove " << file.string() << "\n";
        }
    }
    const auto& lines = record.all();
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        if (!it->starts_with("folder ")) continue;
        fs::path folder = InstallRecord::pathOf(*it);
        if (auto root = rootOf(places, folder); root && removeBelow(*root, folder, true))
            out << "removed " << folder.string() << "\n";
    }
    std::error_code ec;
    fs::remove(places.record, ec);
    return failures == 0 ? 0 : 1;
}

} // namespace knokle
