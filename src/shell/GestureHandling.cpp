#include "common/DiagnosticOutput.h"
#include "common/TextFormat.h"
#include "shell/AppDelegate.h"

namespace knokle {

void AppDelegate::handleImpact(double force) {
    // The jolt of a mouse or trackpad click is not a tap.
    if (clicks.secondsSinceLastClick(services.loop.now()) < 0.25) {
        printLine("[click] impact ignored — trackpad/mouse click");
        return;
    }
    printLine(format("[impact] force x%.2f", force));
    flashMenuBarIcon();
    counter.registerImpact();
}

void AppDelegate::handleGesture(int count) {
    if (count < 1) return;
    detector.sequenceActive = false;
    services.loop.post(guarded([this, count] {
        if (calibration) calibration->flashDetected(count);
    }));
    if (calibrationVisible()) {
        printLine(format("[test] %d-tap detected (actions suppressed while testing)", count));
        return;
    }
    if (!settings.tapsActive()) {
        printLine(format("[paused] %d-tap detected (taps are paused)", count));
        return;
    }
    if (auto mode = modeManager->mode(count); !mode) {
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
    alert.messageText = "This Mac has no motion sensor";
    alert.informativeText = "Knokle detects taps with the built-in accelerometer, which only MacBooks have. Desktop "
                            "Macs (mini, Studio, iMac, Pro) can't detect taps, so Knokle won't be able to do anything "
                            "here.";
    alert.buttons = {"Quit Knokle", "Leave Running"};
    if (services.alerts.runModal(alert) == 0) quit();
}

void AppDelegate::testMode(const std::optional<Uuid>& representedObject) {
    if (!representedObject) return;
    for (const auto& mode : modeManager->modes) {
        if (mode.id == *representedObject) {
            runInBackground(mode);
            return;
        }
    }
}

} // namespace knokle
