#include "platform/linux/desktop/ExecutableShortcutRunner.h"

#include "platform/linux/desktop/XdgFolders.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace knokle {

namespace fs = std::filesystem;

ExecutableShortcutRunner::ExecutableShortcutRunner(std::optional<fs::path> folder) : folder(std::move(folder)) {}

fs::path ExecutableShortcutRunner::defaultFolder() {
    return XdgFolders().config() / "shortcuts";
}

std::vector<std::string> ExecutableShortcutRunner::available(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        struct stat info {};
        // As run() will find it: a regular file (through a link too) that this user may execute.
        if (::stat(entry.path().c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            ::access(entry.path().c_str(), X_OK) == 0)
            names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<std::string> ExecutableShortcutRunner::run(const std::string& name) {
    // The name picks a file in one folder; it must not reach outside it.
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
        name.find('\0') != std::string::npos)
        return "'" + name + "' is not a usable shortcut name (it must be a file name, without '/')";
    fs::path shortcuts = folder ? *folder : defaultFolder();
    fs::path path = shortcuts / name;

    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT) return "no shortcut named '" + name + "' in " + shortcuts.string();
        return path.string() + ": " + std::strerror(errno);
    }
    if (!S_ISREG(info.st_mode)) return path.string() + " is not a file";
    if (::access(path.c_str(), X_OK) != 0) return path.string() + " is not executable";

    std::string program = path.string();
    char* argv[] = {program.data(), nullptr};
    pid_t pid = 0;
    // The calling worker thread's blocked or ignored signals are no business of the shortcut's.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigset_t defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    // The child keeps our standard output and error, so the shortcut's own messages are seen, and nothing else:
    // a descriptor opened without close-on-exec (a recording, a library's /dev/null) is not the shortcut's.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    int error = ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) return program + ": " + std::strerror(error);
    // Reap it whenever it ends, so no zombie is left behind; nobody waits for the outcome.
    std::thread([pid] {
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return std::nullopt;
}

} // namespace knokle
