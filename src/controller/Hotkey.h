#pragma once

#include "platform/HotKeyService.h"
#include "platform/MainLoop.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace knokle {

// Event modifier flags, as a key event reports them.
namespace ModifierFlag {
constexpr std::uint64_t capsLock = 1ull << 16;
constexpr std::uint64_t shift = 1ull << 17;
constexpr std::uint64_t control = 1ull << 18;
constexpr std::uint64_t option = 1ull << 19;
constexpr std::uint64_t command = 1ull << 20;
constexpr std::uint64_t numericPad = 1ull << 21;
constexpr std::uint64_t help = 1ull << 22;
constexpr std::uint64_t function = 1ull << 23;
} // namespace ModifierFlag

// The stored hot-key modifier mask.
namespace HotKeyMask {
constexpr std::uint32_t command = 0x0100;
constexpr std::uint32_t shift = 0x0200;
constexpr std::uint32_t option = 0x0800;
constexpr std::uint32_t control = 0x1000;
} // namespace HotKeyMask

// The registered arm/pause shortcut: registered for its whole life, unregistered when destroyed.
class GlobalHotKey {
public:
    // Nothing when the shortcut cannot be registered; then failure (if given) says why.
    static std::unique_ptr<GlobalHotKey> make(HotKeyService& service, MainLoop& loop, std::uint32_t keyCode,
                                              std::uint32_t modifiers, std::function<void()> onPress,
                                              HotKeyFailure* failure = nullptr);
    ~GlobalHotKey();
    GlobalHotKey(const GlobalHotKey&) = delete;
    GlobalHotKey& operator=(const GlobalHotKey&) = delete;

    // Gives up the registration until resumed, so that the combination reaches the program's own windows (the
    // shortcut recorder must be able to record the current shortcut again).
    void suspend();
    // Registers the same combination again; false (and failure, if given, says why) when it cannot.
    bool resume(HotKeyFailure* failure = nullptr);
    bool isSuspended() const { return suspended; }

    // The shortcut as the menu and the Test Taps window show it: what the desktop reports it bound, else the
    // stored combination; "shortcut unavailable" where the session offers no global shortcuts.
    static std::string shownShortcut(const std::string& stored, const std::optional<std::string>& desktopTrigger,
                                     bool unavailable);

    static std::uint32_t carbonModifiers(std::uint64_t flags);
    static std::string displayString(std::uint16_t keyCode, std::uint64_t flags,
                                     const std::optional<std::string>& chars);
    static std::string keyName(std::uint16_t code, const std::optional<std::string>& chars);
    // What a Linux user reads for a stored shortcut: "Super+Alt+T", "Ctrl+Shift+K", "Alt+F5". The stored display
    // text keeps its own form, for the files' sake; this is computed from the key code and modifier mask.
    static std::string shortcutText(std::uint32_t keyCode, std::uint32_t modifiers);

private:
    GlobalHotKey(HotKeyService& service, MainLoop& loop, std::uint32_t keyCode, std::uint32_t modifiers,
                 std::function<void()> onPress);
    bool registerCombination(HotKeyFailure* failure);

    HotKeyService& service;
    MainLoop& loop;
    std::uint32_t keyCode;
    std::uint32_t modifiers;
    std::optional<HotKeyToken> ref;
    std::shared_ptr<std::function<void()>> onPress;
    bool suspended = false;
};

} // namespace knokle
