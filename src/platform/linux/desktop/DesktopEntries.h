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
    std::string startupWMClass;
    bool terminalEmulator = false; // "TerminalEmulator" among its Categories
};
std::optional<DesktopEntryFacts> parseDesktopEntry(std::string_view text);

// The program an Exec line starts, as written (a name or a path), with quoting undone and a leading
// "env VAR=value ..." skipped; nothing when the line is empty or malformed.
std::optional<std::string> execProgram(std::string_view exec);

// The desktop entry ID of a file inside an applications folder ("sub/x.desktop" there is "sub-x"), without
// the ".desktop" suffix; nothing when the file is not a desktop entry inside that folder.
std::optional<std::string> desktopEntryId(const std::filesystem::path& applicationsFolder,
                                          const std::filesystem::path& file);

// The absolute, symlink-free path of a program named in an Exec line: a bare name is looked up in the
// folders of searchPath (":"-separated); nothing when there is no such executable file.
std::optional<std::string> resolvedProgram(const std::string& program, std::string_view searchPath);

// Programs that start something else: their processes say nothing about which entry started them.
bool isGenericLauncher(const std::string& baseName);

// $XDG_DATA_HOME/applications, then each of $XDG_DATA_DIRS' applications folders, with their defaults.
std::vector<std::filesystem::path> defaultApplicationFolders();

// One installed entry, as the index keeps it.
struct InstalledEntry {
    std::filesystem::path file;
    std::string program;  // as the Exec line names it
    std::string resolved; // its absolute path, when it could be found
    std::string startupWMClass;
    bool terminalEmulator = false;
};

// The installed entries of some applications folders (earlier folders win for the same ID). The folders are
// read again when one of them has changed, checked at most once per checkInterval. Callable from any thread.
class DesktopEntryIndex {
public:
    DesktopEntryIndex(std::vector<std::filesystem::path> folders, std::chrono::steady_clock::duration checkInterval);

    bool isInstalled(const std::string& id);
    std::optional<InstalledEntry> entry(const std::string& id);
    // The ID of a desktop entry file given by path (GIO_LAUNCHED_DESKTOP_FILE).
    std::optional<std::string> idForFile(const std::filesystem::path& file);
    // The one installed entry whose Exec program resolves to this executable; nothing when none or several do.
    std::optional<std::string> idForExecutable(const std::string& path);
    // The one installed entry whose StartupWMClass (or, without one, ID) is this window class, ignoring case.
    std::optional<std::string> idForWindowClass(const std::string& windowClass);
    // Entries in the TerminalEmulator category, in folder order, then by ID.
    std::vector<std::string> terminalEmulators();

    const std::vector<std::filesystem::path>& applicationFolders() const { return folders; }

private:
    void refreshLocked();
    bool foldersChangedLocked();

    std::vector<std::filesystem::path> folders;
    std::chrono::steady_clock::duration checkInterval;
    std::mutex mutex;
    std::optional<std::chrono::steady_clock::time_point> checkedAt;
    std::map<std::filesystem::path, std::filesystem::file_time_type> folderTimes;
    std::map<std::string, InstalledEntry> installed;
    std::vector<std::string> terminals;
    std::map<std::string, std::set<std::string>> idsByExecutable;
};

} // namespace knokle
