#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace knokle {

// A desktop entry file read once: its groups and keys, values with their string escapes undone. The one
// reader of desktop files in the program (the workspace, the login item and the application chooser).
class DesktopEntryFile {
public:
    // Nothing when the text has no [Desktop Entry] group.
    static std::optional<DesktopEntryFile> parse(std::string_view text);

    bool hasGroup(const std::string& group) const { return groups.count(group) > 0; }
    // A key of the [Desktop Entry] group (or of another group); the first occurrence counts.
    std::optional<std::string> value(const std::string& key, const std::string& group = kMainGroup) const;
    // A localised key ("Name[de_DE]"), falling back as the locale's parts allow, then to the plain key.
    // locale: as in LC_MESSAGES ("de_DE.UTF-8@euro"); empty or "C" means the plain key.
    std::optional<std::string> localised(const std::string& key, std::string_view locale) const;
    bool boolean(const std::string& key) const { return value(key) == "true"; }
    // A ";"-separated list ("Categories").
    std::vector<std::string> list(const std::string& key) const;

    static constexpr const char* kMainGroup = "Desktop Entry";

private:
    std::map<std::string, std::map<std::string, std::string>> groups;
};

// The string escapes of desktop entry values (\s \n \t \r \\) undone; other escapes (Exec's quoting) are kept.
std::string unescapeDesktopValue(std::string_view value);

// The locale the user reads messages in: LC_ALL, else LC_MESSAGES, else LANG.
std::string messagesLocale();

} // namespace knokle
