// The shortcut through the desktop portal: a test portal on a private session bus, the program itself in a
// Wayland session under the offscreen platform, and the portal service in this process.

#include "Child.h"
#include "TempDir.h"
#include "platform/linux/wayland/PortalHotKeyService.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace knokle::test {
namespace {

const std::string kPortal = std::string(KNOKLE_SOURCE_DIR) + "/tests/integration/portal_service.py";
using Steps = std::vector<std::string>;

struct PortalSession {
    TempDir dir;
    Child bus{{"dbus-daemon", "--session", "--nofork", "--print-address=1"}, {"PATH=/usr/bin:/bin"}, dir / "bus.out"};
    std::string address = waitFor([&] { return !bus.lines().empty(); }) ? bus.lines()[0] : "";
    std::optional<Child> portal;

    explicit PortalSession(bool bare = false) {
        Steps argv{"/usr/bin/python3", kPortal, (dir / "portal.log").string()};
        if (bare) argv.push_back("--bare");
        portal.emplace(argv, Steps{"DBUS_SESSION_BUS_ADDRESS=" + address}, dir / "portal.out");
        waitFor([&] { return !steps().empty(); });
    }
    Steps steps() const { return ProgramResult{0, text(dir / "portal.log")}.lines(); }
    Child start(const std::string& settings) {
        std::filesystem::create_directories(dir / "settings");
        if (!settings.empty()) writeFileAtomically(dir / "settings/settings.json", settings);
        return Child({"timeout", "60", KNOKLE_EXECUTABLE, "--replay", "/dev/null"},
                     {"DBUS_SESSION_BUS_ADDRESS=" + address, "PATH=/usr/bin:/bin", "QT_QPA_PLATFORM=offscreen",
                      "XDG_SESSION_TYPE=wayland", "WAYLAND_DISPLAY=wayland-test", "HOME=" + dir.path().string(),
                      "KNOKLE_CONFIG_DIR=" + (dir / "settings").string(), "KNOKLE_DATA_DIR=" + dir.path().string(),
                      "XDG_RUNTIME_DIR=" + (dir / "settings").string()},
                     dir / "program.log");
    }
    int press() const { // how many bound shortcuts the portal pressed
        return std::atoi(
            commandOutput("env DBUS_SESSION_BUS_ADDRESS=" + shellQuoted(address) + " " + kPortal + " press").c_str());
    }
    std::optional<bool> tapsActive() const {
        auto json = nlohmann::json::parse(text(dir / "settings/settings.json"), nullptr, false);
        if (!json.is_object() || !json.contains("tapsActive")) return std::nullopt;
        return json["tapsActive"].get<bool>();
    }
};

std::string bindLine(const std::string& trigger) {
    return "BindShortcuts arm-or-pause \"Arm or pause taps\" " + trigger;
}

TEST(PortalShortcut, TheProgramBindsTheStoredShortcutAndEachActivationTogglesArming) {
    const std::pair<std::string, std::string> cases[] = {
        {"", "LOGO+ALT+t"}, // the default, then control shift K
        {R"({"hotkeyKeyCode": 40, "hotkeyMods": 4608, "hotkeyDisplay": "⌃⇧K", "tapsActive": true})", "CTRL+SHIFT+k"}};
    for (const auto& [settings, trigger] : cases) {
        PortalSession session;
        auto program = session.start(settings);
        ASSERT_TRUE(waitFor([&] { return session.steps().size() >= 4; })) << text(session.dir / "program.log");
        EXPECT_EQ(session.steps(), (Steps{"ready", "CreateSession", bindLine(trigger), "ListShortcuts"}));
        bool before = session.tapsActive().value_or(false);
        for (bool armed : {!before, before}) {
            ASSERT_EQ(session.press(), 1);
            EXPECT_TRUE(waitFor([&] { return session.tapsActive() == armed; }, 5000)) << trigger;
        }
        EXPECT_TRUE(std::ranges::none_of(session.steps(), [](const auto& s) { return s.starts_with("FAULT"); }));
    }
}

TEST(PortalShortcut, APortalWithoutGlobalShortcutsIsSaidOnce) {
    PortalSession session(true);
    auto program = session.start("");
    const std::string line = "[info] The shortcut is unavailable in this session (the desktop portal offers no "
                             "global shortcuts); arm and pause taps from the menu instead.";
    EXPECT_TRUE(waitFor([&] { return std::ranges::count(program.lines(), line) == 1; })) << session.steps().size();
}

// Up to 20 s: under the sanitizers, beside other tests, the portal's answers can take seconds.
bool spinUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 2000 && !done(); ++i) {
        QEventLoop wait;
        QTimer::singleShot(10, &wait, &QEventLoop::quit);
        wait.exec();
    }
    return done();
}

// Re-recording registers the new combination before the old one goes, as the controller does: the portal sees
// the old session closed before one of the same name is made and bound again.
TEST(PortalShortcut, ANewCombinationIsBoundInAFreshSessionOfTheSameName) {
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    PortalSession session;
    PortalHotKeyService service(QDBusConnection::connectToBus(QString::fromStdString(session.address), "rebind"));
    Steps reported;
    service.onBindingChange([&](const HotKeyBinding& b) { reported.push_back(b.trigger.value_or("-")); });
    int firstPresses = 0, secondPresses = 0;
    auto first = std::get<HotKeyToken>(service.registerHotKey(17, 0x0900, [&] { ++firstPresses; }));
    // Both answers for the first combination are in before it is replaced; a later one would be dropped as stale.
    ASSERT_TRUE(spinUntil([&] { return session.steps().size() >= 4 && reported.size() >= 2; }));
    auto second = std::get<HotKeyToken>(service.registerHotKey(40, 0x1000, [&] { ++secondPresses; }));
    service.unregisterHotKey(first);
    ASSERT_TRUE(spinUntil([&] { return reported.size() >= 4; }));
    EXPECT_EQ(session.steps(), (Steps{"ready", "CreateSession", bindLine("LOGO+ALT+t"), "ListShortcuts", "Close knokle",
                                      "CreateSession", bindLine("CTRL+k"), "ListShortcuts"}));
    EXPECT_EQ(reported, (Steps{"Meta+Alt+T", "Meta+Alt+T", "Ctrl+K", "Ctrl+K"}));
    EXPECT_EQ(session.press(), 1);
    EXPECT_TRUE(spinUntil([&] { return secondPresses == 1; }));
    EXPECT_EQ(firstPresses, 0);
    service.unregisterHotKey(second);
    EXPECT_TRUE(spinUntil([&] { return session.steps().back() == "Close knokle"; }));
}

} // namespace
} // namespace knokle::test
