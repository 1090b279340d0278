#include "sensing/EventLog.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace knokle {

EventLog::EventLog(std::string path) : filePath(std::move(path)) {}

EventLog::EventLog(std::string path, bool enabled) : filePath(std::move(path)), isEnabled(enabled) {}

EventLog& EventLog::standard() {
    static EventLog log;
    return log;
}

bool EventLog::enabled() {
    if (!isEnabled) {
        const char* value = std::getenv("KNOKLE_DEBUG");
        isEnabled = value != nullptr && std::strcmp(value, "1") == 0;
    }
    return *isEnabled;
}

void EventLog::append(std::string_view line) {
    if (!enabled()) return;
    // O_NOFOLLOW: a link planted at the path must not redirect our writes. O_NONBLOCK: a FIFO planted there
    // must not hang the main thread. No O_TRUNC: earlier lines stay.
    int fd = ::open(filePath.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0) return;
    struct stat info {};
    // Only our own regular file with no other name: never another user's file, a device, or a hard link
    // into someone's home.
    bool ours = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() && info.st_nlink == 1;
    if (ours) {
        iovec parts[2] = {{const_cast<char*>(line.data()), line.size()}, {const_cast<char*>("\n"), 1}};
        [[maybe_unused]] ssize_t written = ::writev(fd, parts, 2);
    }
    ::close(fd);
}

} // namespace knokle
