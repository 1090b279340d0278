#pragma once

#include <cstdint>
#include <optional>
#include <set>
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
    // The browsers to ask, in the order to ask them: those the workspace sees running (runningIdentifiers are
    // the snapshot's application identifiers), and those reachable right now however they were started.
    virtual std::vector<std::string> browsersToAsk(const std::set<std::string>& runningIdentifiers) = 0;
};

} // namespace knokle
