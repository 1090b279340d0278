#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace knokle {

// A browser whose tabs a mode can close: the name the script addresses, and the application identifiers
// under which it may be running (the original desktop's bundle identifier first, then Linux desktop IDs).
struct BrowserRow {
    std::string applicationName;
    std::vector<std::string> identifiers;
};

// The browsers in the order they are addressed.
const std::vector<BrowserRow>& browserTable();

// The match text made safe inside the script's string literal: backslashes doubled, then double quotes
// escaped, then line-break characters removed.
std::string scriptSafeText(std::string_view matchText);

// The tab-closing script for one browser; scriptSafe is the result of scriptSafeText.
std::string tabClosingScript(std::string_view applicationName, std::string_view scriptSafe);

} // namespace knokle
