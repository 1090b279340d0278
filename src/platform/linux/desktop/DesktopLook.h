#pragma once

#include "platform/DesktopAppearance.h"

namespace knokle {

// The desktop's look from the environment and GNOME's interface settings (when their schema is installed); the
// toolkit palette's lightness is left unknown for the caller to fill in.
DesktopAppearance readDesktopLook();

} // namespace knokle
