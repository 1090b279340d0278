// The tray program as a desktop shell sees it: its item, icon and menu over StatusNotifierItem and DBusMenu,
// and a second launch.

#include "TrayDesktop.h"

#include <gtest/gtest.h>
#include <iterator>
// After gtest: Xlib's macros would clash with its names.
#include "XWindows.h"

using namespace knokle;
using test::TrayDesktop;
using test::waitFor;
using json = nlohmann::json;

namespace {

// "label", then " [x]" or " [ ]" for toggles and " off" for disabled items; "---" for separators.
std::vector<std::string> shown(const json& menu) {
    std::vector<std::string> out;
    if (!menu.is_array()) return {"(no menu)"};
    for (const auto& entry : menu) {
        std::string line = entry["label"].get<std::string>();
        if (entry["toggle-type"] == "checkmark") line += entry["toggle-state"] == 1 ? " [x]" : " [ ]";
        if (!entry["enabled"].get<bool>()) line += " off";
        out.push_back(entry["separator"].get<bool>() ? "---" : line);
    }
    return out;
}

} // namespace

TEST(Tray, TheItemItsIconItsMenuWhatTheMenuDoesAndASecondLaunch) {
    TrayDesktop desktop;
    ASSERT_TRUE(desktop.ok()) << desktop.session.error();
    // Stored three-tap, one-tap, two-tap; names with spaces around, only spaces, an underscore; five taps.
    auto marker = desktop.dir / "launched";
    test::put(desktop.dir / "mark.sh", "#!/bin/sh\necho launched > '" + marker.string() + "'\n", true);
    test::put(desktop.dir / "config/settings/settings.json", R"({"didOnboard": true, "openAppsFullScreen": false})");
    test::put(desktop.dir / "config/xdg-data/applications/knokle-test-marker.desktop",
              "[Desktop Entry]\nType=Application\nName=Marker\nExec=" + (desktop.dir / "mark.sh").string() + "\n");
    test::put(desktop.dir / "config/data/modes.json",
              R"([{"slapCount": 3, "name": "Three", "openApps": ["org.example.Nothing"]},
                  {"slapCount": 1, "name": "  Word  ", "openApps": ["knokle-test-marker"]},
                  {"slapCount": 2, "name": "   ", "openApps": ["org.example.Nothing"]},
                  {"slapCount": 5, "name": "deep_work", "openApps": ["org.example.Nothing"]}])");
    // Three taps while paused, once the panel watches the icon.
    auto taps =
        test::recording(desktop.dir / "taps.rec", SyntheticMotion().rest(6.0).taps(3, 0.6, {.peak = 0.15}).rest(2.0));
    auto program = desktop.start({"--replay", taps});
    ASSERT_TRUE(desktop.waitForItem()) << desktop.log();
    auto icons = desktop.dir / "icons.log";
    test::Child panel({"/usr/bin/python3", test::kTrayHost, "icons", desktop.item, icons.string()},
                      {"DBUS_SESSION_BUS_ADDRESS=" + desktop.busAddress}, desktop.dir / "icons.out");
    EXPECT_EQ(shown(desktop.menu()),
              (std::vector<std::string>{"Taps Paused  (Super+Alt+T) [ ]", "Auto-pause after each tap [x]", "---",
                                        "●○○   Word", "●●○   Untitled", "●●●   Three", "●●●●●   deep__work", "---",
                                        "Test Taps", "Edit Modes", "Open at Login [ ] off", "---", "Quit Knokle"}));

    // Every impact sets the larger glyph and restores the normal one 0.15 s later.
    std::vector<int> heights; // the first as the panel started watching
    EXPECT_TRUE(waitFor(
        [&] {
            std::istringstream lines(test::text(icons));
            lines.ignore(5); // "ready"
            heights.assign(std::istream_iterator<int>(lines), {});
            return heights.size() >= 3 && heights.back() == heights[0];
        },
        20000))
        << test::text(icons) << desktop.log();
    EXPECT_GT(std::ranges::max(heights), heights[0]) << "a flash seen by the panel";
    ASSERT_TRUE(desktop.waitForLog("[paused] 3-tap detected")) << desktop.log();

    desktop.click("Taps Paused  (Super+Alt+T)");
    desktop.click("Auto-pause after each tap");
    EXPECT_TRUE(waitFor([&] { return shown(desktop.menu())[0] == "Taps Active  (Super+Alt+T) [x]"; }));
    EXPECT_EQ(desktop.settings().value("tapsActive", false), true);
    EXPECT_EQ(desktop.settings().value("autoPause", true), false);

    // A mode row runs its mode at once.
    desktop.click("●○○   Word");
    EXPECT_TRUE(waitFor([&] { return std::filesystem::exists(marker); })) << desktop.log();

    // A second launch, from an xterm that has the focus as the application menu leaves it, hands over.
    test::XWindows x(desktop.session.display());
    EXPECT_EQ(x.find("Test Your Taps"), 0u);
    test::Child xterm({"xterm", "-title", "busy"}, {"DISPLAY=" + desktop.session.display(), "PATH=/usr/bin:/bin"},
                      desktop.dir / "xterm.out");
    ASSERT_TRUE(waitFor([&] { return x.find("busy") != 0 && x.active() != 0; }));
    auto second = desktop.start({}, {"DESKTOP_STARTUP_ID=test-launch_TIME0"}, "config", "second.log");
    EXPECT_EQ(second.wait(10000), 0);
    EXPECT_EQ(desktop.log("second.log"), "[info] Knokle is already running; it shows its Test Taps window.\n");
    Window window = 0;
    EXPECT_TRUE(waitFor([&] { return (window = x.find("Test Your Taps")) != 0; })) << desktop.log();
    EXPECT_TRUE(waitFor([&] { return x.active() == window; })) << "in front, with the focus";
    EXPECT_EQ(desktop.registered().size(), 1u) << "one tray item";
    // Exec mode is never handed over.
    auto exec = test::runProgram(desktop.environment(), {"--exec-mode", (desktop.dir / "missing.json").string()});
    EXPECT_EQ(exec.status, 1);
    EXPECT_TRUE(exec.hasPrefix("[exec-mode] could not read/parse")) << exec.output;

    desktop.click("Quit Knokle");
    EXPECT_EQ(program.wait(5000), 0) << desktop.log();
}

TEST(Tray, WithoutADisplayOrATrayTheProgramSaysSoAndEnds) {
    TrayDesktop desktop(false);
    ASSERT_TRUE(desktop.ok()) << desktop.session.error();
    auto noTray = desktop.start({}, {}, "b", "no-tray.log");
    // Not through start(): without DISPLAY.
    test::Child bare({"env", "-u", "DISPLAY", "-u", "QT_QPA_PLATFORM", KNOKLE_EXECUTABLE}, desktop.environment(),
                     desktop.dir / "bare.log");
    EXPECT_EQ(bare.wait(5000), 1);
    EXPECT_EQ(desktop.log("bare.log"),
              "[info] No display to show Knokle on: start it in a desktop session (DISPLAY is not set).\n");
    // A person who started it from the application menu sees a dialog; its default answer quits.
    test::XWindows x(desktop.session.display());
    Window dialog = 0;
    ASSERT_TRUE(waitFor([&] { return (dialog = x.find("Knokle")) != 0; }, 20000)) << desktop.log("no-tray.log");
    EXPECT_EQ(desktop.log("no-tray.log"), "[info] No tray to show Knokle in: the desktop shows no tray items (on "
                                          "GNOME, turn on the AppIndicator extension).\n");
    x.xdotool("windowactivate --sync " + std::to_string(dialog) + " key --clearmodifiers Return");
    EXPECT_EQ(noTray.wait(5000), 1);

    // Its other answer opens Test Taps, the one window left; closing it ends the program. A quiet recording stands
    // in for the sensor, so that no alert about a missing one holds the window.
    auto testTaps = desktop.start({"--replay", test::recording(desktop.dir / "rest.rec", SyntheticMotion().rest(30))},
                                  {}, "c", "test-taps.log");
    ASSERT_TRUE(waitFor([&] { return (dialog = x.find("Knokle")) != 0; }, 20000)) << desktop.log("test-taps.log");
    x.xdotool("windowactivate --sync " + std::to_string(dialog) + " key --clearmodifiers Tab Return");
    Window window = 0;
    ASSERT_TRUE(waitFor([&] { return (window = x.find("Test Your Taps")) != 0; })) << desktop.log("test-taps.log");
    x.xdotool("windowactivate --sync " + std::to_string(window) + " key --clearmodifiers alt+F4"); // openbox closes it
    EXPECT_EQ(testTaps.wait(5000), 0) << desktop.log("test-taps.log");
}
