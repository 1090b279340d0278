#pragma once

#include "controller/CalibrationPanel.h"
#include "platform/MainLoop.h"
#include "viewmodels/CalibrationModel.h"

#include <QObject>
#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QScrollArea;
class QWidget;

namespace knokle {

class BlockMeterView;
class HotkeyRecorder;
class SlidingSegmented;
class ThemedSwitch;

// The calibration window ("Test Your Taps"): a live level meter, the status line that follows the tap counter,
// firmness, auto-pause, cooldown and the shortcut. Every change is reported at once through the panel's
// callbacks; Done only confirms and closes. Closing hides the window; it is kept for the next opening.
class CalibrationWindowController : public QObject, public CalibrationPanel {
public:
    // Cards 452 wide between margins of 30; their meter and controls 412 inside the cards' insets.
    static constexpr int kCardWidth = 452;
    static constexpr int kWidth = kCardWidth + 2 * 30;

    // present shows the window in front (the caller's placement); without it the window is simply shown.
    explicit CalibrationWindowController(MainLoop& loop, std::function<void(QWidget*)> present = {});
    ~CalibrationWindowController() override;

    // Called after onClose when the window has closed; for the program's own wiring.
    std::function<void()> onWindowClosed;
    // The available height of the window's screen; without it, the screen's own.
    std::function<std::optional<double>(QWidget*)> screenHeight;

    // The settings to start from; before buildUI(), and again whenever the window is shown.
    void apply(const CalibrationSetup& setup);
    void buildUI();
    // Shows the settings as they are now (another window or the menu may have changed them).
    void refresh(const CalibrationSetup& setup) override;

    QWidget* window() const { return windowWidget.get(); }
    CalibrationModel& model() { return state; }
    BlockMeterView* meter() const { return meterView; }

    // CalibrationPanel
    bool isVisible() const override;
    double displayLevel() const override;
    void setDisplayLevel(double level) override;
    void showFirmness(int level, double thresholdG, double markerFraction) override;
    void setOnCooldown(bool on) override { state.onCooldown = on; }
    void refreshStatus() override { state.refreshStatus(); }
    void showRunning(int count) override { state.showRunning(count); }
    void flashDetected(int count) override;
    void resetFooter() override { state.resetFooter(); }
    void setSourceNote(const std::string& note) override { state.setSourceNote(note); }
    void present() override;
    void setHotkeyDisplay(const std::string& display) override;

    // Control handlers.
    void firmnessChanged();
    void cooldownChanged();
    void autoPauseToggled();
    void doneTapped();

    // The controls, once built.
    SlidingSegmented* firmnessControl = nullptr;
    SlidingSegmented* cooldownControl = nullptr;
    ThemedSwitch* autoPauseSwitch = nullptr;
    HotkeyRecorder* recorder = nullptr;
    QLabel* statusLabel = nullptr;
    QLabel* firmDesc = nullptr;
    QLabel* firmIcon = nullptr;
    QLabel* cooldownDesc = nullptr;
    QLabel* footerHint = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* buildHeader();
    QWidget* buildMeterCard();
    QWidget* buildFirmnessCard();
    QWidget* buildCooldownCard();
    QWidget* buildShortcutCard();
    QWidget* buildFooter();
    void showStatus();
    void showFooter();
    // The window's height: its content's, within the screen; the cards scroll when they do not fit.
    void fit();

    MainLoop& loop;
    std::function<void(QWidget*)> presenter;
    CalibrationModel state;
    std::unique_ptr<QWidget> windowWidget;
    BlockMeterView* meterView;
    QWidget* content = nullptr;
    QWidget* headerBox = nullptr;
    QWidget* cardsBox = nullptr;
    QWidget* footerBox = nullptr;
    QScrollArea* scroller = nullptr;
};

} // namespace knokle
