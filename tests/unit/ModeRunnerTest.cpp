#include "FakeModeEnvironment.h"
#include "LineCapture.h"
#include "TempDir.h"

#include <gtest/gtest.h>

using namespace knokle;
using test::FakeWorkspace;
using Lines = std::vector<std::string>;

namespace {

RunningApplication app(std::string id, std::int32_t pid, bool terminated = false) {
    return {std::move(id), pid, terminated};
}

class ModeRunnerTest : public ::testing::Test {
protected:
    test::TempDir dir;
    test::FakeModeEnvironment env;
    test::LineCapture lines;
    ModeManager manager{env.services(), dir / "modes.json"};
};

} // namespace

TEST_F(ModeRunnerTest, ModeWithNothingToDoDoesNothing) {
    SlapMode empty;
    empty.focusModeIdentifier = "";
    manager.execute(empty);
    EXPECT_TRUE(lines.lines().empty());
    EXPECT_EQ(env.workspace.snapshotCount(), 0);
    EXPECT_TRUE(env.shortcuts.runs().empty());
}

TEST_F(ModeRunnerTest, StepsRunInTheirFixedOrder) {
    env.workspace.setRunning({app("com.apple.Safari", 10), app("editor", 20)});
    env.workspace.install("editor");
    env.browsers.answer("Safari", {1, std::nullopt});
    env.shortcuts.failWith("Work", "no such shortcut");
    SlapMode mode;
    mode.focusModeIdentifier = "Work";
    mode.openURLs = {"ftp://old", " example.com/a "};
    mode.openApps = {"editor", "missing"};
    mode.quitApps = {"ghost", "editor"};
    mode.closeURLs = {"news"};
    manager.execute(mode);

    EXPECT_EQ(lines.lines(), (Lines{
                                 "[ModeManager] Safari: closed 1 tab(s) matching 'news'",
                                 "[ModeManager] Quit: nothing running for ghost",
                                 "[ModeManager] Quit editor pid 20: SIGKILL ok",
                                 "[ModeManager] editor did not quit within 8s; launching anyway",
                                 "[ModeManager] Could not find app for bundle ID missing",
                                 "[ModeManager] Skipping unusable link: ftp://old",
                                 "[ModeManager] Failed to run shortcut 'Work': no such shortcut",
                             }));
    EXPECT_EQ(env.workspace.openedURLs(), Lines{"https://example.com/a"});
    EXPECT_EQ(env.shortcuts.runs(), Lines{"Work"});
}

TEST_F(ModeRunnerTest, RestartWaitsUntilNoLiveInstanceIsListed) {
    // why, when the application stops being listed (or is listed as ended), the lists to quit and open, the opens
    using Case = std::tuple<const char*, double, bool, Lines, Lines, std::vector<double>>;
    const Case cases[] = {
        {"gone after a second: seen at the 0.15 s poll after", 1.0, false, {"app"}, {"app"}, {1.05}},
        {"terminated entries do not count", 0.0, true, {"app"}, {"app"}, {0.0}},
        // The last 0.15 s poll sleeps past the 8 s deadline.
        {"twice in both lists: one wait, two launches", 1e9, false, {"app", "app"}, {"app", "app"}, {8.1, 8.1}},
        {"only quit: not waited for", 1e9, false, {"app"}, {"other"}, {0.0}},
    };
    for (const auto& [why, goneAt, listedAsEnded, quit, open, expectedOpens] : cases) {
        test::FakeModeEnvironment fresh;
        std::vector<double> opens;
        fresh.workspace.install("app");
        fresh.workspace.install("other");
        fresh.workspace.onOpenApplication = [&](const std::string&) { opens.push_back(fresh.loop.elapsed()); };
        double start = fresh.loop.elapsed();
        fresh.workspace.setRunningProvider([&, from = goneAt, ended = listedAsEnded] {
            bool gone = fresh.loop.elapsed() - start >= from;
            if (gone && !ended) return std::vector<RunningApplication>{};
            return std::vector<RunningApplication>{app("app", 42, gone)};
        });
        SlapMode mode;
        mode.quitApps = quit;
        mode.openApps = open;
        ModeManager runner(fresh.services(), dir / "runner.json");
        runner.execute(mode);

        ASSERT_EQ(opens.size(), expectedOpens.size()) << why;
        for (size_t i = 0; i < opens.size(); ++i)
            EXPECT_NEAR(opens[i] - start, expectedOpens[i], 1e-9) << why;
    }
}

TEST_F(ModeRunnerTest, QuitSignalsEveryInstanceAndReportsErrno) {
    env.workspace.setRunning({app("chat", 101), app("Chat", 150), app("chat", 0), app("chat", 102),
                              RunningApplication{std::nullopt, 103, false}});
    env.signals.failWith(102, ESRCH);
    SlapMode mode;
    mode.quitApps = {"chat"};
    manager.execute(mode);

    EXPECT_EQ(lines.lines(), (Lines{"[ModeManager] Quit chat pid 101: SIGKILL ok",
                                    "[ModeManager] Quit chat pid 102: SIGKILL errno " + std::to_string(ESRCH)}));
    EXPECT_EQ(env.signals.signalled(), (std::vector<std::int32_t>{101, 102}));
    ASSERT_EQ(env.workspace.terminated().size(), 1u);
    EXPECT_EQ(env.workspace.terminated()[0].processIdentifier, 0);
    EXPECT_TRUE(env.workspace.openedLocations().empty());
}

TEST_F(ModeRunnerTest, FailedLaunchRetriesThreeTimesThenGivesUp) {
    std::vector<double> openTimes;
    env.workspace.onOpenApplication = [&](const std::string&) { openTimes.push_back(env.loop.elapsed()); };
    auto location = env.workspace.install("flaky");
    env.workspace.answerOpens(location, {FakeWorkspace::failed("boom")});
    SlapMode mode;
    mode.openApps = {"flaky"};
    manager.execute(mode);
    env.loop.advance(30);

    EXPECT_EQ(lines.lines(), (Lines{"[ModeManager] flaky launch failed (boom); retrying in 0.6s",
                                    "[ModeManager] flaky launch failed (boom); retrying in 1.2s",
                                    "[ModeManager] flaky launch failed (boom); retrying in 1.7999999999999998s",
                                    "[ModeManager] Gave up launching flaky: boom"}));
    ASSERT_EQ(openTimes.size(), 4u);
    const double expected[] = {0.0, 0.6, 1.8, 3.6};
    for (size_t i = 0; i < 4; ++i)
        EXPECT_NEAR(openTimes[i], expected[i], 1e-6);
    EXPECT_EQ(env.loop.pendingTimerCount(), 0u);
}

TEST_F(ModeRunnerTest, FullScreenAfterLaunch) {
    const Lines never = {"[ModeManager] full screen: viewer never exposed a window"};
    const std::string wayland = "full screen works only for X11 windows here";
    // why, the setting, the launched application, searches before the pid's window shows and before a window with
    // the entry's name (a hand-off) shows (-1: never), full screen already, under Wayland, request, lines
    using Case = std::tuple<const char*, bool, std::optional<RunningApplication>, int, int, std::optional<bool>, bool,
                            std::optional<WindowId>, Lines>;
    const Lines onWayland = {"[ModeManager] " + wayland};
    // clang-format off
    const Case cases[] = {
        {"window after 5 s of searching", true, app("viewer", 5), 25, -1, false, false, 600, {}},
        {"unreadable state is asked to go full screen", true, app("viewer", 5), 0, -1, std::nullopt, false, 600, {}},
        {"already full screen: left alone", true, app("viewer", 5), 0, -1, true, false, std::nullopt, {}},
        {"handed off: the launched pid never owns it", true, app("viewer", 5), -1, 2, false, false, 700, {}},
        {"started over D-Bus, pid 0: the named window", true, app("viewer", 0), -1, 3, false, false, 700, {}},
        {"a named window from before the launch is not it", true, app("viewer", 0), -1, 0, false, false,
         std::nullopt, never},
        {"launched without an application", true, std::nullopt, 0, -1, false, false, std::nullopt, {}},
        {"never a window", true, app("viewer", 5), -1, -1, false, false, std::nullopt, never},
        {"Wayland: said once, X11 windows still found", true, app("viewer", 5), 0, -1, false, true, 600, onWayland},
        {"Wayland, setting off: nothing said", false, app("viewer", 5), -1, -1, false, true, std::nullopt, {}},
    };
    // clang-format on
    for (const auto& [why, setting, launchedApp, pidWindowAfter, namedWindowAfter, alreadyFullScreen, underWayland,
                      expectRequest, expectedLines] : cases) {
        test::FakeModeEnvironment fresh;
        test::LineCapture captured;
        *fresh.fullScreenSetting = setting;
        auto location = fresh.workspace.install("viewer");
        fresh.workspace.answerOpens(location, {OpenApplicationResult{launchedApp, std::nullopt}});
        if (pidWindowAfter >= 0) fresh.windows.exposeWindow(5, 600, pidWindowAfter);
        if (namedWindowAfter >= 0) fresh.windows.exposeNamedWindow("viewer", 700, namedWindowAfter);
        fresh.windows.setFullScreen(600, alreadyFullScreen);
        if (underWayland) fresh.windows.setLimitation(wayland);
        SlapMode mode;
        mode.openApps = {"viewer"};
        if (underWayland) mode.openApps.push_back("viewer"); // two launches: still one line
        ModeManager runner(fresh.services(), dir / "runner.json");
        runner.execute(mode);
        fresh.loop.advance(10);

        auto expectedRequests = expectRequest ? std::vector<WindowId>{*expectRequest} : std::vector<WindowId>{};
        EXPECT_EQ(fresh.windows.fullScreenRequests(), expectedRequests) << why;
        EXPECT_EQ(captured.lines(), expectedLines) << why;
    }
}

TEST_F(ModeRunnerTest, WellKnownIdentifiersMeanThisDesktopsApplications) {
    auto firefox = env.workspace.install("firefox-esr");
    env.workspace.install("thunderbird");
    env.workspace.install("com.apple.Notes", "/apps/a-real-entry-of-that-name.desktop");
    env.workspace.meanHere("com.apple.Safari", "firefox-esr");
    env.workspace.meanHere("com.apple.mail", "thunderbird");
    env.workspace.meanHere("com.apple.Notes", "org.gnome.TextEditor"); // installed as itself: that wins
    env.workspace.meanHere("com.apple.MobileSMS", "");
    env.workspace.answerOpens(firefox, {FakeWorkspace::launched("firefox-esr", 42)});
    env.windows.exposeWindow(42, 5000, 0);
    SlapMode mode;
    mode.quitApps = {"com.apple.MobileSMS", "com.apple.mail", "com.apple.Safari"};
    mode.openApps = {"com.apple.Safari", "com.apple.Notes", "com.apple.MobileSMS", "com.apple.Unknown"};
    mode.focusModeIdentifier = "Deep Work  "; // run as written, and quietly when it works
    env.workspace.setRunningProvider([&] {
        return env.signals.signalled().empty() ? std::vector<RunningApplication>{app("firefox-esr", 41)}
                                               : std::vector<RunningApplication>{};
    });
    manager.execute(mode);
    env.loop.advance(10);

    EXPECT_EQ(lines.lines(), (Lines{
                                 "[ModeManager] No counterpart of com.apple.MobileSMS was found on this desktop",
                                 "[ModeManager] Quit: nothing running for com.apple.mail (thunderbird)",
                                 "[ModeManager] Quit com.apple.Safari (firefox-esr) pid 41: SIGKILL ok",
                                 "[ModeManager] No counterpart of com.apple.MobileSMS was found on this desktop",
                                 "[ModeManager] Could not find app for bundle ID com.apple.Unknown",
                             }));
    EXPECT_EQ(env.workspace.openedLocations(), (Lines{firefox, "/apps/a-real-entry-of-that-name.desktop"}));
    EXPECT_EQ(env.windows.fullScreenRequests(), std::vector<WindowId>{5000});
    EXPECT_EQ(env.shortcuts.runs(), Lines{"Deep Work  "});
}

TEST_F(ModeRunnerTest, ClosesTabsInRunningBrowsersInTableOrder) {
    env.workspace.setRunning({app("chromium", 3), app("firefox", 4), app("com.apple.Safari", 5), app("", 6)});
    env.browsers.answer("Safari", {2, std::nullopt});
    env.browsers.answer("Chromium", {std::nullopt, "the DevTools endpoint is not reachable"});
    env.browsers.answer("Firefox", {std::nullopt, std::nullopt});
    SlapMode mode;
    mode.closeURLs = {" \t ", "\n", "ab\"c\n"};
    manager.execute(mode);

    EXPECT_EQ(lines.lines(),
              (Lines{
                  "[ModeManager] Safari: closed 2 tab(s) matching 'ab\"c\n'",
                  "[ModeManager] Could not close tabs in Chromium: the DevTools endpoint is not reachable",
                  "[ModeManager] Firefox: closed 0 tab(s) matching 'ab\"c\n'",
              }));
    auto calls = env.browsers.calls();
    ASSERT_EQ(calls.size(), 3u);
    for (const auto& call : calls)
        EXPECT_EQ(call.matchText, "ab\"c");
}
