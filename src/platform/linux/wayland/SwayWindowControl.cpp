#include "platform/linux/wayland/SwayWindowControl.h"

#include <algorithm>
#include <cstring>
#include <nlohmann/json.hpp>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace knokle {
namespace {

constexpr char kMagic[] = {'i', '3', '-', 'i', 'p', 'c'};
constexpr std::uint32_t kRunCommand = 0;
constexpr std::uint32_t kGetTree = 4;

bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool readAll(int fd, char* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::read(fd, data, size);
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

void collect(const nlohmann::json& node, std::vector<SwayWindow>& out) {
    if (!node.is_object()) return;
    auto pid = node.find("pid");
    if (pid != node.end() && pid->is_number_integer() && node.value("type", "") != "workspace") {
        SwayWindow window;
        window.id = node.value("id", WindowId{0});
        window.pid = pid->get<std::int32_t>();
        if (auto app = node.find("app_id"); app != node.end() && app->is_string()) window.appId = *app;
        if (window.appId.empty()) {
            if (auto props = node.find("window_properties"); props != node.end() && props->is_object())
                window.appId = props->value("class", "");
        }
        window.focused = node.value("focused", false);
        window.fullScreen = node.value("fullscreen_mode", 0) != 0;
        out.push_back(window);
    }
    for (const char* children : {"nodes", "floating_nodes"})
        if (auto list = node.find(children); list != node.end() && list->is_array())
            for (const auto& child : *list)
                collect(child, out);
}

} // namespace

std::vector<SwayWindow> swayWindows(const nlohmann::json& tree) {
    std::vector<SwayWindow> windows;
    collect(tree, windows);
    return windows;
}

SwayWindowControl::SwayWindowControl(std::string socketPath) : socketPath(std::move(socketPath)) {}

std::optional<std::string> SwayWindowControl::exchange(std::uint32_t type, const std::string& payload) const {
    sockaddr_un address{};
    if (socketPath.empty() || socketPath.size() >= sizeof address.sun_path) return std::nullopt;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size());
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return std::nullopt;
    std::optional<std::string> answer;
    char header[14];
    std::memcpy(header, kMagic, 6);
    auto length = static_cast<std::uint32_t>(payload.size());
    std::memcpy(header + 6, &length, 4);
    std::memcpy(header + 10, &type, 4);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && writeAll(fd, header, 14) &&
        writeAll(fd, payload.data(), payload.size()) && readAll(fd, header, 14) &&
        std::memcmp(header, kMagic, 6) == 0) {
        std::memcpy(&length, header + 6, 4);
        std::string body(length, '\0');
        if (readAll(fd, body.data(), length)) answer = std::move(body);
    }
    ::close(fd);
    return answer;
}

std::optional<nlohmann::json> SwayWindowControl::tree() const {
    auto answer = exchange(kGetTree, "");
    if (!answer) return std::nullopt;
    auto parsed = nlohmann::json::parse(*answer, nullptr, false);
    if (parsed.is_discarded()) return std::nullopt;
    return parsed;
}

std::vector<WindowId> SwayWindowControl::topLevelWindows() {
    std::vector<WindowId> ids;
    if (auto root = tree())
        for (const auto& window : swayWindows(*root))
            ids.push_back(window.id);
    return ids;
}

std::optional<WindowId> SwayWindowControl::applicationWindow(const WindowSearch& search) {
    auto root = tree();
    if (!root) return std::nullopt;
    return pickCompositorWindow(swayWindows(*root), search);
}

std::optional<bool> SwayWindowControl::isFullScreen(WindowId window) {
    auto root = tree();
    if (!root) return std::nullopt;
    for (const auto& candidate : swayWindows(*root))
        if (candidate.id == window) return candidate.fullScreen;
    return std::nullopt;
}

void SwayWindowControl::requestFullScreen(WindowId window) {
    exchange(kRunCommand, "[con_id=" + std::to_string(window) + "] fullscreen enable");
}

} // namespace knokle
