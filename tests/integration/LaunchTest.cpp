#include "TrayDesktop.h"

#include <gtest/gtest.h>

using namespace knokle;
namespace fs = std::filesystem;
using test::waitFor;

namespace {

void script(const fs::path& path, const std::string& body) {
    ASSERT_TRUE(writeFileAtomically(path, "#!/bin/sh\n" + body));
    fs::permissions(path, fs::perms::owner_all);
}

// The program's folders, and a desktop whose applications the test writes.
struct Desktop {
    test::TempDir dir;
    Desktop() {
        fs::create_directories(dir / "data/applications");
        fs::create_directories(dir / "config");
    }
    void entry(const std::string& id, const std::string& body) {
        ASSERT_TRUE(writeFileAtomically(dir / ("data/applications/" + id + ".desktop"),
                                        "[Desktop Entry]\nType=Application\nName=" + id + "\n" + body));
    }
    std::string mode(const std::string& apps) {
        std::string path = (dir / "mode.json").string();
        EXPECT_TRUE(writeFileAtomically(path, R"({"name": "Launch", "slapCount": 1, "openApps": [)" + apps + "]}"));
        return path;
    }
    std::vector<std::string> environment(const std::string& display, const std::string& bus) const {
        return test::inherited({"KNOKLE_CONFIG_DIR=" + (dir / "knokle-config").string(),
                "KNOKLE_DATA_DIR=" + (dir / "knokle-data").string(),
                "XDG_DATA_HOME=" + (dir / "data").string(),
                "XDG_CONFIG_HOME=" + (dir / "config").string(),
                "XDG_DATA_DIRS=" + (dir / "none").string(),
                "HOME=" + dir.path().string(),
                "QT_QPA_PLATFORM=offscreen",
                "DISPLAY=" + display,
                "DBUS_SESSION_BUS_ADDRESS=" + bus});
    }
    test::Child run(const std::string& apps, const std::string& display, const std::string& bus) {
        return test::Child({KNOKLE_EXECUTABLE, "--exec-mode", mode(apps)}, environment(display, bus), dir / "out");
    }
};

bool fullScreen(const std::string& display, const std::string& window) {
    return test::commandOutput("DISPLAY=" + display + " xprop -id " + window + " _NET_WM_STATE 2>/dev/null")
               .find("_NET_WM_STATE_FULLSCREEN") != std::string::npos;
}

std::vector<std::string> windowsOfClass(const std::string& display, const std::string& wmClass) {
    std::vector<std::string> ids;
    std::string text = test::commandOutput("DISPLAY=" + display + " xdotool search --class " + wmClass + " 2>/dev/null");
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        ids.push_back(text.substr(start, end - start));
    return ids;
}

} // namespace

// The launched script starts the window's program and exits: its pid never owns a window. The new window
// of the entry's class is put into full screen, not the older one of the same class.
TEST(Launch, FullScreenFindsTheWindowAfterAHandOff) {
    test::XSession session(true);
    ASSERT_TRUE(session.ok()) << session.error();
    Desktop desktop;
    auto handedOff = desktop.dir / "xterm.pid";
    script(desktop.dir / "handoff.sh", "xterm -class KnokleHandoff -e sleep 60 >/dev/null 2>&1 &\necho $! > '" +
                                           handedOff.string() + "'\nexit 0\n");
    desktop.entry("org.knokle.Handoff",
                  "Exec=" + (desktop.dir / "handoff.sh").string() + "\nStartupWMClass=KnokleHandoff\n");
    test::Child older({"xterm", "-class", "KnokleHandoff", "-e", "sleep", "60"},
                      test::inherited({"DISPLAY=" + session.display()}), desktop.dir / "older.out");
    ASSERT_TRUE(waitFor([&] { return windowsOfClass(session.display(), "KnokleHandoff").size() == 1; }));
    std::string olderWindow = windowsOfClass(session.display(), "KnokleHandoff")[0];

    auto program = desktop.run(R"("org.knokle.Handoff")", session.display(), "unix:path=/nonexistent");
    std::string newer;
    ASSERT_TRUE(waitFor([&] {
        for (const auto& window : windowsOfClass(session.display(), "KnokleHandoff"))
            if (window != olderWindow) newer = window;
        return !newer.empty() && fullScreen(session.display(), newer);
    }, 15000)) << "the handed-off window did not enter full screen";
    EXPECT_FALSE(fullScreen(session.display(), olderWindow));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    for (const auto& line : program.lines())
        EXPECT_EQ(line.find("[ModeManager]"), std::string::npos) << line;
    // The handed-off xterm left every process group of ours.
    if (int pid = std::atoi(readWholeFile(handedOff).value_or("0").c_str()); pid > 0) ::kill(pid, SIGKILL);
}

// An application started over D-Bus: a failed activation is retried and then given up, with the usual
// lines; one that answers counts as launched though it has no pid of its own. Exec mode ends 12 s later.
TEST(Launch, DBusActivationFailuresAreRetriedAndAnswersCountAsLaunched) {
    Desktop desktop;
    fs::create_directories(desktop.dir / "data/dbus-1/services");
    auto marker = desktop.dir / "activated";
    script(desktop.dir / "service.py", "exec /usr/bin/python3 - '" + marker.string() + "' <<'EOF'\n" + R"(import sys
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
EOF
)");
    ASSERT_TRUE(writeFileAtomically(
        desktop.dir / "data/dbus-1/services/org.knokle.Answering.service",
        "[D-BUS Service]\nName=org.knokle.Answering\nExec=" + (desktop.dir / "service.py").string() + "\n"));
    // The session bus finds its services under $XDG_DATA_HOME/dbus-1/services.
    test::Child bus({"dbus-daemon", "--session", "--nofork", "--print-address=1"},
                    test::inherited({"XDG_DATA_HOME=" + (desktop.dir / "data").string()}), desktop.dir / "bus");
    std::string address = bus.waitForLine("unix:");
    ASSERT_FALSE(address.empty()) << "dbus-daemon did not start";
    for (const char* id : {"org.knokle.Answering", "org.knokle.Missing"})
        desktop.entry(id, "Exec=false\nDBusActivatable=true\n");

    auto started = std::chrono::steady_clock::now();
    auto program = desktop.run(R"("org.knokle.Missing", "org.knokle.Answering")", "", address);
    EXPECT_EQ(program.wait(20000), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::seconds(12));
    auto lines = program.lines();
    auto count = [&](const std::string& prefix) {
        return std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.starts_with(prefix); });
    };
    EXPECT_EQ(count("[ModeManager] org.knokle.Missing launch failed ("), 3) << testing::PrintToString(lines);
    EXPECT_EQ(count("[ModeManager] Gave up launching org.knokle.Missing"), 1);
    EXPECT_EQ(count("[ModeManager] org.knokle.Answering"), 0) << "the one that answered was launched";
    EXPECT_EQ(readWholeFile(marker), "Activate");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "[exec-mode] done");
}
