#pragma once

#include "platform/HotKeyService.h"

#include <map>
#include <memory>
#include <optional>
#include <string>

class QSocketNotifier;
typedef struct _XDisplay Display;

namespace knokle {

// The stored virtual key code as an X keysym (0 when the key has none).
unsigned long keysymForVirtualKey(std::uint32_t keyCode);

// Global hot keys as key grabs on the root window, on an X connection of its own. Presses are read through a
// socket notifier, so they arrive on the Qt main thread. Needs a Q(Core)Application.
class X11HotKeyService final : public HotKeyService {
public:
    // Connects to the display named, else to $DISPLAY.
    explicit X11HotKeyService(const std::optional<std::string>& displayName = std::nullopt);
    ~X11HotKeyService() override;
    X11HotKeyService(const X11HotKeyService&) = delete;
    X11HotKeyService& operator=(const X11HotKeyService&) = delete;

    bool connected() const { return display != nullptr; }

    std::variant<HotKeyToken, HotKeyFailure> registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers,
                                                            std::function<void()> onPress) override;
    void unregisterHotKey(HotKeyToken token) override;

    // Handles every event already received; the notifier calls it, tests may too.
    void processEvents();

private:
    struct Grab {
        unsigned keycode;
        unsigned modifiers;
        std::function<void()> onPress;
        bool down = false;
    };

    void readModifierMapping();
    unsigned xModifiers(std::uint32_t storedMask) const;
    void ungrab(const Grab& grab);
    void scheduleProcessing();

    Display* display = nullptr;
    QSocketNotifier* notifier = nullptr;
    std::map<HotKeyToken, Grab> grabs;
    HotKeyToken nextToken = 1;
    unsigned numLockMask = 0;
    unsigned superMask = 0;
    unsigned altMask = 0;
};

} // namespace knokle
