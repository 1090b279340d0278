#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace knokle {

// What the running-applications scan needs from one desktop entry file.
struct DesktopEntryFacts {
    std::string exec; // the Exec key of the [Desktop Entry] group, string escapes undone
    bool hidden = false;
};
std::optional<DesktopEntryFacts> parseDesktopEntry(std::string_view text);

// The program an Exec line starts, as written (a name or a path), with quoting undone and a leading
// "env VAR=value ..." skipped; nothing when the line is empty or malformed.
std::optional<std::string> execProgram(std::string_view exec);

// The desktop entry ID of a file inside an applications folder ("sub/x.desktop" there is "sub-x"), without
// the ".desktop" suffix; nothing when the file is not a desktop entry inside that folder.
std::optional<std::string> desktopEntryId(const std::filesystem::path& applicationsFolder,
                                          const std::filesystem::path& file);

// $XDG_DATA_HOME/applications, then each of $XDG_DATA_DIRS' applications folders, with their defaults.
std::vector<std::filesystem::path> defaultApplicationFolders();

// The installed entries of some applications folders (earlier folders win for the same ID), read again when
// the last reading is older than maxAge. Callable from any thread.
class DesktopEntryIndex {
public:
    DesktopEntryIndex(std::vector<std::filesystem::path> folders, std::chrono::steady_clock::duration maxAge);

    bool isInstalled(const std::string& id);
    // The ID of a desktop entry file given by path (GIO_LAUNCHED_DESKTOP_FILE).
    std::optional<std::string> idForFile(const std::filesystem::path& file);
    // The one installed entry whose Exec program has this base name; nothing when none or several have.
    std::optional<std::string> idForProgram(const std::string& baseName);

    const std::vector<std::filesystem::path>& applicationFolders() const { return folders; }

private:
    void refreshLocked();

    std::vector<std::filesystem::path> folders;
    std::chrono::steady_clock::duration maxAge;
    std::mutex mutex;
    std::optional<std::chrono::steady_clock::time_point> readAt;
    std::set<std::string> installed;
    std::map<std::string, std::set<std::string>> idsByProgram;
};

} // namespace knokle
