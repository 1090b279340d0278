#pragma once

#include "platform/BrowserScripting.h"

#include <map>
#include <mutex>
#include <vector>

namespace knokle::test {

// Records every script run and answers per application name (by default: no tab closed).
class FakeBrowserScripting final : public BrowserScripting {
public:
    struct Call {
        std::string applicationName;
        std::string scriptText;
        std::string matchText;
    };

    void answer(const std::string& applicationName, TabClosingResult result) {
        std::lock_guard lock(mutex);
        answers[applicationName] = std::move(result);
    }
    std::vector<Call> calls() const {
        std::lock_guard lock(mutex);
        return recorded;
    }

    TabClosingResult closeTabs(const std::string& applicationName, const std::string& scriptText,
                               const std::string& matchText) override {
        std::lock_guard lock(mutex);
        recorded.push_back({applicationName, scriptText, matchText});
        auto it = answers.find(applicationName);
        return it != answers.end() ? it->second : TabClosingResult{0, std::nullopt};
    }

private:
    mutable std::mutex mutex;
    std::map<std::string, TabClosingResult> answers;
    std::vector<Call> recorded;
};

} // namespace knokle::test
