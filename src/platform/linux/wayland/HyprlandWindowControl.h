#pragma once

#include "platform/WindowControl.h"
#include "platform/linux/wayland/CompositorWindow.h"

#include <filesystem>
#include <optional>
#include <string>

namespace knokle {

// Full screen through Hyprland's request socket: the windows from "j/clients", full screen by focusing the
// window ("dispatch focuswindow address:0x…") and "dispatch fullscreen 0", which toggles, so only a window that
// is not full screen yet is asked. Each request has a connection of its own (Hyprland serves the socket
// synchronously and waits for a silent client), so any thread may call.
class HyprlandWindowControl final : public WindowControl {
public:
    explicit HyprlandWindowControl(std::filesystem::path socketPath);

    // $XDG_RUNTIME_DIR/hypr/SIGNATURE/.socket.sock where it exists, else /tmp/hypr/SIGNATURE/.socket.sock (older
    // releases); nothing for a signature that is not a plain name.
    static std::optional<std::filesystem::path> socketFor(const std::string& signature, const char* runtimeDir);

    std::vector<WindowId> topLevelWindows() override;
    std::optional<WindowId> applicationWindow(const WindowSearch& search) override;
    std::optional<bool> isFullScreen(WindowId window) override;
    void requestFullScreen(WindowId window) override;
    std::optional<std::string> fullScreenLimitation() override { return std::nullopt; }

    // One request and everything Hyprland answers; nothing when it cannot be reached.
    std::optional<std::string> request(const std::string& command) const;

private:
    std::optional<std::vector<CompositorWindow>> windows();

    std::filesystem::path socketPath;
    WindowIdTable ids;
};

// The windows of a "j/clients" answer, ids from `ids` by address. Hyprland before 0.42 says "fullscreen": true,
// later ones a state number where 2 is full screen.
std::vector<CompositorWindow> hyprlandWindows(const std::string& answer, WindowIdTable& ids);

} // namespace knokle
