#include "platform/linux/desktop/XdgFolders.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace knokle {

namespace fs = std::filesystem;

std::optional<std::string> XdgFolders::processEnvironment(const char* name) {
    const char* value = std::getenv(name);
    if (!value) return std::nullopt;
    return std::string(value);
}

XdgFolders::XdgFolders(Environment environment) : environment(std::move(environment)) {}

std::optional<std::string> XdgFolders::value(const char* name) const {
    auto text = environment(name);
    if (!text || text->empty()) return std::nullopt;
    return text;
}

std::optional<fs::path> XdgFolders::absolute(const char* name) const {
    auto text = value(name);
    if (!text || !fs::path(*text).is_absolute()) return std::nullopt;
    return fs::path(*text);
}

fs::path XdgFolders::home() const {
    if (auto home = value("HOME")) return *home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir && *entry->pw_dir) return entry->pw_dir;
    return "/";
}

fs::path XdgFolders::configHome() const {
    return absolute("XDG_CONFIG_HOME").value_or(home() / ".config");
}

fs::path XdgFolders::dataHome() const {
    return absolute("XDG_DATA_HOME").value_or(home() / ".local" / "share");
}

std::vector<fs::path> XdgFolders::dataDirs() const {
    std::vector<fs::path> dirs;
    std::string list = value("XDG_DATA_DIRS").value_or("");
    for (size_t start = 0; start <= list.size();) {
        size_t end = std::min(list.find(':', start), list.size());
        fs::path dir = list.substr(start, end - start);
        if (dir.is_absolute()) dirs.push_back(dir);
        start = end + 1;
    }
    if (dirs.empty()) dirs = {"/usr/local/share", "/usr/share"};
    return dirs;
}

std::optional<fs::path> XdgFolders::runtimeDir() const {
    return absolute("XDG_RUNTIME_DIR");
}

fs::path XdgFolders::config() const {
    if (auto dir = value("KNOKLE_CONFIG_DIR")) return *dir;
    return configHome() / "knokle";
}

fs::path XdgFolders::data() const {
    if (auto dir = value("KNOKLE_DATA_DIR")) return *dir;
    return dataHome() / "knokle";
}

fs::path XdgFolders::autostart() const {
    return configHome() / "autostart";
}

std::vector<fs::path> XdgFolders::applicationFolders() const {
    std::vector<fs::path> folders{dataHome() / "applications"};
    for (const auto& dir : dataDirs())
        folders.push_back(dir / "applications");
    return folders;
}

fs::path XdgFolders::privateTemporary() {
    return "/tmp/knokle-" + std::to_string(::getuid());
}

fs::path XdgFolders::executable() {
    std::error_code ec;
    return fs::read_symlink("/proc/self/exe", ec);
}

} // namespace knokle
