#include "app/TrayApp.h"

#include "app/AppWindows.h"
#include "app/StandInServices.h"
#include "common/DiagnosticOutput.h"
#include "platform/linux/DevToolsBrowserScripting.h"
#include "platform/linux/ExecutableShortcutRunner.h"
#include "platform/linux/GioWorkspace.h"
#include "platform/linux/HidrawManager.h"
#include "platform/linux/JsonFileDefaults.h"
#include "platform/linux/QtMainLoop.h"
#include "platform/linux/SystemClock.h"
#include "platform/linux/ThreadPoolWorkQueue.h"
#include "platform/linux/X11HotKeyService.h"
#include "platform/linux/X11WindowControl.h"
#include "platform/linux/XInputButtonMonitor.h"
#include "platform/linux/XdgAutostartLoginItem.h"
#include "sensing/ReplaySource.h"
#include "shell/AppDelegate.h"
#include "shell/ExecMode.h"
#include "shell/ExitWhenSettled.h"
#include "shell/Settings.h"
#include "windows/QtAlertPresenter.h"

#include <QApplication>
#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>

namespace knokle {
namespace {

// A browser's DevTools port set by hand ("devToolsPort.Google Chrome"), for browsers started with a fixed
// --remote-debugging-port, which then write no DevToolsActivePort file.
std::optional<int> devToolsPort(const UserDefaults& defaults, const std::string& browser) {
    auto value = defaults.object("devToolsPort." + browser);
    if (!value) return std::nullopt;
    const auto* port = std::get_if<std::int64_t>(&*value);
    if (!port || *port < 1 || *port > 65535) return std::nullopt;
    return static_cast<int>(*port);
}

// What running a mode acts on, for the life of the process.
struct DesktopServices {
    explicit DesktopServices(UserDefaults& defaults)
        : browsers([&defaults](const std::string& browser) { return devToolsPort(defaults, browser); }) {}

    GioWorkspace workspace;
    X11WindowControl windows;
    DevToolsBrowserScripting browsers;
    ExecutableShortcutRunner shortcuts;
    SystemClock clock;

    std::shared_ptr<const ModeServices> modeServices(MainLoop& loop, WorkQueue& background, UserDefaults& defaults) {
        return std::make_shared<const ModeServices>(
            ModeServices{workspace, windows, browsers, shortcuts, loop, background, clock,
                         [&defaults] { return Settings(defaults).openAppsFullScreen(); }});
    }
};

// Ends the process at once, as quitting should: a mode may still be running (or waiting for an application
// to exit) on a worker thread, and must not find the objects it uses destroyed under it.
[[noreturn]] void endProcess(int status) {
    std::fflush(nullptr);
    std::_Exit(status);
}

bool hasDisplay() {
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        if (const char* value = std::getenv(name); value && *value) return true;
    return false;
}

} // namespace

int runExecModeProcess(const std::string& path, int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QtMainLoop loop;
    ThreadPoolWorkQueue background;
    JsonFileDefaults defaults;
    DesktopServices desktop(defaults);
    auto status = startExecMode(path, desktop.modeServices(loop, background, defaults), std::nullopt, loop, background,
                                [](int code) { endProcess(code); });
    if (status) return *status;
    return QCoreApplication::exec();
}

int runTrayApplication(const CommandLine& line, int argc, char** argv) {
    // Without any display the program still runs, with nothing on screen.
    if (!hasDisplay()) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    QtMainLoop loop;
    ThreadPoolWorkQueue background;
    JsonFileDefaults defaults;
    DesktopServices desktop(defaults);
    XInputButtonMonitor buttons;
    X11HotKeyService hotKeys;
    XdgAutostartLoginItem loginItem;
    QtAlertPresenter alerts;
    NoStatusItem statusItem;

    std::unique_ptr<ReplaySource> replay;
    HidManagerFactory managers = [] { return std::make_unique<HidrawManager>(); };
    std::function<double()> sampleClock; // the monotonic clock, unless a recording keeps its own timeline
    if (line.replayFile) {
        replay = std::make_unique<ReplaySource>(loop, *line.replayFile, line.replaySpeed);
        managers = replay->managerFactory();
        sampleClock = [source = replay.get()] { return source->currentReportTime(); };
    }

    AppWindows windows(loop, desktop.workspace);
    AppDelegate delegate(AppServices{loop, background, defaults, managers, sampleClock, buttons, hotKeys, loginItem,
                                     alerts, statusItem, desktop.modeServices(loop, background, defaults), std::nullopt,
                                     [] { QCoreApplication::quit(); }, windows.calibrationFactory(),
                                     windows.modeEditorOpener(), nullptr});
    windows.delegate = &delegate;

    std::unique_ptr<ExitWhenSettled> exitWhenSettled;
    if (replay && line.exitWhenDone) {
        exitWhenSettled = std::make_unique<ExitWhenSettled>(
            loop, [&delegate] { return delegate.gestureInProgress(); },
            [&delegate] { return delegate.longestGestureWindow(); }, [] { QCoreApplication::quit(); });
        replay->onFinished = [settle = exitWhenSettled.get()] { settle->recordingFinished(); };
    }

    loop.post([&] { delegate.applicationDidFinishLaunching(); });
    endProcess(QApplication::exec());
}

} // namespace knokle
