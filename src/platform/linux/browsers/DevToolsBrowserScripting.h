#pragma once

#include "platform/BrowserScripting.h"

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace knokle {

extern const char* const kDevToolsNotEnabled; // the reason given when a browser has no DevTools endpoint
inline constexpr std::size_t kMaxDevToolsAnswerBytes = 4 * 1024 * 1024; // a tab list of thousands of tabs fits

// Closes tabs of Chromium-family browsers through their DevTools HTTP endpoint on 127.0.0.1. The port is
// the configured one for the browser, else the one its profile folder's DevToolsActivePort file names.
// The script text is for scripting hosts and is not used here.
class DevToolsBrowserScripting final : public BrowserScripting {
public:
    using PortLookup = std::function<std::optional<int>(const std::string& applicationName)>;

    // configFolder: where the browsers' profile folders are; nothing means $XDG_CONFIG_HOME (or ~/.config),
    // read at each call.
    explicit DevToolsBrowserScripting(PortLookup configuredPort = {},
                                      std::optional<std::filesystem::path> configFolder = std::nullopt,
                                      std::chrono::milliseconds timeout = std::chrono::seconds(3),
                                      std::chrono::milliseconds budget = std::chrono::seconds(5));

    TabClosingResult closeTabs(const std::string& applicationName, const std::string& matchText) override;
    std::vector<std::string> browsersToAsk(const std::set<std::string>&) override { return {}; }
    // Whether the browser has a port (set or in its port file) on which something does not refuse.
    bool reachable(const std::string& applicationName) const;

private:
    // fromFile: the port came from the profile's DevToolsActivePort file, which may be stale.
    std::optional<int> portFor(const std::string& applicationName, bool& fromFile) const;

    PortLookup configuredPort;
    std::optional<std::filesystem::path> configFolder;
    std::chrono::milliseconds timeout; // per request
    std::chrono::milliseconds budget;  // for all requests of one call
};

} // namespace knokle
