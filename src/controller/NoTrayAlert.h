#pragma once

#include "platform/AlertPresenter.h"

#include <string>

namespace knokle {

// The answers to the no-tray alert, in the order of its buttons.
enum class NoTrayAnswer { quit = 0, openTestTaps = 1 };

// What to tell a user whose desktop shows no tray items (so Knokle would show nothing at all): why, how to get
// a panel that shows them on this desktop (XDG_CURRENT_DESKTOP), and the two ways on.
Alert noTrayAlert(const std::string& currentDesktop);

} // namespace knokle
