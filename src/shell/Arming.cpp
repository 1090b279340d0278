#include "common/DiagnosticOutput.h"
#include "shell/AppDelegate.h"

#include <algorithm>

namespace knokle {
namespace {

struct Windows {
    double initial, max;
};
constexpr Windows kFirmnessWindows[] = {{1.0, 1.4}, {1.3, 1.8}, {2.2, 3.0}};

bool hasAction(const SlapMode& mode) {
    return !mode.openApps.empty() || !mode.openURLs.empty() || !mode.quitApps.empty() || !mode.closeURLs.empty() ||
           (mode.focusModeIdentifier && !mode.focusModeIdentifier->empty());
}

} // namespace

void AppDelegate::setArmed(bool on) {
    if (on == settings.tapsActive()) return;
    settings.setTapsActive(on);
    if (on) {
        // Nothing half-counted from before the pause may complete a gesture.
        detector.reset();
        counter.reset();
    }
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
    detector.level = static_cast<int>(std::clamp<std::int64_t>(level, 1, 3));
    const Windows& row = kFirmnessWindows[std::clamp<std::int64_t>(level - 1, 0, 2)];
    counter.initialWindow = row.initial;
    counter.maxWindow = row.max;
    counter.cooldown = settings.cooldownSeconds();
    refreshMaxCount();
}

void AppDelegate::refreshMaxCount() {
    counter.maxCount = 3;
    // While the user tests taps, gestures of every length are recognised.
    if (calibrationVisible()) {
        counter.fireAtCount = 3;
        return;
    }
    std::optional<std::int64_t> largest;
    for (const auto& mode : modeManager->modes)
        if (hasAction(mode)) largest = std::max(largest.value_or(mode.slapCount), mode.slapCount);
    counter.fireAtCount = largest ? static_cast<int>(std::clamp<std::int64_t>(*largest, 1, 3)) : 3;
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

void AppDelegate::calibrationFirmnessChanged(int level) {
    settings.setFirmness(level <= 1 ? 1 : 2);
    applyFirmness(level);
    if (calibration) {
        calibration->setThresholdG(detector.levelThreshold());
        calibration->setMarkerFraction(CalibrationPanel::markerFractions[calibration->firmness() <= 1 ? 0 : 1]);
        calibration->setNeedsDisplay();
    }
    rebuildMenu();
}

void AppDelegate::calibrationCooldownChanged(double seconds) {
    settings.setCooldownSeconds(seconds);
    counter.cooldown = seconds;
}

void AppDelegate::calibrationHotkeyChanged(std::uint32_t keyCode, std::uint32_t modifiers, const std::string& display) {
    settings.setHotkey(keyCode, modifiers, display);
    // The new registration first, then the old one goes; the shortcut may be the same combination.
    auto previous = std::move(armHotKey);
    registerHotKey();
    previous.reset();
    rebuildMenu();
}

void AppDelegate::calibrationAutoPauseChanged(bool on) {
    settings.setAutoPause(on);
    rebuildMenu();
}

} // namespace knokle
