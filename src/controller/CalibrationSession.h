#pragma once

#include "controller/CalibrationPanel.h"
#include "controller/Settings.h"
#include "controller/TapPipeline.h"
#include "platform/MainLoop.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace knokle {

// The Test Taps window's side of the controller: it makes the window, shows the pipeline's events on its meter and
// status, and turns the window's edits into settings and pipeline changes. The hot key stays with the controller,
// which hears of shortcut edits through the callbacks below.
class CalibrationSession {
public:
    using PanelFactory = std::function<std::unique_ptr<CalibrationPanel>(const CalibrationSetup&)>;

    CalibrationSession(MainLoop& loop, Settings& settings, TapPipeline& pipeline, PanelFactory makePanel);
    ~CalibrationSession();
    CalibrationSession(const CalibrationSession&) = delete;
    CalibrationSession& operator=(const CalibrationSession&) = delete;

    // A setting the window edits changed (the menu shows some of them).
    std::function<void()> onSettingsChanged;
    // The firmness changed the pipeline's windows, or the window closed: what fires at which count may change.
    std::function<void()> onFiringChanged;
    std::function<void(std::uint32_t keyCode, std::uint32_t modifiers, const std::string& display)> onHotkeyChange;
    std::function<void(bool listening)> onRecordingChange;
    // The shortcut as the controller shows it (the desktop may describe it its own way); empty: the stored one.
    std::function<std::string()> shownHotkey;

    // Shows a new description of the shortcut in the open window.
    void showHotkey(const std::string& display);

    // Makes the window on first use, then shows it in front with a fresh footer.
    void show();
    bool isVisible() const;

    // The pipeline's events, shown while the window is on screen. Updates are queued so that they run after the
    // pipeline's own callback has returned.
    void acceptedPeak(double peak);
    void cooldownChanged(bool on);
    void countChanged(int count);
    void gestureDetected(int count);

    // Which source listens, and how it is (muted, gone, paused), under the window's status.
    void showSourceNote(const std::string& note);

    // The firmness the user picked (1 or 2 after clamping): stored, applied, and shown on the meter.
    void chooseFirmness(int picked);

private:
    CalibrationSetup setup() const;
    void wire(CalibrationPanel& panel);
    template <typename Fn> void whenVisible(Fn fn);
    std::function<void()> guarded(std::function<void()> fn) const;

    MainLoop& loop;
    Settings& settings;
    TapPipeline& pipeline;
    PanelFactory makePanel;
    std::unique_ptr<CalibrationPanel> panel;
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);
};

} // namespace knokle
