#include "controller/ArmShortcut.h"

#include "common/DiagnosticOutput.h"

namespace knokle {

ArmShortcut::ArmShortcut(HotKeyService& hotKeys, MainLoop& loop, Settings& settings)
    : hotKeys(hotKeys), loop(loop), settings(settings) {}

void ArmShortcut::registerStored() {
    HotKeyFailure failure;
    // A copy: a press already queued still reaches it after this registration is replaced.
    hotKey = GlobalHotKey::make(hotKeys, loop, settings.hotkeyKeyCode(), settings.hotkeyMods(), onPress, &failure);
    if (!hotKey) reportFailure(failure);
}

void ArmShortcut::reportFailure(const HotKeyFailure& failure) {
    // Without this the shortcut would silently do nothing.
    if (failure.kind == HotKeyFailure::Kind::inUse)
        printLine("[info] The shortcut " + settings.hotkeyText() +
                  " is in use by another program; arm and pause taps from the menu instead.");
    if (failure.kind != HotKeyFailure::Kind::notInSession) return;
    unavailable = true;
    trigger.reset();
    // Said once: every later registration would only fail the same way.
    if (unavailableSaid) return;
    unavailableSaid = true;
    printLine("[info] The shortcut is unavailable in this session (" + failure.reason +
              "); arm and pause taps from the menu instead.");
}

void ArmShortcut::bindingChanged(const HotKeyBinding& binding) {
    if (binding.failure) {
        if (binding.failure->kind == HotKeyFailure::Kind::notInSession) {
            reportFailure(*binding.failure);
        } else {
            trigger.reset();
            printLine("[info] The desktop did not bind the shortcut " + settings.hotkeyText() + " (" +
                      binding.failure->reason + "); arm and pause taps from the menu instead.");
        }
    } else {
        unavailable = false;
        trigger = binding.trigger;
    }
    if (onShownChanged) onShownChanged();
}

std::string ArmShortcut::shown() const {
    return GlobalHotKey::shownShortcut(settings.hotkeyText(), trigger, unavailable);
}

void ArmShortcut::changed(std::uint32_t keyCode, std::uint32_t modifiers, const std::string& display) {
    settings.setHotkey(keyCode, modifiers, display);
    // The desktop's description of the old binding no longer holds; the new binding reports its own.
    trigger.reset();
    // The new registration first, then the old one goes; the shortcut may be the same combination.
    auto previous = std::move(hotKey);
    registerStored();
    previous.reset();
}

void ArmShortcut::recordingChanged(bool listening) {
    if (!hotKey) return;
    if (listening) {
        hotKey->suspend();
        return;
    }
    HotKeyFailure failure;
    if (!hotKey->resume(&failure)) {
        // Taken by another program while the recorder listened.
        hotKey.reset();
        reportFailure(failure);
    }
}

} // namespace knokle
