#pragma once

#include "platform/WindowActivation.h"

#include <string>

namespace knokle {

// Brings our own windows forward in a Wayland session through xdg-activation-v1, on the display Qt's Wayland
// platform has open: with the activation token a later launch handed over, else with a token of our own from the
// last input event Qt saw. Without either, Qt's own activation request (made when the window was shown) is all
// there is. Main thread only.
class WaylandWindowActivation final : public WindowActivation {
public:
    // The window (its QWindow's winId) must be shown.
    void activate(std::uint64_t nativeWindow) override;
    // The activation token of a later launch ("" for none): the next activation spends it.
    void completeLaunch(const std::string& activationToken) override { pendingToken = activationToken; }

private:
    std::string pendingToken;
};

} // namespace knokle
