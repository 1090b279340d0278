// The program's windows under a real sway (headless): a Wayland desktop matches them to the desktop entry by their
// app_id, which is the desktop file name the program gives itself.

#include "TrayDesktop.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace knokle::test {

TEST(WaylandAppId, TheProgramsWindowCarriesTheDesktopEntrysName) {
    if (::access("/usr/bin/sway", X_OK) || ::access("/usr/bin/swaymsg", X_OK)) GTEST_SKIP() << "no sway";
    TempDir dir;
    auto run = dir / "run";
    std::filesystem::create_directories(run);
    // sway refuses to run as root: it runs as nobody; root (the program and we) may still use its sockets.
    ASSERT_EQ(::chown(run.c_str(), 65534, 0) | ::chmod(run.c_str(), 0700) | ::chmod(dir.path().c_str(), 0755), 0);
    Child sway({"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "sway", "-c", "/dev/null"},
               {"PATH=/usr/bin:/bin", "XDG_RUNTIME_DIR=" + run.string(), "WLR_BACKENDS=headless",
                "WLR_LIBINPUT_NO_DEVICES=1", "WLR_RENDERER=pixman"},
               dir / "sway.log");
    auto socket = [&](const std::string& prefix) {
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(run, ignored))
            if (auto name = entry.path().filename().string(); name.starts_with(prefix) && !name.ends_with(".lock"))
                return name;
        return std::string();
    };
    ASSERT_TRUE(waitFor([&] { return !socket("sway-ipc.").empty() && !socket("wayland-").empty(); }))
        << text(dir / "sway.log");
    // No session bus, so no tray: the window that says so is enough.
    Child program({KNOKLE_EXECUTABLE},
                  {"PATH=/usr/bin:/bin", "XDG_RUNTIME_DIR=" + run.string(), "WAYLAND_DISPLAY=" + socket("wayland-"),
                   "QT_QPA_PLATFORM=wayland", "HOME=" + dir.path().string(),
                   "KNOKLE_CONFIG_DIR=" + (dir / "config").string(), "KNOKLE_DATA_DIR=" + (dir / "data").string(),
                   "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent"},
                  dir / "program.log");
    std::string tree;
    EXPECT_TRUE(waitFor(
        [&] {
            tree = commandOutput("swaymsg -s " + shellQuoted((run / socket("sway-ipc.")).string()) + " -t get_tree");
            return tree.find("\"app_id\": \"") != std::string::npos;
        },
        30000))
        << text(dir / "program.log");
    EXPECT_NE(tree.find("\"app_id\": \"org.knokle.Knokle\""), std::string::npos) << tree;
}

} // namespace knokle::test
