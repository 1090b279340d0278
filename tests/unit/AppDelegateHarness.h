#pragma once

#include "FakeHid.h"
#include "FakeModeEnvironment.h"
#include "LineCapture.h"
#include "MemoryUserDefaults.h"
#include "TempDir.h"
#include "common/AtomicFile.h"
#include "modes/ModeCoding.h"
#include "shell/AppDelegate.h"

#include <map>

namespace knokle::test {

struct FakeButtons final : MouseButtonMonitor {
    std::function<void()> handler;
    std::optional<MonitorToken> addGlobalMonitor(std::function<void()> h) override {
        handler = std::move(h);
        return 1;
    }
    void removeMonitor(MonitorToken) override { handler = nullptr; }
};

struct FakeHotKeys final : HotKeyService {
    std::map<HotKeyToken, std::function<void()>> registered;
    std::vector<std::string> journal; // "register 17/2304", "unregister 1"
    std::optional<HotKeyFailure> refuse;
    HotKeyToken next = 1;
    std::variant<HotKeyToken, HotKeyFailure> registerHotKey(std::uint32_t key, std::uint32_t mods,
                                                            std::function<void()> onPress) override {
        journal.push_back("register " + std::to_string(key) + "/" + std::to_string(mods));
        if (refuse) return *refuse;
        registered[next] = std::move(onPress);
        return next++;
    }
    void unregisterHotKey(HotKeyToken token) override {
        journal.push_back("unregister " + std::to_string(token));
        registered.erase(token);
    }
    void press() {
        for (auto& [token, fn] : registered)
            fn();
    }
};

struct FakeLoginItem final : LoginItem {
    LoginItemStatus current = LoginItemStatus::notRegistered;
    std::optional<std::string> failure;
    bool changeable = true;
    LoginItemStatus status() const override { return current; }
    std::optional<std::string> registerItem() override {
        if (!failure) current = LoginItemStatus::enabled;
        return failure;
    }
    std::optional<std::string> unregisterItem() override {
        if (!failure) current = LoginItemStatus::notRegistered;
        return failure;
    }
    bool canChange() const override { return changeable; }
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

struct FakeCalibration final : CalibrationPanel {
    CalibrationSetup setup;
    bool visible = false;
    double level = 0;
    double thresholdG = 0, markerFraction = 0;
    int firmnessValue = 2;
    std::vector<std::string> journal;
    bool isVisible() const override { return visible; }
    int firmness() const override { return firmnessValue; }
    double displayLevel() const override { return level; }
    void setDisplayLevel(double l) override { level = l; }
    void setThresholdG(double t) override { thresholdG = t; }
    void setMarkerFraction(double f) override { markerFraction = f; }
    void setNeedsDisplay() override { journal.push_back("needsDisplay"); }
    void setOnCooldown(bool on) override { journal.push_back(on ? "cooldown on" : "cooldown off"); }
    void refreshStatus() override { journal.push_back("refreshStatus"); }
    void showRunning(int count) override { journal.push_back("running " + std::to_string(count)); }
    void flashDetected(int count) override { journal.push_back("detected " + std::to_string(count)); }
    void resetFooter() override { journal.push_back("resetFooter"); }
    void present() override {
        visible = true;
        journal.push_back("present");
    }
    void close() {
        visible = false;
        if (onClose) onClose();
    }
};

// The controller with every collaborator faked, in virtual time.
struct AppHarness {
    FakeModeEnvironment env;
    MemoryUserDefaults defaults;
    TempDir dir;
    FakeButtons buttons;
    FakeHotKeys hotKeys;
    FakeLoginItem login;
    FakeAlerts alerts;
    FakeStatusItem status;
    LineCapture lines;
    FakeCalibration* calibration = nullptr;
    bool sensorPresent = true;
    bool didOnboardWhenWindowMade = false;
    std::map<std::string, std::string> environment;
    int terminated = 0;
    std::unique_ptr<AppDelegate> app;

    AppHarness() { defaults.values["didOnboard"] = true; }

    void storeModes(const std::vector<SlapMode>& modes) { writeFileAtomically(dir / "modes.json", encodeModes(modes)); }

    AppDelegate& make() {
        AppServices services{env.loop,
                             env.loop.workQueue(),
                             defaults,
                             fakeAccelerometer(sensorPresent),
                             [] { return 0.0; },
                             buttons,
                             hotKeys,
                             login,
                             alerts,
                             status,
                             env.services(),
                             dir / "modes.json",
                             [this] { ++terminated; },
                             [this](const CalibrationSetup& setup) {
                                 auto window = std::make_unique<FakeCalibration>();
                                 window->setup = setup;
                                 window->firmnessValue = setup.firmness;
                                 didOnboardWhenWindowMade = Settings(defaults).didOnboard();
                                 calibration = window.get();
                                 return window;
                             },
                             nullptr,
                             [this](const char* name) -> const char* {
                                 auto it = environment.find(name);
                                 return it == environment.end() ? nullptr : it->second.c_str();
                             }};
        app = std::make_unique<AppDelegate>(std::move(services));
        return *app;
    }

    AppDelegate& launch() {
        make();
        app->applicationDidFinishLaunching();
        env.loop.runPending();
        lines.clear();
        return *app;
    }

    // Impacts as the detector reports them, `spacing` seconds apart, then lets every window run out.
    void taps(int count, double spacing = 0.3) {
        for (int i = 0; i < count; ++i) {
            if (i > 0) env.loop.advance(spacing);
            app->detector.onImpact(1.5);
        }
        env.loop.advance(2.0);
    }

    void arm() { defaults.values["tapsActive"] = true; }
};

inline SlapMode modeWith(std::int64_t slapCount, std::string name, std::vector<std::string> openApps) {
    SlapMode mode;
    mode.slapCount = slapCount;
    mode.name = std::move(name);
    mode.openApps = std::move(openApps);
    return mode;
}

} // namespace knokle::test
