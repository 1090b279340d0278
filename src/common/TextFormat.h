#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace knokle {

// The text as a double-quoted string literal: "a\"b".
std::string quotedLiteral(std::string_view text);

// A list as it is printed in diagnostic lines: ["a", "b"], or [] when empty.
std::string quotedList(const std::vector<std::string>& items);

// The shortest decimal text that reads back as the same double, always with a fraction or exponent
// ("0.6", "1.7999999999999998", "8.0").
std::string shortestDecimal(double value);

// printf-style formatting into a std::string.
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

} // namespace knokle
