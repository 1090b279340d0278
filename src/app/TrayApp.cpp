#include "app/TrayApp.h"

#include "app/AppWindows.h"
#include "app/RecordingReplay.h"
#include "app/StandInServices.h"
#include "common/DiagnosticOutput.h"
#include "controller/AppDelegate.h"
#include "controller/ExecMode.h"
#include "controller/ExitWhenSettled.h"
#include "controller/MicrophoneListening.h"
#include "controller/NoTrayAlert.h"
#include "controller/Settings.h"
#include "platform/SensorAccess.h"
#include "platform/linux/audio/PulseAudioCapture.h"
#include "platform/linux/browsers/DesktopBrowserScripting.h"
#include "platform/linux/desktop/DesktopLook.h"
#include "platform/linux/desktop/DesktopSessionPrivacy.h"
#include "platform/linux/desktop/DesktopTrayHost.h"
#include "platform/linux/desktop/ExecutableShortcutRunner.h"
#include "platform/linux/desktop/GioWorkspace.h"
#include "platform/linux/desktop/XdgAutostartLoginItem.h"
#include "platform/linux/desktop/XdgFolders.h"
#include "platform/linux/runtime/JsonFileDefaults.h"
#include "platform/linux/runtime/QtMainLoop.h"
#include "platform/linux/runtime/SystemClock.h"
#include "platform/linux/runtime/ThreadPoolWorkQueue.h"
#include "platform/linux/sensors/HidrawManager.h"
#include "platform/linux/sensors/HidrawSensorAccess.h"
#include "platform/linux/sensors/LinuxAccelerometerPort.h"
#include "platform/linux/sockets/UnixSocketSingleInstance.h"
#include "platform/linux/wayland/SessionServices.h"
#include "platform/linux/wayland/WaylandWindowActivation.h"
#include "platform/linux/x11/X11WindowActivation.h"
#include "sensing/LowRateTapSource.h"
#include "sensing/ReplayAccelerometerPort.h"
#include "sensing/SoundTapSource.h"
#include "viewmodels/AccelerometerStatus.h"
#include "widgets/QtAlertPresenter.h"
#include "widgets/StatusIcon.h"
#include "widgets/TrayStatusItem.h"
#include "widgets/WindowPresenter.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <unistd.h>

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
    std::unique_ptr<WindowControl> windowControl = makeWindowControl(std::getenv);
    WindowControl& windows = *windowControl;
    DesktopBrowserScripting browsers;
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
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"})
        if (const char* value = std::getenv(name); value && *value) return true;
    return false;
}

// Asked for explicitly (tests, the demo): the program runs without a tray item or anything on screen.
bool headless() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    std::string_view name = platform ? platform : "";
    return name.rfind("offscreen", 0) == 0 || name.rfind("minimal", 0) == 0;
}

// At login the program may start before the panel that shows it.
bool waitForTrayHost(const TrayHost& host) {
    QEventLoop wait;
    QTimer poll;
    int polls = 0;
    QObject::connect(&poll, &QTimer::timeout, &wait, [&] {
        if (host.available() || ++polls >= 40) wait.quit();
    });
    if (host.available()) return true;
    poll.start(250);
    wait.exec();
    return host.available();
}

std::filesystem::path modesFile() {
    return XdgFolders().data() / "modes.json";
}

// The 1 kHz sensor is there (readable or not): it comes first.
bool builtInSensorPresent() {
    HidrawManager probe;
    probe.setDeviceMatching(
        {kAccelerometerVendorID, kAccelerometerProductID, kAccelerometerUsagePage, kAccelerometerUsage});
    auto devices = probe.matchedDevices();
    return devices && !devices->empty();
}

AccelerometerStatus statusOf(const LowRateTapSource& source) {
    return accelerometerStatus(source.device(), source.lowRateDetector().effectiveRate(), source.reading());
}

void sayAccelerometerStatus(const LowRateTapSource& source) {
    AccelerometerStatus status = statusOf(source);
    printLine("[accelerometer] " + status.device + (status.advice.empty() ? "" : ". " + status.advice));
}

std::string environmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

} // namespace

int runExecModeProcess(const std::string& path, int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QtMainLoop loop;
    ThreadPoolWorkQueue background;
    JsonFileDefaults defaults;
    DesktopServices desktop(defaults);
    auto status = startExecMode(path, desktop.modeServices(loop, background, defaults), modesFile(), loop, background,
                                [](int code) { endProcess(code); });
    if (status) return *status;
    return QCoreApplication::exec();
}

int runTrayApplication(const CommandLine& line, int argc, char** argv) {
    // One program per settings folder: a second launch shows the running one instead.
    std::error_code ignored;
    UnixSocketSingleInstance instance(
        std::filesystem::weakly_canonical(JsonFileDefaults::defaultFile().parent_path(), ignored).string());
    switch (instance.claim({environmentValue("DESKTOP_STARTUP_ID"), environmentValue("XDG_ACTIVATION_TOKEN")})) {
    case SingleInstance::Claim::handedOver:
        printLine("[info] Knokle is already running; it shows its Test Taps window.");
        return 0;
    case SingleInstance::Claim::noAnswer:
        printLine("[info] Knokle is already running but does not answer; quit it and start it again.");
        return 1;
    case SingleInstance::Claim::unavailable:
        if (UnixSocketSingleInstance::defaultRuntimeFolder().empty())
            printLine("[info] Knokle cannot tell whether it already runs: without XDG_RUNTIME_DIR it uses "
                      "/tmp/knokle-" +
                      std::to_string(::getuid()) +
                      ", which is not a folder of yours alone; set XDG_RUNTIME_DIR to a folder only you can enter, "
                      "or have that one removed.");
        break;
    case SingleInstance::Claim::primary:
        break;
    }
    bool withTray = !headless();
    // An alert nobody can see would only hang there.
    if (withTray && !hasDisplay()) {
        printLine("[info] No display to show Knokle on: start it in a desktop session (DISPLAY is not set).");
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    // Docks and task switchers match the windows to the desktop entry by these (WM_CLASS "knokle", "Knokle").
    QGuiApplication::setDesktopFileName("org.knokle.Knokle");
    QCoreApplication::setApplicationName("Knokle"); // the class part of WM_CLASS
    QApplication::setWindowIcon(StatusIcon::applicationIcon());
    bool testTapsOnly = false;
    if (withTray && !waitForTrayHost(DesktopTrayHost())) {
        printLine("[info] No tray to show Knokle in: the desktop shows no tray items (on GNOME, turn on the "
                  "AppIndicator extension).");
        // Started from the application menu, a line on standard output is seen by no one.
        QtAlertPresenter noTray;
        if (noTray.runModal(noTrayAlert(environmentValue("XDG_CURRENT_DESKTOP"))) !=
            static_cast<int>(NoTrayAnswer::openTestTaps))
            return 1;
        withTray = false;
        testTapsOnly = true;
    }

    QtMainLoop loop;
    ThreadPoolWorkQueue background;
    JsonFileDefaults defaults;
    DesktopServices desktop(defaults);
    // X11 or Wayland realisations, chosen once from the session type.
    SessionServices session = makeSessionServices(std::getenv);
    MouseButtonMonitor& buttons = *session.buttons;
    HotKeyService& hotKeys = *session.hotKeys;
    XdgAutostartLoginItem loginItem;
    QtAlertPresenter alerts;
    NoStatusItem noStatusItem;
    std::unique_ptr<TrayStatusItem> tray;
    if (withTray) {
        tray = std::make_unique<TrayStatusItem>();
        tray->setDesktopLook(readDesktopLook);
    }
    bool onX11 = QGuiApplication::platformName() == "xcb";
    bool onWayland = QGuiApplication::platformName().startsWith("wayland");
    std::unique_ptr<WindowActivation> activation;
    if (onWayland)
        activation = std::make_unique<WaylandWindowActivation>();
    else
        activation = std::make_unique<X11WindowActivation>();
    WindowPresenter presenter([&activation, onX11, onWayland](QWidget* window) {
        if (onX11 || onWayland) activation->activate(window->winId());
    });

    std::optional<RecordingReplay> replay;
    if (line.replayFile) replay.emplace(loop, *line.replayFile, line.replaySpeed);
    MainLoop& tapLoop = replay ? replay->tapLoop() : loop;
    TapSourceFactory tapSource = replay ? replay->soundSource() : nullptr;
    HidManagerFactory managers = [] { return std::make_unique<HidrawManager>(); };
    std::function<double()> sampleClock; // the monotonic clock, unless a recording keeps its own timeline
    if (replay && replay->reports()) {
        managers = replay->managers();
        sampleClock = replay->sampleClock();
    }
    std::unique_ptr<HidrawSensorAccess> sensorAccess;
    if (!replay) sensorAccess = std::make_unique<HidrawSensorAccess>();
    // Listening is live only: a replay never opens the microphone.
    std::unique_ptr<DesktopSessionPrivacy> privacy;
    std::function<std::pair<std::unique_ptr<TapSource>, AudioCapture*>()> makeMicrophoneSource;
    if (!line.replayFile) {
        privacy = std::make_unique<DesktopSessionPrivacy>();
        makeMicrophoneSource = [&loop, &defaults] {
            auto capture = std::make_unique<PulseAudioCapture>(loop);
            AudioCapture* handle = capture.get();
            return std::pair<std::unique_ptr<TapSource>, AudioCapture*>(
                std::make_unique<SoundTapSource>(loop, std::move(capture), Settings(defaults).microphoneSource()), handle);
        };
    }
    // A recording brought down to a slower accelerometer's rate goes through the low-rate detector.
    std::unique_ptr<AccelerometerPort> lowRatePort;
    if (replay && replay->reports() && line.replayRate) {
        lowRatePort = std::make_unique<ReplayAccelerometerPort>(managers, sampleClock, *line.replayRate);
    } else if (!line.replayFile && !builtInSensorPresent()) {
        // Without the 1 kHz sensor, an accelerometer the system exposes at a lower rate, if there is one.
        auto port = std::make_unique<LinuxAccelerometerPort>(loop);
        if (!port->discover().empty()) lowRatePort = std::move(port);
    }
    std::weak_ptr<LowRateTapSource*> lowRateSource; // owned by the pipeline, which may replace it
    CalibrationPanel* calibrationPanel = nullptr; // Test Taps, owned by the delegate, made on first use
    std::function<std::vector<std::string>()> sourceNotes;
    if (lowRatePort) {
        tapSource = [&] {
            auto source = std::make_unique<LowRateTapSource>(loop, *lowRatePort);
            source->onStatusChanged = [s = source.get(), &calibrationPanel, &defaults, &makeMicrophoneSource] {
                sayAccelerometerStatus(*s);
                AccelerometerStatus status = statusOf(*s);
                if (calibrationPanel) calibrationPanel->setSourceNote(testTapsNote(status));
                // Too slow for taps: `auto` listens with the microphone instead, where the user turned it on.
                Settings settings(defaults);
                if (s->reading() && !status.usable && makeMicrophoneSource && s->onUnavailable &&
                    chooseTapSource(settings.tapSource(), AccelerometerFit::tooSlow, settings.microphoneEnabled()) ==
                        TapSourceKind::microphone) {
                    printLine("[accelerometer] Too slow for taps; the microphone listens instead.");
                    s->onUnavailable();
                }
            };
            lowRateSource = source->handle();
            return source;
        };
        sourceNotes = [&lowRateSource] {
            auto held = lowRateSource.lock();
            if (!held) return std::vector<std::string>{};
            AccelerometerStatus status = statusOf(**held);
            return std::vector<std::string>{"Accelerometer: " + status.device, status.advice};
        };
    }

    AppWindows windows(loop, desktop.workspace);
    // Test Taps names the accelerometer, its measured rate and how to raise it, as the menu does.
    // No factory where no window can be shown (offscreen): the session then knows there is no Test Taps window.
    std::function<std::unique_ptr<CalibrationPanel>(const CalibrationSetup&)> makeCalibration;
    if (auto make = windows.calibrationFactory()) {
        makeCalibration = [make, &calibrationPanel, &lowRateSource](const CalibrationSetup& setup) {
            auto panel = make(setup);
            calibrationPanel = panel.get();
            if (auto held = lowRateSource.lock(); panel && held) panel->setSourceNote(testTapsNote(statusOf(**held)));
            return panel;
        };
    }
    windows.present = [&presenter](QWidget* window) { presenter.present(window, nullptr); };
    // Without a tray, Test Taps is the program's one window: closing it ends the program.
    // Ended outright: an alert may be open in a loop of its own, which exit() would only leave.
    if (testTapsOnly) windows.onCalibrationClosed = [] { endProcess(0); };
    AppDelegate delegate(AppServices{.loop = tapLoop,
                                     .background = background,
                                     .defaults = defaults,
                                     .hidManagers = managers,
                                     .sampleClock = sampleClock,
                                     .buttons = buttons,
                                     .hotKeys = hotKeys,
                                     .loginItem = loginItem,
                                     .alerts = alerts,
                                     .statusItem = tray ? static_cast<StatusItem&>(*tray) : noStatusItem,
                                     .modeServices = desktop.modeServices(loop, background, defaults),
                                     .storeURL = modesFile(),
                                     .terminate =
                                         [&tray] {
                                             // Taken off the panel first: the panel need not notice the lost
                                             // connection on its own, which it did only after a second or more.
                                             if (tray) tray->hide();
                                             endProcess(0);
                                         },
                                     .makeCalibration = makeCalibration,
                                     .openModeEditor = windows.modeEditorOpener(),
                                     .environment = nullptr,
                                     .sensorAccess = sensorAccess.get(),
                                     .tapSource = tapSource,
                                     .makeMicrophoneSource = makeMicrophoneSource,
                                     .inputActivity = session.inputActivity.get(),
                                     .privacy = privacy.get(),
                                     .sourceNotes = sourceNotes});
    windows.modeManager = [&delegate] { return delegate.sharedModeManager(); };
    windows.onModesChanged = [&delegate] { delegate.modesChanged(); };
    if (tray) {
        tray->menuContent = [&delegate] { return delegate.menuContent(); };
        tray->onChoose = [&delegate](const MenuItem& item) { delegate.perform(item); };
        // On the panel at once; launching (sensor, shortcut, first calibration) follows.
        tray->setMenu(delegate.menuContent());
        tray->show();
    }
    instance.listen([&](const LaunchRequest& launch) {
        activation->completeLaunch(onWayland ? launch.activationToken : launch.startupId);
        delegate.reopen();
    });

    std::unique_ptr<ExitWhenSettled> exitWhenSettled;
    if (replay && line.exitWhenDone) {
        exitWhenSettled = std::make_unique<ExitWhenSettled>(
            tapLoop, [&delegate] { return delegate.gestureInProgress(); },
            [&delegate] { return delegate.longestGestureWindow(); },
            // A recording cut short by a bad line is a failure, whatever was played before it.
            [&replay] { QCoreApplication::exit(replay->endedOnError() ? 1 : 0); });
        replay->onFinished([settle = exitWhenSettled.get()] { settle->recordingFinished(); });
    }

    loop.post([&] { delegate.launch(); });
    if (testTapsOnly) loop.post([&] { delegate.showCalibration(); });
    endProcess(QApplication::exec());
}

} // namespace knokle
