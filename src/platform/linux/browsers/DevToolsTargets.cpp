#include "platform/linux/browsers/DevToolsTargets.h"

#include "common/JsonNesting.h"
#include "common/UnicodeText.h"
#include "platform/linux/browsers/BrowserCatalog.h"

#include <charconv>
#include <glib.h>
#include <nlohmann/json.hpp>

namespace knokle {
namespace {

std::string folded(std::string_view text) {
    if (!g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) return lowerCasedAscii(text);
    char* fold = g_utf8_casefold(text.data(), static_cast<gssize>(text.size()));
    std::string out = fold ? fold : lowerCasedAscii(text);
    g_free(fold);
    return out;
}

} // namespace

BrowserReach browserReach(const std::string& applicationName) {
    const BrowserCatalogRow* row = browserNamed(applicationName);
    if (row && row->hasDevTools()) return BrowserReach::devTools;
    return row && row->firefox ? BrowserReach::noRemoteControl : BrowserReach::unknown;
}

std::optional<int> parseDevToolsActivePort(std::string_view fileText) {
    std::string_view line = fileText.substr(0, fileText.find('\n'));
    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
        line.remove_suffix(1);
    int port = 0;
    auto [ptr, ec] = std::from_chars(line.data(), line.data() + line.size(), port);
    if (ec != std::errc() || ptr != line.data() + line.size() || port < 1 || port > 65535) return std::nullopt;
    return port;
}

std::optional<std::vector<DevToolsTarget>> pageTargets(std::string_view listJson) {
    if (!jsonNestingWithin(listJson)) return std::nullopt;
    auto list = nlohmann::json::parse(listJson, nullptr, false);
    if (list.is_discarded() || !list.is_array()) return std::nullopt;
    std::vector<DevToolsTarget> pages;
    for (const auto& target : list) {
        if (!target.is_object()) continue;
        auto type = target.find("type");
        auto id = target.find("id");
        auto url = target.find("url");
        if (type == target.end() || !type->is_string() || *type != "page") continue;
        if (id == target.end() || !id->is_string() || url == target.end() || !url->is_string()) continue;
        pages.push_back({id->get<std::string>(), url->get<std::string>()});
    }
    return pages;
}

bool containsIgnoringCase(std::string_view address, std::string_view text) {
    return folded(address).find(folded(text)) != std::string::npos;
}

} // namespace knokle
