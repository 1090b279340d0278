#pragma once

#include <string_view>

namespace knokle {

// The deepest nesting any of our JSON files may have. Parsed values are copied and destroyed recursively, so a
// file of a hundred thousand brackets would overflow the stack; nothing we write comes close to this.
inline constexpr int kMaxJsonNesting = 64;

// Whether the arrays and objects of a JSON text nest no deeper than the limit (brackets inside strings do not
// count). Says nothing else about the text's validity.
constexpr bool jsonNestingWithin(std::string_view text, int limit = kMaxJsonNesting) {
    int depth = 0;
    bool inString = false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > limit) return false;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return true;
}

} // namespace knokle
