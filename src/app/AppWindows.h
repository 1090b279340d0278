#pragma once

#include "platform/MainLoop.h"
#include "shell/CalibrationPanel.h"

#include <functional>
#include <memory>

class QWidget;

namespace knokle {

class AppDelegate;

// The program's windows, made on first use and kept. Where no one can see a window (the offscreen platform),
// none is made: an invisible calibration window would hold the program in test mode for good.
class AppWindows {
public:
    explicit AppWindows(MainLoop& loop);
    ~AppWindows();

    static bool canShowWindows();

    // Shows a window in front; without it a window is simply shown and activated.
    std::function<void(QWidget*)> present;

    // For the controller's services; empty where windows cannot be shown.
    std::function<std::unique_ptr<CalibrationPanel>(const CalibrationSetup&)> calibrationFactory();

private:
    MainLoop& loop;
};

} // namespace knokle
