#include "platform/linux/browsers/DesktopBrowserScripting.h"

#include "modes/BrowserTable.h"
#include "platform/linux/browsers/BrowserHosts.h"

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

std::vector<std::string> DesktopBrowserScripting::liveBrowsers() {
    std::string why;
    auto folder = browserHostFolder(why, runtimeDir);
    if (!folder) return {};
    std::vector<std::string> names;
    auto hosts = liveBrowserHosts(*folder);
    for (const auto& row : browserTable())
        for (const auto& host : hosts)
            if (host.slug == browserSlug(row.applicationName)) {
                names.push_back(row.applicationName);
                break;
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
    if (applicationName == "Firefox") return {std::nullopt, kNotRunning};
    auto result = devTools.closeTabs(applicationName, matchText);
    if (result.error == kDevToolsNotEnabled) result.error = kNeither;
    return result;
}

} // namespace knokle
