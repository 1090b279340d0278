#pragma once

#include "platform/ShortcutRunner.h"

#include <map>
#include <mutex>
#include <vector>

namespace knokle::test {

// Records the shortcuts it was asked to run; names given a failure are reported as not started.
class FakeShortcutRunner final : public ShortcutRunner {
public:
    void failWith(const std::string& name, std::string description) {
        std::lock_guard lock(mutex);
        failures[name] = std::move(description);
    }
    std::vector<std::string> runs() const {
        std::lock_guard lock(mutex);
        return started;
    }

    std::optional<std::string> run(const std::string& name) override {
        std::lock_guard lock(mutex);
        started.push_back(name);
        auto it = failures.find(name);
        if (it != failures.end()) return it->second;
        return std::nullopt;
    }

private:
    mutable std::mutex mutex;
    std::map<std::string, std::string> failures;
    std::vector<std::string> started;
};

} // namespace knokle::test
