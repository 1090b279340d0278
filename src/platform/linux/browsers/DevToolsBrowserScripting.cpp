#include "platform/linux/browsers/DevToolsBrowserScripting.h"

#include "common/AtomicFile.h"
#include "common/TextFormat.h"
#include "common/UnicodeText.h"
#include "platform/linux/browsers/DevToolsTargets.h"
#include "platform/linux/browsers/LoopbackHttp.h"
#include "platform/linux/browsers/BrowserCatalog.h"
#include "platform/linux/desktop/XdgFolders.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace knokle {
namespace {

namespace fs = std::filesystem;

using Clock = std::chrono::steady_clock;

std::string secondsText(std::chrono::milliseconds time) {
    return shortestDecimal(static_cast<double>(time.count()) / 1000.0) + " s";
}

TabClosingResult failure(std::string text) {
    return TabClosingResult{std::nullopt, std::move(text)};
}

} // namespace

DevToolsBrowserScripting::DevToolsBrowserScripting(PortLookup configuredPort, std::optional<fs::path> configFolder,
                                                   std::chrono::milliseconds timeout, std::chrono::milliseconds budget)
    : configuredPort(std::move(configuredPort)), configFolder(std::move(configFolder)), timeout(timeout),
      budget(budget) {}

const char* const kDevToolsNotEnabled =
    "remote debugging is not enabled (start it with --remote-debugging-port=0, or set its port in the settings)";

std::optional<int> DevToolsBrowserScripting::portFor(const std::string& applicationName, bool& fromFile) const {
    fromFile = false;
    if (configuredPort)
        if (auto port = configuredPort(applicationName); port && *port >= 1 && *port <= 65535) return port;
    fromFile = true;
    fs::path root = configFolder ? *configFolder : XdgFolders().configHome();
    const BrowserCatalogRow* row = browserNamed(applicationName);
    if (!row) return std::nullopt;
    for (const auto& folder : row->devToolsFolders)
        if (auto text = readWholeFile(root / folder / "DevToolsActivePort"))
            if (auto port = parseDevToolsActivePort(*text)) return port;
    return std::nullopt;
}

bool DevToolsBrowserScripting::reachable(const std::string& applicationName) const {
    bool fromFile = false;
    auto port = portFor(applicationName, fromFile);
    if (!port) return false;
    HttpAnswer answer = loopbackGet(*port, "/json/version", kMaxDevToolsAnswerBytes, timeout, Clock::now() + timeout);
    return !answer.refused;
}

TabClosingResult DevToolsBrowserScripting::closeTabs(const std::string& applicationName,
                                                     const std::string& matchText) {
    switch (browserReach(applicationName)) {
    case BrowserReach::noRemoteControl:
        return failure(applicationName + " cannot be reached this way");
    case BrowserReach::unknown:
        return failure("there is no way to reach the tabs of " + applicationName + " here");
    case BrowserReach::devTools:
        break;
    }
    // An empty text is contained in every address: never let it close every tab.
    std::string match = withoutLineBreaks(matchText);
    if (match.empty()) return TabClosingResult{0, std::nullopt};

    bool fromFile = false;
    auto port = portFor(applicationName, fromFile);
    if (!port) return failure(kDevToolsNotEnabled);
    std::string portText = std::to_string(*port);

    // One deadline for the whole call: a slow browser must not hold up the rest of the mode.
    const auto deadline = Clock::now() + budget;
    HttpAnswer list = loopbackGet(*port, "/json/list", kMaxDevToolsAnswerBytes, timeout, deadline);
    // The browser leaves its port file behind when it ends; the running one then has no endpoint at all.
    if (!list.answered && list.refused && fromFile) return failure(kDevToolsNotEnabled);
    if (list.tooLarge)
        return failure("its DevTools endpoint on port " + portText + " sent a tab list larger than 4 MB");
    if (list.late)
        return failure("its DevTools endpoint on port " + portText + " did not answer within " + secondsText(budget));
    if (!list.answered) return failure("its DevTools endpoint did not answer on port " + portText);
    if (list.status != 200)
        return failure("its DevTools endpoint on port " + portText + " answered with HTTP status " +
                       std::to_string(list.status));
    auto pages = pageTargets(list.body);
    if (!pages) return failure("its DevTools endpoint on port " + portText + " sent an unreadable tab list");

    std::vector<const DevToolsTarget*> matching;
    for (const auto& page : *pages)
        if (containsIgnoringCase(page.url, match)) matching.push_back(&page);
    std::int32_t closed = 0;
    for (const DevToolsTarget* page : matching) {
        HttpAnswer answer =
            loopbackGet(*port, "/json/close/" + percentEncoded(page->id), kMaxDevToolsAnswerBytes, timeout, deadline);
        if (answer.late)
            return TabClosingResult{closed, "its DevTools endpoint on port " + portText + " took longer than " +
                                                secondsText(budget) + "; " + std::to_string(closed) +
                                                " tab(s) closed, " + std::to_string(matching.size() - closed) +
                                                " not reached"};
        if (!answer.answered)
            return TabClosingResult{closed, "its DevTools endpoint stopped answering on port " + portText + " after " +
                                                std::to_string(closed) + " tab(s) were closed"};
        if (answer.status == 200) ++closed;
        // 404: the tab was closed by someone else meanwhile; nothing to do.
        else if (answer.status != 404)
            return TabClosingResult{closed, "its DevTools endpoint refused to close a tab (HTTP status " +
                                                std::to_string(answer.status) + ")"};
    }
    return TabClosingResult{closed, std::nullopt};
}

} // namespace knokle
