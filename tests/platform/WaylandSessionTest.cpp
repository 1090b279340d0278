#include "platform/linux/wayland/PortalTrigger.h"
#include "platform/linux/wayland/SessionServices.h"
#include "platform/linux/wayland/SwayWindowControl.h"

#include <gtest/gtest.h>
#include <map>
#include <nlohmann/json.hpp>

namespace knokle {
namespace {

TEST(PortalTrigger, StoredShortcutsInThePortalsNotation) {
    const std::tuple<std::uint32_t, std::uint32_t, std::string> cases[] = {
        {17, 0x0100 | 0x0800, "LOGO+ALT+t"},        // the default: command option T
        {40, 0x1000 | 0x0200, "CTRL+SHIFT+k"},      // control shift K
        {36, 0x1000, "CTRL+Return"},                // a named key
        {49, 0x0100 | 0x1000 | 0x0800 | 0x0200, "LOGO+CTRL+ALT+SHIFT+space"},
        {96, 0, "F5"},
        {0xFFFF, 0x0100, ""}, // no such key
    };
    for (const auto& [key, mods, expected] : cases)
        EXPECT_EQ(portalTrigger(key, mods), expected) << key << "/" << mods;
}

TEST(SessionServices, WaylandFromTheSessionTypeOrADisplayName) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"wayland", nullptr, true}, {"x11", "wayland-0", true}, {"x11", "", false},
        {nullptr, nullptr, false},  {"tty", nullptr, false},
    };
    for (const auto& [type, display, wayland] : cases) {
        std::map<std::string, const char*> env{{"XDG_SESSION_TYPE", type}, {"WAYLAND_DISPLAY", display}};
        EXPECT_EQ(isWaylandSession([&](const char* name) { return env[name]; }), wayland)
            << (type ? type : "-") << " " << (display ? display : "-");
    }
}

// A sway tree as GET_TREE gives it, cut down: a workspace with a tiled and a floating window, and an XWayland
// window whose name is its X11 class.
const char* kTree = R"({"id": 1, "type": "root", "nodes": [{"id": 3, "type": "output", "nodes": [
    {"id": 4, "type": "workspace", "fullscreen_mode": 1, "nodes": [
        {"id": 5, "type": "con", "pid": 100, "app_id": "foot", "focused": false, "fullscreen_mode": 0},
        {"id": 9, "type": "con", "pid": 100, "app_id": "foot", "focused": true, "fullscreen_mode": 1},
        {"id": 7, "type": "con", "pid": 200, "app_id": null, "window_properties": {"class": "XTerm"}}],
     "floating_nodes": [{"id": 11, "type": "floating_con", "pid": 300, "app_id": "org.gnome.TextEditor"}]}]}]})";

TEST(SwayWindowControl, FindsTheLaunchedApplicationsWindow) {
    auto windows = swayWindows(nlohmann::json::parse(kTree));
    ASSERT_EQ(windows.size(), 4u);
    EXPECT_TRUE(windows[1].fullScreen);
    EXPECT_EQ(windows[2].appId, "XTerm");
    const std::tuple<const char*, WindowSearch, std::optional<WindowId>> cases[] = {
        {"the newest new window with the name", {0, {"FOOT"}, {}}, 9},
        {"windows there before are skipped", {0, {"foot"}, {9}}, 5},
        {"an X11 class, floating too", {0, {"xterm", "org.gnome.TextEditor"}, {}}, 11},
        {"by pid: the focused one", {100, {"nothing"}, {}}, 9},
        {"by pid: the first one", {200, {}, {}}, 7},
        {"nothing to go by", {0, {"nothing"}, {}}, std::nullopt},
        {"no such process", {999, {}, {}}, std::nullopt},
    };
    for (const auto& [name, search, expected] : cases)
        EXPECT_EQ(pickSwayWindow(windows, search), expected) << name;
}

TEST(SwayWindowControl, AnUnreachableCompositorKnowsNoWindows) {
    SwayWindowControl control("/nonexistent/sway-ipc.sock");
    EXPECT_TRUE(control.topLevelWindows().empty());
    EXPECT_EQ(control.isFullScreen(5), std::nullopt);
    EXPECT_EQ(control.applicationWindow({100, {}, {}}), std::nullopt);
    EXPECT_EQ(control.fullScreenLimitation(), std::nullopt);
}

} // namespace
} // namespace knokle
