// Full screen through KWin's scripting interface: a stand-in KWin on a private bus runs our script with node
// against KWin 5's and KWin 6's script API.

#include "Child.h"
#include "TempDir.h"
#include "platform/linux/wayland/KWinWindowControl.h"

#include <gtest/gtest.h>

namespace knokle::test {
namespace {

const std::string kKWin = std::string(KNOKLE_SOURCE_DIR) + "/tests/integration/kwin_service.py";
using Steps = std::vector<std::string>;

TEST(KWinFullScreen, TheLaunchedWindowIsFoundAndGoesFullScreenOnKWin5And6) {
    if (::access("/usr/bin/node", X_OK)) GTEST_SKIP() << "no node to run the script";
    for (int version : {5, 6}) {
        TempDir dir;
        Child bus({"dbus-daemon", "--session", "--nofork", "--print-address=1"}, {"PATH=/usr/bin:/bin"},
                  dir / "bus.out");
        ASSERT_TRUE(waitFor([&] { return !bus.lines().empty(); }));
        std::string address = bus.lines()[0];
        writeFileAtomically(dir / "windows.json", R"([
            {"internalId": "a-1", "pid": 10, "desktopFileName": "org.kde.konsole", "resourceClass": "konsole",
             "normalWindow": true, "active": true, "fullScreen": false},
            {"internalId": "p-2", "pid": 11, "desktopFileName": "", "resourceClass": "plasmashell",
             "normalWindow": false, "active": false, "fullScreen": false},
            {"internalId": "b-3", "pid": 12, "desktopFileName": "", "resourceClass": "xterm",
             "normalWindow": true, "active": false, "fullScreen": false}])");
        auto steps = [&] { return ProgramResult{0, text(dir / "kwin.log")}.lines(); };
        EXPECT_FALSE(KWinWindowControl::kwinOnBus(address));
        Child kwin({"/usr/bin/python3", kKWin, (dir / "kwin.log").string(), std::to_string(version),
                    (dir / "windows.json").string()},
                   {"DBUS_SESSION_BUS_ADDRESS=" + address, "PATH=/usr/bin:/bin"}, dir / "kwin.out");
        ASSERT_TRUE(waitFor([&] { return !steps().empty(); }));
        EXPECT_TRUE(KWinWindowControl::kwinOnBus(address));

        std::filesystem::create_directories(dir / "run");
        KWinWindowControl control(dir / "run", address);
        auto all = control.topLevelWindows();
        ASSERT_EQ(all.size(), 2u) << "normal windows only, version " << version << "\n" << text(dir / "kwin.log");
        auto konsole = control.applicationWindow({10, {}, {}});
        EXPECT_EQ(konsole, all[0]);
        EXPECT_EQ(control.applicationWindow({0, {"ORG.KDE.KONSOLE"}, {}}), konsole) << "by desktop file name";
        EXPECT_EQ(control.applicationWindow({0, {"org.kde.konsole"}, all}), std::nullopt) << "not a new one";
        EXPECT_EQ(control.applicationWindow({99, {}, {}}), std::nullopt);
        // KWin 5 shows no class to a script, so an X11 window without a desktop file goes by its process.
        EXPECT_EQ(control.applicationWindow({0, {"xterm"}, {}}),
                  version == 6 ? std::optional<WindowId>(all[1]) : std::nullopt);
        EXPECT_EQ(control.isFullScreen(*konsole), false);
        control.requestFullScreen(*konsole);
        EXPECT_EQ(control.isFullScreen(*konsole), true);
        EXPECT_EQ(control.isFullScreen(all[1]), false);

        auto log = steps();
        EXPECT_EQ(std::ranges::count(log, "fullScreen a-1"), 1) << version;
        EXPECT_TRUE(std::ranges::none_of(log, [](const auto& s) { return s.starts_with("FAULT"); }))
            << text(dir / "kwin.log");
        // Every script was loaded, run, answered and unloaded in turn, and its file removed.
        for (std::size_t i = 1; i < log.size();) {
            std::string name = log[i].substr(std::string("loadScript ").size());
            EXPECT_EQ(log[i++], "loadScript " + name);
            EXPECT_EQ(log[i++], "run " + name);
            while (i < log.size() && log[i].starts_with("fullScreen"))
                ++i;
            EXPECT_EQ(log[i++], "callDBus org.knokle.KWinReply windows");
            ASSERT_LT(i, log.size());
            EXPECT_EQ(log[i++], "unloadScript " + name);
        }
        EXPECT_TRUE(std::filesystem::is_empty(dir / "run"));
    }
}

} // namespace
} // namespace knokle::test
