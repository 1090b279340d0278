#include "viewmodels/ApplicationCatalog.h"

#include "common/UnicodeText.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

namespace knokle {

namespace {

struct Entry {
    InstalledApplication application;
    bool listed = false;
};

std::string lowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// The [Desktop Entry] group's Type, Name, Icon, Hidden and NoDisplay (unlocalised keys only).
Entry readEntry(const std::filesystem::path& file, std::string identifier) {
    Entry entry;
    entry.application.identifier = std::move(identifier);
    std::ifstream in(file);
    std::string line;
    bool inGroup = false;
    std::string type;
    bool hidden = false;
    while (std::getline(in, line)) {
        std::string_view text = trimmedSpaces(line);
        if (text.empty() || text.front() == '#') continue;
        if (text.front() == '[') {
            inGroup = text == "[Desktop Entry]";
            continue;
        }
        if (!inGroup) continue;
        auto equals = text.find('=');
        if (equals == std::string_view::npos) continue;
        std::string_view key = trimmedSpaces(text.substr(0, equals));
        std::string value(trimmedSpaces(text.substr(equals + 1)));
        if (key == "Type")
            type = value;
        else if (key == "Name")
            entry.application.name = value;
        else if (key == "Icon")
            entry.application.icon = value;
        else if (key == "Hidden" || key == "NoDisplay")
            hidden = hidden || value == "true";
    }
    entry.listed = type == "Application" && !hidden && !entry.application.name.empty();
    return entry;
}

// The ID of a file below an applications folder: its relative path with "/" as "-", without ".desktop".
std::optional<std::string> entryId(const std::filesystem::path& folder, const std::filesystem::path& file) {
    if (file.extension() != ".desktop") return std::nullopt;
    std::string relative = file.lexically_relative(folder).replace_extension().generic_string();
    if (relative.empty() || relative.starts_with("..")) return std::nullopt;
    std::replace(relative.begin(), relative.end(), '/', '-');
    return relative;
}

} // namespace

std::vector<InstalledApplication> installedApplications(const std::vector<std::filesystem::path>& folders) {
    std::map<std::string, Entry> byId;
    for (const auto& folder : folders) {
        std::error_code error;
        std::filesystem::recursive_directory_iterator it(folder, error), end;
        for (; !error && it != end; it.increment(error)) {
            if (!it->is_regular_file(error)) continue;
            auto id = entryId(folder, it->path());
            if (!id || byId.count(*id)) continue;
            byId.emplace(*id, readEntry(it->path(), *id));
        }
    }
    std::vector<InstalledApplication> out;
    for (auto& [id, entry] : byId)
        if (entry.listed) out.push_back(std::move(entry.application));
    std::stable_sort(out.begin(), out.end(),
                     [](const auto& a, const auto& b) { return lowerAscii(a.name) < lowerAscii(b.name); });
    return out;
}

bool matchesSearch(const InstalledApplication& application, std::string_view query) {
    std::string haystack = lowerAscii(application.name) + "\n" + lowerAscii(application.identifier);
    std::istringstream words{lowerAscii(query)};
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
