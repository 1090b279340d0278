// The program in a Wayland session binds its shortcut through the desktop portal (here a test portal on a
// private session bus) and arms and pauses at each Activated, under the offscreen platform.

#include "Child.h"
#include "TempDir.h"
#include "platform/linux/wayland/PortalHotKeyService.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/stat.h>

namespace knokle::test {
namespace {

const std::string kPortal = std::string(KNOKLE_SOURCE_DIR) + "/tests/integration/portal_service.py";

class PortalSession {
public:
    TempDir dir;
    std::string busAddress;

    explicit PortalSession(bool bare = false) {
        std::filesystem::create_directories(dir / "run");
        ::chmod((dir / "run").c_str(), 0700);
        bus.emplace(std::vector<std::string>{"dbus-daemon", "--session", "--nofork", "--print-address=1"},
                    std::vector<std::string>{"PATH=/usr/bin:/bin"}, dir / "bus.out");
        waitFor([&] { return !bus->lines().empty(); }, 5000);
        busAddress = bus->lines().empty() ? "" : bus->lines()[0];
        std::vector<std::string> argv{"/usr/bin/python3", kPortal, (dir / "portal.log").string()};
        if (bare) argv.push_back("--bare");
        portal.emplace(argv, std::vector<std::string>{"DBUS_SESSION_BUS_ADDRESS=" + busAddress}, dir / "portal.out");
        waitFor([&] { return steps().size() > 0; }, 5000);
    }

    std::vector<std::string> steps() const { return ProgramResult{0, text(dir / "portal.log")}.lines(); }

    Child start(const std::string& settings = "") {
        if (!settings.empty()) {
            std::filesystem::create_directories(dir / "settings");
            writeFileAtomically(dir / "settings/settings.json", settings);
        }
        return Child({"timeout", "60", KNOKLE_EXECUTABLE, "--replay", "/dev/null"},
                     {"DBUS_SESSION_BUS_ADDRESS=" + busAddress, "PATH=/usr/bin:/bin", "QT_QPA_PLATFORM=offscreen",
                      "XDG_SESSION_TYPE=wayland", "WAYLAND_DISPLAY=wayland-knokle-test",
                      "KNOKLE_CONFIG_DIR=" + (dir / "settings").string(), "KNOKLE_DATA_DIR=" + (dir / "data").string(),
                      "XDG_RUNTIME_DIR=" + (dir / "run").string(), "HOME=" + dir.path().string()},
                     dir / "program.log");
    }

    // Presses the bound shortcut once; how many bindings the portal pressed.
    int press() const {
        std::string out = commandOutput("env DBUS_SESSION_BUS_ADDRESS=" + shellQuoted(busAddress) +
                                        " /usr/bin/python3 " + shellQuoted(kPortal) + " press");
        return out.empty() ? -1 : std::stoi(out);
    }

    std::optional<bool> tapsActive() const {
        auto json = nlohmann::json::parse(text(dir / "settings/settings.json"), nullptr, false);
        if (!json.is_object() || !json.contains("tapsActive")) return std::nullopt;
        return json["tapsActive"].get<bool>();
    }

private:
    static std::string commandOutput(const std::string& command) {
        std::string out;
        if (FILE* pipe = ::popen(command.c_str(), "r")) {
            char buffer[256];
            for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
                out.append(buffer, n);
            ::pclose(pipe);
        }
        return out;
    }

    std::optional<Child> bus, portal;
};

TEST(PortalShortcut, BindsTheStoredShortcutAndEachActivationTogglesArming) {
    // settings stored, the trigger the portal is asked for
    const std::pair<std::string, std::string> cases[] = {
        {"", "LOGO+ALT+t"},
        {R"({"hotkeyKeyCode": 40, "hotkeyMods": 4608, "hotkeyDisplay": "⌃⇧K", "tapsActive": true})", "CTRL+SHIFT+k"},
    };
    for (const auto& [settings, trigger] : cases) {
        SCOPED_TRACE(trigger);
        PortalSession session;
        ASSERT_FALSE(session.busAddress.empty());
        auto program = session.start(settings);
        ASSERT_TRUE(waitFor([&] { return session.steps().size() >= 4; })) << text(session.dir / "program.log");
        EXPECT_EQ(session.steps(), (std::vector<std::string>{"ready", "CreateSession",
                                                             "BindShortcuts arm-or-pause \"Arm or pause taps\" " +
                                                                 trigger,
                                                             "ListShortcuts"}));
        bool before = session.tapsActive().value_or(false);
        for (bool expected : {!before, before}) {
            ASSERT_EQ(session.press(), 1);
            EXPECT_TRUE(waitFor([&] { return session.tapsActive() == expected; }, 5000)) << "armed: " << expected;
        }
        EXPECT_TRUE(std::ranges::none_of(session.steps(), [](const auto& s) { return s.starts_with("FAULT"); }));
    }
}

TEST(PortalShortcut, APortalWithoutGlobalShortcutsIsSaidOnce) {
    PortalSession session(true);
    auto program = session.start();
    const std::string line = "[info] The shortcut is unavailable in this session (the desktop portal offers no "
                             "global shortcuts); arm and pause taps from the menu instead.";
    ASSERT_TRUE(waitFor([&] { return std::ranges::count(program.lines(), line) == 1; }))
        << text(session.dir / "program.log");
    EXPECT_TRUE(std::ranges::count(program.lines(), "[info] The click veto is off in this session: a Wayland "
                                                    "compositor shares no clicks with other programs, so a "
                                                    "click's jolt may count as a tap."));
}

bool spinUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 500 && !done(); ++i) {
        QEventLoop wait;
        QTimer::singleShot(10, &wait, &QEventLoop::quit);
        wait.exec();
    }
    return done();
}

// Re-recording: the new combination is registered before the old one goes, as the controller does it; the
// portal sees the old session closed before a new one of the same name is made and bound.
TEST(PortalShortcut, ANewCombinationIsBoundInAFreshSessionOfTheSameName) {
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    PortalSession session;
    QDBusConnection bus = QDBusConnection::connectToBus(QString::fromStdString(session.busAddress), "rebind");
    PortalHotKeyService service(bus);
    std::vector<std::string> reported;
    service.onBindingChange([&](const HotKeyBinding& b) { reported.push_back(b.trigger.value_or("-")); });
    int firstPresses = 0, secondPresses = 0;
    auto first = std::get<HotKeyToken>(service.registerHotKey(17, 0x0900, [&] { ++firstPresses; }));
    ASSERT_TRUE(spinUntil([&] { return session.steps().size() >= 4; }));
    auto second = std::get<HotKeyToken>(service.registerHotKey(40, 0x1000, [&] { ++secondPresses; }));
    service.unregisterHotKey(first);
    ASSERT_TRUE(spinUntil([&] { return session.steps().size() >= 8; }));
    EXPECT_EQ(session.steps(),
              (std::vector<std::string>{"ready", "CreateSession", "BindShortcuts arm-or-pause \"Arm or pause taps\" "
                                                                  "LOGO+ALT+t",
                                        "ListShortcuts", "Close knokle", "CreateSession",
                                        "BindShortcuts arm-or-pause \"Arm or pause taps\" CTRL+k", "ListShortcuts"}));
    EXPECT_TRUE(spinUntil([&] { return reported.size() == 4; }));
    EXPECT_EQ(reported, (std::vector<std::string>{"Meta+Alt+T", "Meta+Alt+T", "Ctrl+K", "Ctrl+K"}));
    EXPECT_EQ(session.press(), 1);
    EXPECT_TRUE(spinUntil([&] { return secondPresses == 1; }));
    EXPECT_EQ(firstPresses, 0);
    service.unregisterHotKey(second);
    EXPECT_TRUE(spinUntil([&] { return session.steps().back() == "Close knokle"; }));
}

} // namespace
} // namespace knokle::test
