#include "platform/linux/browsers/LoopbackHttp.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace knokle {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kMaxHeaderBytes = 64 * 1024;

char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return asciiLower(x) == asciiLower(y); });
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// Digits only, at most `maxDigits` of them, in the given base.
bool parseNumber(std::string_view text, int base, std::size_t maxDigits, std::size_t& value) {
    if (text.empty() || text.size() > maxDigits) return false;
    value = 0;
    for (char c : text) {
        char lower = asciiLower(c);
        int digit = -1;
        if (lower >= '0' && lower <= '9')
            digit = lower - '0';
        else if (lower >= 'a' && lower <= 'f')
            digit = lower - 'a' + 10;
        if (digit < 0 || digit >= base) return false;
        value = value * static_cast<std::size_t>(base) + static_cast<std::size_t>(digit);
    }
    return true;
}

struct Head {
    long status = 0;
    bool chunked = false;
    bool hasLength = false;
    std::size_t length = 0;
};

bool parseHead(std::string_view head, Head& out) {
    auto lineEnd = head.find("\r\n");
    std::string_view statusLine = head.substr(0, lineEnd);
    // "HTTP/1.1 200 OK"
    std::size_t status = 0;
    if (statusLine.size() < 12 || statusLine.substr(0, 7) != "HTTP/1." || statusLine[8] != ' ' ||
        !parseNumber(statusLine.substr(9, 3), 10, 3, status) || (statusLine.size() > 12 && statusLine[12] != ' '))
        return false;
    out.status = static_cast<long>(status);
    while (lineEnd != std::string_view::npos) {
        head.remove_prefix(lineEnd + 2);
        lineEnd = head.find("\r\n");
        std::string_view line = head.substr(0, lineEnd);
        auto colon = line.find(':');
        if (colon == std::string_view::npos) return false;
        std::string_view name = line.substr(0, colon), value = trimmed(line.substr(colon + 1));
        if (sameIgnoringCase(name, "content-length")) {
            if (out.hasLength || !parseNumber(value, 10, 18, out.length)) return false;
            out.hasLength = true;
        } else if (sameIgnoringCase(name, "transfer-encoding")) {
            out.chunked = value.size() >= 7 && sameIgnoringCase(value.substr(value.size() - 7), "chunked");
        }
    }
    return true;
}

constexpr std::size_t kMaxChunkLine = 1024; // a size and any extensions

} // namespace

HttpReading HttpResponseReader::fail(HttpReading reading) {
    outcome = reading;
    stage = Stage::done;
    decoded.clear();
    return reading;
}

HttpReading HttpResponseReader::startBody(std::string_view headText) {
    Head head;
    if (!parseHead(headText, head)) return fail(HttpReading::malformed);
    statusCode = head.status;
    if (head.chunked) {
        stage = Stage::chunkLine;
    } else if (head.hasLength) {
        if (head.length > maxBody) return fail(HttpReading::tooLarge);
        left = head.length;
        stage = Stage::byLength;
        if (left == 0) {
            stage = Stage::done;
            return outcome = HttpReading::complete;
        }
    } else {
        stage = Stage::untilEnd;
    }
    pending.clear();
    return HttpReading::incomplete;
}

// Takes what it can from the front of `bytes`.
HttpReading HttpResponseReader::step(std::string_view& bytes) {
    switch (stage) {
    case Stage::head: {
        std::size_t searchFrom = pending.size() < 3 ? 0 : pending.size() - 3;
        std::size_t take = std::min(bytes.size(), kMaxHeaderBytes + 4 - pending.size());
        pending.append(bytes.substr(0, take));
        auto end = pending.find("\r\n\r\n", searchFrom);
        if (end == std::string::npos) {
            bytes.remove_prefix(take);
            return pending.size() >= kMaxHeaderBytes + 4 ? fail(HttpReading::malformed) : HttpReading::incomplete;
        }
        bytes.remove_prefix(take - (pending.size() - (end + 4)));
        std::string head = pending.substr(0, end);
        return startBody(head);
    }
    case Stage::byLength:
    case Stage::chunkData: {
        std::size_t take = std::min(left, bytes.size());
        decoded.append(bytes.substr(0, take));
        bytes.remove_prefix(take);
        left -= take;
        if (left == 0) {
            if (stage == Stage::byLength) {
                stage = Stage::done;
                return outcome = HttpReading::complete;
            }
            stage = Stage::chunkEnd;
            left = 2;
        }
        return HttpReading::incomplete;
    }
    case Stage::chunkEnd: {
        static constexpr std::string_view crlf = "\r\n";
        if (bytes.front() != crlf[2 - left]) return fail(HttpReading::malformed);
        bytes.remove_prefix(1);
        if (--left == 0) stage = Stage::chunkLine;
        return HttpReading::incomplete;
    }
    case Stage::chunkLine: {
        auto newline = bytes.find('\n');
        std::size_t take = newline == std::string_view::npos ? bytes.size() : newline + 1;
        if (pending.size() + take > kMaxChunkLine) return fail(HttpReading::malformed);
        pending.append(bytes.substr(0, take));
        bytes.remove_prefix(take);
        if (newline == std::string_view::npos) return HttpReading::incomplete;
        if (pending.size() < 2 || pending[pending.size() - 2] != '\r') return fail(HttpReading::malformed);
        std::string_view sizeText = trimmed(std::string_view(pending).substr(0, pending.size() - 2));
        sizeText = trimmed(sizeText.substr(0, sizeText.find(';'))); // chunk extensions mean nothing here
        std::size_t size = 0;
        if (!parseNumber(sizeText, 16, 8, size)) return fail(HttpReading::malformed);
        pending.clear();
        if (size == 0) { // trailers, if any, are not needed
            stage = Stage::done;
            return outcome = HttpReading::complete;
        }
        if (decoded.size() + size > maxBody) return fail(HttpReading::tooLarge);
        left = size;
        stage = Stage::chunkData;
        return HttpReading::incomplete;
    }
    case Stage::untilEnd: {
        if (decoded.size() + bytes.size() > maxBody) return fail(HttpReading::tooLarge);
        decoded.append(bytes);
        bytes = {};
        return HttpReading::incomplete;
    }
    case Stage::done:
        break;
    }
    return outcome;
}

HttpReading HttpResponseReader::feed(std::string_view bytes) {
    while (!bytes.empty() && stage != Stage::done) {
        std::size_t before = bytes.size();
        bool inHead = stage == Stage::head;
        HttpReading reading = step(bytes);
        if (!inHead) afterHead += before - bytes.size();
        if (afterHead > 2 * maxBody + 2 * kMaxChunkLine) return fail(HttpReading::tooLarge);
        if (reading != HttpReading::incomplete) return reading;
    }
    return outcome;
}

HttpReading HttpResponseReader::endOfStream() {
    if (stage == Stage::untilEnd) {
        stage = Stage::done;
        return outcome = HttpReading::complete;
    }
    return stage == Stage::done ? outcome : fail(HttpReading::malformed);
}

namespace {

// Waits until the socket is ready for `events` or `end` passes; false when it passed.
bool waitFor(int socket, short events, Clock::time_point end) {
    for (;;) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0) return false;
        pollfd ready{socket, events, 0};
        int n = ::poll(&ready, 1, static_cast<int>(std::min<long long>(left, 60'000)));
        if (n > 0) return true;
        if (n < 0 && errno != EINTR) return true; // let the next call on the socket report the error
    }
}

class Socket {
public:
    Socket() : fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)) {}
    ~Socket() {
        if (fd >= 0) ::close(fd);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int get() const { return fd; }

private:
    int fd;
};

} // namespace

HttpReading readHttpResponse(std::string_view received, bool streamEnded, std::size_t maxBody, long& status,
                             std::string& body) {
    HttpResponseReader reader(maxBody);
    HttpReading reading = reader.feed(received);
    if (reading == HttpReading::incomplete && streamEnded) reading = reader.endOfStream();
    if (reading == HttpReading::complete) {
        status = reader.status();
        body = reader.body();
    }
    return reading;
}

HttpAnswer loopbackGet(int port, const std::string& path, std::size_t maxBody, std::chrono::milliseconds timeout,
                       Clock::time_point deadline) {
    HttpAnswer answer;
    const auto start = Clock::now();
    if (start >= deadline) {
        answer.late = true;
        return answer;
    }
    const auto end = std::min(start + timeout, deadline);
    auto timedOut = [&] {
        answer.late = Clock::now() >= deadline;
        return answer;
    };

    Socket socket;
    if (socket.get() < 0) return answer;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        int error = errno;
        if (error == EINPROGRESS) {
            if (!waitFor(socket.get(), POLLOUT, end)) return timedOut();
            socklen_t length = sizeof error;
            if (::getsockopt(socket.get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
        }
        if (error != 0) {
            answer.refused = error == ECONNREFUSED;
            return answer;
        }
    }

    std::string request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                          "\r\nAccept: application/json\r\nConnection: close\r\n\r\n";
    for (std::size_t sent = 0; sent < request.size();) {
        ssize_t n = ::send(socket.get(), request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!waitFor(socket.get(), POLLOUT, end)) return timedOut();
        } else if (n < 0 && errno != EINTR) {
            return answer;
        }
    }

    // Every read waits for the deadline, however steadily the peer keeps sending.
    HttpResponseReader reader(maxBody);
    char buffer[16 * 1024];
    for (;;) {
        if (!waitFor(socket.get(), POLLIN, end)) return timedOut();
        ssize_t n = ::recv(socket.get(), buffer, sizeof buffer, 0);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) continue;
        if (n < 0) return answer; // reset: whatever came is not a whole answer
        HttpReading reading =
            n == 0 ? reader.endOfStream() : reader.feed(std::string_view(buffer, static_cast<std::size_t>(n)));
        switch (reading) {
        case HttpReading::incomplete:
            continue;
        case HttpReading::complete:
            answer.answered = true;
            answer.status = reader.status();
            answer.body = reader.body();
            return answer;
        case HttpReading::tooLarge:
            answer.tooLarge = true;
            return answer;
        case HttpReading::malformed:
            return answer;
        }
    }
}

std::string percentEncoded(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                          c == '.' || c == '_' || c == '~';
        if (unreserved) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

} // namespace knokle
