#pragma once

#include "platform/WindowControl.h"
#include "platform/linux/wayland/CompositorWindow.h"

#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>

namespace knokle {

// Full screen through the IPC socket of sway and compatible compositors ($SWAYSOCK): the window tree from
// GET_TREE, full screen with "[con_id=N] fullscreen enable". Each call opens its own connection, so any thread
// may call.
class SwayWindowControl final : public WindowControl {
public:
    explicit SwayWindowControl(std::string socketPath);

    std::vector<WindowId> topLevelWindows() override;
    std::optional<WindowId> applicationWindow(const WindowSearch& search) override;
    std::optional<bool> isFullScreen(WindowId window) override;
    void requestFullScreen(WindowId window) override;
    std::optional<std::string> fullScreenLimitation() override { return std::nullopt; }

    // One request and its answer's payload; nothing when the compositor cannot be reached.
    std::optional<std::string> exchange(std::uint32_t type, const std::string& payload) const;

private:
    std::optional<nlohmann::json> tree() const;

    std::string socketPath;
};

using SwayWindow = CompositorWindow;

// Every window in the tree, in tree order.
std::vector<SwayWindow> swayWindows(const nlohmann::json& tree);

} // namespace knokle
