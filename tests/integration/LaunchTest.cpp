#include "TrayDesktop.h"

#include <gtest/gtest.h>
#include <iterator>
// After gtest: Xlib's macros would clash with its names.
#include "XWindows.h"

using namespace knokle;
namespace fs = std::filesystem;
using test::waitFor;

namespace {

void entry(const test::TrayDesktop& desktop, const std::string& id, const std::string& body) {
    test::put(desktop.dir / ("config/xdg-data/applications/" + id + ".desktop"),
              "[Desktop Entry]\nType=Application\nName=" + id + "\n" + body);
}

// The program in exec mode with a mode that opens these applications.
test::Child runMode(test::TrayDesktop& desktop, const std::string& apps) {
    test::put(desktop.dir / "mode.json", R"({"name": "Launch", "slapCount": 1, "openApps": [)" + apps + "]}");
    return desktop.start({"--exec-mode", (desktop.dir / "mode.json").string()});
}

std::vector<std::string> windowsOfClass(const test::XWindows& x, const std::string& wmClass) {
    std::istringstream ids(x.xdotool("search --class " + wmClass));
    return {std::istream_iterator<std::string>(ids), {}};
}

} // namespace

// The launched script starts the window's program and exits: its pid never owns a window. The new window
// of the entry's class is put into full screen, not the older one of the same class.
TEST(Launch, FullScreenFindsTheWindowAfterAHandOffAndDBusActivationIsRetriedOrAnswered) {
    test::TrayDesktop desktop(false);
    ASSERT_TRUE(desktop.ok()) << desktop.session.error();
    test::XWindows x(desktop.session.display());
    auto fullScreen = [&](const std::string& window) {
        return x.xprop(std::stoul(window), "_NET_WM_STATE").find("_NET_WM_STATE_FULLSCREEN") != std::string::npos;
    };
    auto handedOff = desktop.dir / "xterm.pid";
    test::put(desktop.dir / "handoff.sh",
              "#!/bin/sh\nxterm -class KnokleHandoff -e sleep 60 >/dev/null 2>&1 &\necho $! > '" + handedOff.string() +
                  "'\nexit 0\n",
              true);
    entry(desktop, "org.knokle.Handoff",
          "Exec=" + (desktop.dir / "handoff.sh").string() + "\nStartupWMClass=KnokleHandoff\n");
    test::Child older({"xterm", "-class", "KnokleHandoff", "-e", "sleep", "60"}, desktop.environment(),
                      desktop.dir / "older.out");
    ASSERT_TRUE(waitFor([&] { return windowsOfClass(x, "KnokleHandoff").size() == 1; }));
    std::string olderWindow = windowsOfClass(x, "KnokleHandoff")[0];

    auto program = runMode(desktop, R"("org.knokle.Handoff")");
    std::string newer;
    ASSERT_TRUE(waitFor(
        [&] {
            for (const auto& window : windowsOfClass(x, "KnokleHandoff"))
                if (window != olderWindow) newer = window;
            return !newer.empty() && fullScreen(newer);
        },
        15000))
        << "the handed-off window did not enter full screen";
    EXPECT_FALSE(fullScreen(olderWindow));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    for (const auto& line : program.lines())
        EXPECT_EQ(line.find("[ModeManager]"), std::string::npos) << line;
    // The handed-off xterm left every process group of ours.
    if (int pid = std::atoi(readWholeFile(handedOff).value_or("0").c_str()); pid > 0) ::kill(pid, SIGKILL);

    // An application started over D-Bus: a failed activation is retried and then given up, with the usual
    // lines; one that answers counts as launched though it has no pid of its own. The session bus finds
    // services under $XDG_DATA_HOME/dbus-1/services, and notices new ones.
    auto marker = desktop.dir / "activated";
    test::put(desktop.dir / "service.py", "#!/usr/bin/python3\n" + std::string(R"(import sys
from gi.repository import Gio, GLib
xml = ("<node><interface name='org.freedesktop.Application'><method name='Activate'>"
       "<arg type='a{sv}' name='platform_data' direction='in'/></method></interface></node>")
loop = GLib.MainLoop()
def call(conn, sender, path, iface, method, params, invocation):
    open(sys.argv[1], 'w').write(method)
    invocation.return_value(None)
    GLib.timeout_add(3000, loop.quit)
def bus(conn, name):
    conn.register_object('/org/knokle/Answering', Gio.DBusNodeInfo.new_for_xml(xml).interfaces[0], call)
Gio.bus_own_name(Gio.BusType.SESSION, 'org.knokle.Answering', 0, bus, None, None)
loop.run()
)"),
              true);
    test::put(desktop.dir / "config/xdg-data/dbus-1/services/org.knokle.Answering.service",
              "[D-BUS Service]\nName=org.knokle.Answering\nExec=" + (desktop.dir / "service.py").string() + " " +
                  marker.string() + "\n");
    for (const char* id : {"org.knokle.Answering", "org.knokle.Missing"})
        entry(desktop, id, "Exec=false\nDBusActivatable=true\n");

    auto activation = runMode(desktop, R"("org.knokle.Missing", "org.knokle.Answering")");
    EXPECT_EQ(activation.wait(20000), 0);
    std::string output = desktop.log();
    EXPECT_NE(output.find("[ModeManager] Gave up launching org.knokle.Missing"), std::string::npos) << output;
    EXPECT_EQ(output.find("[ModeManager] org.knokle.Answering"), std::string::npos) << "it answered: launched";
    EXPECT_EQ(readWholeFile(marker), "Activate");
}
