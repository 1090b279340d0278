#pragma once

#include "platform/MainLoop.h"
#include "viewmodels/Palette.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace knokle {

// A line of text in its colour.
struct StyledText {
    std::string text;
    Colour colour;
    bool operator==(const StyledText&) const = default;
};

// What the calibration window shows, apart from the meter: its settings, the status line that follows the tap
// counter, the footer, and the delayed clearing and closing. The window draws it and forwards the user's
// choices here.
class CalibrationModel {
public:
    static constexpr std::array<double, 4> cooldownChoices{1.0, 2.0, 3.0, 5.0};
    static constexpr double kDetectedSeconds = 0.6;
    static constexpr double kCloseSeconds = 0.45;

    explicit CalibrationModel(MainLoop& loop);
    ~CalibrationModel();
    CalibrationModel(const CalibrationModel&) = delete;
    CalibrationModel& operator=(const CalibrationModel&) = delete;

    // The settings shown; the controller fills them in before the window is built.
    int firmness = 2; // 1 or 2
    double cooldown = 1.0;
    bool autoPause = true;
    std::string hotkeyDisplay = "Super+Alt+T";

    bool onCooldown = false;
    bool showingDetection = false;
    int lastCount = 0;

    const StyledText& status() const { return statusLine; }
    const StyledText& footer() const { return footerLine; }

    void refreshStatus();
    void showRunning(int count);
    void flashDetected(int count);
    void clearDetected();
    void resetFooter();
    // Shown in the footer in place of the saving hint while not empty.
    void setSourceNote(const std::string& note);
    // Confirms and closes a moment later; every change was reported when it was made.
    void done();

    // The user's choices; each returns after the shown state has changed.
    void chooseFirmness(int index);
    void chooseCooldown(int index);
    void setAutoPause(bool on);

    // Texts and looks that follow from the settings.
    std::string firmnessDescription() const;
    const char* firmnessSymbol() const;
    Colour firmnessTint() const;
    std::string cooldownText() const;
    bool cooldownChoiceEnabled() const { return !autoPause; }
    double cooldownChoiceOpacity() const { return autoPause ? 0.35 : 1.0; }
    // The cooldown choice on show: the one equal to the setting, else the first.
    int cooldownIndex() const;
    static std::vector<std::string> cooldownLabels();
    static std::vector<std::string> firmnessLabels();
    static std::string cooldownLabel(double seconds);

    std::function<void()> onStatusChange;
    std::function<void()> onFooterChange;
    std::function<void()> onClose;

private:
    void setStatus(StyledText line);

    MainLoop& loop;
    StyledText statusLine;
    StyledText footerLine;
    std::string sourceNote;
    TimerHandle clearTimer;
    TimerHandle closeTimer;
};

} // namespace knokle
