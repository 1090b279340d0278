#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace knokle::test {

// Stands in for kill(2): records the process identifiers and answers 0 or the errno set for one.
class FakeProcessSignaller {
public:
    void failWith(std::int32_t pid, int error) {
        std::lock_guard lock(state->mutex);
        state->errors[pid] = error;
    }
    std::vector<std::int32_t> signalled() const {
        std::lock_guard lock(state->mutex);
        return state->pids;
    }
    // For ModeServices::sendKill; stays valid after the signaller is gone.
    std::function<int(std::int32_t)> function() const {
        return [state = state](std::int32_t pid) {
            std::lock_guard lock(state->mutex);
            state->pids.push_back(pid);
            auto it = state->errors.find(pid);
            return it != state->errors.end() ? it->second : 0;
        };
    }

private:
    struct State {
        std::mutex mutex;
        std::map<std::int32_t, int> errors;
        std::vector<std::int32_t> pids;
    };
    std::shared_ptr<State> state = std::make_shared<State>();
};

} // namespace knokle::test
