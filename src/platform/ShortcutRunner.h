#pragma once

#include <optional>
#include <string>

namespace knokle {

// Starts the user's shortcut with this name without waiting for it.
class ShortcutRunner {
public:
    virtual ~ShortcutRunner() = default;
    // Nothing when it was started; otherwise why it could not be.
    virtual std::optional<std::string> run(const std::string& name) = 0;
};

} // namespace knokle
