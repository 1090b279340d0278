#include "platform/linux/wayland/HyprlandWindowControl.h"

#include <cstring>
#include <nlohmann/json.hpp>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace knokle {
namespace {

constexpr int kAnswerWaitMs = 2000;
constexpr std::size_t kMaxAnswer = 16 << 20;

bool sendAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool isFullScreenState(const nlohmann::json& value) {
    if (value.is_boolean()) return value.get<bool>();
    return value.is_number_integer() && (value.get<int>() & 2) != 0;
}

} // namespace

HyprlandWindowControl::HyprlandWindowControl(std::filesystem::path path) : socketPath(std::move(path)) {}

std::optional<std::filesystem::path> HyprlandWindowControl::socketFor(const std::string& signature,
                                                                      const char* runtimeDir) {
    if (signature.empty() || signature.find('/') != std::string::npos || signature == "." || signature == "..")
        return std::nullopt;
    std::error_code ignored;
    if (runtimeDir && *runtimeDir == '/') {
        auto path = std::filesystem::path(runtimeDir) / "hypr" / signature / ".socket.sock";
        if (std::filesystem::exists(path, ignored)) return path;
    }
    return std::filesystem::path("/tmp/hypr") / signature / ".socket.sock";
}

std::optional<std::string> HyprlandWindowControl::request(const std::string& command) const {
    sockaddr_un address{};
    const std::string& path = socketPath.native();
    if (path.empty() || path.size() >= sizeof address.sun_path) return std::nullopt;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size());
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return std::nullopt;
    std::optional<std::string> answer;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && sendAll(fd, command)) {
        // Hyprland answers and closes.
        std::string text;
        char buffer[4096];
        while (text.size() < kMaxAnswer) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, kAnswerWaitMs) <= 0) break;
            ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0) break;
            if (n == 0) {
                answer = std::move(text);
                break;
            }
            text.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    return answer;
}

std::vector<CompositorWindow> hyprlandWindows(const std::string& answer, WindowIdTable& ids) {
    std::vector<CompositorWindow> windows;
    auto list = nlohmann::json::parse(answer, nullptr, false);
    if (!list.is_array()) return windows;
    for (const auto& entry : list) {
        if (!entry.is_object() || !entry.contains("address") || !entry["address"].is_string()) continue;
        if (!entry.value("mapped", true)) continue;
        CompositorWindow window;
        window.id = ids.idFor(entry["address"].get<std::string>());
        if (auto pid = entry.find("pid"); pid != entry.end() && pid->is_number_integer())
            window.pid = pid->get<std::int32_t>();
        for (const char* key : {"class", "initialClass"})
            if (auto name = entry.find(key); window.appId.empty() && name != entry.end() && name->is_string())
                window.appId = *name;
        if (auto focus = entry.find("focusHistoryID"); focus != entry.end() && focus->is_number_integer())
            window.focused = focus->get<int>() == 0;
        if (auto state = entry.find("fullscreen"); state != entry.end()) window.fullScreen = isFullScreenState(*state);
        windows.push_back(window);
    }
    return windows;
}

std::optional<std::vector<CompositorWindow>> HyprlandWindowControl::windows() {
    auto answer = request("j/clients");
    if (!answer) return std::nullopt;
    return hyprlandWindows(*answer, ids);
}

std::vector<WindowId> HyprlandWindowControl::topLevelWindows() {
    std::vector<WindowId> result;
    if (auto list = windows())
        for (const auto& window : *list)
            result.push_back(window.id);
    return result;
}

std::optional<WindowId> HyprlandWindowControl::applicationWindow(const WindowSearch& search) {
    auto list = windows();
    if (!list) return std::nullopt;
    return pickCompositorWindow(*list, search);
}

std::optional<bool> HyprlandWindowControl::isFullScreen(WindowId window) {
    auto list = windows();
    if (!list) return std::nullopt;
    for (const auto& candidate : *list)
        if (candidate.id == window) return candidate.fullScreen;
    return std::nullopt;
}

void HyprlandWindowControl::requestFullScreen(WindowId window) {
    auto address = ids.nameOf(window);
    // An address is hex digits after 0x: nothing else goes into a command.
    if (!address || address->size() < 3 || !address->starts_with("0x") ||
        address->find_first_not_of("0123456789abcdefABCDEF", 2) != std::string::npos)
        return;
    if (request("dispatch focuswindow address:" + *address) == "ok") request("dispatch fullscreen 0");
}

} // namespace knokle
