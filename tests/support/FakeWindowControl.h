#pragma once

#include "platform/WindowControl.h"

#include <map>
#include <mutex>
#include <vector>

namespace knokle::test {

// Windows that appear after a number of polls, with a full-screen state the test sets.
class FakeWindowControl final : public WindowControl {
public:
    // The process's focused window is reported from its (pollsBefore + 1)-th poll on.
    void exposeWindow(std::int32_t pid, WindowId window, int pollsBefore = 0) {
        std::lock_guard lock(mutex);
        windows[pid] = {window, pollsBefore};
    }
    void setFullScreen(WindowId window, std::optional<bool> state) {
        std::lock_guard lock(mutex);
        fullScreen[window] = state;
    }
    std::vector<WindowId> fullScreenRequests() const {
        std::lock_guard lock(mutex);
        return requests;
    }
    int pollCount(std::int32_t pid) const {
        std::lock_guard lock(mutex);
        auto it = polls.find(pid);
        return it != polls.end() ? it->second : 0;
    }

    std::optional<WindowId> focusedWindow(std::int32_t pid) override {
        std::lock_guard lock(mutex);
        int poll = polls[pid]++;
        auto it = windows.find(pid);
        if (it == windows.end() || poll < it->second.pollsBefore) return std::nullopt;
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

private:
    struct Exposed {
        WindowId window;
        int pollsBefore;
    };
    mutable std::mutex mutex;
    std::map<std::int32_t, Exposed> windows;
    std::map<std::int32_t, int> polls;
    std::map<WindowId, std::optional<bool>> fullScreen;
    std::vector<WindowId> requests;
};

} // namespace knokle::test
