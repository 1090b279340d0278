#pragma once

#include <cstring>
#include <filesystem>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace knokle::test {

// A Unix stream socket at the path, bound or connected by `attach` (::bind, ::connect); -1 when that fails.
inline int unixSocket(const std::filesystem::path& path, int (*attach)(int, const sockaddr*, socklen_t)) {
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    if (attach(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
    ::close(fd);
    return -1;
}

} // namespace knokle::test
