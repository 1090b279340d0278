#include "platform/linux/desktop/DesktopEntries.h"

#include "common/AtomicFile.h"
#include "platform/linux/browsers/BrowserCatalog.h"
#include "platform/linux/desktop/DesktopEntryFile.h"
#include "platform/linux/desktop/XdgFolders.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <unistd.h>

namespace knokle {
namespace {

namespace fs = std::filesystem;

// Splits an Exec line into its arguments; nothing when a quote is left open.
std::optional<std::vector<std::string>> splitExec(std::string_view exec) {
    std::vector<std::string> arguments;
    std::string current;
    bool inArgument = false;
    for (size_t i = 0; i < exec.size(); ++i) {
        char c = exec[i];
        if (c == ' ' || c == '\t' || c == '\n') {
            if (inArgument) arguments.push_back(std::move(current));
            current.clear();
            inArgument = false;
        } else if (c == '"') {
            inArgument = true;
            bool closed = false;
            for (++i; i < exec.size(); ++i) {
                if (exec[i] == '"') {
                    closed = true;
                    break;
                }
                if (exec[i] == '\\' && i + 1 < exec.size()) ++i;
                current.push_back(exec[i]);
            }
            if (!closed) return std::nullopt;
        } else {
            inArgument = true;
            current.push_back(c);
        }
    }
    if (inArgument) arguments.push_back(std::move(current));
    return arguments;
}

} // namespace

bool isGenericLauncher(const std::string& baseName) {
    static const std::set<std::string> launchers = {
        "sh",   "bash",    "dash", "zsh", "env",  "python", "python3",  "perl", "ruby", "node",
        "java", "flatpak", "snap", "gjs", "sudo", "pkexec", "xdg-open", "gio",  "wine", "mono"};
    return launchers.count(baseName) > 0;
}

namespace {

std::string baseNameOf(const std::string& program) {
    return fs::path(program).filename().string();
}

} // namespace

std::optional<DesktopEntryFacts> parseDesktopEntry(std::string_view text) {
    auto file = DesktopEntryFile::parse(text);
    if (!file) return std::nullopt;
    DesktopEntryFacts facts;
    facts.exec = file->value("Exec").value_or("");
    facts.hidden = file->boolean("Hidden");
    facts.startupWMClass = file->value("StartupWMClass").value_or("");
    for (const auto& category : file->list("Categories"))
        facts.terminalEmulator = facts.terminalEmulator || category == "TerminalEmulator";
    return facts;
}

std::optional<std::string> execProgram(std::string_view exec) {
    auto arguments = splitExec(exec);
    if (!arguments || arguments->empty()) return std::nullopt;
    size_t i = 0;
    if (baseNameOf((*arguments)[0]) == "env") {
        ++i;
        while (i < arguments->size() &&
               ((*arguments)[i].find('=') != std::string::npos || (*arguments)[i].starts_with("-")))
            ++i;
        if (i == arguments->size()) return std::nullopt;
    }
    if ((*arguments)[i].empty()) return std::nullopt;
    return (*arguments)[i];
}

std::optional<std::string> desktopEntryId(const fs::path& applicationsFolder, const fs::path& file) {
    std::string name = file.filename().string();
    if (name.size() <= 8 || !name.ends_with(".desktop")) return std::nullopt;
    fs::path relative = file.lexically_normal().lexically_relative(applicationsFolder.lexically_normal());
    if (relative.empty() || relative.is_absolute()) return std::nullopt;
    std::string id;
    for (const auto& part : relative) {
        std::string piece = part.string();
        if (piece == ".." || piece == ".") return std::nullopt;
        if (!id.empty()) id.push_back('-');
        id += piece;
    }
    id.resize(id.size() - 8);
    return id;
}

std::vector<fs::path> defaultApplicationFolders() {
    return XdgFolders().applicationFolders();
}

std::optional<std::string> resolvedProgram(const std::string& program, std::string_view searchPath) {
    auto canonicalExecutable = [](const fs::path& path) -> std::optional<std::string> {
        std::error_code ec;
        fs::path real = fs::canonical(path, ec);
        if (ec || !fs::is_regular_file(real, ec) || ::access(real.c_str(), X_OK) != 0) return std::nullopt;
        return real.string();
    };
    if (program.empty()) return std::nullopt;
    if (program.find('/') != std::string::npos)
        return fs::path(program).is_absolute() ? canonicalExecutable(program) : std::nullopt;
    size_t start = 0;
    while (start <= searchPath.size()) {
        size_t end = searchPath.find(':', start);
        if (end == std::string_view::npos) end = searchPath.size();
        std::string_view folder = searchPath.substr(start, end - start);
        if (!folder.empty() && folder.front() == '/')
            if (auto found = canonicalExecutable(fs::path(folder) / program)) return found;
        start = end + 1;
    }
    return std::nullopt;
}

DesktopEntryIndex::DesktopEntryIndex(std::vector<fs::path> folders, std::chrono::steady_clock::duration checkInterval)
    : folders(std::move(folders)), checkInterval(checkInterval) {}

bool DesktopEntryIndex::foldersChangedLocked() {
    auto now = std::chrono::steady_clock::now();
    if (checkedAt && now - *checkedAt < checkInterval) return false;
    checkedAt = now;
    if (folderTimes.empty()) return true;
    for (const auto& [folder, time] : folderTimes) {
        std::error_code ec;
        if (fs::last_write_time(folder, ec) != time) return true;
    }
    // A folder that did not exist at the last reading may have been made since.
    for (const auto& folder : folders) {
        std::error_code ec;
        if (!folderTimes.count(folder) && fs::exists(folder, ec)) return true;
    }
    return false;
}

void DesktopEntryIndex::refreshLocked() {
    if (!foldersChangedLocked()) return;
    installed.clear();
    terminals.clear();
    idsByExecutable.clear();
    folderTimes.clear();
    const char* pathVariable = std::getenv("PATH");
    std::string searchPath = pathVariable ? pathVariable : "/usr/local/bin:/usr/bin:/bin";
    std::set<std::string> seen; // IDs already decided by an earlier folder, hidden ones included
    for (const auto& folder : folders) {
        std::error_code ec;
        fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
        if (ec) continue;
        folderTimes[folder] = fs::last_write_time(folder, ec);
        std::vector<std::string> folderTerminals;
        for (; it != fs::recursive_directory_iterator(); it.increment(ec)) {
            if (ec) break;
            if (it->is_directory(ec)) {
                folderTimes[it->path()] = fs::last_write_time(it->path(), ec);
                continue;
            }
            auto id = desktopEntryId(folder, it->path());
            if (!id || !seen.insert(*id).second) continue;
            auto text = readWholeFile(it->path());
            auto facts = text ? parseDesktopEntry(*text) : std::nullopt;
            if (!facts || facts->hidden) continue;
            InstalledEntry entry{
                it->path(), execProgram(facts->exec).value_or(""), {}, facts->startupWMClass, facts->terminalEmulator};
            if (!entry.program.empty() && !isGenericLauncher(baseNameOf(entry.program))) {
                entry.resolved = resolvedProgram(entry.program, searchPath).value_or("");
                if (!entry.resolved.empty()) idsByExecutable[entry.resolved].insert(*id);
                // A browser's launch script execs its binary in the same process: the binary is the entry's too.
                for (const auto& target : wrapperTargets(entry.resolved)) {
                    std::error_code missing;
                    fs::path real = fs::canonical(target, missing);
                    if (!missing) idsByExecutable[real.string()].insert(*id);
                }
            }
            if (entry.terminalEmulator) folderTerminals.push_back(*id);
            installed.emplace(*id, std::move(entry));
        }
        std::sort(folderTerminals.begin(), folderTerminals.end());
        terminals.insert(terminals.end(), folderTerminals.begin(), folderTerminals.end());
    }
}

bool DesktopEntryIndex::isInstalled(const std::string& id) {
    std::lock_guard lock(mutex);
    refreshLocked();
    return installed.count(id) > 0;
}

std::optional<InstalledEntry> DesktopEntryIndex::entry(const std::string& id) {
    std::lock_guard lock(mutex);
    refreshLocked();
    auto it = installed.find(id);
    if (it == installed.end()) return std::nullopt;
    return it->second;
}

std::optional<std::string> DesktopEntryIndex::idForFile(const fs::path& file) {
    for (const auto& folder : folders)
        if (auto id = desktopEntryId(folder, file)) return id;
    // An entry launched from somewhere else (a file opened directly): its name is the best guess.
    return desktopEntryId(file.parent_path(), file);
}

std::optional<std::string> DesktopEntryIndex::idForExecutable(const std::string& path) {
    std::lock_guard lock(mutex);
    refreshLocked();
    auto it = idsByExecutable.find(path);
    if (it == idsByExecutable.end() || it->second.size() != 1) return std::nullopt;
    return *it->second.begin();
}

std::optional<std::string> DesktopEntryIndex::idForWindowClass(const std::string& windowClass) {
    std::lock_guard lock(mutex);
    refreshLocked();
    auto same = [&](const std::string& name) {
        return name.size() == windowClass.size() &&
               std::equal(name.begin(), name.end(), windowClass.begin(), [](char a, char b) {
                   return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
               });
    };
    std::optional<std::string> found;
    for (const auto& [id, entry] : installed) {
        if (!(entry.startupWMClass.empty() ? same(id) : same(entry.startupWMClass))) continue;
        if (found) return std::nullopt; // two entries claim it: neither is sure
        found = id;
    }
    return found;
}

std::vector<std::string> DesktopEntryIndex::terminalEmulators() {
    std::lock_guard lock(mutex);
    refreshLocked();
    return terminals;
}

} // namespace knokle
