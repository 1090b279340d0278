#pragma once

#include <string>
#include <string_view>

namespace knokle {

// UTF-8 text helpers for names shown to the user.

// Removes leading and trailing spaces, tabs and the other space separators (not line breaks).
std::string trimSpaces(std::string_view text);
// Removes leading and trailing whitespace including line breaks.
std::string trimWhitespaceAndNewlines(std::string_view text);
// Upper-cases every letter ("é" gives "É"); invalid UTF-8 bytes are kept as they are.
std::string upperCased(std::string_view text);

} // namespace knokle
