// A real sway (headless backend) through its IPC socket: the program's own window, and full screen with foot as
// the Wayland client.

#include "SwaySession.h"
#include "platform/linux/wayland/SwayWindowControl.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace knokle::test {
namespace {

TEST(SwayFullScreen, TheProgramsWindowCarriesItsEntrysNameAndALaunchedWindowGoesFullScreen) {
    if (!SwaySession::available()) GTEST_SKIP() << "no sway or foot";
    SwaySession session;
    ASSERT_TRUE(session.ok) << session.log();
    SwayWindowControl control(session.ipc);
    const std::vector<std::string> env{"PATH=/usr/bin:/bin", "XDG_RUNTIME_DIR=" + (session.dir / "sway-run").string(),
                                       "HOME=" + session.dir.path().string(), "WAYLAND_DISPLAY=" + session.display};

    // A Wayland desktop matches the program's windows to the desktop entry by their app_id. No session bus, so
    // no tray: the window that says so is enough.
    auto programEnv = env;
    programEnv.insert(programEnv.end(), {"QT_QPA_PLATFORM=wayland", "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent",
                                         "KNOKLE_CONFIG_DIR=" + (session.dir / "config").string(),
                                         "KNOKLE_DATA_DIR=" + (session.dir / "data").string()});
    Child program({KNOKLE_EXECUTABLE}, programEnv, session.dir / "program.log");
    auto programWindows = [&] {
        std::vector<std::string> appIds;
        for (const auto& w : swayWindows(nlohmann::json::parse(control.exchange(4, "").value_or("0"))))
            if (w.pid == program.id()) appIds.push_back(w.appId);
        return appIds;
    };
    ASSERT_TRUE(waitFor([&] { return !programWindows().empty(); }, 30000)) << text(session.dir / "program.log");
    EXPECT_EQ(programWindows(), std::vector<std::string>{"org.knokle.Knokle"});

    auto before = control.topLevelWindows();
    Child foot({"foot"}, env, session.dir / "foot.log");
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
