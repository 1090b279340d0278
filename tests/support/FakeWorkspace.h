#pragma once

#include "platform/Workspace.h"

#include <deque>
#include <map>
#include <utility>

namespace knokle::test {

// A workspace that records what it was asked and answers as told. Open requests are answered at once from
// the scripted answers of their location, or never when none is scripted.
class FakeWorkspace final : public Workspace {
public:
    static OpenApplicationResult launched(std::string bundleIdentifier, std::int32_t pid) {
        return {RunningApplication{std::move(bundleIdentifier), pid, false}, std::nullopt};
    }
    static OpenApplicationResult failed(std::string description) { return {std::nullopt, std::move(description)}; }

    // The snapshot every call returns, unless a provider is set (which may change it call by call).
    void setRunning(std::vector<RunningApplication> applications) { running = std::move(applications); }
    void setRunningProvider(std::function<std::vector<RunningApplication>()> provider) {
        runningProvider = std::move(provider);
    }
    // Makes the identifier findable; the location defaults to "/apps/ID.desktop".
    std::string install(const std::string& bundleIdentifier, std::string location = {}) {
        if (location.empty()) location = "/apps/" + bundleIdentifier + ".desktop";
        return installed[bundleIdentifier] = location;
    }
    // A well-known identifier of the other desktop that means this installed entry (or nothing, when empty).
    void meanHere(const std::string& identifier, const std::string& entry) { wellKnown[identifier] = entry; }
    // Answers for the next open requests of the location, in order; the last one repeats.
    void answerOpens(const std::string& location, std::vector<OpenApplicationResult> answers) {
        scripted[location].assign(answers.begin(), answers.end());
    }
    // Called with each location as it is asked to open (before any answer).
    std::function<void(const std::string&)> onOpenApplication;

    std::vector<std::string> openedLocations() const { return locations; }
    std::vector<std::string> openedURLs() const { return urls; }
    std::vector<RunningApplication> terminated() const { return forceTerminated; }
    int snapshotCount() const { return snapshots; }
    void setDisplayName(const std::string& location, std::string name) { names[location] = std::move(name); }

    std::vector<RunningApplication> runningApplications() override {
        ++snapshots;
        return runningProvider ? runningProvider() : running;
    }
    void forceTerminate(const RunningApplication& application) override { forceTerminated.push_back(application); }
    ApplicationLookup lookUpApplication(const std::string& identifier) override {
        auto known = wellKnown.find(identifier);
        bool isWellKnown = known != wellKnown.end() && !installed.contains(identifier);
        auto it = installed.find(isWellKnown ? known->second : identifier);
        if (it == installed.end()) return {std::nullopt, isWellKnown};
        return {ResolvedApplication{it->first, it->second, {it->first}}, isWellKnown};
    }
    void openApplication(const std::string& location, std::function<void(OpenApplicationResult)> completion) override {
        if (onOpenApplication) onOpenApplication(location);
        locations.push_back(location);
        auto it = scripted.find(location);
        if (it == scripted.end() || it->second.empty()) {
            unanswered.push_back(std::move(completion)); // kept alive, as a launch still under way would be
            return;
        }
        auto answer = it->second.front();
        if (it->second.size() > 1) it->second.pop_front();
        completion(std::move(answer));
    }
    void openURL(const std::string& url) override { urls.push_back(url); }
    std::string displayName(const std::string& location) override {
        return names.contains(location) ? names[location] : location;
    }
    std::string iconName(const std::string&) override { return {}; }
    // For loops that open many times (benchmarks): keeps memory flat.
    void forgetOpenRequests() {
        locations.clear();
        unanswered.clear();
    }

private:
    std::vector<RunningApplication> running;
    std::function<std::vector<RunningApplication>()> runningProvider;
    std::map<std::string, std::string> installed, wellKnown, names;
    std::map<std::string, std::deque<OpenApplicationResult>> scripted;
    std::vector<std::string> locations;
    std::vector<std::function<void(OpenApplicationResult)>> unanswered;
    std::vector<std::string> urls;
    std::vector<RunningApplication> forceTerminated;
    int snapshots = 0;
};

} // namespace knokle::test
