#include "app/AppWindows.h"

#include "controller/AppDelegate.h"
#include "platform/linux/desktop/DesktopEntries.h"
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
    if (!delegate) return;
    if (!modesWindow) {
        ModesWindowController::Services services{
            loop, &workspace, [] { return installedApplications(defaultApplicationFolders()); }, present, nullptr,
            // Read where the runner reads it, each time a mode is shown.
            [] { return ExecutableShortcutRunner::available(ExecutableShortcutRunner::defaultFolder()); }};
        modesWindow = std::make_unique<ModesWindowController>(delegate->sharedModeManager(), std::move(services));
        modesWindow->onModesChanged = [this] { delegate->modesChanged(); };
        modesWindow->onClosed = [this] { delegate->modesChanged(); };
    }
    modesWindow->resetFooter();
    modesWindow->loadMode(modesWindow->count());
    modesWindow->present();
}

} // namespace knokle
