#include "platform/linux/desktop/DesktopEntryFile.h"

#include <cstdlib>

namespace knokle {
namespace {

std::string_view trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

// The keys a locale "lang_COUNTRY.ENCODING@MODIFIER" may be written under, most specific first.
std::vector<std::string> localeKeys(std::string_view locale) {
    size_t at = locale.find('@');
    std::string modifier = at == std::string_view::npos ? "" : std::string(locale.substr(at));
    std::string_view rest = locale.substr(0, at);
    rest = rest.substr(0, rest.find('.')); // the encoding never appears in keys
    size_t underscore = rest.find('_');
    std::string lang(rest.substr(0, underscore));
    std::string country = underscore == std::string_view::npos ? "" : std::string(rest.substr(underscore));
    std::vector<std::string> keys;
    if (!country.empty() && !modifier.empty()) keys.push_back(lang + country + modifier);
    if (!country.empty()) keys.push_back(lang + country);
    if (!modifier.empty()) keys.push_back(lang + modifier);
    if (!lang.empty()) keys.push_back(lang);
    return keys;
}

} // namespace

std::string unescapeDesktopValue(std::string_view value) {
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out.push_back(value[i]);
            continue;
        }
        char next = value[++i];
        switch (next) {
        case 's':
            out.push_back(' ');
            break;
        case 'n':
            out.push_back('\n');
            break;
        case 't':
            out.push_back('\t');
            break;
        case 'r':
            out.push_back('\r');
            break;
        case '\\':
            out.push_back('\\');
            break;
        default:
            // Unknown escapes (such as the quoting escapes of Exec) are kept for the next level.
            out.push_back('\\');
            out.push_back(next);
        }
    }
    return out;
}

std::optional<DesktopEntryFile> DesktopEntryFile::parse(std::string_view text) {
    DesktopEntryFile file;
    std::map<std::string, std::string>* group = nullptr;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = trim(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line.front() == '#') continue;
        if (line.front() == '[') {
            group = line.back() == ']' ? &file.groups[std::string(line.substr(1, line.size() - 2))] : nullptr;
            continue;
        }
        size_t equals = line.find('=');
        if (!group || equals == std::string_view::npos) continue;
        group->emplace(std::string(trim(line.substr(0, equals))), std::string(trim(line.substr(equals + 1))));
    }
    if (!file.hasGroup(kMainGroup)) return std::nullopt;
    return file;
}

std::optional<std::string> DesktopEntryFile::value(const std::string& key, const std::string& group) const {
    auto found = groups.find(group);
    if (found == groups.end()) return std::nullopt;
    auto it = found->second.find(key);
    if (it == found->second.end()) return std::nullopt;
    return unescapeDesktopValue(it->second);
}

std::optional<std::string> DesktopEntryFile::localised(const std::string& key, std::string_view locale) const {
    for (const auto& suffix : localeKeys(locale))
        if (auto text = value(key + "[" + suffix + "]")) return text;
    return value(key);
}

std::vector<std::string> DesktopEntryFile::list(const std::string& key) const {
    std::vector<std::string> items;
    std::string text = value(key).value_or("");
    for (size_t start = 0; start < text.size();) {
        size_t end = std::min(text.find(';', start), text.size());
        if (end > start) items.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return items;
}

std::string messagesLocale() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
        if (const char* value = std::getenv(name); value && *value) return value;
    return "";
}

} // namespace knokle
