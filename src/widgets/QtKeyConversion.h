#pragma once

#include <Qt>
#include <cstdint>
#include <optional>
#include <string>

class QKeyEvent;

namespace knokle {

// A key press in the stored representation of a shortcut.
struct RecordedKey {
    std::optional<std::uint32_t> keyCode;  // virtual key code; nothing for a key a shortcut cannot use
    std::uint64_t flags = 0;               // event modifier flags (command, shift, option, control, numeric pad)
    std::optional<std::string> characters; // the key's character ignoring modifiers, when it has one
};

// Super is command, Alt is option, Control is control, Shift is shift.
std::uint64_t modifierFlags(Qt::KeyboardModifiers modifiers);
RecordedKey convertKey(int qtKey, Qt::KeyboardModifiers modifiers);
RecordedKey convertKeyEvent(const QKeyEvent& event);

} // namespace knokle
