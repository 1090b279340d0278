#pragma once

#include <optional>
#include <string>

namespace knokle {

enum class LoginItemStatus { notRegistered, enabled, requiresApproval, notFound };

// Starting the program when the user logs in.
class LoginItem {
public:
    virtual ~LoginItem() = default;
    virtual LoginItemStatus status() const = 0;
    // Nothing on success; otherwise a readable description of what went wrong.
    virtual std::optional<std::string> registerItem() = 0;
    virtual std::optional<std::string> unregisterItem() = 0;
    // Whether the program runs as an installed application, the only kind a login item can start.
    virtual bool canChange() const = 0;
};

} // namespace knokle
