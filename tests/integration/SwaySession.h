#pragma once

// A real sway on its headless backend, for tests with native Wayland clients.

#include "Child.h"
#include "TempDir.h"
#include "common/AtomicFile.h"

#include <sys/stat.h>
#include <unistd.h>

namespace knokle::test {

inline std::string socketIn(const std::filesystem::path& folder, const std::string& prefix) {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ignored))
        if (auto name = entry.path().filename().string(); name.starts_with(prefix) && !name.ends_with(".lock"))
            return entry.path().string();
    return "";
}

struct SwaySession {
    static bool available() { return !::access("/usr/bin/sway", X_OK) && !::access("/usr/bin/foot", X_OK); }

    // sway refuses to run as root: it runs as nobody; root (the clients and we) may still use its sockets.
    explicit SwaySession(const std::string& config = "") {
        auto run = dir / "sway-run";
        std::filesystem::create_directories(run);
        ok = (::chown(run.c_str(), 65534, 0) | ::chmod(run.c_str(), 0700) | ::chmod(dir.path().c_str(), 0755)) == 0;
        writeFileAtomically(dir / "config", "output HEADLESS-1 resolution 1280x800\n" + config);
        ::chmod((dir / "config").c_str(), 0644);
        sway.emplace(std::vector<std::string>{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "sway",
                                              "-c", (dir / "config").string()},
                     std::vector<std::string>{"PATH=/usr/bin:/bin", "XDG_RUNTIME_DIR=" + run.string(),
                                              "WLR_BACKENDS=headless", "WLR_LIBINPUT_NO_DEVICES=1",
                                              "WLR_RENDERER=pixman"},
                     dir / "sway.log");
        ok = ok && waitFor([&] {
                 return !(ipc = socketIn(run, "sway-ipc.")).empty() && !(display = socketIn(run, "wayland-")).empty();
             });
    }
    std::string log() const { return text(dir / "sway.log"); }

    TempDir dir;
    bool ok = false;
    std::string ipc, display; // socket paths
    std::optional<Child> sway;
};

} // namespace knokle::test
