#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace knokle {

struct CalibrationSetup;

// What the controller needs of the calibration window: its visibility, its level meter, the live status it
// shows, and the four change handlers through which it edits settings.
class CalibrationPanel {
public:
    virtual ~CalibrationPanel() = default;

    virtual bool isVisible() const = 0;

    // The level meter.
    virtual double displayLevel() const = 0;
    virtual void setDisplayLevel(double level) = 0;
    // A firmness took effect: the meter's threshold and where its marker sits follow it.
    virtual void showFirmness(int level, double thresholdG, double markerFraction) = 0;

    virtual void setOnCooldown(bool on) = 0;
    virtual void refreshStatus() = 0;
    virtual void showRunning(int count) = 0;
    virtual void flashDetected(int count) = 0;
    virtual void resetFooter() = 0;
    // Which source listens and how it is going ("The microphone is muted"); empty: nothing to say.
    virtual void setSourceNote(const std::string&) {}
    // Shows the window in front and makes it key.
    virtual void present() = 0;
    // Shows these settings in the controls (they may have changed while the window was hidden).
    virtual void refresh(const CalibrationSetup& setup) = 0;
    // The shortcut as it is shown now (the desktop may report its own trigger after the window opened).
    virtual void setHotkeyDisplay(const std::string& display) { (void)display; }

    std::function<void(int)> onFirmnessChange;
    std::function<void(double)> onCooldownChange;
    std::function<void(std::uint32_t keyCode, std::uint32_t modifiers, const std::string& display)> onHotkeyChange;
    std::function<void(bool)> onAutoPauseChange;
    // The shortcut recorder starts (true) or stops (false) listening for a new combination.
    std::function<void(bool listening)> onRecordingChange;
    // Set by the controller; the window calls it when it closes.
    std::function<void()> onClose;
};

// The settings a new calibration window starts from.
struct CalibrationSetup {
    int firmness = 2;
    double cooldown = 1.0;
    std::string hotkeyDisplay;
    bool autoPause = true;
    double thresholdG = 0;
    double markerFraction = 0;
};

} // namespace knokle
