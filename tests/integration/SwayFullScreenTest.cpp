// Full screen through a real sway (headless backend) and its IPC socket, with foot as the Wayland client.

#include "Child.h"
#include "TempDir.h"
#include "platform/linux/wayland/SwayWindowControl.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace knokle::test {
namespace {

bool installed(const char* program) {
    return ::access((std::string("/usr/bin/") + program).c_str(), X_OK) == 0;
}

std::string firstFile(const std::filesystem::path& folder, const std::string& prefix) {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ignored)) {
        auto name = entry.path().filename().string();
        if (name.starts_with(prefix) && !name.ends_with(".lock")) return entry.path().string();
    }
    return "";
}

TEST(SwayFullScreen, TheLaunchedWindowGoesFullScreen) {
    if (!installed("sway") || !installed("foot") || !installed("setpriv")) GTEST_SKIP() << "sway or foot missing";
    TempDir dir;
    auto run = dir / "run";
    std::filesystem::create_directories(run);
    ::chmod(run.c_str(), 0700);
    // sway will not run as root; the compositor runs as nobody, its clients (and we) as root may still connect.
    ASSERT_EQ(::chown(run.c_str(), 65534, 0), 0);
    ::chmod(dir.path().c_str(), 0755);
    writeFileAtomically(dir / "config", "output HEADLESS-1 resolution 1280x800\n");
    ::chmod((dir / "config").c_str(), 0644);
    Child sway({"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "sway", "-c", (dir / "config").string()},
               {"PATH=/usr/bin:/bin", "XDG_RUNTIME_DIR=" + run.string(), "WLR_BACKENDS=headless",
                "WLR_LIBINPUT_NO_DEVICES=1", "WLR_RENDERER=pixman"},
               dir / "sway.log");
    std::string socket, display;
    ASSERT_TRUE(waitFor([&] {
        socket = firstFile(run, "sway-ipc.");
        display = firstFile(run, "wayland-");
        return !socket.empty() && !display.empty();
    })) << text(dir / "sway.log");

    SwayWindowControl control(socket);
    auto before = control.topLevelWindows();
    Child foot({"foot"},
               {"PATH=/usr/bin:/bin", "XDG_RUNTIME_DIR=" + run.string(),
                "WAYLAND_DISPLAY=" + std::filesystem::path(display).filename().string(), "HOME=" + dir.path().string()},
               dir / "foot.log");
    std::optional<WindowId> window;
    ASSERT_TRUE(waitFor([&] { return (window = control.applicationWindow({foot.id(), {}, before})).has_value(); }))
        << text(dir / "foot.log");
    EXPECT_EQ(control.applicationWindow({0, {"Foot"}, before}), window) << "found by its app_id too";
    EXPECT_EQ(control.applicationWindow({0, {"foot"}, control.topLevelWindows()}), std::nullopt);
    EXPECT_EQ(control.isFullScreen(*window), false);
    control.requestFullScreen(*window);
    EXPECT_TRUE(waitFor([&] { return control.isFullScreen(*window) == true; }, 5000));
}

} // namespace
} // namespace knokle::test
