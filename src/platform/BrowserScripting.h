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

// Runs the tab-closing script in one running browser, synchronously, on the caller's thread.
// A realisation without a scripting host acts on the match text with the script's rule: a tab is closed
// when its address contains the text, ignoring case.
class BrowserScripting {
public:
    virtual ~BrowserScripting() = default;
    virtual TabClosingResult closeTabs(const std::string& applicationName, const std::string& scriptText,
                                       const std::string& matchText) = 0;
    // Application names of browsers known to be running and reachable right now, whether or not the
    // workspace lists them (a browser started in a way the workspace cannot tell).
    virtual std::vector<std::string> liveBrowsers() { return {}; }
};

} // namespace knokle
