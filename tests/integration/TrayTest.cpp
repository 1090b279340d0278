// The tray program as a desktop shell sees it: its item and menu over StatusNotifierItem and DBusMenu, a
// second launch, and taps replayed through its calibration window.

#include "TrayDesktop.h"
#include "modes/ModeCoding.h"
#include "sensing/MotionSensor.h"
#include "sensing/ReportRecording.h"
#include "sensing/SyntheticMotion.h"

#include <fstream>
#include <gtest/gtest.h>
// After gtest: Xlib's macros would clash with its names.
#include "XWindows.h"

using namespace knokle;
using test::TrayDesktop;
using test::waitFor;
using X = test::XWindows;
using json = nlohmann::json;

namespace {

void writeMotion(const std::filesystem::path& file, const SyntheticMotion& motion) {
    std::vector<RecordedReport> reports;
    for (const auto& s : motion.samples())
        reports.push_back({s.t, encodeReport(s.x, s.y, s.z)});
    std::ofstream out(file);
    writeRecording(out, reports);
}

TapShape firmTap() {
    TapShape tap;
    tap.peak = 0.15;
    return tap;
}

void storeModes(const TrayDesktop& desktop, const std::vector<SlapMode>& modes, const std::string& config = "config") {
    std::filesystem::create_directories(desktop.dir / config / "data");
    writeFileAtomically(desktop.dir / config / "data/modes.json", encodeModes(modes));
}

void writeSetting(const TrayDesktop& desktop, const std::string& key, const std::string& value,
                  const std::string& config = "config") {
    auto env = desktop.environment(config);
    env.push_back("QT_QPA_PLATFORM=offscreen");
    ASSERT_EQ(test::runProgram(env, {"defaults", "write", key, "-bool", value}).status, 0);
}

SlapMode mode(std::int64_t count, std::string name, std::vector<std::string> openApps = {"org.example.Nothing"}) {
    SlapMode m;
    m.slapCount = count;
    m.name = std::move(name);
    m.openApps = std::move(openApps);
    return m;
}

// "label", then " [x]" or " [ ]" for toggles and " off" for disabled items; "---" for separators.
std::vector<std::string> shown(const json& menu) {
    std::vector<std::string> out;
    if (!menu.is_array()) return {"(no menu)"};
    for (const auto& entry : menu) {
        if (entry["separator"].get<bool>()) {
            out.push_back("---");
            continue;
        }
        std::string line = entry["label"].get<std::string>();
        if (entry["toggle-type"] == "checkmark") line += entry["toggle-state"] == 1 ? " [x]" : " [ ]";
        if (!entry["enabled"].get<bool>()) line += " off";
        out.push_back(line);
    }
    return out;
}

// A recording of the sensor at rest, long enough for any test.
std::filesystem::path restRecording(const TrayDesktop& desktop) {
    auto file = desktop.dir / "rest.rec";
    SyntheticMotion motion;
    motion.rest(1.0);
    writeMotion(file, motion);
    return file;
}

} // namespace

TEST(Tray, MenuAsThePanelShowsItAndWhatItsItemsDo) {
    TrayDesktop desktop;
    ASSERT_TRUE(desktop.ok()) << desktop.session.error();
    // Stored three-tap, one-tap, two-tap; names with spaces around, only spaces, an underscore; five taps.
    auto marker = desktop.dir / "launched";
    auto script = desktop.dir / "mark.sh";
    writeFileAtomically(script, "#!/bin/sh\necho launched > '" + marker.string() + "'\n");
    ::chmod(script.c_str(), 0755);
    std::filesystem::create_directories(desktop.dir / "config/xdg-data/applications");
    writeFileAtomically(desktop.dir / "config/xdg-data/applications/knokle-test-marker.desktop",
                        "[Desktop Entry]\nType=Application\nName=Marker\nExec=" + script.string() + "\n");
    storeModes(desktop,
               {mode(3, "Three"), mode(1, "  Word  ", {"knokle-test-marker"}), mode(2, "   "), mode(5, "deep_work")});
    writeSetting(desktop, "didOnboard", "true");
    writeSetting(desktop, "openAppsFullScreen", "false");

    auto program = desktop.start({"--replay", restRecording(desktop).string()});
    ASSERT_TRUE(desktop.waitForItem()) << desktop.log();
    EXPECT_EQ(shown(desktop.menu()),
              (std::vector<std::string>{"Taps Paused  (⌥⌘T) [ ]", "Auto-pause after each tap [x]", "---", "●○○   Word",
                                        "●●○   Untitled", "●●●   Three", "●●●●●   deep__work", "---", "Test Taps",
                                        "Edit Modes", "Open at Login [ ] off", "---", "Quit Knokle"}));

    desktop.click("Taps Paused  (⌥⌘T)");
    desktop.click("Auto-pause after each tap");
    EXPECT_TRUE(waitFor([&] { return shown(desktop.menu())[0] == "Taps Active  (⌥⌘T) [x]"; }));
    EXPECT_EQ(shown(desktop.menu())[1], "Auto-pause after each tap [ ]");
    auto settings = json::parse(TrayDesktop::text(desktop.dir / "config/settings/settings.json"), nullptr, false);
    EXPECT_EQ(settings.value("tapsActive", false), true);
    EXPECT_EQ(settings.value("autoPause", true), false);

    // A mode row runs its mode at once.
    desktop.click("●○○   Word");
    EXPECT_TRUE(waitFor([&] { return std::filesystem::exists(marker); })) << desktop.log();

    desktop.click("Quit Knokle");
    EXPECT_EQ(program.wait(5000), 0) << desktop.log();
}

TEST(Tray, MenuWithoutModesAndWithoutASensor) {
    TrayDesktop desktop;
    ASSERT_TRUE(desktop.ok()) << desktop.session.error();
    storeModes(desktop, {});
    writeSetting(desktop, "didOnboard", "true");
    auto program = desktop.start({"--replay", restRecording(desktop).string()});
    ASSERT_TRUE(desktop.waitForItem()) << desktop.log();
    EXPECT_EQ(shown(desktop.menu()),
              (std::vector<std::string>{"Taps Paused  (⌥⌘T) [ ]", "Auto-pause after each tap [x]", "---", "---",
                                        "Test Taps", "Edit Modes", "Open at Login [ ] off", "---", "Quit Knokle"}));

    // A machine without the accelerometer: its alert is up, and the menu can still quit.
    // (This machine has none: the real device search finds nothing.)
    auto sensorless = desktop.start({}, {}, "sensorless", "sensorless.log");
    ASSERT_TRUE(desktop.waitForItem(2)) << desktop.log("sensorless.log");
    EXPECT_TRUE(waitFor([&] {
        return shown(desktop.menu()) ==
               std::vector<std::string>{"No motion sensor on this computer off", "---", "Quit Knokle"};
    })) << desktop.log("sensorless.log");
    X x(desktop.session.display());
    EXPECT_TRUE(waitFor([&] { return x.find("Knokle") != 0; })) << "the alert";
    desktop.click("Quit Knokle");
    EXPECT_EQ(sensorless.wait(5000), 0) << desktop.log("sensorless.log");
}

TEST(Tray, IconIsTheGlyphAndGrowsWhileATapFlashesIt) {
    TrayDesktop desktop;
    ASSERT_TRUE(desktop.ok()) << desktop.session.error();
    writeSetting(desktop, "didOnboard", "true");
    auto recording = desktop.dir / "taps.rec";
    SyntheticMotion motion;
    motion.rest(3.0).taps(3, 0.6, firmTap()).rest(2.0).taps(3, 0.6, firmTap()).rest(2.0);
    writeMotion(recording, motion);

    auto program = desktop.start({"--replay", recording.string()});
    ASSERT_TRUE(desktop.waitForItem()) << desktop.log();
    auto icons = desktop.dir / "icons.log";
    test::Child watcher({"/usr/bin/python3", test::kTrayHost, "icons", desktop.item, icons.string()},
                        {"DBUS_SESSION_BUS_ADDRESS=" + desktop.busAddress}, desktop.dir / "icons.out");
    ASSERT_TRUE(waitFor([&] { return TrayDesktop::text(icons).find("ready") != std::string::npos; }));
    auto impacts = [&] {
        std::string log = desktop.log();
        std::size_t count = 0;
        for (auto at = log.find("[impact] "); at != std::string::npos; at = log.find("[impact] ", at + 1))
            ++count;
        return count;
    };
    ASSERT_TRUE(waitFor([&] { return impacts() == 6; }, 20000)) << desktop.log();
    // Every impact sets the larger glyph and restores the normal one 0.15 s later.
    int normal = 0;
    std::vector<int> heights;
    auto read = [&] {
        std::istringstream lines(TrayDesktop::text(icons));
        std::string ready;
        lines >> ready >> normal;
        heights.clear();
        for (int h; lines >> h;)
            heights.push_back(h);
    };
    EXPECT_TRUE(waitFor([&] {
        read();
        return heights.size() >= 2 && heights.back() == normal;
    })) << TrayDesktop::text(icons);
    EXPECT_NEAR(normal, 64 * 0.94, 2) << "the glyph fills 94 % of the largest pixmap";
    EXPECT_GE(std::count_if(heights.begin(), heights.end(), [&](int h) { return h > normal; }), 1)
        << "a flash seen by the panel: " << TrayDesktop::text(icons);
}

TEST(Tray, SecondLaunchShowsTheRunningProgramsWindow) {
    TrayDesktop desktop;
    ASSERT_TRUE(desktop.ok()) << desktop.session.error();
    writeSetting(desktop, "didOnboard", "true");
    auto first = desktop.start({"--replay", restRecording(desktop).string()});
    ASSERT_TRUE(desktop.waitForItem()) << desktop.log();
    X x(desktop.session.display());
    EXPECT_EQ(x.find("Test Your Taps"), 0u);

    // An xterm has the focus, as the application menu leaves it.
    test::Child xterm({"xterm", "-title", "busy"}, {"DISPLAY=" + desktop.session.display(), "PATH=/usr/bin:/bin"},
                      desktop.dir / "xterm.out");
    ASSERT_TRUE(waitFor([&] { return x.find("busy") != 0 && x.active() != 0; }));

    auto second = desktop.start({}, {"DESKTOP_STARTUP_ID=test-launch_TIME0"}, "config", "second.log");
    EXPECT_EQ(second.wait(10000), 0);
    EXPECT_EQ(desktop.log("second.log"), "[info] Knokle is already running; it shows its Test Taps window.\n");
    Window window = 0;
    EXPECT_TRUE(waitFor([&] { return (window = x.find("Test Your Taps")) != 0; })) << desktop.log();
    EXPECT_TRUE(waitFor([&] {
        Window active = x.active();
        return active && (active == window || x.find("Test Your Taps", active) == window);
    })) << "in front, with the focus";
    EXPECT_EQ(desktop.registered().size(), 1u) << "one tray item";

    // Exec mode and the settings command are never handed over.
    auto exec = test::runProgram(desktop.environment(), {"--exec-mode", (desktop.dir / "missing.json").string()});
    EXPECT_EQ(exec.status, 1);
    EXPECT_TRUE(exec.hasPrefix("[exec-mode] could not read/parse")) << exec.output;
}

TEST(Tray, TapsInTheCalibrationWindowOpenedFromTheMenuThenAGestureFires) {
    TrayDesktop desktop;
    ASSERT_TRUE(desktop.ok()) << desktop.session.error();
    storeModes(desktop, {mode(2, "Focus")});
    writeSetting(desktop, "didOnboard", "true");
    writeSetting(desktop, "tapsActive", "true");
    auto recording = desktop.dir / "gestures.rec";
    SyntheticMotion motion;
    motion.rest(4.0).taps(2, 0.3, firmTap()).rest(7.0).taps(2, 0.3, firmTap()).rest(3.0);
    writeMotion(recording, motion);

    auto program = desktop.start({"--replay", recording.string()}, {"KNOKLE_DRYRUN=1"});
    ASSERT_TRUE(desktop.waitForItem()) << desktop.log();
    desktop.click("Test Taps");
    X x(desktop.session.display());
    Window window = 0;
    ASSERT_TRUE(waitFor([&] { return (window = x.find("Test Your Taps")) != 0; })) << desktop.log();
    ASSERT_TRUE(desktop.waitForLog("[test] 2-tap detected (actions suppressed while testing)", "program.log", 15000))
        << desktop.log();
    EXPECT_EQ(desktop.log().find("[DRY RUN]"), std::string::npos);

    x.close(window);
    ASSERT_TRUE(waitFor([&] { return x.find("Test Your Taps") == 0; }));
    EXPECT_TRUE(desktop.waitForLog("[DRY RUN] 2-tap -> would run 'Focus' (opens: [\"org.example.Nothing\"], quits: [])",
                                   "program.log", 15000))
        << desktop.log();
}

TEST(Tray, WithoutADisplayOrATrayTheProgramSaysSoAndEnds) {
    TrayDesktop desktop(false);
    ASSERT_TRUE(desktop.ok()) << desktop.session.error();
    auto env = desktop.environment();
    std::erase_if(env, [](const std::string& v) { return v.rfind("DISPLAY=", 0) == 0 || v.rfind("QT_QPA", 0) == 0; });
    auto noTray = desktop.start({}, {}, "b", "no-tray.log");
    // Not through start(): without DISPLAY.
    test::Child bare({"env", "-u", "DISPLAY", "-u", "QT_QPA_PLATFORM", KNOKLE_EXECUTABLE}, env,
                     desktop.dir / "bare.log");
    EXPECT_EQ(bare.wait(5000), 1);
    EXPECT_EQ(desktop.log("bare.log"),
              "[info] No display to show Knokle on: start it in a desktop session (DISPLAY is not set).\n");
    EXPECT_EQ(noTray.wait(20000), 1);
    EXPECT_EQ(desktop.log("no-tray.log"), "[info] No tray to show Knokle in: the desktop shows no tray items (on "
                                          "GNOME, turn on the AppIndicator extension).\n");
}
