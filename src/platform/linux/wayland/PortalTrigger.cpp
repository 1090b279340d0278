#include "platform/linux/wayland/PortalTrigger.h"

#include "platform/linux/x11/X11HotKeyService.h"

#include <X11/Xlib.h>

namespace knokle {

std::string portalTrigger(std::uint32_t keyCode, std::uint32_t modifiers) {
    unsigned long keysym = keysymForVirtualKey(keyCode);
    // Keysym names need no display: they come from a table in Xlib.
    const char* name = keysym ? XKeysymToString(keysym) : nullptr;
    if (!name) return "";
    std::string trigger;
    if (modifiers & 0x0100) trigger += "LOGO+";
    if (modifiers & 0x1000) trigger += "CTRL+";
    if (modifiers & 0x0800) trigger += "ALT+";
    if (modifiers & 0x0200) trigger += "SHIFT+";
    return trigger + name;
}

} // namespace knokle
