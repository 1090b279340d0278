#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace knokle {

// The keys a stored shortcut can name, by their hardware-independent virtual key code (the stored form).
// Printable keys carry their unshifted US-layout character; the others a named key.
enum class NamedKey {
    none,
    returnKey,
    tab,
    space,
    backspace,
    escape,
    forwardDelete,
    home,
    end,
    pageUp,
    pageDown,
    help,
    left,
    right,
    down,
    up,
    keypadEnter,
    keypadClear,
    function, // F1 … F20, see functionNumber
    keypad,   // a keypad character, see character
};

struct VirtualKey {
    std::uint32_t code;
    char character; // printable (or keypad) character, 0 when none
    NamedKey named;
    int functionNumber = 0; // 1 … 20 for NamedKey::function
};

std::span<const VirtualKey> virtualKeys();
std::optional<VirtualKey> virtualKey(std::uint32_t code);

} // namespace knokle
