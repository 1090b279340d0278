#pragma once

#include <arpa/inet.h>
#include <functional>
#include <mutex>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace knokle::test {

// An HTTP server on 127.0.0.1 with a port chosen by the system, answering one request per connection, on a
// thread of its own, with what the handler returns. It records the requests it saw ("GET /json/list").
class TinyHttpServer {
public:
    struct Reply {
        int status = 200;
        std::string body;
    };
    using Handler = std::function<Reply(const std::string& method, const std::string& target)>;

    explicit TinyHttpServer(Handler handler) : handler(std::move(handler)) {
        sockaddr_in address{.sin_family = AF_INET, .sin_port = 0, .sin_addr = {htonl(INADDR_LOOPBACK)}, .sin_zero = {}};
        auto* raw = reinterpret_cast<sockaddr*>(&address);
        socklen_t length = sizeof address;
        if (::bind(listener, raw, length) != 0 || ::listen(listener, 16) != 0 ||
            ::getsockname(listener, raw, &length) != 0)
            return;
        boundPort = ntohs(address.sin_port);
        // Runs until the destructor shuts the listener down, which ends the waiting accept.
        worker = std::thread([this] {
            for (int client; (client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC)) >= 0; ::close(client))
                answer(client);
        });
    }
    ~TinyHttpServer() {
        ::shutdown(listener, SHUT_RDWR);
        if (worker.joinable()) worker.join();
        ::close(listener);
    }
    TinyHttpServer(const TinyHttpServer&) = delete;
    TinyHttpServer& operator=(const TinyHttpServer&) = delete;

    int port() const { return boundPort; } // 0 when the server could not start
    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(boundPort) + path; }
    std::vector<std::string> requests() const {
        std::lock_guard lock(mutex);
        return seen;
    }

private:
    void answer(int client) {
        std::string request;
        char buffer[4096];
        for (pollfd ready{client, POLLIN, 0}; request.find("\r\n\r\n") == std::string::npos;) {
            ssize_t n = ::poll(&ready, 1, 2000) > 0 ? ::read(client, buffer, sizeof buffer) : -1;
            if (n <= 0) return;
            request.append(buffer, static_cast<size_t>(n));
        }
        std::string method, target;
        std::istringstream(request) >> method >> target;
        {
            std::lock_guard lock(mutex);
            seen.push_back(method + " " + target);
        }
        Reply reply = handler(method, target);
        std::string response = "HTTP/1.1 " + std::to_string(reply.status) + " X\r\nContent-Type: text/html\r\n" +
                               "Connection: close\r\nContent-Length: " + std::to_string(reply.body.size()) +
                               "\r\n\r\n" + reply.body;
        for (size_t sent = 0; sent < response.size();) {
            ssize_t n = ::send(client, response.data() + sent, response.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) return;
            sent += static_cast<size_t>(n);
        }
    }

    Handler handler;
    int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int boundPort = 0;
    std::thread worker;
    mutable std::mutex mutex;
    std::vector<std::string> seen;
};

} // namespace knokle::test
