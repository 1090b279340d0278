#include "modes/ModeText.h"

#include <cstdint>

namespace knokle {
namespace {

// Decodes the character at the start of text; length 1 and an impossible value for a malformed byte.
char32_t decodeAt(std::string_view text, size_t& length) {
    auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byte(0);
    length = 1;
    size_t need = lead < 0x80 ? 0 : (lead >> 5) == 0x6 ? 1 : (lead >> 4) == 0xE ? 2 : (lead >> 3) == 0x1E ? 3 : 9;
    if (need == 0) return lead;
    if (need > 3 || text.size() < need + 1) return 0xFFFFFFFF;
    char32_t value = lead & (0x3F >> need);
    for (size_t i = 1; i <= need; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0xFFFFFFFF;
        value = (value << 6) | (byte(i) & 0x3F);
    }
    length = need + 1;
    return value;
}

bool isLineBreak(char32_t c) {
    return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

bool isSpace(char32_t c) {
    return c == 0x09 || c == 0x20 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}

template <typename Predicate> std::string_view trimmed(std::string_view text, Predicate drop) {
    // From the front, character by character.
    while (!text.empty()) {
        size_t length;
        if (!drop(decodeAt(text, length))) break;
        text.remove_prefix(length);
    }
    // From the back: find the start of the last character, then test it.
    while (!text.empty()) {
        size_t start = text.size() - 1;
        while (start > 0 && start + 4 > text.size() && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) {
            --start;
        }
        size_t length;
        char32_t c = decodeAt(text.substr(start), length);
        if (start + length != text.size() || !drop(c)) break;
        text.remove_suffix(length);
    }
    return text;
}

} // namespace

std::string_view trimmedSpaces(std::string_view text) {
    return trimmed(text, isSpace);
}

std::string_view trimmedSpacesAndLineBreaks(std::string_view text) {
    return trimmed(text, [](char32_t c) { return isSpace(c) || isLineBreak(c); });
}

std::string withoutLineBreaks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        size_t length;
        char32_t c = decodeAt(text, length);
        if (!isLineBreak(c)) out.append(text.substr(0, length));
        text.remove_prefix(length);
    }
    return out;
}

} // namespace knokle
