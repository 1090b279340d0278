#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace knokle {

// Every folder the program reads or writes, worked out by one rule: Knokle's own variable (KNOKLE_CONFIG_DIR,
// KNOKLE_DATA_DIR), then the absolute XDG variable (relative ones are invalid and ignored), then $HOME, then
// the password database.
class XdgFolders {
public:
    // The variable's value; nothing (or empty) when it is not set.
    using Environment = std::function<std::optional<std::string>(const char* name)>;
    static std::optional<std::string> processEnvironment(const char* name);

    explicit XdgFolders(Environment environment = processEnvironment);

    std::filesystem::path home() const;
    std::filesystem::path configHome() const;                // $XDG_CONFIG_HOME, else ~/.config
    std::filesystem::path dataHome() const;                  // $XDG_DATA_HOME, else ~/.local/share
    std::vector<std::filesystem::path> dataDirs() const;     // $XDG_DATA_DIRS, else /usr/local/share, /usr/share
    std::optional<std::filesystem::path> runtimeDir() const; // $XDG_RUNTIME_DIR, when set and absolute

    std::filesystem::path config() const;    // Knokle's settings and shortcuts
    std::filesystem::path data() const;      // Knokle's modes and install records
    std::filesystem::path autostart() const; // the desktop's login items
    // $XDG_DATA_HOME/applications, then each of $XDG_DATA_DIRS' applications folders.
    std::vector<std::filesystem::path> applicationFolders() const;
    // Where Knokle keeps sockets when the runtime folder is unusable: /tmp/knokle-UID.
    static std::filesystem::path privateTemporary();
    // This program, as /proc/self/exe names it; empty when unreadable.
    static std::filesystem::path executable();

private:
    std::optional<std::string> value(const char* name) const;
    std::optional<std::filesystem::path> absolute(const char* name) const;

    Environment environment;
};

} // namespace knokle
