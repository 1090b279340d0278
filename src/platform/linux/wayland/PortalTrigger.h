#pragma once

#include <cstdint>
#include <string>

namespace knokle {

// The stored shortcut in the shortcuts notation the desktop portal takes as a preferred trigger
// ("LOGO+ALT+t": modifiers, then the key's XKB keysym name); empty when the key has no keysym.
std::string portalTrigger(std::uint32_t keyCode, std::uint32_t modifiers);

} // namespace knokle
