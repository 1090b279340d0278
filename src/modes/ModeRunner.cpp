#include "modes/ModeRunner.h"

#include "common/DiagnosticOutput.h"
#include "common/TextFormat.h"
#include "common/UnicodeText.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <set>

namespace knokle {
namespace {

constexpr double restartTimeoutSeconds = 8;
constexpr double exitPollSeconds = 0.15;
constexpr double fullScreenTimeoutSeconds = 6;
constexpr double windowPollSeconds = 0.2;
constexpr int lastRetriedAttempt = 2; // attempts 0 to 3: the fourth failure gives up
constexpr double retryStepSeconds = 0.6;

const std::string tag = "[ModeManager] ";

int killProcess(const ModeServices& services, std::int32_t pid) {
    if (services.sendKill) return services.sendKill(pid);
    return ::kill(pid, SIGKILL) == 0 ? 0 : errno;
}

bool contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

// How lines name an application: the identifier as stored, and what it resolved to when that differs.
std::string label(const std::string& identifier, const ApplicationLookup& lookup) {
    if (!lookup.application || lookup.application->desktopEntry == identifier) return identifier;
    return identifier + " (" + lookup.application->desktopEntry + ")";
}

// The identifier running applications are listed under; nothing (after saying so) when a well-known
// identifier has no counterpart here.
std::optional<std::string> runningIdentifier(const std::string& identifier, const ApplicationLookup& lookup) {
    if (lookup.application) return lookup.application->desktopEntry;
    if (!lookup.wellKnown) return identifier;
    printLine(tag + "No counterpart of " + identifier + " was found on this desktop");
    return std::nullopt;
}

} // namespace

void runMode(const std::shared_ptr<const ModeServices>& services, const SlapMode& mode) {
    const ModeServices& s = *services;

    for (const auto& entry : mode.closeURLs) {
        if (!trimmedSpaces(entry).empty()) closeTabs(s, entry);
    }

    std::vector<std::string> restartSet;
    for (const auto& bundleIdentifier : mode.quitApps) {
        if (contains(mode.openApps, bundleIdentifier) && !contains(restartSet, bundleIdentifier)) {
            restartSet.push_back(bundleIdentifier);
        }
    }

    for (const auto& bundleIdentifier : mode.quitApps)
        quitApplication(s, bundleIdentifier);
    for (const auto& bundleIdentifier : restartSet)
        waitForExit(s, bundleIdentifier, restartTimeoutSeconds);
    if (!mode.openApps.empty() && (!s.openAppsFullScreen || s.openAppsFullScreen()))
        if (auto limitation = s.windows.fullScreenLimitation()) printLine(tag + *limitation);
    for (const auto& bundleIdentifier : mode.openApps)
        launch(services, bundleIdentifier, 0);

    for (const auto& entry : mode.openURLs) {
        if (auto url = ModeManager::normalisedURL(entry)) {
            s.workspace.openURL(*url);
        } else {
            printLine(tag + "Skipping unusable link: " + entry);
        }
    }

    if (mode.focusModeIdentifier && !mode.focusModeIdentifier->empty()) setFocusMode(s, *mode.focusModeIdentifier);
}

void closeTabs(const ModeServices& services, const std::string& matchText) {
    std::set<std::string> running;
    for (const auto& application : services.workspace.runningApplications()) {
        if (application.bundleIdentifier) running.insert(*application.bundleIdentifier);
    }
    std::string plainMatch = withoutLineBreaks(matchText);
    if (plainMatch.empty()) return;

    // Never start a browser just to close its tabs: only running or reachable ones are asked.
    for (const auto& browser : services.browsers.browsersToAsk(running)) {
        TabClosingResult result = services.browsers.closeTabs(browser, plainMatch);
        if (result.error) {
            printLine(tag + "Could not close tabs in " + browser + ": " + *result.error);
            continue;
        }
        printLine(tag + browser + ": closed " + std::to_string(result.closedCount.value_or(0)) +
                  " tab(s) matching '" + matchText + "'");
    }
}

void quitApplication(const ModeServices& services, const std::string& bundleIdentifier) {
    auto lookup = services.workspace.lookUpApplication(bundleIdentifier);
    auto target = runningIdentifier(bundleIdentifier, lookup);
    if (!target) return;
    std::string name = label(bundleIdentifier, lookup);
    std::vector<RunningApplication> matching;
    for (auto& application : services.workspace.runningApplications()) {
        if (application.bundleIdentifier == *target) matching.push_back(std::move(application));
    }
    if (matching.empty()) {
        printLine(tag + "Quit: nothing running for " + name);
        return;
    }
    for (const auto& application : matching) {
        if (application.processIdentifier < 1) {
            services.workspace.forceTerminate(application);
            continue;
        }
        int error = killProcess(services, application.processIdentifier);
        printLine(tag + "Quit " + name + " pid " + std::to_string(application.processIdentifier) + ": SIGKILL " +
                  (error == 0 ? std::string("ok") : "errno " + std::to_string(error)));
    }
}

void waitForExit(const ModeServices& services, const std::string& bundleIdentifier, double timeoutSeconds) {
    auto lookup = services.workspace.lookUpApplication(bundleIdentifier);
    std::string target = lookup.application ? lookup.application->desktopEntry : bundleIdentifier;
    MonotonicTime deadline = services.clock.now() + toSteady(Seconds(timeoutSeconds));
    while (services.clock.now() < deadline) {
        auto snapshot = services.workspace.runningApplications();
        bool alive = std::any_of(snapshot.begin(), snapshot.end(), [&](const RunningApplication& application) {
            return application.bundleIdentifier == target && !application.isTerminated;
        });
        if (!alive) return;
        services.clock.sleepFor(Seconds(exitPollSeconds));
    }
    printLine(tag + label(bundleIdentifier, lookup) + " did not quit within " +
              std::to_string(static_cast<long long>(timeoutSeconds)) + "s; launching anyway");
}

void launch(const std::shared_ptr<const ModeServices>& services, const std::string& bundleIdentifier, int attempt) {
    auto lookup = services->workspace.lookUpApplication(bundleIdentifier);
    if (!lookup.application) {
        if (lookup.wellKnown)
            printLine(tag + "No counterpart of " + bundleIdentifier + " was found on this desktop");
        else
            printLine(tag + "Could not find app for bundle ID " + bundleIdentifier);
        return;
    }
    std::string name = label(bundleIdentifier, lookup);
    // The windows there before the launch, so that a window the launch hands off to can be told apart.
    WindowSearch search{0, lookup.application->windowNames, services->windows.topLevelWindows()};
    services->workspace.openApplication(lookup.application->location, [services, bundleIdentifier, name, attempt,
                                                                       search](OpenApplicationResult result) mutable {
        if (result.errorDescription) {
            if (attempt > lastRetriedAttempt) {
                printLine(tag + "Gave up launching " + name + ": " + *result.errorDescription);
                return;
            }
            double delay = (attempt + 1) * retryStepSeconds;
            printLine(tag + name + " launch failed (" + *result.errorDescription + "); retrying in " +
                      shortestDecimal(delay) + "s");
            services->mainLoop.after(Seconds(delay), [services, bundleIdentifier, attempt] {
                launch(services, bundleIdentifier, attempt + 1);
            });
            return;
        }
        if (!result.application) return;
        bool fullScreen = services->openAppsFullScreen ? services->openAppsFullScreen() : true;
        if (!fullScreen) return;
        search.processIdentifier = result.application->processIdentifier;
        enterFullScreen(services, name, std::move(search));
    });
}

void enterFullScreen(const std::shared_ptr<const ModeServices>& services, const std::string& name,
                     WindowSearch search) {
    if (search.processIdentifier < 1 && search.names.empty()) return;
    services->background.post([services, name, search = std::move(search)] {
        const ModeServices& s = *services;
        MonotonicTime deadline = s.clock.now() + toSteady(Seconds(fullScreenTimeoutSeconds));
        while (s.clock.now() < deadline) {
            if (auto window = s.windows.applicationWindow(search)) {
                if (s.windows.isFullScreen(*window) != true) s.windows.requestFullScreen(*window);
                return;
            }
            s.clock.sleepFor(Seconds(windowPollSeconds));
        }
        // Under Wayland that was said once for the run: a native window is simply out of reach.
        if (s.windows.fullScreenLimitation()) return;
        printLine(tag + "full screen: " + name + " never exposed a window");
    });
}

void setFocusMode(const ModeServices& services, const std::string& name) {
    if (auto failure = services.shortcuts.run(name)) {
        printLine(tag + "Failed to run shortcut '" + name + "': " + *failure);
    }
}

} // namespace knokle
