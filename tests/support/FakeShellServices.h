#pragma once

#include "platform/AlertPresenter.h"
#include "platform/HotKeyService.h"
#include "platform/LoginItem.h"
#include "platform/MouseButtonMonitor.h"
#include "controller/CalibrationPanel.h"
#include "controller/StatusItem.h"

#include <map>
#include <string>
#include <vector>

namespace knokle::test {

// Keeps even removed handlers, so a test can deliver a click already on its way when the monitor went.
struct FakeButtons final : MouseButtonMonitor {
    bool available = true;
    std::vector<MonitorToken> added, removed;
    std::vector<std::function<void()>> handlers;

    std::optional<MonitorToken> addGlobalMonitor(std::function<void()> handler) override {
        if (!available) return std::nullopt;
        handlers.push_back(std::move(handler));
        return added.emplace_back(100 + handlers.size());
    }
    void removeMonitor(MonitorToken token) override { removed.push_back(token); }
    std::optional<std::string> why; // set: the session offers no clicks
    std::optional<std::string> limitation() const override { return why; }
    void click() {
        for (auto& handler : handlers)
            handler();
    }
};

struct FakeHotKeys final : HotKeyService {
    struct Registration {
        std::uint32_t keyCode, modifiers;
        std::function<void()> onPress;
    };
    std::map<HotKeyToken, Registration> registered;
    std::vector<std::string> journal; // "register 17/2304", "unregister 1"
    std::optional<HotKeyFailure> refuse;
    HotKeyToken next = 1;

    std::variant<HotKeyToken, HotKeyFailure> registerHotKey(std::uint32_t key, std::uint32_t mods,
                                                            std::function<void()> onPress) override {
        journal.push_back("register " + std::to_string(key) + "/" + std::to_string(mods));
        if (refuse) return *refuse;
        registered[next] = {key, mods, std::move(onPress)};
        return next++;
    }
    void unregisterHotKey(HotKeyToken token) override {
        journal.push_back("unregister " + std::to_string(token));
        registered.erase(token);
    }
    std::function<void(const HotKeyBinding&)> bindingHandler;
    void onBindingChange(std::function<void(const HotKeyBinding&)> handler) override {
        bindingHandler = std::move(handler);
    }
    void report(const HotKeyBinding& binding) {
        if (bindingHandler) bindingHandler(binding);
    }
    void press() {
        for (auto& [token, registration] : registered)
            registration.onPress();
    }
};

struct FakeLoginItem final : LoginItem {
    LoginItemStatus current = LoginItemStatus::notRegistered;
    std::optional<std::string> failure;
    LoginItemStatus status() const override { return current; }
    std::optional<std::string> registerItem() override {
        if (!failure) current = LoginItemStatus::enabled;
        return failure;
    }
    std::optional<std::string> unregisterItem() override {
        if (!failure) current = LoginItemStatus::notRegistered;
        return failure;
    }
    bool canChange() const override { return true; }
};

struct FakeAlerts final : AlertPresenter {
    std::vector<Alert> shown;
    int answer = 0;
    int runModal(const Alert& alert) override {
        shown.push_back(alert);
        return answer;
    }
};

struct FakeStatusItem final : StatusItem {
    std::vector<bool> icons; // every icon set, in order
    std::vector<std::vector<MenuItem>> menus;
    bool hasButton() const override { return true; }
    void setIcon(bool filled) override { icons.push_back(filled); }
    void setMenu(const std::vector<MenuItem>& content) override { menus.push_back(content); }
};

// Records what the controller shows in it; a test plays the user by calling its change handlers.
struct FakeCalibration final : CalibrationPanel {
    CalibrationSetup setup;
    bool visible = false;
    double level = 0;
    int firmness = 0;
    double thresholdG = 0, markerFraction = 0;
    std::vector<std::string> journal;
    bool isVisible() const override { return visible; }
    double displayLevel() const override { return level; }
    void setDisplayLevel(double l) override { level = l; }
    void showFirmness(int l, double t, double f) override {
        firmness = l;
        thresholdG = t;
        markerFraction = f;
    }
    void setOnCooldown(bool on) override { journal.push_back(on ? "cooldown on" : "cooldown off"); }
    void refreshStatus() override { journal.push_back("refreshStatus"); }
    void showRunning(int count) override { journal.push_back("running " + std::to_string(count)); }
    void flashDetected(int count) override { journal.push_back("detected " + std::to_string(count)); }
    void resetFooter() override { journal.push_back("resetFooter"); }
    void setSourceNote(const std::string& note) override { journal.push_back("note " + note); }
    void refresh(const CalibrationSetup& shown) override {
        setup = shown;
        journal.push_back("refresh");
    }
    void setHotkeyDisplay(const std::string& display) override { journal.push_back("shortcut " + display); }
    void present() override {
        visible = true;
        journal.push_back("present");
    }
    void close() {
        visible = false;
        if (onClose) onClose();
    }
    bool shows(const std::string& entry) const {
        return std::find(journal.begin(), journal.end(), entry) != journal.end();
    }
};

} // namespace knokle::test
