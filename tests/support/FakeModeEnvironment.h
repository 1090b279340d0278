#pragma once

// Everything a mode run acts on, as fakes in virtual time: nothing real is started or signalled.
#include "FakeWorkspace.h"
#include "VirtualLoop.h"
#include "modes/ModeManager.h"
#include "platform/BrowserScripting.h"
#include "platform/ShortcutRunner.h"
#include "platform/WindowControl.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <vector>

namespace knokle::test {

// Records every request and answers per application name (by default: no tab closed).
class FakeBrowserScripting final : public BrowserScripting {
public:
    struct Call {
        std::string applicationName, matchText;
    };
    void answer(const std::string& applicationName, TabClosingResult result) { answers[applicationName] = result; }
    std::vector<Call> calls() const { return recorded; }

    TabClosingResult closeTabs(const std::string& applicationName, const std::string& matchText) override {
        recorded.push_back({applicationName, matchText});
        auto it = answers.find(applicationName);
        return it != answers.end() ? it->second : TabClosingResult{0, std::nullopt};
    }

    // A browser whose identifier is running, in this fake's own order.
    std::vector<std::string> browsersToAsk(const std::set<std::string>& running) override {
        std::vector<std::string> names;
        for (const auto& [name, id] : rows)
            if (running.count(id)) names.push_back(name);
        return names;
    }

private:
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"Safari", "com.apple.Safari"}, {"Chromium", "chromium"}, {"Firefox", "firefox"}};
    std::map<std::string, TabClosingResult> answers;
    std::vector<Call> recorded;
};

// Records the shortcuts it was asked to run; names given a failure are reported as not started.
class FakeShortcutRunner final : public ShortcutRunner {
public:
    void failWith(const std::string& name, std::string description) { failures[name] = std::move(description); }
    std::vector<std::string> runs() const { return started; }

    std::optional<std::string> run(const std::string& name) override {
        started.push_back(name);
        auto it = failures.find(name);
        return it != failures.end() ? std::optional(it->second) : std::nullopt;
    }

private:
    std::map<std::string, std::string> failures;
    std::vector<std::string> started;
};

// Stands in for kill(2): records the process identifiers and answers 0 or the errno set for one.
class FakeProcessSignaller {
public:
    void failWith(std::int32_t pid, int error) { state->errors[pid] = error; }
    std::vector<std::int32_t> signalled() const { return state->pids; }
    // For ModeServices::sendKill; stays valid after the signaller is gone.
    std::function<int(std::int32_t)> function() const {
        return [state = state](std::int32_t pid) {
            state->pids.push_back(pid);
            return state->errors.contains(pid) ? state->errors[pid] : 0;
        };
    }

private:
    struct State {
        std::map<std::int32_t, int> errors;
        std::vector<std::int32_t> pids;
    };
    std::shared_ptr<State> state = std::make_shared<State>();
};

// Windows found by process or by name after a number of searches, in a full-screen state the test sets.
class FakeWindowControl final : public WindowControl {
public:
    // The window is found from the (searchesBefore + 1)-th search on.
    void exposeWindow(std::int32_t pid, WindowId window, int searchesBefore = 0) {
        byPid[pid] = {window, searchesBefore};
    }
    void exposeNamedWindow(const std::string& name, WindowId window, int searchesBefore = 0) {
        byName[name] = {window, searchesBefore};
    }
    void setFullScreen(WindowId window, std::optional<bool> state) { fullScreen[window] = state; }
    void setLimitation(std::optional<std::string> text) { limitation = std::move(text); }
    std::vector<WindowId> fullScreenRequests() const { return requests; }

    std::vector<WindowId> topLevelWindows() override {
        std::vector<WindowId> shown;
        for (const auto& [pid, window] : byPid)
            if (window.searchesBefore == 0) shown.push_back(window.window);
        for (const auto& [name, window] : byName)
            if (window.searchesBefore == 0) shown.push_back(window.window);
        return shown;
    }
    std::optional<WindowId> applicationWindow(const WindowSearch& search) override {
        int round = searches++;
        for (const auto& name : search.names)
            if (auto it = byName.find(name); it != byName.end() && round >= it->second.searchesBefore &&
                                             std::ranges::count(search.existing, it->second.window) == 0)
                return it->second.window;
        auto it = byPid.find(search.processIdentifier);
        if (search.processIdentifier < 1 || it == byPid.end() || round < it->second.searchesBefore) return std::nullopt;
        return it->second.window;
    }
    std::optional<bool> isFullScreen(WindowId window) override {
        return fullScreen.contains(window) ? fullScreen[window] : std::optional(false);
    }
    void requestFullScreen(WindowId window) override {
        requests.push_back(window);
        fullScreen[window] = true;
    }
    std::optional<std::string> fullScreenLimitation() override { return limitation; }

private:
    struct Exposed {
        WindowId window;
        int searchesBefore;
    };
    std::map<std::int32_t, Exposed> byPid;
    std::map<std::string, Exposed> byName;
    std::map<WindowId, std::optional<bool>> fullScreen;
    std::vector<WindowId> requests;
    std::optional<std::string> limitation;
    int searches = 0;
};

struct FakeModeEnvironment {
    VirtualLoop loop;
    FakeWorkspace workspace;
    FakeWindowControl windows;
    FakeBrowserScripting browsers;
    FakeShortcutRunner shortcuts;
    FakeProcessSignaller signals;
    std::shared_ptr<std::atomic<bool>> fullScreenSetting = std::make_shared<std::atomic<bool>>(true);

    // Must not outlive the environment.
    std::shared_ptr<const ModeServices> services() {
        return std::make_shared<const ModeServices>(
            ModeServices{workspace, windows, browsers, shortcuts, loop, loop.workQueue(), loop,
                         [setting = fullScreenSetting] { return setting->load(); }, signals.function()});
    }
};

} // namespace knokle::test
