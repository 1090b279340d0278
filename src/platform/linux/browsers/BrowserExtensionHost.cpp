#include "platform/linux/browsers/BrowserExtensionHost.h"
#include "common/JsonNesting.h"

#include "common/UnicodeText.h"
#include "platform/linux/browsers/BrowserHosts.h"
#include "common/AtomicFile.h"
#include "platform/linux/browsers/DevToolsTargets.h"
#include "platform/linux/desktop/ProcFiles.h"
#include "platform/linux/browsers/BrowserCatalog.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <nlohmann/json.hpp>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace knokle {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using nlohmann::json;

constexpr auto kExtensionTimeout = std::chrono::seconds(5);

bool writeAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

void note(const std::string& line) {
    std::fprintf(stderr, "knokle: %s\n", line.c_str()); // the browser keeps its hosts' error output
}

constexpr size_t kMaxClients = 32;
constexpr size_t kMaxUnsentBytes = 64 * 1024; // a client that reads nothing is dropped past this
constexpr auto kAcceptPause = std::chrono::milliseconds(200);

struct Client {
    int fd;
    std::string buffer;
    std::string unsent;
};

struct Request {
    int client;
    std::string match;
};

// What the request in flight waits for from the extension: each command gets one answer of its own kind.
enum class Awaiting { tabs, closed };

class Host {
public:
    Host(int listener, std::string socketPath) : listener(listener), socketPath(std::move(socketPath)) {}

    ~Host() {
        for (const auto& [fd, client] : clients)
            ::close(fd);
    }

    int run() {
        while (true) {
            // Out of descriptors, accept fails at once and would be retried at once: pause listening instead.
            bool listening = Clock::now() >= acceptPausedUntil;
            std::vector<pollfd> fds{{STDIN_FILENO, POLLIN, 0}, {listening ? listener : -1, POLLIN, 0}};
            for (const auto& [fd, client] : clients)
                fds.push_back({fd, static_cast<short>(POLLIN | (client.unsent.empty() ? 0 : POLLOUT)), 0});
            auto wake = Clock::time_point::max();
            if (inFlight) wake = deadline;
            if (!listening) wake = std::min(wake, acceptPausedUntil);
            int timeout = -1;
            if (wake != Clock::time_point::max()) {
                auto left = std::chrono::ceil<std::chrono::milliseconds>(wake - Clock::now()).count();
                timeout = static_cast<int>(std::max<long long>(left, 0));
            }
            int ready = ::poll(fds.data(), fds.size(), timeout);
            if (ready < 0 && errno != EINTR) return 1;
            if (inFlight && Clock::now() >= deadline) finish(json{{"error", "the browser did not answer in time"}});
            if (fds[0].revents & (POLLIN | POLLHUP | POLLERR))
                if (!readExtension()) return 0; // the browser closed the port
            if (fds[1].revents & POLLIN) accept();
            for (size_t i = 2; i < fds.size(); ++i) {
                if (fds[i].revents & POLLOUT) flush(fds[i].fd);
                if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) readClient(fds[i].fd);
            }
            startNext();
        }
    }

private:
    static json parseBounded(const std::string& text) {
        return jsonNestingWithin(text) ? json::parse(text, nullptr, false) : json();
    }

    bool readExtension() {
        char chunk[65536];
        ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) return true;
        if (n <= 0) return false;
        fromExtension.append(chunk, static_cast<size_t>(n));
        while (auto message = takeFrame(fromExtension))
            onExtensionMessage(parseBounded(*message));
        return true;
    }

    void accept() {
        int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                if (!acceptPaused) note("cannot accept more connections for now: " + std::string(std::strerror(errno)));
                acceptPaused = true;
                acceptPausedUntil = Clock::now() + kAcceptPause;
            }
            return;
        }
        acceptPaused = false;
        ucred peer{};
        socklen_t length = sizeof peer;
        if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || peer.uid != ::getuid() ||
            clients.size() >= kMaxClients) {
            ::close(fd); // only this user's programs may close this user's tabs, and only so many at once
            return;
        }
        clients[fd] = Client{fd, {}, {}};
    }

    void readClient(int fd) {
        auto it = clients.find(fd);
        if (it == clients.end()) return;
        char chunk[4096];
        ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
        if (n <= 0) {
            dropClient(fd);
            return;
        }
        it->second.buffer.append(chunk, static_cast<size_t>(n));
        while (auto message = takeFrame(it->second.buffer, 1u << 20)) {
            auto request = parseBounded(*message);
            if (request.is_object() && request.contains("closeTabs") && request["closeTabs"].is_string())
                queue.push_back({fd, request["closeTabs"].get<std::string>()});
            else if (!send(fd, json{{"error", "unreadable request"}}))
                return;
        }
    }

    // Queues the answer and writes what the client takes now; false when the client was dropped.
    bool send(int fd, const json& answer) {
        auto it = clients.find(fd);
        if (it == clients.end()) return false;
        it->second.unsent += framed(answer.dump());
        return flush(fd);
    }

    bool flush(int fd) {
        auto it = clients.find(fd);
        if (it == clients.end()) return false;
        std::string& unsent = it->second.unsent;
        while (!unsent.empty()) {
            ssize_t n = ::send(fd, unsent.data(), unsent.size(), MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno == EAGAIN) break;
            if (n <= 0) {
                dropClient(fd);
                return false;
            }
            unsent.erase(0, static_cast<size_t>(n));
        }
        if (unsent.size() > kMaxUnsentBytes) {
            note("dropped a client that does not read its answers");
            dropClient(fd);
            return false;
        }
        return true;
    }

    void dropClient(int fd) {
        ::close(fd);
        clients.erase(fd);
        std::erase_if(queue, [fd](const Request& request) { return request.client == fd; });
        if (inFlight && inFlight->client == fd) inFlight->client = -1;
    }

    void startNext() {
        while (!inFlight && !queue.empty()) {
            inFlight = queue.front();
            queue.pop_front();
            // An empty text is contained in every address: it must never close every tab.
            inFlight->match = withoutLineBreaks(inFlight->match);
            if (inFlight->match.empty())
                finish(json{{"closed", 0}});
            else
                ask(json{{"list", true}}, Awaiting::tabs);
        }
    }

    void ask(json message, Awaiting next) {
        message["id"] = ++lastId;
        awaiting = next;
        deadline = Clock::now() + kExtensionTimeout;
        if (!writeAll(STDOUT_FILENO, framed(message.dump()))) finish(json{{"error", "the browser's port is closed"}});
    }

    void onExtensionMessage(const json& message) {
        auto id = message.is_object() ? message.find("id") : message.end();
        if (!message.is_object() || id == message.end() || !id->is_number_integer()) {
            note("ignored a message from the extension without a numeric id");
            return;
        }
        if (!inFlight || id->get<long long>() != lastId) return; // late or unasked
        if (message.contains("error")) {
            const json& error = message["error"];
            finish(json{{"error", error.is_string() ? error.get<std::string>() : "the extension reported an error"}});
        } else if (awaiting == Awaiting::tabs && message.contains("tabs") && message["tabs"].is_array()) {
            json ids = json::array();
            for (const auto& tab : message["tabs"])
                if (tab.is_object() && tab.value("url", json()).is_string() && tab.value("id", json()).is_number() &&
                    containsIgnoringCase(tab["url"].get<std::string>(), inFlight->match))
                    ids.push_back(tab["id"]);
            if (ids.empty())
                finish(json{{"closed", 0}});
            else
                ask(json{{"close", ids}}, Awaiting::closed);
        } else if (awaiting == Awaiting::closed && message.contains("closed") &&
                   message["closed"].is_number_integer()) {
            finish(json{{"closed", message["closed"]}});
        } else {
            note("the extension sent an answer of the wrong kind");
            finish(json{{"error", "the extension sent an unreadable answer"}});
        }
    }

    void finish(const json& answer) {
        int client = inFlight ? inFlight->client : -1;
        inFlight.reset();
        if (client >= 0) send(client, answer);
    }

    int listener;
    std::string socketPath;
    std::string fromExtension;
    std::map<int, Client> clients;
    std::deque<Request> queue;
    std::optional<Request> inFlight;
    Awaiting awaiting = Awaiting::tabs;
    long long lastId = 0;
    Clock::time_point deadline;
    Clock::time_point acceptPausedUntil;
    bool acceptPaused = false;
};

} // namespace

bool isBrowserHostInvocation(const std::vector<std::string>& args) {
    if (args.size() >= 2 && args[1].starts_with("chrome-extension://")) return true;
    return args.size() >= 3 && args[2] == kFirefoxExtensionId;
}

std::string hostBrowserName(const std::vector<std::string>& args) {
    if (args.size() >= 3 && args[2] == kFirefoxExtensionId) return "Firefox";
    // The browser started us directly, or through a wrapper script.
    pid_t pid = ::getppid();
    for (int step = 0; step < 4 && pid > 1; ++step) {
        std::error_code ec;
        fs::path proc = "/proc/" + std::to_string(pid);
        std::string exe = fs::read_symlink(proc / "exe", ec).filename().string();
        if (const BrowserCatalogRow* browser = browserOfExecutableName(exe)) return browser->name;
        auto stat = readWholeFile(proc / "stat");
        auto parsed = stat ? parseProcStat(*stat) : std::nullopt;
        if (!parsed) break;
        pid = parsed->parent;
    }
    return "Chromium";
}

int runBrowserExtensionHost(const std::vector<std::string>& args, std::optional<fs::path> runtimeDir) {
    std::signal(SIGPIPE, SIG_IGN);
    std::string why;
    auto folder = browserHostFolder(why, runtimeDir);
    if (!folder) {
        std::fprintf(stderr, "knokle: %s\n", why.c_str()); // the browser keeps its hosts' error output
        return 1;
    }
    fs::path socketPath =
        *folder / ("browser-" + browserSlug(hostBrowserName(args)) + "-" + std::to_string(::getpid()) + ".socket");
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.native().size() >= sizeof address.sun_path) {
        std::fprintf(stderr, "knokle: %s is too long a socket path\n", socketPath.c_str());
        return 1;
    }
    std::strcpy(address.sun_path, socketPath.c_str());
    ::unlink(socketPath.c_str()); // left by an earlier host with our pid
    int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    mode_t previous = ::umask(0077); // owner-only from the start
    bool bound = listener >= 0 && ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::umask(previous);
    if (!bound || ::listen(listener, 16) != 0) {
        std::fprintf(stderr, "knokle: cannot listen on %s: %s\n", socketPath.c_str(), std::strerror(errno));
        return 1;
    }
    int status = Host(listener, socketPath.string()).run();
    ::unlink(socketPath.c_str());
    ::close(listener);
    return status;
}

} // namespace knokle
