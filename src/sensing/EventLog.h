#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace knokle {

// The tap detector's debug log: one line per judged event, appended to a file. Off unless KNOKLE_DEBUG is
// exactly "1" (read once, at the first attempt to log). The file sits in a folder every user can write to,
// so it is opened without following a symbolic link and written only when it is our own regular file.
class EventLog {
public:
    static constexpr const char* standardPath = "/tmp/knokle_events.log";

    // Enabled by the environment, at the first log attempt.
    explicit EventLog(std::string path = standardPath);
    // Enabled or disabled regardless of the environment.
    EventLog(std::string path, bool enabled);

    // The process's log at the fixed path.
    static EventLog& standard();

    bool enabled();
    // Appends the line and a line feed in one write. Errors are ignored: logging never disturbs detection.
    void append(std::string_view line);

    const std::string& path() const { return filePath; }

private:
    std::string filePath;
    std::optional<bool> isEnabled;
};

} // namespace knokle
