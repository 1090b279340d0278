#include "platform/linux/desktop/WellKnownApplications.h"

#include <map>

namespace knokle {

std::optional<DesktopRole> wellKnownRole(const std::string& identifier) {
    static const std::map<std::string, DesktopRole> table = {
        {"com.apple.Safari", DesktopRole::webBrowser}, {"com.apple.mail", DesktopRole::mail},
        {"com.apple.Mail", DesktopRole::mail},         {"com.apple.Notes", DesktopRole::textEditor},
        {"com.apple.Terminal", DesktopRole::terminal}, {"com.apple.MobileSMS", DesktopRole::messaging},
    };
    auto it = table.find(identifier);
    if (it == table.end()) return std::nullopt;
    return it->second;
}

std::optional<std::string> roleContentType(DesktopRole role) {
    switch (role) {
    case DesktopRole::webBrowser:
        return "x-scheme-handler/https";
    case DesktopRole::mail:
        return "x-scheme-handler/mailto";
    case DesktopRole::textEditor:
        return "text/plain";
    case DesktopRole::terminal:
    case DesktopRole::messaging:
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace knokle
