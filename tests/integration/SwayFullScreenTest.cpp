// Full screen through a real sway (headless backend) and its IPC socket, with foot as the Wayland client.

#include "Child.h"
#include "TempDir.h"
#include "platform/linux/wayland/SwayWindowControl.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace knokle::test {
namespace {

std::string socketIn(const std::filesystem::path& folder, const std::string& prefix) {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ignored))
        if (auto name = entry.path().filename().string(); name.starts_with(prefix) && !name.ends_with(".lock"))
            return entry.path().string();
    return "";
}

TEST(SwayFullScreen, TheLaunchedWindowIsFoundAndGoesFullScreen) {
    if (::access("/usr/bin/sway", X_OK) || ::access("/usr/bin/foot", X_OK)) GTEST_SKIP() << "no sway or foot";
    TempDir dir;
    auto run = dir / "run";
    std::filesystem::create_directories(run);
    // sway refuses to run as root: it runs as nobody; root (the client and we) may still use its sockets.
    ASSERT_EQ(::chown(run.c_str(), 65534, 0) | ::chmod(run.c_str(), 0700) | ::chmod(dir.path().c_str(), 0755), 0);
    writeFileAtomically(dir / "config", "output HEADLESS-1 resolution 1280x800\n");
    ::chmod((dir / "config").c_str(), 0644);
    Child sway({"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "sway", "-c", (dir / "config").string()},
               {"PATH=/usr/bin:/bin", "XDG_RUNTIME_DIR=" + run.string(), "WLR_BACKENDS=headless",
                "WLR_LIBINPUT_NO_DEVICES=1", "WLR_RENDERER=pixman"},
               dir / "sway.log");
    std::string ipc, display;
    ASSERT_TRUE(waitFor([&] {
        return !(ipc = socketIn(run, "sway-ipc.")).empty() && !(display = socketIn(run, "wayland-")).empty();
    })) << text(dir / "sway.log");

    SwayWindowControl control(ipc);
    auto before = control.topLevelWindows();
    Child foot({"foot"},
               {"PATH=/usr/bin:/bin", "XDG_RUNTIME_DIR=" + run.string(), "HOME=" + dir.path().string(),
                "WAYLAND_DISPLAY=" + std::filesystem::path(display).filename().string()},
               dir / "foot.log");
    std::optional<WindowId> window;
    ASSERT_TRUE(waitFor([&] { return (window = control.applicationWindow({foot.id(), {}, before})).has_value(); }));
    EXPECT_EQ(control.applicationWindow({0, {"Foot"}, before}), window) << "by its app_id, ignoring case";
    EXPECT_EQ(control.applicationWindow({0, {"foot"}, control.topLevelWindows()}), std::nullopt) << "not a new one";
    EXPECT_EQ(control.isFullScreen(*window), false);
    control.requestFullScreen(*window);
    EXPECT_TRUE(waitFor([&] { return control.isFullScreen(*window) == true; }, 5000));
}

} // namespace
} // namespace knokle::test
