#pragma once

#include <functional>

namespace knokle {

// What the desktop says about listening: whether the user switched the microphone off for all programs, and
// whether the session is locked (nobody is there to tap).
class SessionPrivacy {
public:
    virtual ~SessionPrivacy() = default;
    virtual bool microphoneDisabled() const = 0;
    virtual bool sessionLocked() const = 0;
    // Either answer changed; called on the main loop.
    std::function<void()> onChanged;
};

} // namespace knokle
