#pragma once

#include "modes/ModeManager.h"
#include "platform/AlertPresenter.h"
#include "platform/HidManager.h"
#include "platform/HotKeyService.h"
#include "platform/InputActivityMonitor.h"
#include "platform/LoginItem.h"
#include "platform/MainLoop.h"
#include "platform/MouseButtonMonitor.h"
#include "platform/SensorAccess.h"
#include "platform/SessionPrivacy.h"
#include "platform/UserDefaults.h"
#include "platform/WorkQueue.h"
#include "controller/CalibrationSession.h"
#include "controller/ArmShortcut.h"
#include "controller/Hotkey.h"
#include "controller/MicrophoneTaps.h"
#include "controller/Settings.h"
#include "controller/StatusItem.h"
#include "controller/TapPipeline.h"
#include "sensing/TapSource.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

namespace knokle {

// Everything the controller works with; all of it outlives the controller.
struct AppServices {
    MainLoop& loop;
    WorkQueue& background; // modes run here
    UserDefaults& defaults;
    HidManagerFactory hidManagers;
    std::function<double()> sampleClock; // stamps accelerometer samples; empty: the monotonic clock
    MouseButtonMonitor& buttons;
    HotKeyService& hotKeys;
    LoginItem& loginItem;
    AlertPresenter& alerts;
    StatusItem& statusItem;
    std::shared_ptr<const ModeServices> modeServices;
    std::filesystem::path storeURL;  // the modes file
    std::function<void()> terminate; // ends the application
    // Makes the calibration window; empty while the program has none.
    std::function<std::unique_ptr<CalibrationPanel>(const CalibrationSetup&)> makeCalibration;
    // Opens the mode editor; empty while the program has none.
    std::function<void()> openModeEditor;
    // Looks up an environment variable (getenv by default).
    std::function<const char*(const char*)> environment;
    // Tells why an accelerometer that is there cannot be read; none when reports come from elsewhere.
    const SensorAccess* sensorAccess = nullptr;
    // Where taps come from when not the built-in accelerometer (a sound replay, a low-rate accelerometer); empty:
    // the built-in accelerometer.
    TapSourceFactory tapSource = {};
    // Makes the microphone's tap source, with the capture under it; empty where the program cannot listen.
    MicrophoneSourceFactory makeMicrophoneSource = {};
    // Key and button presses, which the microphone's detector must not take for taps; none: not known.
    InputActivityMonitor* inputActivity = nullptr;
    // The desktop's microphone privacy switch and screen lock; none: neither is known.
    SessionPrivacy* privacy = nullptr;
    // What the menu says about the tap source; empty: nothing.
    std::function<std::vector<std::string>()> sourceNotes = {};
};

// The application controller: launch, the armed state, what a finished gesture does, the status menu's content, the
// hot key and the login item. The Test Taps window's side lives in its calibration session. Everything runs on the
// main loop.
class AppDelegate {
public:
    explicit AppDelegate(AppServices services);
    ~AppDelegate();
    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;

    // "1" exactly, nothing else.
    static bool dryRunFromEnvironment(const char* value);

    // Once the main loop runs: the status item's first menu, the tap source, the hot key, and on the first start
    // (or with a sensor that cannot be read) what the user needs to see.
    void launch();

    // The menu's content at the moment it opens, and the choice of one of its items.
    std::vector<MenuItem> menuContent();
    void perform(const MenuItem& item);

    // Menu and hot-key actions.
    void setArmed(bool on);
    void toggleActive();
    void toggleAutoPause();
    void toggleOpenAtLogin();
    void toggleMicrophone();
    void chooseMicrophone(const std::string& name);
    void testMode(const std::optional<Uuid>& representedObject);
    void showCalibration();
    void editModes();
    void quit();
    // The program was launched again while running: the user wants to see it.
    void reopen();

    // The mode editor changed the stored modes, or closed: the firing count follows the modes again.
    void modesChanged();
    // The one mode manager, shared with the mode editor so that both see the same modes.
    std::shared_ptr<ModeManager> sharedModeManager() const { return modeManager; }

    // Whether taps are being counted into a gesture that can still close.
    bool gestureInProgress() const { return pipeline.gestureInProgress(); }
    // The longest a gesture can stay open after its last tap, at the current firmness.
    double longestGestureWindow() const;

private:
    void wireUpPipeline();
    void useMicrophone();
    void handleGesture(int count);
    void reportNoSensor();
    void reportUnreadableSensor(const SensorAccessProblem& problem);
    void flashMenuBarIcon();
    std::string shownHotkey() const { return armShortcut.shown(); }
    void applyFirmness(std::int64_t level);
    void refreshMaxCount();
    void rebuildMenu();
    MenuInputs menuInputs() const;
    void followMicrophone();
    void runInBackground(const SlapMode& mode);
    // Wraps fn so that it does nothing once the controller is gone.
    std::function<void()> guarded(std::function<void()> fn) const;
    template <typename... Args> std::function<void(Args...)> guarded(void (AppDelegate::*method)(Args...));

    AppServices services;
    Settings settings;
    MicrophoneTaps microphone; // outlives the pipeline, which holds the microphone source it gates
    TapPipeline pipeline;
    std::shared_ptr<ModeManager> modeManager;
    CalibrationSession calibration;
    ArmShortcut armShortcut;
    bool sensorMissing = false;
    std::optional<SensorAccessProblem> sensorUnreadable;
    const bool dryRun;
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);
};

} // namespace knokle
