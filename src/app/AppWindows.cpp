#include "app/AppWindows.h"

#include "windows/CalibrationWindowController.h"

#include <QGuiApplication>

namespace knokle {

AppWindows::AppWindows(MainLoop& loop) : loop(loop) {}

AppWindows::~AppWindows() = default;

bool AppWindows::canShowWindows() {
    return QGuiApplication::platformName() != "offscreen";
}

std::function<std::unique_ptr<CalibrationPanel>(const CalibrationSetup&)> AppWindows::calibrationFactory() {
    if (!canShowWindows()) return nullptr;
    return [this](const CalibrationSetup& setup) -> std::unique_ptr<CalibrationPanel> {
        auto controller = std::make_unique<CalibrationWindowController>(loop, present);
        controller->apply(setup);
        controller->buildUI();
        return controller;
    };
}

} // namespace knokle
