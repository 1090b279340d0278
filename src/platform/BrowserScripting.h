#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace knokle {

struct TabClosingResult {
    std::optional<std::int32_t> closedCount; // nothing when the browser gave no number
    std::optional<std::string> error;        // set when the browser could not be reached or refused
};

// Closes one running browser's tabs whose address contains the match text, ignoring case; synchronously, on the
// caller's thread.
class BrowserScripting {
public:
    virtual ~BrowserScripting() = default;
    virtual TabClosingResult closeTabs(const std::string& applicationName, const std::string& matchText) = 0;
    // Application names of browsers known to be running and reachable right now, whether or not the
    // workspace lists them (a browser started in a way the workspace cannot tell).
    virtual std::vector<std::string> liveBrowsers() { return {}; }
};

} // namespace knokle
