#include "viewmodels/ApplicationCatalog.h"

#include "common/UnicodeText.h"

#include <map>
#include <sstream>

namespace knokle {

bool matchesSearch(const InstalledApplication& application, std::string_view query) {
    std::string haystack = lowerCasedAscii(application.name) + "\n" + lowerCasedAscii(application.identifier);
    std::istringstream words{lowerCasedAscii(query)};
    std::string word;
    while (words >> word)
        if (haystack.find(word) == std::string::npos) return false;
    return true;
}

std::string readableApplicationName(std::string_view identifier) {
    static const std::map<std::string, std::string, std::less<>> known{
        {"com.apple.MobileSMS", "Messages"}, {"com.apple.mail", "Mail"},         {"com.apple.Safari", "Safari"},
        {"com.apple.Notes", "Notes"},        {"com.apple.Terminal", "Terminal"}, {"com.apple.iCal", "Calendar"},
        {"com.apple.Music", "Music"},        {"com.apple.finder", "Finder"},
    };
    std::string_view id = identifier;
    for (std::string_view suffix : {".desktop", ".app"})
        if (id.ends_with(suffix)) id.remove_suffix(suffix.size());
    if (auto it = known.find(id); it != known.end()) return it->second;
    std::string_view last = id.substr(id.find_last_of('.') == std::string_view::npos ? 0 : id.find_last_of('.') + 1);
    std::string words;
    for (size_t i = 0; i < last.size(); ++i) {
        char c = last[i];
        if (c == '-' || c == '_') {
            if (!words.empty() && words.back() != ' ') words += ' ';
            continue;
        }
        // A capital after a small letter starts a word: "TextEditor".
        if (c >= 'A' && c <= 'Z' && i > 0 && last[i - 1] >= 'a' && last[i - 1] <= 'z') words += ' ';
        words += c;
    }
    if (!words.empty() && words[0] >= 'a' && words[0] <= 'z') words[0] = static_cast<char>(words[0] - 'a' + 'A');
    return words.empty() ? std::string(identifier) : words;
}

std::string missingApplicationLabel(std::string_view identifier) {
    return readableApplicationName(identifier) + " (not installed)";
}

} // namespace knokle
