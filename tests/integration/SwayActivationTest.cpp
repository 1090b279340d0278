// Knokle as a native Wayland client of a real sway: a second start hands its launcher's activation token over,
// and the running program brings Test Taps back to the front with it.

#include "SwaySession.h"
#include "platform/linux/wayland/SwayWindowControl.h"
#include "xdg-activation-v1-client-protocol.h"

#include <cstring>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <wayland-client.h>

namespace knokle::test {
namespace {

// A token as a launcher gets one from the compositor before it starts a program.
std::string launcherToken(const std::string& display) {
    wl_display* connection = wl_display_connect(display.c_str());
    static xdg_activation_v1* activation;
    static const wl_registry_listener bind{[](void*, wl_registry* r, uint32_t name, const char* interface, uint32_t) {
                                               if (!std::strcmp(interface, xdg_activation_v1_interface.name))
                                                   activation = static_cast<xdg_activation_v1*>(
                                                       wl_registry_bind(r, name, &xdg_activation_v1_interface, 1));
                                           },
                                           [](void*, wl_registry*, uint32_t) {}};
    wl_registry* registry = wl_display_get_registry(connection);
    wl_registry_add_listener(registry, &bind, nullptr);
    wl_display_roundtrip(connection);
    std::string token;
    static const xdg_activation_token_v1_listener done{
        [](void* data, xdg_activation_token_v1*, const char* t) { *static_cast<std::string*>(data) = t; }};
    xdg_activation_token_v1* request = xdg_activation_v1_get_activation_token(activation);
    xdg_activation_token_v1_add_listener(request, &done, &token);
    xdg_activation_token_v1_commit(request);
    wl_display_roundtrip(connection);
    xdg_activation_token_v1_destroy(request);
    xdg_activation_v1_destroy(activation);
    wl_registry_destroy(registry);
    wl_display_disconnect(connection); // the token outlives the launcher
    return token;
}

TEST(SwayActivation, ASecondStartBringsTestTapsToTheFront) {
    if (!SwaySession::available()) GTEST_SKIP() << "no sway or foot";
    // sway's default for activation requests is only to mark the window urgent.
    SwaySession session("focus_on_window_activation focus\n");
    ASSERT_TRUE(session.ok) << session.log();
    const auto& dir = session.dir;
    std::filesystem::create_directories(dir / "run");
    ::chmod((dir / "run").c_str(), 0700);
    Child bus({"dbus-daemon", "--session", "--nofork", "--print-address=1"}, {"PATH=/usr/bin:/bin"}, dir / "bus.out");
    ASSERT_TRUE(waitFor([&] { return !bus.lines().empty(); }));
    std::vector<std::string> env{"PATH=/usr/bin:/bin",
                                 "DBUS_SESSION_BUS_ADDRESS=" + bus.lines()[0],
                                 "XDG_RUNTIME_DIR=" + (dir / "run").string(),
                                 "WAYLAND_DISPLAY=" + session.display,
                                 "HOME=" + dir.path().string(),
                                 "QT_QPA_PLATFORM=wayland",
                                 "KNOKLE_CONFIG_DIR=" + (dir / "settings").string()};
    Child tray({"/usr/bin/python3", std::string(KNOKLE_SOURCE_DIR) + "/tests/integration/tray_host.py", "watch",
                (dir / "watch.log").string()},
               env, dir / "tray.out");
    ASSERT_TRUE(waitFor([&] { return text(dir / "watch.log").find("ready") != std::string::npos; }));
    SwayWindowControl sway(session.ipc);
    auto focusedPid = [&] {
        for (const auto& window : swayWindows(nlohmann::json::parse(sway.exchange(4, "").value_or("0"))))
            if (window.focused) return window.pid;
        return 0;
    };

    // A fresh installation opens Test Taps at its first start; then another window takes the focus.
    Child knokle({KNOKLE_EXECUTABLE, "--replay", "/dev/null"}, env, dir / "knokle.log");
    ASSERT_TRUE(waitFor([&] { return focusedPid() == knokle.id(); }, 20000)) << text(dir / "knokle.log");
    Child foot({"foot"}, env, dir / "foot.log");
    ASSERT_TRUE(waitFor([&] { return focusedPid() == foot.id(); })) << text(dir / "foot.log");

    env.push_back("XDG_ACTIVATION_TOKEN=" + launcherToken(session.display));
    Child second({KNOKLE_EXECUTABLE, "--replay", "/dev/null"}, env, dir / "second.log");
    EXPECT_EQ(second.wait(10000), 0) << text(dir / "second.log");
    EXPECT_TRUE(waitFor([&] { return focusedPid() == knokle.id(); }, 5000)) << text(dir / "knokle.log");
}

} // namespace
} // namespace knokle::test
