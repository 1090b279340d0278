#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace knokle {

// The pieces of closing tabs through a Chromium-family browser's DevTools endpoint that need no browser.

// Whether the browser of this application name can be reached at all on this platform.
enum class BrowserReach { devTools, noRemoteControl, unknown };
BrowserReach browserReach(const std::string& applicationName);


// The port on the first line of a DevToolsActivePort file.
std::optional<int> parseDevToolsActivePort(std::string_view fileText);

struct DevToolsTarget {
    std::string id;
    std::string url;
};
// The tabs ("page" targets) of a /json/list answer; nothing when the answer is not such a list.
std::optional<std::vector<DevToolsTarget>> pageTargets(std::string_view listJson);

// Whether the address contains the text, ignoring letter case (Unicode case folding for valid UTF-8).
bool containsIgnoringCase(std::string_view address, std::string_view text);

} // namespace knokle
