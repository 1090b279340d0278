#pragma once

#include <optional>
#include <string>

namespace knokle {

// What the other desktop's well-known applications are for, so that modes written there (and the default
// modes) mean something here. The identifiers stay as stored; only their meaning is looked up.
enum class DesktopRole { webBrowser, mail, textEditor, terminal, messaging };

std::optional<DesktopRole> wellKnownRole(const std::string& identifier);

// The MIME type whose default handler plays the role; nothing for roles found otherwise (or not at all).
std::optional<std::string> roleContentType(DesktopRole role);

} // namespace knokle
