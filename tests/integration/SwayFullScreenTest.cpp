// Full screen through a real sway (headless backend) and its IPC socket, with foot as the Wayland client.

#include "SwaySession.h"
#include "platform/linux/wayland/SwayWindowControl.h"

#include <gtest/gtest.h>

namespace knokle::test {
namespace {

TEST(SwayFullScreen, TheLaunchedWindowIsFoundAndGoesFullScreen) {
    if (!SwaySession::available()) GTEST_SKIP() << "no sway or foot";
    SwaySession session;
    ASSERT_TRUE(session.ok) << session.log();
    SwayWindowControl control(session.ipc);
    auto before = control.topLevelWindows();
    Child foot({"foot"},
               {"PATH=/usr/bin:/bin", "XDG_RUNTIME_DIR=" + (session.dir / "sway-run").string(),
                "HOME=" + session.dir.path().string(), "WAYLAND_DISPLAY=" + session.display},
               session.dir / "foot.log");
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
