#include "app/AppWindows.h"

#include "platform/linux/desktop/DesktopApplicationList.h"
#include "platform/linux/desktop/ExecutableShortcutRunner.h"
#include "viewmodels/ApplicationCatalog.h"
#include "widgets/CalibrationWindowController.h"
#include "widgets/ModesWindowController.h"

#include <QGuiApplication>

namespace knokle {

AppWindows::AppWindows(MainLoop& loop, Workspace& workspace) : loop(loop), workspace(workspace) {}

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
        controller->onWindowClosed = onCalibrationClosed;
        return controller;
    };
}

std::function<void()> AppWindows::modeEditorOpener() {
    if (!canShowWindows()) return nullptr;
    return [this] { openModeEditor(); };
}

void AppWindows::openModeEditor() {
    if (!modeManager) return;
    if (!modesWindow) {
        ModesWindowController::Services services{
            loop, &workspace,
            [list = std::make_shared<DesktopApplicationList>()] { return list->installedApplications(); }, present,
            nullptr,
            // Read where the runner reads it, each time a mode is shown.
            [] { return ExecutableShortcutRunner::available(ExecutableShortcutRunner::defaultFolder()); }};
        modesWindow = std::make_unique<ModesWindowController>(modeManager(), std::move(services));
        modesWindow->onModesChanged = [this] {
            if (onModesChanged) onModesChanged();
        };
        modesWindow->onClosed = modesWindow->onModesChanged;
    }
    modesWindow->resetFooter();
    modesWindow->loadMode(modesWindow->count());
    modesWindow->present();
}

} // namespace knokle
