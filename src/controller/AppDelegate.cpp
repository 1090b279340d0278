#include "controller/AppDelegate.h"

#include "common/DiagnosticOutput.h"
#include "common/TextFormat.h"
#include "controller/SensorAccessAlert.h"
#include "sensing/Firmness.h"

#include <algorithm>
#include <cstdlib>

namespace knokle {

namespace {

// A mode without any action can do nothing: it neither fires nor keeps the counter waiting for its count.
bool hasAction(const SlapMode& mode) {
    return !mode.openApps.empty() || !mode.openURLs.empty() || !mode.quitApps.empty() || !mode.closeURLs.empty() ||
           (mode.focusModeIdentifier && !mode.focusModeIdentifier->empty());
}

} // namespace

bool AppDelegate::dryRunFromEnvironment(const char* value) {
    return value && std::string_view(value) == "1";
}

AppDelegate::AppDelegate(AppServices s)
    : services(std::move(s)), settings(services.defaults),
      microphone(settings, services.alerts, services.privacy, pipeline, services.makeMicrophoneSource,
                 services.inputActivity),
      pipeline(services.loop, services.hidManagers, services.sampleClock, services.buttons),
      modeManager(std::make_shared<ModeManager>(services.modeServices, services.storeURL)),
      calibration(services.loop, settings, pipeline, services.makeCalibration),
      armShortcut(services.hotKeys, services.loop, settings),
      dryRun(dryRunFromEnvironment(services.environment ? services.environment("KNOKLE_DRYRUN")
                                                        : std::getenv("KNOKLE_DRYRUN"))) {
    if (services.tapSource) pipeline.replaceSource(services.tapSource());
    calibration.onSettingsChanged = guarded([this] { rebuildMenu(); });
    calibration.onFiringChanged = guarded([this] {
        refreshMaxCount();
        followMicrophone();
    });
    calibration.onHotkeyChange = [this, token = std::weak_ptr<bool>(alive)](std::uint32_t keyCode,
                                                                           std::uint32_t modifiers,
                                                                           const std::string& display) {
        if (token.expired()) return;
        armShortcut.changed(keyCode, modifiers, display);
        rebuildMenu();
    };
    calibration.onRecordingChange = [this, token = std::weak_ptr<bool>(alive)](bool listening) {
        if (!token.expired()) armShortcut.recordingChanged(listening);
    };
    calibration.shownHotkey = [this] { return shownHotkey(); };
    armShortcut.onPress = guarded(&AppDelegate::toggleActive);
    armShortcut.onShownChanged = guarded([this] {
        calibration.showHotkey(shownHotkey());
        rebuildMenu();
    });
}

AppDelegate::~AppDelegate() {
    *alive = false;
}

std::function<void()> AppDelegate::guarded(std::function<void()> fn) const {
    return [token = std::weak_ptr<bool>(alive), fn = std::move(fn)] {
        auto held = token.lock();
        if (held && *held) fn();
    };
}

template <typename... Args> std::function<void(Args...)> AppDelegate::guarded(void (AppDelegate::*method)(Args...)) {
    return [this, token = std::weak_ptr<bool>(alive), method](Args... args) {
        auto held = token.lock();
        if (held && *held) (this->*method)(args...);
    };
}

void AppDelegate::launch() {
    // The status item and its first menu (an accessory program has no main menu bar to install).
    services.statusItem.setIcon(false);
    rebuildMenu();
    wireUpPipeline();
    microphone.onChanged = guarded([this] { rebuildMenu(); });
    if (settings.tapSource() == TapSourceChoice::microphone && microphone.chosen(false)) useMicrophone();
    pipeline.onUnavailable = [this, token = std::weak_ptr<bool>(alive)] {
        if (token.expired() || microphone.attached()) return;
        if (microphone.chosen(false)) {
            // No accelerometer, and the user has already chosen to listen.
            services.loop.post(guarded([this] { useMicrophone(); }));
            return;
        }
        sensorMissing = true;
        // Queued, so that the report never runs inside the sensor's own start-up.
        services.loop.post(guarded([this] { reportNoSensor(); }));
    };
    pipeline.start();
    if (auto why = services.buttons.limitation())
        printLine("[info] The click veto is off in this session: " + *why + ".");
    services.hotKeys.onBindingChange([this, token = std::weak_ptr<bool>(alive)](const HotKeyBinding& binding) {
        if (!token.expired()) armShortcut.bindingChanged(binding);
    });
    armShortcut.registerStored();
    if (sensorMissing) return;
    if (services.sensorAccess) sensorUnreadable = services.sensorAccess->unreadableSensor();
    if (sensorUnreadable) {
        rebuildMenu();
        // Calibrating a sensor that delivers nothing would only confuse; onboarding waits for a readable one.
        services.loop.post(guarded([this] { reportUnreadableSensor(*sensorUnreadable); }));
        return;
    }
    if (!settings.didOnboard()) {
        // Written first, so a crash during the first calibration does not repeat it.
        settings.setDidOnboard(true);
        showCalibration();
    }
}

void AppDelegate::wireUpPipeline() {
    applyFirmness(settings.firmness());
    pipeline.onAcceptedPeak = [this, token = std::weak_ptr<bool>(alive)](double peak) {
        if (!token.expired()) calibration.acceptedPeak(peak);
    };
    pipeline.onImpact = [this, token = std::weak_ptr<bool>(alive)](double) {
        if (!token.expired()) flashMenuBarIcon();
    };
    pipeline.onCooldownChanged = [this, token = std::weak_ptr<bool>(alive)](bool on) {
        if (!token.expired()) calibration.cooldownChanged(on);
    };
    pipeline.onCountChanged = [this, token = std::weak_ptr<bool>(alive)](int count) {
        if (!token.expired()) calibration.countChanged(count);
    };
    pipeline.onGesture = guarded(&AppDelegate::handleGesture);
}

void AppDelegate::useMicrophone() {
    if (!microphone.use()) return;
    sensorMissing = false;
    rebuildMenu();
}

void AppDelegate::toggleMicrophone() {
    if (microphone.toggle(!sensorMissing)) sensorMissing = false;
    rebuildMenu();
}

void AppDelegate::chooseMicrophone(const std::string& name) {
    microphone.choose(name);
    rebuildMenu();
}

void AppDelegate::handleGesture(int count) {
    calibration.gestureDetected(count);
    if (calibration.isVisible()) {
        printLine(format("[test] %d-tap detected (actions suppressed while testing)", count));
        return;
    }
    if (!settings.tapsActive()) {
        printLine(format("[paused] %d-tap detected (taps are paused)", count));
        return;
    }
    auto mode = modeManager->mode(count);
    if (!mode || !hasAction(*mode)) {
        printLine(format("[info] %d-tap gesture, but no mode configured for that count.", count));
    } else if (dryRun) {
        std::vector<std::string> opens = mode->openApps;
        opens.insert(opens.end(), mode->openURLs.begin(), mode->openURLs.end());
        printLine(format("[DRY RUN] %d-tap -> would run '", count) + mode->name + "' (opens: " + quotedList(opens) +
                  ", quits: " + quotedList(mode->quitApps) + ")");
    } else {
        printLine(format("[FIRE] %d-tap -> running '", count) + mode->name + "'");
        runInBackground(*mode);
        if (settings.autoPause()) {
            // Directly, not through setArmed: nothing is reset, and the menu is rebuilt below.
            settings.setTapsActive(false);
            printLine("[auto-pause] taps paused after firing");
        }
    }
    services.loop.post(guarded([this] { rebuildMenu(); }));
}

void AppDelegate::runInBackground(const SlapMode& mode) {
    // The manager is shared so that a run still going when the controller is gone has it.
    services.background.post([manager = modeManager, mode] { manager->execute(mode); });
}

void AppDelegate::reportNoSensor() {
    sensorMissing = true;
    rebuildMenu();
    Alert alert;
    alert.style = AlertStyle::warning;
    alert.messageText = "This computer has no motion sensor";
    alert.informativeText = "Knokle detects taps with the accelerometer built into Apple-silicon MacBooks. This "
                            "computer has none that Knokle can find, so Knokle won't be able to do anything here.";
    alert.buttons = {"Quit Knokle", "Leave Running"};
    if (services.makeMicrophoneSource) {
        alert.informativeText += " It can listen for taps with the microphone instead, if you allow it.";
        alert.buttons.push_back("Use the Microphone…");
    }
    int answer = services.alerts.runModal(alert);
    if (answer == 0) quit();
    if (answer == 2) toggleMicrophone();
}

void AppDelegate::reportUnreadableSensor(const SensorAccessProblem& problem) {
    if (services.alerts.runModal(sensorAccessAlert(problem)) == 0) quit();
}

void AppDelegate::testMode(const std::optional<Uuid>& representedObject) {
    if (!representedObject) return;
    auto found = std::find_if(modeManager->modes.begin(), modeManager->modes.end(),
                              [&](const SlapMode& mode) { return mode.id == *representedObject; });
    if (found != modeManager->modes.end()) runInBackground(*found);
}

void AppDelegate::setArmed(bool on) {
    if (on == settings.tapsActive()) return;
    settings.setTapsActive(on);
    // Nothing half-counted from before the pause may complete a gesture.
    if (on) pipeline.reset();
    rebuildMenu();
}

void AppDelegate::toggleActive() {
    setArmed(!settings.tapsActive());
}

void AppDelegate::toggleAutoPause() {
    settings.setAutoPause(!settings.autoPause());
    rebuildMenu();
}

void AppDelegate::applyFirmness(std::int64_t level) {
    pipeline.applyFirmness(level, settings.cooldownSeconds());
    refreshMaxCount();
}

double AppDelegate::longestGestureWindow() const {
    return firmnessLevel(pipeline.level()).maxWindow;
}

void AppDelegate::refreshMaxCount() {
    // While the user tests taps, gestures of every length are recognised.
    if (calibration.isVisible()) {
        pipeline.setFireAtCount(3);
        return;
    }
    std::optional<std::int64_t> largest;
    for (const auto& mode : modeManager->modes)
        if (hasAction(mode)) largest = std::max(largest.value_or(mode.slapCount), mode.slapCount);
    pipeline.setFireAtCount(largest ? static_cast<int>(std::clamp<std::int64_t>(*largest, 1, 3)) : 3);
}

void AppDelegate::toggleOpenAtLogin() {
    LoginItem& item = services.loginItem;
    auto error = item.status() == LoginItemStatus::enabled ? item.unregisterItem() : item.registerItem();
    if (error) {
        Alert alert;
        alert.style = AlertStyle::warning;
        alert.messageText = "Couldn't change the login item";
        alert.informativeText = *error;
        alert.buttons = {"OK"};
        services.alerts.runModal(alert);
    }
    rebuildMenu();
}

MenuInputs AppDelegate::menuInputs() const {
    MenuInputs in;
    in.sensorMissing = sensorMissing;
    if (sensorUnreadable) in.unreadableSensor = sensorUnreadable->device;
    in.tapsActive = settings.tapsActive();
    in.autoPause = settings.autoPause();
    in.hotkeyDisplay = shownHotkey();
    in.clickVetoOff = services.buttons.limitation().has_value();
    for (const auto& mode : modeManager->modes)
        in.modes.push_back({mode.id, mode.name, mode.slapCount});
    in.loginItemStatus = services.loginItem.status();
    in.loginItemChangeable = services.loginItem.canChange();
    microphone.describe(in, sensorMissing);
    if (services.sourceNotes) in.sourceNotes = services.sourceNotes();
    return in;
}

void AppDelegate::rebuildMenu() {
    refreshMaxCount();
    followMicrophone();
    services.statusItem.setMenu(populate(menuInputs()));
}

std::vector<MenuItem> AppDelegate::menuContent() {
    // The menu is opening: microphones may have come or gone since it was last built.
    microphone.refreshSources();
    return populate(menuInputs());
}

void AppDelegate::perform(const MenuItem& item) {
    if (!item.enabled) return;
    switch (item.action) {
    case MenuAction::none:
        break;
    case MenuAction::toggleActive:
        toggleActive();
        break;
    case MenuAction::toggleAutoPause:
        toggleAutoPause();
        break;
    case MenuAction::testMode:
        testMode(item.representedObject);
        break;
    case MenuAction::showCalibration:
        showCalibration();
        break;
    case MenuAction::editModes:
        editModes();
        break;
    case MenuAction::toggleOpenAtLogin:
        toggleOpenAtLogin();
        break;
    case MenuAction::quit:
        quit();
        break;
    case MenuAction::toggleMicrophone:
        toggleMicrophone();
        break;
    case MenuAction::chooseMicrophone:
        chooseMicrophone(item.choice);
        break;
    }
}

void AppDelegate::flashMenuBarIcon() {
    if (!services.statusItem.hasButton()) return;
    services.statusItem.setIcon(true);
    // Not coalesced: each impact restores 0.15 s after itself.
    services.loop.after(Seconds(0.15), guarded([this] { services.statusItem.setIcon(false); }));
}

void AppDelegate::reopen() {
    // Without a sensor to test, the explanation is what there is to see.
    if (sensorMissing)
        reportNoSensor();
    else if (sensorUnreadable)
        reportUnreadableSensor(*sensorUnreadable);
    else
        showCalibration();
}

void AppDelegate::quit() {
    if (services.terminate) services.terminate();
}

void AppDelegate::showCalibration() {
    calibration.show();
}

void AppDelegate::editModes() {
    if (services.openModeEditor) services.openModeEditor();
}

void AppDelegate::followMicrophone() {
    // The stream is open only while taps are armed or Test Taps is open.
    microphone.follow(settings.tapsActive(), calibration.isVisible());
    if (microphone.attached()) calibration.showSourceNote(microphone.note());
}

void AppDelegate::modesChanged() {
    refreshMaxCount();
}

} // namespace knokle
