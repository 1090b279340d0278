#pragma once

#include "controller/Hotkey.h"
#include "controller/Settings.h"
#include "platform/HotKeyService.h"
#include "platform/MainLoop.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace knokle {

// The shortcut that arms and pauses taps: its registration, what the desktop says it bound, and the recorder in
// Test Taps changing it. Runs on the main loop.
class ArmShortcut {
public:
    ArmShortcut(HotKeyService& hotKeys, MainLoop& loop, Settings& settings);
    ArmShortcut(const ArmShortcut&) = delete;
    ArmShortcut& operator=(const ArmShortcut&) = delete;

    // Registers the stored combination; a failure is said, never silent.
    void registerStored();
    void bindingChanged(const HotKeyBinding& binding);
    // The recorder stored a new combination.
    void changed(std::uint32_t keyCode, std::uint32_t modifiers, const std::string& display);
    // The recorder listens: the combination must reach it rather than arm taps.
    void recordingChanged(bool listening);
    // As the menu and Test Taps show it.
    std::string shown() const;

    // Set before registering; guarded by its owner, since a queued press may outlive this object.
    std::function<void()> onPress;
    // What shown() answers changed.
    std::function<void()> onShownChanged;

private:
    void reportFailure(const HotKeyFailure& failure);

    HotKeyService& hotKeys;
    MainLoop& loop;
    Settings& settings;
    std::unique_ptr<GlobalHotKey> hotKey;
    std::optional<std::string> trigger; // as the desktop reports it, where the desktop binds it
    bool unavailable = false;
    bool unavailableSaid = false;
};

} // namespace knokle
