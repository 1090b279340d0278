#include "platform/linux/browsers/DesktopBrowserScripting.h"

#include "platform/linux/browsers/BrowserHosts.h"
#include "platform/linux/browsers/BrowserCatalog.h"

#include <algorithm>

namespace knokle {
namespace {

constexpr auto kHostTimeout = std::chrono::seconds(8);
const char* const kNotRunning = "the Knokle extension is not running in it (see knokle --install-browser-support)";
const char* const kNeither = "neither the Knokle extension is running in it nor is remote debugging enabled (see "
                             "knokle --install-browser-support)";

} // namespace

DesktopBrowserScripting::DesktopBrowserScripting(DevToolsBrowserScripting::PortLookup configuredPort,
                                                 std::optional<std::filesystem::path> runtimeDir,
                                                 std::optional<std::filesystem::path> configFolder)
    : devTools(std::move(configuredPort), std::move(configFolder)), runtimeDir(std::move(runtimeDir)) {}

std::vector<std::string> DesktopBrowserScripting::browsersToAsk(const std::set<std::string>& runningIdentifiers) {
    std::string why;
    auto folder = browserHostFolder(why, runtimeDir);
    auto hosts = folder ? liveBrowserHosts(*folder) : std::vector<LiveHost>{};
    std::vector<std::string> names;
    for (const auto& row : browserCatalog()) {
        bool running = std::any_of(row.desktopIds.begin(), row.desktopIds.end(),
                                   [&](const std::string& id) { return runningIdentifiers.count(id) > 0; });
        bool hosted = std::any_of(hosts.begin(), hosts.end(),
                                  [&](const LiveHost& host) { return host.slug == browserSlug(row.name); });
        // A browser started from a terminal is not seen running, yet its DevTools endpoint may answer.
        if (running || hosted || (row.hasDevTools() && devTools.reachable(row.name))) names.push_back(row.name);
    }
    return names;
}

TabClosingResult DesktopBrowserScripting::closeTabs(const std::string& applicationName, const std::string& matchText) {
    std::string why;
    auto folder = browserHostFolder(why, runtimeDir);
    std::vector<LiveHost> hosts;
    if (folder)
        for (auto& host : liveBrowserHosts(*folder))
            if (host.slug == browserSlug(applicationName)) hosts.push_back(std::move(host));
    if (!hosts.empty()) {
        // One host per profile that runs the extension; the count is theirs together, unless none answered.
        TabClosingResult total{std::nullopt, std::nullopt};
        for (const auto& host : hosts) {
            auto result = askHostToCloseTabs(host.socket, matchText, kHostTimeout);
            if (result.closedCount)
                total.closedCount = total.closedCount.value_or(0) + *result.closedCount;
            else if (!total.error)
                total.error = result.error;
        }
        if (total.closedCount) total.error.reset();
        return total;
    }
    if (const BrowserCatalogRow* row = browserNamed(applicationName); row && row->firefox)
        return {std::nullopt, kNotRunning};
    auto result = devTools.closeTabs(applicationName, matchText);
    if (result.error == kDevToolsNotEnabled) result.error = kNeither;
    return result;
}

} // namespace knokle
