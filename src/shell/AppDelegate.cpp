#include "shell/AppDelegate.h"

#include "common/DiagnosticOutput.h"

#include <cstdlib>

namespace knokle {

bool AppDelegate::dryRunFromEnvironment(const char* value) {
    return value && std::string_view(value) == "1";
}

AppDelegate::AppDelegate(AppServices s)
    : sensor(
          s.hidManagers, s.sampleClock ? s.sampleClock : [] { return sampleClockNow(); }),
      counter(s.loop), modeManager(std::make_shared<ModeManager>(s.modeServices, s.storeURL)),
      clicks(s.buttons, s.loop),
      dryRun(dryRunFromEnvironment(s.environment ? s.environment("KNOKLE_DRYRUN") : std::getenv("KNOKLE_DRYRUN"))),
      services(std::move(s)), settings(services.defaults) {}

AppDelegate::~AppDelegate() {
    *alive = false;
}

std::function<void()> AppDelegate::guarded(std::function<void()> fn) const {
    return [token = std::weak_ptr<bool>(alive), fn = std::move(fn)] {
        auto held = token.lock();
        if (held && *held) fn();
    };
}

void AppDelegate::applicationDidFinishLaunching() {
    // The status item and its first menu (an accessory program has no main menu bar to install).
    services.statusItem.setIcon(false);
    rebuildMenu();
    clicks.start();
    wireUpPipeline();
    sensor.onUnavailable = [this, token = std::weak_ptr<bool>(alive)] {
        if (token.expired()) return;
        sensorMissing = true;
        // Queued, so that the report never runs inside the sensor's own start-up.
        services.loop.post(guarded([this] { reportNoSensor(); }));
    };
    sensor.start();
    registerHotKey();
    if (sensorMissing) return;
    if (!settings.didOnboard()) {
        // Written first, so a crash during the first calibration does not repeat it.
        settings.setDidOnboard(true);
        showCalibration();
    }
}

void AppDelegate::wireUpPipeline() {
    applyFirmness(settings.firmness());
    std::weak_ptr<bool> token = alive;
    sensor.onSample = [this, token](double x, double y, double z, double timestamp) {
        if (!token.expired()) detector.ingest(x, y, z, timestamp);
    };
    detector.onAcceptedPeak = [this, token](double peak) {
        if (token.expired() || !calibrationVisible()) return;
        services.loop.post(guarded([this, peak] {
            if (calibration) calibration->setDisplayLevel(std::max(calibration->displayLevel(), peak));
        }));
    };
    detector.onImpact = [this, token](double force) {
        if (!token.expired()) handleImpact(force);
    };
    counter.onCooldownChanged = [this, token](bool on) {
        if (token.expired() || !calibrationVisible()) return;
        services.loop.post(guarded([this, on] {
            if (!calibration) return;
            calibration->setOnCooldown(on);
            calibration->refreshStatus();
        }));
    };
    counter.onCountChanged = [this, token](int count) {
        if (token.expired()) return;
        detector.sequenceActive = true;
        if (!calibrationVisible()) return;
        services.loop.post(guarded([this, count] {
            if (calibration) calibration->showRunning(count);
        }));
    };
    counter.onGesture = [this, token](int count) {
        if (!token.expired()) handleGesture(count);
    };
}

void AppDelegate::registerHotKey() {
    HotKeyFailure failure;
    std::weak_ptr<bool> token = alive;
    armHotKey = GlobalHotKey::make(
        services.hotKeys, services.loop, settings.hotkeyKeyCode(), settings.hotkeyMods(),
        [this, token] {
            if (!token.expired()) setArmed(!tapsActive());
        },
        &failure);
    // Without this the shortcut would silently do nothing.
    if (!armHotKey && failure.kind == HotKeyFailure::Kind::inUse)
        printLine("[info] The shortcut " + settings.hotkeyDisplay() +
                  " is in use by another program; arm and pause taps from the menu instead.");
}

bool AppDelegate::calibrationVisible() const {
    return calibration && calibration->isVisible();
}

MenuInputs AppDelegate::menuInputs() const {
    MenuInputs in;
    in.sensorMissing = sensorMissing;
    in.tapsActive = settings.tapsActive();
    in.autoPause = settings.autoPause();
    in.hotkeyDisplay = settings.hotkeyDisplay();
    for (const auto& mode : modeManager->modes)
        in.modes.push_back({mode.id, mode.name, mode.slapCount});
    in.loginItemStatus = services.loginItem.status();
    in.loginItemChangeable = services.loginItem.canChange();
    return in;
}

void AppDelegate::rebuildMenu() {
    refreshMaxCount();
    services.statusItem.setMenu(populate(menuInputs()));
}

std::vector<MenuItem> AppDelegate::menuNeedsUpdate() {
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
    }
}

void AppDelegate::flashMenuBarIcon() {
    if (!services.statusItem.hasButton()) return;
    services.statusItem.setIcon(true);
    // Not coalesced: each impact restores 0.15 s after itself.
    services.loop.after(Seconds(0.15), guarded([this] { services.statusItem.setIcon(false); }));
}

void AppDelegate::quit() {
    if (services.terminate) services.terminate();
}

void AppDelegate::showCalibration() {
    detector.reset();
    counter.reset();
    if (!calibration && services.makeCalibration) {
        CalibrationSetup setup;
        setup.firmness = settings.firmness();
        setup.cooldown = settings.cooldownSeconds();
        setup.hotkeyDisplay = settings.hotkeyDisplay();
        setup.autoPause = settings.autoPause();
        setup.thresholdG = detector.levelThreshold();
        setup.markerFraction = CalibrationPanel::markerFractions[setup.firmness <= 1 ? 0 : 1];
        calibration = services.makeCalibration(setup);
        if (calibration) {
            std::weak_ptr<bool> token = alive;
            calibration->onFirmnessChange = [this, token](int level) {
                if (!token.expired()) calibrationFirmnessChanged(level);
            };
            calibration->onCooldownChange = [this, token](double seconds) {
                if (!token.expired()) calibrationCooldownChanged(seconds);
            };
            calibration->onHotkeyChange = [this, token](std::uint32_t key, std::uint32_t mods, const std::string& d) {
                if (!token.expired()) calibrationHotkeyChanged(key, mods, d);
            };
            calibration->onAutoPauseChange = [this, token](bool on) {
                if (!token.expired()) calibrationAutoPauseChanged(on);
            };
            calibration->onClose = [this, token] {
                if (!token.expired()) calibrationClosed();
            };
        }
    }
    if (calibration) {
        calibration->resetFooter();
        calibration->present();
    }
    refreshMaxCount();
}

void AppDelegate::editModes() {
    if (services.openModeEditor) services.openModeEditor();
}

void AppDelegate::calibrationClosed() {
    refreshMaxCount();
}

} // namespace knokle
