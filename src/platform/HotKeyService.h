#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <variant>

namespace knokle {

using HotKeyToken = std::uint64_t;

// Why a hot key could not be registered.
struct HotKeyFailure {
    // notInSession: this desktop session offers programs no global shortcuts at all.
    enum class Kind { inUse, unknownKey, unavailable, notInSession };
    Kind kind = Kind::unavailable;
    std::string reason; // "in use by another program", "unknown key", or what else went wrong
};

// What the desktop made of a shortcut it binds itself (a desktop portal binds asynchronously and has the final
// say on the trigger).
struct HotKeyBinding {
    std::optional<std::string> trigger;   // the trigger as the desktop describes it ("Meta+Alt+T")
    std::optional<HotKeyFailure> failure; // the desktop refused the binding, or has no shortcuts to offer
};

// A system-wide keyboard shortcut. Key codes and modifier masks are in their stored form: virtual key codes
// and the command 0x0100 / shift 0x0200 / option 0x0800 / control 0x1000 mask; the realisation translates them.
class HotKeyService {
public:
    virtual ~HotKeyService() = default;
    // onPress runs on the main loop, once per press of the combination (not for key repeat).
    virtual std::variant<HotKeyToken, HotKeyFailure> registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers,
                                                                    std::function<void()> onPress) = 0;
    virtual void unregisterHotKey(HotKeyToken token) = 0;
    // Realisations that bind asynchronously report each outcome of the current registration here, on the
    // main loop; the others never call it.
    virtual void onBindingChange(std::function<void(const HotKeyBinding&)> handler) { (void)handler; }
};

} // namespace knokle
