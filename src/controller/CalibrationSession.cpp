#include "controller/CalibrationSession.h"

#include "sensing/Firmness.h"

#include <algorithm>

namespace knokle {

CalibrationSession::CalibrationSession(MainLoop& loop, Settings& settings, TapPipeline& pipeline,
                                       PanelFactory makePanel)
    : loop(loop), settings(settings), pipeline(pipeline), makePanel(std::move(makePanel)) {}

CalibrationSession::~CalibrationSession() {
    *alive = false;
}

std::function<void()> CalibrationSession::guarded(std::function<void()> fn) const {
    return [token = std::weak_ptr<bool>(alive), fn = std::move(fn)] {
        auto held = token.lock();
        if (held && *held) fn();
    };
}

bool CalibrationSession::isVisible() const {
    return panel && panel->isVisible();
}

CalibrationSetup CalibrationSession::setup() const {
    CalibrationSetup s;
    s.firmness = settings.firmness();
    s.cooldown = settings.cooldownSeconds();
    s.hotkeyDisplay = shownHotkey ? shownHotkey() : settings.hotkeyText();
    s.autoPause = settings.autoPause();
    s.thresholdG = pipeline.levelThreshold();
    s.markerFraction = firmnessLevel(s.firmness).markerFraction;
    return s;
}

void CalibrationSession::showHotkey(const std::string& display) {
    if (panel) panel->setHotkeyDisplay(display);
}

void CalibrationSession::show() {
    pipeline.reset();
    if (panel && !panel->isVisible()) {
        // Hidden since it was built: the menu, the defaults command or another window may have changed these.
        panel->refresh(setup());
    } else if (!panel && makePanel) {
        panel = makePanel(setup());
        if (panel) wire(*panel);
    }
    if (panel) {
        panel->resetFooter();
        panel->present();
    }
    if (onFiringChanged) onFiringChanged();
}

void CalibrationSession::wire(CalibrationPanel& p) {
    std::weak_ptr<bool> token = alive;
    p.onFirmnessChange = [this, token](int level) {
        if (!token.expired()) chooseFirmness(level);
    };
    p.onCooldownChange = [this, token](double seconds) {
        if (token.expired()) return;
        settings.setCooldownSeconds(seconds);
        pipeline.setCooldown(seconds);
    };
    p.onAutoPauseChange = [this, token](bool on) {
        if (token.expired()) return;
        settings.setAutoPause(on);
        if (onSettingsChanged) onSettingsChanged();
    };
    p.onRecordingChange = [this, token](bool listening) {
        if (!token.expired() && onRecordingChange) onRecordingChange(listening);
    };
    p.onHotkeyChange = [this, token](std::uint32_t key, std::uint32_t mods, const std::string& display) {
        if (!token.expired() && onHotkeyChange) onHotkeyChange(key, mods, display);
    };
    p.onClose = [this, token] {
        if (!token.expired() && onFiringChanged) onFiringChanged();
    };
}

void CalibrationSession::chooseFirmness(int picked) {
    const FirmnessLevel& row = firmnessLevel(userFirmness(picked));
    settings.setFirmness(row.level);
    pipeline.applyFirmness(row.level, settings.cooldownSeconds());
    if (panel) panel->showFirmness(row.level, pipeline.levelThreshold(), row.markerFraction);
    if (onFiringChanged) onFiringChanged();
    if (onSettingsChanged) onSettingsChanged();
}

void CalibrationSession::showSourceNote(const std::string& note) {
    if (panel) panel->setSourceNote(note);
}

template <typename Fn> void CalibrationSession::whenVisible(Fn fn) {
    if (!isVisible()) return;
    loop.post(guarded([this, fn] {
        if (panel) fn(*panel);
    }));
}

void CalibrationSession::acceptedPeak(double peak) {
    whenVisible([peak](CalibrationPanel& p) { p.setDisplayLevel(std::max(p.displayLevel(), peak)); });
}

void CalibrationSession::cooldownChanged(bool on) {
    whenVisible([on](CalibrationPanel& p) {
        p.setOnCooldown(on);
        p.refreshStatus();
    });
}

void CalibrationSession::countChanged(int count) {
    whenVisible([count](CalibrationPanel& p) { p.showRunning(count); });
}

void CalibrationSession::gestureDetected(int count) {
    loop.post(guarded([this, count] {
        if (panel) panel->flashDetected(count);
    }));
}

} // namespace knokle
