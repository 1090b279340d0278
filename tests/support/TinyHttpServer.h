#pragma once

#include <arpa/inet.h>
#include <atomic>
#include <functional>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace knokle::test {

// An HTTP/1.0-style server on 127.0.0.1 with a port chosen by the system, answering each request from a
// thread of its own with what the handler returns. It records the requests it saw.
class TinyHttpServer {
public:
    struct Reply {
        int status = 200;
        std::string body;
    };
    using Handler = std::function<Reply(const std::string& method, const std::string& target)>;

    explicit TinyHttpServer(Handler handler) : handler(std::move(handler)) {
        listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener, 16) != 0 || ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        boundPort = ntohs(address.sin_port);
        worker = std::thread([this] { serve(); });
    }
    ~TinyHttpServer() {
        stopping = true;
        if (worker.joinable()) worker.join();
        if (listener >= 0) ::close(listener);
    }
    TinyHttpServer(const TinyHttpServer&) = delete;
    TinyHttpServer& operator=(const TinyHttpServer&) = delete;

    int port() const { return boundPort; }
    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(boundPort) + path; }
    std::vector<std::string> requests() const {
        std::lock_guard lock(mutex);
        return seen;
    }

private:
    void serve() {
        while (!stopping) {
            pollfd pfd{listener, POLLIN, 0};
            if (::poll(&pfd, 1, 50) <= 0) continue;
            int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) continue;
            answer(client);
            ::close(client);
        }
    }

    void answer(int client) {
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            pollfd pfd{client, POLLIN, 0};
            if (::poll(&pfd, 1, 2000) <= 0) return;
            ssize_t n = ::read(client, buffer, sizeof buffer);
            if (n <= 0) return;
            request.append(buffer, static_cast<size_t>(n));
        }
        std::string line = request.substr(0, request.find("\r\n"));
        size_t space = line.find(' ');
        std::string method = line.substr(0, space);
        std::string target = line.substr(space + 1, line.find(' ', space + 1) - space - 1);
        {
            std::lock_guard lock(mutex);
            seen.push_back(method + " " + target);
        }
        Reply reply = handler(method, target);
        std::string response = "HTTP/1.1 " + std::to_string(reply.status) +
                               " X\r\nContent-Type: text/html\r\nConnection: close\r\nContent-Length: " +
                               std::to_string(reply.body.size()) + "\r\n\r\n" + reply.body;
        size_t sent = 0;
        while (sent < response.size()) {
            ssize_t n = ::send(client, response.data() + sent, response.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) return;
            sent += static_cast<size_t>(n);
        }
    }

    Handler handler;
    int listener = -1;
    int boundPort = 0;
    std::atomic<bool> stopping{false};
    std::thread worker;
    mutable std::mutex mutex;
    std::vector<std::string> seen;
};

} // namespace knokle::test
