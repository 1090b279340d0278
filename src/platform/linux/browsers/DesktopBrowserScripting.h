#pragma once

#include "platform/linux/browsers/DevToolsBrowserScripting.h"

namespace knokle {

// Closes tabs through the Knokle extension of every live browser of that name, and through the DevTools
// endpoint for a Chromium-family browser without it.
class DesktopBrowserScripting final : public BrowserScripting {
public:
    // runtimeDir: where the hosts' folder is; nothing means $XDG_RUNTIME_DIR.
    explicit DesktopBrowserScripting(DevToolsBrowserScripting::PortLookup configuredPort = {},
                                     std::optional<std::filesystem::path> runtimeDir = std::nullopt,
                                     std::optional<std::filesystem::path> configFolder = std::nullopt);

    TabClosingResult closeTabs(const std::string& applicationName, const std::string& matchText) override;
    std::vector<std::string> browsersToAsk(const std::set<std::string>& runningIdentifiers) override;

private:
    DevToolsBrowserScripting devTools;
    std::optional<std::filesystem::path> runtimeDir;
};

} // namespace knokle
