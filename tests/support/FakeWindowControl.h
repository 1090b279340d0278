#pragma once

#include "platform/WindowControl.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <vector>

namespace knokle::test {

// Windows that appear after a number of searches, owned by a process or carrying a name, with a
// full-screen state the test sets.
class FakeWindowControl final : public WindowControl {
public:
    // The window is found from the (searchesBefore + 1)-th search for the process (or name) on.
    void exposeWindow(std::int32_t pid, WindowId window, int searchesBefore = 0) {
        std::lock_guard lock(mutex);
        byPid[pid] = {window, searchesBefore};
    }
    void exposeNamedWindow(const std::string& name, WindowId window, int searchesBefore = 0) {
        std::lock_guard lock(mutex);
        byName[name] = {window, searchesBefore};
    }
    void setFullScreen(WindowId window, std::optional<bool> state) {
        std::lock_guard lock(mutex);
        fullScreen[window] = state;
    }
    void setLimitation(std::optional<std::string> text) {
        std::lock_guard lock(mutex);
        limitation = std::move(text);
    }
    std::vector<WindowId> fullScreenRequests() const {
        std::lock_guard lock(mutex);
        return requests;
    }
    int searchCount() const {
        std::lock_guard lock(mutex);
        return searches;
    }
    std::vector<WindowSearch> searchesMade() const {
        std::lock_guard lock(mutex);
        return made;
    }

    std::vector<WindowId> topLevelWindows() override {
        std::lock_guard lock(mutex);
        std::vector<WindowId> shown;
        for (const auto& [pid, window] : byPid)
            if (window.searchesBefore == 0) shown.push_back(window.window);
        for (const auto& [name, window] : byName)
            if (window.searchesBefore == 0) shown.push_back(window.window);
        return shown;
    }
    std::optional<WindowId> applicationWindow(const WindowSearch& search) override {
        std::lock_guard lock(mutex);
        int round = searches++;
        if (made.empty() || made.back().processIdentifier != search.processIdentifier) made.push_back(search);
        for (const auto& name : search.names)
            if (auto it = byName.find(name);
                it != byName.end() && round >= it->second.searchesBefore &&
                std::count(search.existing.begin(), search.existing.end(), it->second.window) == 0)
                return it->second.window;
        auto it = byPid.find(search.processIdentifier);
        if (search.processIdentifier < 1 || it == byPid.end() || round < it->second.searchesBefore) return std::nullopt;
        return it->second.window;
    }
    std::optional<bool> isFullScreen(WindowId window) override {
        std::lock_guard lock(mutex);
        auto it = fullScreen.find(window);
        return it != fullScreen.end() ? it->second : std::optional<bool>(false);
    }
    void requestFullScreen(WindowId window) override {
        std::lock_guard lock(mutex);
        requests.push_back(window);
        fullScreen[window] = true;
    }
    std::optional<std::string> fullScreenLimitation() override {
        std::lock_guard lock(mutex);
        return limitation;
    }

private:
    struct Exposed {
        WindowId window;
        int searchesBefore;
    };
    mutable std::mutex mutex;
    std::map<std::int32_t, Exposed> byPid;
    std::map<std::string, Exposed> byName;
    std::map<WindowId, std::optional<bool>> fullScreen;
    std::vector<WindowId> requests;
    std::vector<WindowSearch> made;
    std::optional<std::string> limitation;
    int searches = 0;
};

} // namespace knokle::test
