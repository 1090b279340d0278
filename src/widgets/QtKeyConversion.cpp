#include "widgets/QtKeyConversion.h"

#include "common/VirtualKeys.h"
#include "controller/Hotkey.h"

#include <QKeyEvent>
#include <cctype>
#include <cstring>

namespace knokle {
namespace {

// With shift held Qt reports the shifted symbol; the key itself is the unshifted one (US layout).
char unshifted(char c) {
    static const char shifted[] = "!@#$%^&*()_+{}|:\"<>?~";
    static const char plain[] = "1234567890-=[]\\;',./`";
    const char* at = std::strchr(shifted, c);
    return at && c ? plain[at - shifted] : c;
}

std::optional<VirtualKey> findKey(char character, NamedKey named) {
    for (const auto& key : virtualKeys())
        if (key.character == character && key.named == named) return key;
    return std::nullopt;
}

std::optional<VirtualKey> namedKey(int qtKey) {
    NamedKey named = NamedKey::none;
    switch (qtKey) {
    case Qt::Key_Return:
        named = NamedKey::returnKey;
        break;
    case Qt::Key_Enter:
        named = NamedKey::keypadEnter;
        break;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        named = NamedKey::tab;
        break;
    case Qt::Key_Backspace:
        named = NamedKey::backspace;
        break;
    case Qt::Key_Escape:
        named = NamedKey::escape;
        break;
    case Qt::Key_Delete:
        named = NamedKey::forwardDelete;
        break;
    case Qt::Key_Home:
        named = NamedKey::home;
        break;
    case Qt::Key_End:
        named = NamedKey::end;
        break;
    case Qt::Key_PageUp:
        named = NamedKey::pageUp;
        break;
    case Qt::Key_PageDown:
        named = NamedKey::pageDown;
        break;
    case Qt::Key_Help:
        named = NamedKey::help;
        break;
    case Qt::Key_Left:
        named = NamedKey::left;
        break;
    case Qt::Key_Right:
        named = NamedKey::right;
        break;
    case Qt::Key_Down:
        named = NamedKey::down;
        break;
    case Qt::Key_Up:
        named = NamedKey::up;
        break;
    case Qt::Key_Clear:
        named = NamedKey::keypadClear;
        break;
    default:
        break;
    }
    if (named != NamedKey::none) return findKey(0, named);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F20) {
        int number = qtKey - Qt::Key_F1 + 1;
        for (const auto& key : virtualKeys())
            if (key.named == NamedKey::function && key.functionNumber == number) return key;
    }
    return std::nullopt;
}

} // namespace

std::uint64_t modifierFlags(Qt::KeyboardModifiers modifiers) {
    std::uint64_t flags = 0;
    if (modifiers & Qt::MetaModifier) flags |= ModifierFlag::command;
    if (modifiers & Qt::ShiftModifier) flags |= ModifierFlag::shift;
    if (modifiers & Qt::AltModifier) flags |= ModifierFlag::option;
    if (modifiers & Qt::ControlModifier) flags |= ModifierFlag::control;
    if (modifiers & Qt::KeypadModifier) flags |= ModifierFlag::numericPad;
    return flags;
}

RecordedKey convertKey(int qtKey, Qt::KeyboardModifiers modifiers) {
    RecordedKey out;
    out.flags = modifierFlags(modifiers);
    std::optional<VirtualKey> key = namedKey(qtKey);
    if (!key && qtKey == Qt::Key_Space) key = findKey(' ', NamedKey::space);
    if (!key && qtKey > Qt::Key_Space && qtKey <= Qt::Key_AsciiTilde) {
        char c = static_cast<char>(std::tolower(qtKey));
        if (modifiers & Qt::KeypadModifier) key = findKey(c, NamedKey::keypad);
        if (!key) key = findKey(unshifted(c), NamedKey::none);
    }
    if (!key) return out;
    out.keyCode = key->code;
    if (key->character) out.characters = std::string(1, key->character);
    return out;
}

RecordedKey convertKeyEvent(const QKeyEvent& event) {
    return convertKey(event.key(), event.modifiers());
}

} // namespace knokle
