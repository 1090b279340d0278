#pragma once

#include "modes/ModeManager.h"

#include <memory>
#include <string>

namespace knokle {

// Running a mode, step by step. Everything later work needs (retries, full screen) holds the services
// alive itself, so a run goes on after the manager that started it is gone.
void runMode(const std::shared_ptr<const ModeServices>& services, const SlapMode& mode);

// The single steps, for the run above.
void closeTabs(const ModeServices& services, const std::string& matchText);
void quitApplication(const ModeServices& services, const std::string& bundleIdentifier);
void waitForExit(const ModeServices& services, const std::string& bundleIdentifier, double timeoutSeconds);
void launch(const std::shared_ptr<const ModeServices>& services, const std::string& bundleIdentifier, int attempt);
// name: how lines name the application.
void enterFullScreen(const std::shared_ptr<const ModeServices>& services, const std::string& name, WindowSearch search);
void setFocusMode(const ModeServices& services, const std::string& name);

} // namespace knokle
