#pragma once

#include "controller/CalibrationPanel.h"
#include "platform/MainLoop.h"
#include "viewmodels/CalibrationModel.h"

#include <QObject>
#include <functional>
#include <memory>

class QLabel;
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
    static constexpr int kWidth = 460;

    // present shows the window in front (the caller's placement); without it the window is simply shown.
    explicit CalibrationWindowController(MainLoop& loop, std::function<void(QWidget*)> present = {});
    ~CalibrationWindowController() override;

    // The settings to start from; before buildUI().
    void apply(const CalibrationSetup& setup);
    void buildUI();

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

    MainLoop& loop;
    std::function<void(QWidget*)> presenter;
    CalibrationModel state;
    std::unique_ptr<QWidget> windowWidget;
    BlockMeterView* meterView;
};

} // namespace knokle
