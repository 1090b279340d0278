// Knokle as a native Wayland client of a real sway (headless backend): a second start hands its launcher's
// activation token over, and the running program brings Test Taps to the front with it.

#include "Child.h"
#include "TempDir.h"
#include "common/AtomicFile.h"
#include "platform/linux/wayland/SwayWindowControl.h"
#include "xdg-activation-v1-client-protocol.h"

#include <cstring>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/stat.h>
#include <unistd.h>
#include <wayland-client.h>

namespace knokle::test {
namespace {

const std::string kTrayHost = std::string(KNOKLE_SOURCE_DIR) + "/tests/integration/tray_host.py";

std::string socketIn(const std::filesystem::path& folder, const std::string& prefix) {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ignored))
        if (auto name = entry.path().filename().string(); name.starts_with(prefix) && !name.ends_with(".lock"))
            return entry.path().string();
    return "";
}

// A token as a launcher gets one from the compositor before it starts a program.
std::string launcherToken(const std::string& display) {
    wl_display* connection = wl_display_connect(display.c_str());
    if (!connection) return "";
    xdg_activation_v1* activation = nullptr;
    wl_registry* registry = wl_display_get_registry(connection);
    const wl_registry_listener listener{
        [](void* data, wl_registry* r, uint32_t name, const char* interface, uint32_t) {
            if (std::strcmp(interface, xdg_activation_v1_interface.name) == 0)
                *static_cast<xdg_activation_v1**>(data) =
                    static_cast<xdg_activation_v1*>(wl_registry_bind(r, name, &xdg_activation_v1_interface, 1));
        },
        [](void*, wl_registry*, uint32_t) {}};
    wl_registry_add_listener(registry, &listener, &activation);
    wl_display_roundtrip(connection);
    std::string token;
    if (activation) {
        xdg_activation_token_v1* request = xdg_activation_v1_get_activation_token(activation);
        const xdg_activation_token_v1_listener done{
            [](void* data, xdg_activation_token_v1*, const char* t) { *static_cast<std::string*>(data) = t; }};
        xdg_activation_token_v1_add_listener(request, &done, &token);
        xdg_activation_token_v1_set_app_id(request, "org.knokle.Knokle");
        xdg_activation_token_v1_commit(request);
        wl_display_roundtrip(connection);
    }
    wl_display_disconnect(connection); // the token outlives the launcher
    return token;
}

TEST(SwayActivation, ASecondStartBringsTestTapsToTheFront) {
    if (::access("/usr/bin/sway", X_OK) || ::access("/usr/bin/foot", X_OK)) GTEST_SKIP() << "no sway or foot";
    TempDir dir;
    auto swayRun = dir / "sway-run", run = dir / "run";
    std::filesystem::create_directories(swayRun);
    std::filesystem::create_directories(run);
    // sway refuses to run as root: it runs as nobody; root (the clients and we) may still use its sockets.
    ASSERT_EQ(::chown(swayRun.c_str(), 65534, 0) | ::chmod(swayRun.c_str(), 0700) | ::chmod(run.c_str(), 0700) |
                  ::chmod(dir.path().c_str(), 0755),
              0);
    // sway's default for activation requests is only to mark the window urgent.
    writeFileAtomically(dir / "config", "output HEADLESS-1 resolution 1280x800\nfocus_on_window_activation focus\n");
    ::chmod((dir / "config").c_str(), 0644);
    Child sway({"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "sway", "-c", (dir / "config").string()},
               {"PATH=/usr/bin:/bin", "XDG_RUNTIME_DIR=" + swayRun.string(), "WLR_BACKENDS=headless",
                "WLR_LIBINPUT_NO_DEVICES=1", "WLR_RENDERER=pixman"},
               dir / "sway.log");
    std::string ipc, display;
    ASSERT_TRUE(waitFor([&] {
        return !(ipc = socketIn(swayRun, "sway-ipc.")).empty() && !(display = socketIn(swayRun, "wayland-")).empty();
    })) << text(dir / "sway.log");
    Child bus({"dbus-daemon", "--session", "--nofork", "--print-address=1"}, {"PATH=/usr/bin:/bin"}, dir / "bus.out");
    ASSERT_TRUE(waitFor([&] { return !bus.lines().empty(); }));
    std::vector<std::string> env{"PATH=/usr/bin:/bin", "DBUS_SESSION_BUS_ADDRESS=" + bus.lines()[0],
                                 "XDG_RUNTIME_DIR=" + run.string(), "WAYLAND_DISPLAY=" + display,
                                 "XDG_SESSION_TYPE=wayland", "HOME=" + dir.path().string()};
    Child watcher({"/usr/bin/python3", kTrayHost, "watch", (dir / "watch.log").string()}, env, dir / "watcher.out");
    ASSERT_TRUE(waitFor([&] { return text(dir / "watch.log").find("ready") != std::string::npos; }));

    SwayWindowControl tree(ipc);
    auto focusedPid = [&] {
        auto nodes = nlohmann::json::parse(tree.exchange(4, "").value_or(""), nullptr, false);
        for (const auto& window : swayWindows(nodes))
            if (window.focused) return window.pid;
        return 0;
    };
    auto knokleEnv = env;
    knokleEnv.insert(knokleEnv.end(), {"QT_QPA_PLATFORM=wayland", "KNOKLE_CONFIG_DIR=" + (dir / "settings").string(),
                                       "KNOKLE_DATA_DIR=" + (dir / "data").string()});
    auto start = [&](const std::vector<std::string>& extra, const std::string& log) {
        auto all = knokleEnv;
        all.insert(all.end(), extra.begin(), extra.end());
        return Child({KNOKLE_EXECUTABLE, "--replay", "/dev/null"}, all, dir / log);
    };
    // A fresh installation opens Test Taps at its first start.
    Child knokle = start({}, "knokle.log");
    ASSERT_TRUE(waitFor([&] { return focusedPid() == knokle.id(); }, 20000)) << text(dir / "knokle.log");
    Child foot({"foot"}, env, dir / "foot.log");
    ASSERT_TRUE(waitFor([&] { return focusedPid() == foot.id(); })) << text(dir / "foot.log");

    std::string token = launcherToken(display);
    ASSERT_FALSE(token.empty());
    Child second = start({"XDG_ACTIVATION_TOKEN=" + token}, "second.log");
    EXPECT_EQ(second.wait(10000), 0) << text(dir / "second.log");
    EXPECT_TRUE(waitFor([&] { return focusedPid() == knokle.id(); }, 5000)) << text(dir / "knokle.log");
}

} // namespace
} // namespace knokle::test
