#pragma once

#include "platform/BrowserScripting.h"
#include "platform/MouseButtonMonitor.h"
#include "platform/ShortcutRunner.h"
#include "platform/WindowControl.h"
#include "platform/Workspace.h"
#include "shell/StatusItem.h"

namespace knokle {

// Stand-ins for desktop services this build does not have yet. Each does nothing and says so where the
// program would otherwise report success.

class NoWorkspace final : public Workspace {
public:
    std::vector<RunningApplication> runningApplications() override { return {}; }
    void forceTerminate(const RunningApplication&) override {}
    std::optional<std::string> urlForApplication(const std::string&) override { return std::nullopt; }
    void openApplication(const std::string&, std::function<void(OpenApplicationResult)> completion) override {
        completion({std::nullopt, std::string("opening applications is not available in this build")});
    }
    void openURL(const std::string&) override {}
    std::string displayName(const std::string& location) override { return location; }
    std::string iconName(const std::string&) override { return ""; }
};

class NoWindowControl final : public WindowControl {
public:
    std::optional<WindowId> focusedWindow(std::int32_t) override { return std::nullopt; }
    std::optional<bool> isFullScreen(WindowId) override { return std::nullopt; }
    void requestFullScreen(WindowId) override {}
};

class NoBrowserScripting final : public BrowserScripting {
public:
    TabClosingResult closeTabs(const std::string&, const std::string&, const std::string&) override {
        return {std::nullopt, std::string("browser control is not available in this build")};
    }
};

class NoShortcutRunner final : public ShortcutRunner {
public:
    std::optional<std::string> run(const std::string&) override {
        return std::string("shortcuts are not available in this build");
    }
};

class NoMouseButtonMonitor final : public MouseButtonMonitor {
public:
    std::optional<MonitorToken> addGlobalMonitor(std::function<void()>) override { return std::nullopt; }
    void removeMonitor(MonitorToken) override {}
};

class NoStatusItem final : public StatusItem {
public:
    bool hasButton() const override { return false; }
    void setIcon(bool) override {}
    void setMenu(const std::vector<MenuItem>&) override {}
};

} // namespace knokle
