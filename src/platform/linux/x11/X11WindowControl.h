#pragma once

#include "platform/WindowControl.h"

#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct _XDisplay;

namespace knokle {

// Full screen through the window manager's EWMH protocol, on an X connection of its own.
// Without an X display every question is answered with nothing.
class X11WindowControl final : public WindowControl {
public:
    // displayName: nothing means $DISPLAY; an empty text means no display at all.
    explicit X11WindowControl(std::optional<std::string> displayName = std::nullopt);
    ~X11WindowControl() override;
    X11WindowControl(const X11WindowControl&) = delete;
    X11WindowControl& operator=(const X11WindowControl&) = delete;

    std::vector<WindowId> topLevelWindows() override;
    std::optional<WindowId> applicationWindow(const WindowSearch& search) override;
    std::optional<bool> isFullScreen(WindowId window) override;
    void requestFullScreen(WindowId window) override;
    std::optional<std::string> fullScreenLimitation() override;

    bool connected() const { return display != nullptr; }

private:
    std::optional<std::vector<unsigned long>> cardinalList(unsigned long window, const char* property,
                                                           unsigned long type);
    std::optional<unsigned long> windowPid(unsigned long window);
    std::vector<std::string> textList(unsigned long window, const char* property);
    bool carriesName(unsigned long window, const std::vector<std::string>& names);
    std::vector<unsigned long> clientsLocked();

    std::mutex mutex;
    _XDisplay* display = nullptr;
};

} // namespace knokle
