#include "controller/Hotkey.h"

#include "common/UnicodeText.h"
#include "common/VirtualKeys.h"

namespace knokle {

GlobalHotKey::GlobalHotKey(HotKeyService& service, MainLoop& loop, std::uint32_t keyCode, std::uint32_t modifiers,
                           std::function<void()> onPress)
    : service(service), loop(loop), keyCode(keyCode), modifiers(modifiers),
      onPress(std::make_shared<std::function<void()>>(std::move(onPress))) {}

std::unique_ptr<GlobalHotKey> GlobalHotKey::make(HotKeyService& service, MainLoop& loop, std::uint32_t keyCode,
                                                 std::uint32_t modifiers, std::function<void()> onPress,
                                                 HotKeyFailure* failure) {
    std::unique_ptr<GlobalHotKey> hotKey(new GlobalHotKey(service, loop, keyCode, modifiers, std::move(onPress)));
    if (!hotKey->registerCombination(failure)) return nullptr;
    return hotKey;
}

bool GlobalHotKey::registerCombination(HotKeyFailure* failure) {
    // The press is queued rather than run inside the service's event handling; the queued call keeps the
    // closure alive even if this registration is replaced meanwhile.
    auto registered = service.registerHotKey(keyCode, modifiers, [&loop = loop, press = onPress] {
        loop.post([press] {
            if (*press) (*press)();
        });
    });
    if (auto* why = std::get_if<HotKeyFailure>(&registered)) {
        if (failure) *failure = *why;
        return false;
    }
    ref = std::get<HotKeyToken>(registered);
    return true;
}

GlobalHotKey::~GlobalHotKey() {
    if (ref) service.unregisterHotKey(*ref);
}

void GlobalHotKey::suspend() {
    if (suspended) return;
    suspended = true;
    if (ref) service.unregisterHotKey(*ref);
    ref.reset();
}

bool GlobalHotKey::resume(HotKeyFailure* failure) {
    if (!suspended) return ref.has_value();
    suspended = false;
    return registerCombination(failure);
}

std::string GlobalHotKey::shownShortcut(const std::string& stored, const std::optional<std::string>& desktopTrigger,
                                        bool unavailable) {
    if (unavailable) return "shortcut unavailable";
    if (desktopTrigger && !desktopTrigger->empty()) return *desktopTrigger;
    return stored;
}

std::uint32_t GlobalHotKey::carbonModifiers(std::uint64_t flags) {
    std::uint32_t mask = 0;
    if (flags & ModifierFlag::command) mask |= HotKeyMask::command;
    if (flags & ModifierFlag::shift) mask |= HotKeyMask::shift;
    if (flags & ModifierFlag::option) mask |= HotKeyMask::option;
    if (flags & ModifierFlag::control) mask |= HotKeyMask::control;
    return mask;
}

std::string GlobalHotKey::displayString(std::uint16_t keyCode, std::uint64_t flags,
                                        const std::optional<std::string>& chars) {
    std::string text;
    if (flags & ModifierFlag::control) text += "⌃";
    if (flags & ModifierFlag::option) text += "⌥";
    if (flags & ModifierFlag::shift) text += "⇧";
    if (flags & ModifierFlag::command) text += "⌘";
    return text + keyName(keyCode, chars);
}

std::string GlobalHotKey::keyName(std::uint16_t code, const std::optional<std::string>& chars) {
    switch (code) {
    case 36:
    case 76:
        return "↩";
    case 48:
        return "⇥";
    case 49:
        return "Space";
    case 51:
        return "⌫";
    case 53:
        return "⎋";
    case 123:
        return "←";
    case 124:
        return "→";
    case 125:
        return "↓";
    case 126:
        return "↑";
    default:
        break;
    }
    if (!chars) return "?";
    std::string name = upperCased(trimmedSpacesAndLineBreaks(*chars));
    return name.empty() ? "?" : name;
}

namespace {

std::string linuxKeyName(std::uint32_t code) {
    auto key = virtualKey(code);
    if (!key) return "Key " + std::to_string(code);
    switch (key->named) {
    case NamedKey::none:
        return key->character >= 'a' && key->character <= 'z' ? std::string(1, char(key->character - 'a' + 'A'))
                                                              : std::string(1, key->character);
    case NamedKey::returnKey:
        return "Return";
    case NamedKey::tab:
        return "Tab";
    case NamedKey::space:
        return "Space";
    case NamedKey::backspace:
        return "Backspace";
    case NamedKey::escape:
        return "Escape";
    case NamedKey::forwardDelete:
        return "Delete";
    case NamedKey::home:
        return "Home";
    case NamedKey::end:
        return "End";
    case NamedKey::pageUp:
        return "Page Up";
    case NamedKey::pageDown:
        return "Page Down";
    case NamedKey::help: // where a PC keyboard has Insert
        return "Insert";
    case NamedKey::left:
        return "Left";
    case NamedKey::right:
        return "Right";
    case NamedKey::down:
        return "Down";
    case NamedKey::up:
        return "Up";
    case NamedKey::keypadEnter:
        return "Keypad Enter";
    case NamedKey::keypadClear: // where a PC keyboard has Num Lock
        return "Num Lock";
    case NamedKey::function:
        return "F" + std::to_string(key->functionNumber);
    case NamedKey::keypad:
        return std::string("Keypad ") + key->character;
    }
    return "Key " + std::to_string(code);
}

} // namespace

std::string GlobalHotKey::shortcutText(std::uint32_t keyCode, std::uint32_t modifiers) {
    std::string text;
    if (modifiers & HotKeyMask::command) text += "Super+";
    if (modifiers & HotKeyMask::control) text += "Ctrl+";
    if (modifiers & HotKeyMask::option) text += "Alt+";
    if (modifiers & HotKeyMask::shift) text += "Shift+";
    return text + linuxKeyName(keyCode);
}

} // namespace knokle
