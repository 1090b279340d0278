// Full screen through KWin's scripting interface: a stand-in KWin on a private bus runs our script with node
// against KWin 5's and KWin 6's script API.

#include "Child.h"
#include "TempDir.h"
#include "WindowControlChecks.h"
#include "common/AtomicFile.h"
#include "platform/linux/wayland/KWinWindowControl.h"

namespace knokle::test {
namespace {

TEST(KWinFullScreen, TheLaunchedWindowIsFoundAndGoesFullScreenOnKWin5And6) {
    if (::access("/usr/bin/node", X_OK)) GTEST_SKIP() << "no node to run the script";
    for (int version : {5, 6}) {
        TempDir dir;
        Child bus({"dbus-daemon", "--session", "--nofork", "--print-address=1"}, {}, dir / "bus.out");
        ASSERT_TRUE(waitFor([&] { return !bus.lines().empty(); }));
        std::string address = bus.lines()[0];
        // KWin 5 shows a script no class, so windows go by desktop file name (or process).
        writeFileAtomically(dir / "windows.json", R"([
            {"internalId": "k-1", "pid": 40, "desktopFileName": "kitty", "resourceClass": "kitty", "active": true},
            {"internalId": "p-2", "pid": 41, "desktopFileName": "", "resourceClass": "plasmashell"},
            {"internalId": "e-3", "pid": 41, "desktopFileName": "org.gnome.TextEditor", "resourceClass": "x"}])");
        auto steps = [&] { return ProgramResult{0, text(dir / "kwin.log")}.lines(); };
        EXPECT_FALSE(KWinWindowControl::kwinOnBus(address));
        Child kwin({"/usr/bin/python3", std::string(KNOKLE_SOURCE_DIR) + "/tests/integration/kwin_service.py",
                    (dir / "kwin.log").string(), std::to_string(version), (dir / "windows.json").string()},
                   {"DBUS_SESSION_BUS_ADDRESS=" + address, "PATH=/usr/bin:/bin"}, dir / "kwin.out");
        ASSERT_TRUE(waitFor([&] { return !steps().empty(); })) << text(dir / "kwin.out");
        EXPECT_TRUE(KWinWindowControl::kwinOnBus(address));
        std::filesystem::create_directories(dir / "run");
        KWinWindowControl control(dir / "run", address);
        checkFindsAndFullScreens(control);

        // Each script was loaded, run, answered and unloaded in turn, and its file removed.
        auto log = steps();
        EXPECT_EQ(std::erase(log, "fullScreen e-3"), 1u) << version;
        ASSERT_EQ(log.size(), 1 + 4 * 8u) << text(dir / "kwin.log");
        for (std::size_t i = 1; i < log.size(); i += 4) {
            std::string name = log[i].substr(std::string("loadScript ").size());
            EXPECT_EQ(std::vector(log.begin() + i, log.begin() + i + 4),
                      (std::vector<std::string>{"loadScript " + name, "run " + name,
                                                "callDBus org.knokle.KWinReply windows", "unloadScript " + name}));
        }
        EXPECT_TRUE(std::filesystem::is_empty(dir / "run"));
    }
}

} // namespace
} // namespace knokle::test
