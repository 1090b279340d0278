#pragma once

#include <string>
#include <vector>

namespace knokle {

// A browser whose tabs a mode can close: the name lines print, and the application identifiers
// under which it may be running (the original desktop's bundle identifier first, then Linux desktop IDs).
struct BrowserRow {
    std::string applicationName;
    std::vector<std::string> identifiers;
};

// The browsers in the order they are addressed.
const std::vector<BrowserRow>& browserTable();

} // namespace knokle
