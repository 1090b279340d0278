#pragma once

#include "platform/WindowActivation.h"

#include <optional>
#include <string>

typedef struct _XDisplay Display;

namespace knokle {

// EWMH activation on an X connection of its own, opened on first use: the window is moved to the current
// desktop, then activated with a pager's request (source 2), which window managers honour even when their
// focus-stealing prevention would refuse an application's own. Launch feedback ends with the startup
// notification "remove" message.
class X11WindowActivation final : public WindowActivation {
public:
    explicit X11WindowActivation(std::optional<std::string> displayName = std::nullopt);
    ~X11WindowActivation() override;
    X11WindowActivation(const X11WindowActivation&) = delete;
    X11WindowActivation& operator=(const X11WindowActivation&) = delete;

    void activate(std::uint64_t nativeWindow) override;
    void completeLaunch(const std::string& startupId) override;

    // The X server time in a startup id ("..._TIME12345"), 0 when it carries none.
    static unsigned long startupTime(const std::string& startupId);

private:
    bool connect();
    void sendToRoot(unsigned long window, const char* type, long a, long b, long c = 0);

    std::optional<std::string> displayName;
    Display* display = nullptr;
    bool tried = false;
    unsigned long lastLaunchTime = 0;
};

} // namespace knokle
