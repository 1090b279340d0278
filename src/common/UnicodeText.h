#pragma once

#include <string>
#include <string_view>

namespace knokle {

// UTF-8 text helpers. They work on whole characters, so the continuation byte of a
// letter such as "Å" (C3 85) is never taken for a next-line character (C2 85).

// Removes white space other than line breaks (tab and the space separators) from both ends.
std::string_view trimmedSpaces(std::string_view text);
// Removes white space and line breaks from both ends.
std::string_view trimmedSpacesAndLineBreaks(std::string_view text);
// Removes every line feed, vertical tab, form feed, carriage return, U+0085, U+2028 and U+2029.
std::string withoutLineBreaks(std::string_view text);
// Whether the bytes are well-formed UTF-8: no stray or missing continuation bytes, overlong forms or surrogates.
bool isValidUtf8(std::string_view text);
// Upper-cases every letter ("é" gives "É"); malformed bytes are kept as they are.
std::string upperCased(std::string_view text);

// A to Z lowered; every other byte kept.
std::string lowerCasedAscii(std::string_view text);

} // namespace knokle
