#pragma once

#include "modes/ModeManager.h"
#include "platform/AlertPresenter.h"
#include "platform/HidManager.h"
#include "platform/HotKeyService.h"
#include "platform/LoginItem.h"
#include "platform/MainLoop.h"
#include "platform/MouseButtonMonitor.h"
#include "platform/UserDefaults.h"
#include "platform/WorkQueue.h"
#include "sensing/ClickWatcher.h"
#include "sensing/MotionSensor.h"
#include "sensing/SlapCounter.h"
#include "sensing/SlapDetector.h"
#include "shell/CalibrationPanel.h"
#include "shell/Hotkey.h"
#include "shell/Settings.h"
#include "shell/StatusItem.h"

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
    std::function<double()> sampleClock; // stamps accelerometer samples
    MouseButtonMonitor& buttons;
    HotKeyService& hotKeys;
    LoginItem& loginItem;
    AlertPresenter& alerts;
    StatusItem& statusItem;
    std::shared_ptr<const ModeServices> modeServices;
    std::optional<std::filesystem::path> storeURL; // nothing: the default store
    std::function<void()> terminate;               // ends the application
    // Makes the calibration window; empty while the program has none.
    std::function<std::unique_ptr<CalibrationPanel>(const CalibrationSetup&)> makeCalibration;
    // Opens the mode editor; empty while the program has none.
    std::function<void()> openModeEditor;
    // Looks up an environment variable (getenv by default).
    std::function<const char*(const char*)> environment;
};

// The application controller: owns the tap pipeline from sensor to modes, the settings' effects, the armed
// state, the status menu's content and the hot key. Everything here runs on the main loop.
class AppDelegate {
public:
    explicit AppDelegate(AppServices services);
    ~AppDelegate();
    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;

    // "1" exactly, nothing else.
    static bool dryRunFromEnvironment(const char* value);

    void applicationDidFinishLaunching();

    // Settings and arming.
    bool tapsActive() const { return settings.tapsActive(); }
    bool autoPause() const { return settings.autoPause(); }
    std::uint32_t hotkeyKeyCode() const { return settings.hotkeyKeyCode(); }
    std::uint32_t hotkeyMods() const { return settings.hotkeyMods(); }
    void setArmed(bool on);
    void toggleActive();
    void toggleAutoPause();
    void applyFirmness(std::int64_t level);
    void refreshMaxCount();
    void toggleOpenAtLogin();

    // Menu.
    void rebuildMenu();
    std::vector<MenuItem> menuNeedsUpdate(); // the content at the moment the menu opens
    void perform(const MenuItem& item);      // a menu item was chosen
    void flashMenuBarIcon();

    // Pipeline.
    void handleImpact(double force);
    void handleGesture(int count);
    void reportNoSensor();
    void testMode(const std::optional<Uuid>& representedObject);
    void quit();

    // Windows.
    void showCalibration();
    void editModes();
    void calibrationClosed();
    bool calibrationVisible() const;

    // Calibration-window handlers.
    void calibrationFirmnessChanged(int level);
    void calibrationCooldownChanged(double seconds);
    void calibrationHotkeyChanged(std::uint32_t keyCode, std::uint32_t modifiers, const std::string& display);
    void calibrationAutoPauseChanged(bool on);

    // Whether taps are being counted into a gesture right now.
    bool gestureInProgress() const { return counter.currentCount() > 0; }

    MotionSensor sensor;
    SlapDetector detector;
    SlapCounter counter;
    std::shared_ptr<ModeManager> modeManager;
    ClickWatcher clicks;
    std::unique_ptr<CalibrationPanel> calibration;
    std::unique_ptr<GlobalHotKey> armHotKey;
    bool sensorMissing = false;
    const bool dryRun;

private:
    void wireUpPipeline();
    void registerHotKey();
    void runInBackground(const SlapMode& mode);
    MenuInputs menuInputs() const;
    // Wraps fn so that it does nothing once the controller is gone.
    std::function<void()> guarded(std::function<void()> fn) const;

    AppServices services;
    Settings settings;
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);
};

} // namespace knokle
