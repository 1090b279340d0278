#include "common/UnicodeText.h"

#include <clocale>
#include <cstdint>
#include <cwctype>
#include <locale.h>

namespace knokle {
namespace {

constexpr char32_t kMalformed = 0xFFFFFFFF;

// Decodes the character at the start of text; length 1 and kMalformed for a malformed byte.
char32_t decodeAt(std::string_view text, size_t& length) {
    auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byte(0);
    length = 1;
    size_t need = lead < 0x80 ? 0 : (lead >> 5) == 0x6 ? 1 : (lead >> 4) == 0xE ? 2 : (lead >> 3) == 0x1E ? 3 : 9;
    if (need == 0) return lead;
    if (need > 3 || text.size() < need + 1) return kMalformed;
    char32_t value = lead & (0x3F >> need);
    for (size_t i = 1; i <= need; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return kMalformed;
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

void encode(char32_t code, std::string& out) {
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

locale_t utf8Locale() {
    static locale_t locale = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
        return l ? l : newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(0));
    }();
    return locale;
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

std::string upperCased(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        size_t length;
        char32_t c = decodeAt(text.substr(i), length);
        if (c == kMalformed) {
            out.push_back(text[i]);
        } else if (c < 0x80) {
            out.push_back(static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c));
        } else {
            encode(static_cast<char32_t>(towupper_l(static_cast<wint_t>(c), utf8Locale())), out);
        }
        i += length;
    }
    return out;
}

} // namespace knokle

namespace knokle {

bool isValidUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
        unsigned char lead = byte(i);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        size_t need = (lead >> 5) == 0x6 ? 1 : (lead >> 4) == 0xE ? 2 : (lead >> 3) == 0x1E ? 3 : 0;
        if (need == 0 || i + need >= text.size()) return false;
        char32_t value = lead & (0x3F >> need);
        for (size_t k = 1; k <= need; ++k) {
            if ((byte(i + k) & 0xC0) != 0x80) return false;
            value = (value << 6) | (byte(i + k) & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        constexpr char32_t smallest[] = {0, 0x80, 0x800, 0x10000};
        if (value < smallest[need] || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) return false;
        i += need + 1;
    }
    return true;
}

std::string lowerCasedAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

} // namespace knokle
