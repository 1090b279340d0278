#pragma once

#include "platform/Workspace.h"

#include <deque>
#include <map>
#include <mutex>

namespace knokle::test {

// A workspace that records what it was asked and answers as told. Open requests are answered at once from
// the scripted answers of their location, or held for the test to answer later when none is scripted.
class FakeWorkspace final : public Workspace {
public:
    struct OpenRequest {
        std::string location;
        std::function<void(OpenApplicationResult)> completion;
        bool answered = false;
    };

    static OpenApplicationResult launched(std::string bundleIdentifier, std::int32_t pid) {
        return {RunningApplication{std::move(bundleIdentifier), pid, false}, std::nullopt};
    }
    static OpenApplicationResult failed(std::string description) { return {std::nullopt, std::move(description)}; }
    static OpenApplicationResult neither() { return {}; }

    // The snapshot every call returns, unless a provider is set (which may change it call by call).
    void setRunning(std::vector<RunningApplication> applications) {
        std::lock_guard lock(mutex);
        running = std::move(applications);
    }
    void setRunningProvider(std::function<std::vector<RunningApplication>()> provider) {
        std::lock_guard lock(mutex);
        runningProvider = std::move(provider);
    }
    // Makes the identifier findable; the location defaults to "/apps/ID.desktop".
    std::string install(const std::string& bundleIdentifier, std::string location = {}) {
        if (location.empty()) location = "/apps/" + bundleIdentifier + ".desktop";
        std::lock_guard lock(mutex);
        installed[bundleIdentifier] = location;
        return location;
    }
    // A well-known identifier of the other desktop that means the installed entry here (or, with an empty
    // entry, nothing).
    void meanHere(const std::string& identifier, const std::string& entry) {
        std::lock_guard lock(mutex);
        wellKnown[identifier] = entry;
    }
    // Answers for the next open requests of the location, in order; the last one repeats.
    void answerOpens(const std::string& location, std::vector<OpenApplicationResult> answers) {
        std::lock_guard lock(mutex);
        scripted[location] = std::deque<OpenApplicationResult>(answers.begin(), answers.end());
    }
    // Answers a held request; false when there is no such request or it was answered already.
    bool completeOpen(size_t index, OpenApplicationResult result) {
        std::function<void(OpenApplicationResult)> completion;
        {
            std::lock_guard lock(mutex);
            if (index >= requests.size() || requests[index].answered) return false;
            requests[index].answered = true;
            completion = requests[index].completion;
        }
        completion(std::move(result));
        return true;
    }
    // Drops the record of open requests (held ones can no longer be answered).
    void forgetOpenRequests() {
        std::lock_guard lock(mutex);
        requests.clear();
    }
    // Called with each location as it is asked to open (before any answer).
    std::function<void(const std::string&)> onOpenApplication;

    std::vector<std::string> openedLocations() const {
        std::lock_guard lock(mutex);
        std::vector<std::string> out;
        for (const auto& request : requests)
            out.push_back(request.location);
        return out;
    }
    std::vector<std::string> openedURLs() const {
        std::lock_guard lock(mutex);
        return urls;
    }
    std::vector<RunningApplication> terminated() const {
        std::lock_guard lock(mutex);
        return forceTerminated;
    }
    int snapshotCount() const {
        std::lock_guard lock(mutex);
        return snapshots;
    }
    void setDisplayName(const std::string& location, std::string name) {
        std::lock_guard lock(mutex);
        names[location] = std::move(name);
    }
    void setIconName(const std::string& location, std::string icon) {
        std::lock_guard lock(mutex);
        icons[location] = std::move(icon);
    }

    std::vector<RunningApplication> runningApplications() override {
        std::function<std::vector<RunningApplication>()> provider;
        {
            std::lock_guard lock(mutex);
            ++snapshots;
            if (!runningProvider) return running;
            provider = runningProvider;
        }
        return provider();
    }
    void forceTerminate(const RunningApplication& application) override {
        std::lock_guard lock(mutex);
        forceTerminated.push_back(application);
    }
    ApplicationLookup lookUpApplication(const std::string& identifier) override {
        std::lock_guard lock(mutex);
        auto known = wellKnown.find(identifier);
        bool isWellKnown = known != wellKnown.end() && !installed.count(identifier);
        auto it = installed.find(isWellKnown ? known->second : identifier);
        if (it == installed.end()) return {std::nullopt, isWellKnown};
        return {ResolvedApplication{it->first, it->second, {it->first}}, isWellKnown};
    }
    void openApplication(const std::string& location, std::function<void(OpenApplicationResult)> completion) override {
        if (onOpenApplication) onOpenApplication(location);
        std::optional<OpenApplicationResult> answer;
        {
            std::lock_guard lock(mutex);
            auto it = scripted.find(location);
            if (it != scripted.end() && !it->second.empty()) {
                answer = it->second.front();
                if (it->second.size() > 1) it->second.pop_front();
            }
            requests.push_back({location, completion, answer.has_value()});
        }
        if (answer) completion(std::move(*answer));
    }
    void openURL(const std::string& url) override {
        std::lock_guard lock(mutex);
        urls.push_back(url);
    }
    std::string displayName(const std::string& location) override {
        std::lock_guard lock(mutex);
        auto it = names.find(location);
        return it != names.end() ? it->second : location;
    }
    std::string iconName(const std::string& location) override {
        std::lock_guard lock(mutex);
        auto it = icons.find(location);
        return it != icons.end() ? it->second : std::string();
    }

private:
    mutable std::mutex mutex;
    std::vector<RunningApplication> running;
    std::function<std::vector<RunningApplication>()> runningProvider;
    std::map<std::string, std::string> installed;
    std::map<std::string, std::string> wellKnown;
    std::map<std::string, std::deque<OpenApplicationResult>> scripted;
    std::vector<OpenRequest> requests;
    std::vector<std::string> urls;
    std::vector<RunningApplication> forceTerminated;
    std::map<std::string, std::string> names;
    std::map<std::string, std::string> icons;
    int snapshots = 0;
};

} // namespace knokle::test
