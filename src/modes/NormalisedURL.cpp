#include "common/UnicodeText.h"
#include "modes/ModeManager.h"

#include <algorithm>
#include <cctype>
#include <uriparser/Uri.h>

namespace knokle {
namespace {

std::string_view rangeText(const UriTextRangeA& range) {
    if (!range.first || !range.afterLast || range.afterLast < range.first) return {};
    return std::string_view(range.first, static_cast<size_t>(range.afterLast - range.first));
}

// RAII for the parser's allocations.
struct ParsedUri {
    UriUriA uri{};
    bool ok = false;
    explicit ParsedUri(const std::string& text) {
        const char* errorPos = nullptr;
        ok = uriParseSingleUriA(&uri, text.c_str(), &errorPos) == URI_SUCCESS;
    }
    ~ParsedUri() { uriFreeUriMembersA(&uri); }
    ParsedUri(const ParsedUri&) = delete;
    ParsedUri& operator=(const ParsedUri&) = delete;
};

} // namespace

std::optional<std::string> ModeManager::normalisedURL(const std::string& text) {
    std::string trimmed(trimmedSpacesAndLineBreaks(text));
    if (trimmed.empty()) return std::nullopt;
    if (trimmed.find("://") == std::string::npos) trimmed.insert(0, "https://");

    // The parser stops at a NUL; such a link is not one.
    if (trimmed.find('\0') != std::string::npos) return std::nullopt;
    ParsedUri parsed(trimmed);
    if (!parsed.ok) return std::nullopt;

    std::string scheme(rangeText(parsed.uri.scheme));
    if (scheme.empty()) return std::nullopt;
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (scheme != "http" && scheme != "https" && scheme != "file") return std::nullopt;

    bool hasHost = !rangeText(parsed.uri.hostText).empty() || parsed.uri.hostData.ip4 != nullptr ||
                   parsed.uri.hostData.ip6 != nullptr || !rangeText(parsed.uri.hostData.ipFuture).empty();
    if (!hasHost && scheme != "file") return std::nullopt;
    return trimmed;
}

} // namespace knokle
