#include "shell/UnicodeText.h"

#include <clocale>
#include <cwctype>
#include <locale.h>

namespace knokle {
namespace {

struct Decoded {
    char32_t code = 0;
    size_t length = 1;
    bool valid = false;
};

Decoded decodeAt(std::string_view text, size_t i) {
    auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char lead = byte(i);
    size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > text.size()) return {lead, 1, false};
    char32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return {lead, 1, false};
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    return {code, length, true};
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

// Unicode's space separators (category Zs) and the tab.
bool isSpaceSeparator(char32_t c) {
    return c == U' ' || c == U'\t' || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}

bool isLineBreak(char32_t c) {
    return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

template <typename Pred> std::string trim(std::string_view text, Pred drop) {
    size_t begin = 0;
    while (begin < text.size()) {
        Decoded d = decodeAt(text, begin);
        if (!d.valid || !drop(d.code)) break;
        begin += d.length;
    }
    size_t end = begin;
    for (size_t i = begin; i < text.size();) {
        Decoded d = decodeAt(text, i);
        i += d.length;
        if (!d.valid || !drop(d.code)) end = i;
    }
    return std::string(text.substr(begin, end - begin));
}

locale_t utf8Locale() {
    static locale_t locale = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
        return l ? l : newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(0));
    }();
    return locale;
}

} // namespace

std::string trimSpaces(std::string_view text) {
    return trim(text, isSpaceSeparator);
}

std::string trimWhitespaceAndNewlines(std::string_view text) {
    return trim(text, [](char32_t c) { return isSpaceSeparator(c) || isLineBreak(c); });
}

std::string upperCased(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        Decoded d = decodeAt(text, i);
        if (!d.valid) {
            out.push_back(text[i]);
        } else if (d.code < 0x80) {
            out.push_back(static_cast<char>(d.code >= 'a' && d.code <= 'z' ? d.code - 32 : d.code));
        } else {
            encode(static_cast<char32_t>(towupper_l(static_cast<wint_t>(d.code), utf8Locale())), out);
        }
        i += d.length;
    }
    return out;
}

} // namespace knokle
