#include "platform/linux/desktop/XdgAutostartLoginItem.h"

#include "common/AtomicFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <unistd.h>

namespace knokle {
namespace {

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::filesystem::path home() {
    std::string h = env("HOME");
    return h.empty() ? std::filesystem::path(".") : std::filesystem::path(h);
}

// Exec arguments are quoted with double quotes; inside them \ escapes ", `, $ and \.
std::string quotedExecArgument(const std::string& path) {
    std::string out = "\"";
    for (char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

// The program named by Exec, resolved through PATH when it is a bare name.
std::filesystem::path resolveProgram(const std::string& program) {
    if (program.find('/') != std::string::npos) return program;
    std::stringstream path(env("PATH"));
    std::string dir;
    while (std::getline(path, dir, ':')) {
        if (dir.empty()) continue;
        std::filesystem::path candidate = std::filesystem::path(dir) / program;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

} // namespace

std::optional<std::string> desktopEntryValue(const std::string& text, const std::string& key) {
    std::stringstream lines(text);
    std::string line;
    bool inEntry = false;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line.front() == '[') {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        if (!inEntry || line.empty() || line.front() == '#') continue;
        auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string name = line.substr(0, eq);
        while (!name.empty() && name.back() == ' ')
            name.pop_back();
        if (name != key) continue;
        size_t start = eq + 1;
        while (start < line.size() && line[start] == ' ')
            ++start;
        return line.substr(start);
    }
    return std::nullopt;
}

std::string desktopExecProgram(const std::string& exec) {
    size_t i = exec.find_first_not_of(' ');
    if (i == std::string::npos) return "";
    std::string word;
    if (exec[i] == '"') {
        for (++i; i < exec.size() && exec[i] != '"'; ++i) {
            if (exec[i] == '\\' && i + 1 < exec.size()) ++i;
            word += exec[i];
        }
        return word;
    }
    size_t end = exec.find(' ', i);
    return exec.substr(i, end == std::string::npos ? std::string::npos : end - i);
}

XdgAutostartLoginItem::Locations XdgAutostartLoginItem::defaultLocations() {
    Locations l;
    std::string configHome = env("XDG_CONFIG_HOME");
    l.autostartFolder = (configHome.empty() ? home() / ".config" : std::filesystem::path(configHome)) / "autostart";
    std::string dataHome = env("XDG_DATA_HOME");
    l.dataDirs.push_back(dataHome.empty() ? home() / ".local" / "share" : std::filesystem::path(dataHome));
    std::string dataDirs = env("XDG_DATA_DIRS");
    if (dataDirs.empty()) dataDirs = "/usr/local/share:/usr/share";
    std::stringstream dirs(dataDirs);
    std::string dir;
    while (std::getline(dirs, dir, ':'))
        if (!dir.empty()) l.dataDirs.emplace_back(dir);
    std::error_code ec;
    l.executable = std::filesystem::read_symlink("/proc/self/exe", ec);
    return l;
}

XdgAutostartLoginItem::XdgAutostartLoginItem(Locations locations) : where(std::move(locations)) {}

LoginItemStatus XdgAutostartLoginItem::status() const {
    auto text = readWholeFile(entryFile());
    if (!text) return LoginItemStatus::notRegistered;
    if (desktopEntryValue(*text, "Hidden") == "true") return LoginItemStatus::notRegistered;
    return LoginItemStatus::enabled;
}

std::optional<std::string> XdgAutostartLoginItem::registerItem() {
    std::error_code ec;
    std::filesystem::create_directories(where.autostartFolder, ec);
    if (ec) return "Could not create the folder " + where.autostartFolder.string() + ": " + ec.message();
    std::string entry = "[Desktop Entry]\n"
                        "Type=Application\n"
                        "Name=Knokle\n"
                        "Comment=Tap the laptop's chassis to run desktop actions\n" // as the installed entry says
                        "Exec=" +
                        quotedExecArgument(where.executable.string()) +
                        "\n"
                        "Icon=" +
                        std::string(kDesktopEntryId) +
                        "\n"
                        "Terminal=false\n"
                        "X-GNOME-Autostart-enabled=true\n";
    if (!writeFileAtomically(entryFile(), entry))
        return "Could not write " + entryFile().string() + ": " + std::strerror(errno);
    return std::nullopt;
}

std::optional<std::string> XdgAutostartLoginItem::unregisterItem() {
    std::error_code ec;
    std::filesystem::remove(entryFile(), ec);
    if (ec) return "Could not remove " + entryFile().string() + ": " + ec.message();
    return std::nullopt;
}

bool XdgAutostartLoginItem::canChange() const {
    if (where.executable.empty()) return false;
    for (const auto& dir : where.dataDirs) {
        auto text = readWholeFile(dir / "applications" / (std::string(kDesktopEntryId) + ".desktop"));
        if (!text) continue;
        // The first entry found is the one the desktop uses; it must start this very program.
        auto exec = desktopEntryValue(*text, "Exec");
        if (!exec) return false;
        std::filesystem::path program = resolveProgram(desktopExecProgram(*exec));
        return !program.empty() && sameFile(program, where.executable);
    }
    return false;
}

} // namespace knokle
