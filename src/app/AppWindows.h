#pragma once

#include "platform/MainLoop.h"
#include "platform/Workspace.h"
#include "controller/CalibrationPanel.h"

#include <functional>
#include <memory>

class QWidget;

namespace knokle {

class ModeManager;
class ModesWindowController;

// The program's windows, made on first use and kept. Where no one can see a window (the offscreen platform),
// none is made: an invisible calibration window would hold the program in test mode for good.
class AppWindows {
public:
    AppWindows(MainLoop& loop, Workspace& workspace);
    ~AppWindows();

    static bool canShowWindows();

    // Shows a window in front; without it a window is simply shown and activated.
    std::function<void(QWidget*)> present;
    // The modes the editor edits (the controller's own), and whom it tells when they changed or it closed; set
    // before the editor first opens.
    std::function<std::shared_ptr<ModeManager>()> modeManager;
    std::function<void()> onModesChanged;
    // Called when the calibration window has closed, beside the controller's own handler.
    std::function<void()> onCalibrationClosed;

    // For the controller's services; empty where windows cannot be shown.
    std::function<std::unique_ptr<CalibrationPanel>(const CalibrationSetup&)> calibrationFactory();
    std::function<void()> modeEditorOpener();

private:
    void openModeEditor();

    MainLoop& loop;
    Workspace& workspace;
    std::unique_ptr<ModesWindowController> modesWindow;
};

} // namespace knokle
