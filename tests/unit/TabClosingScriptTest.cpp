#include "modes/TabClosingScript.h"
#include "common/UnicodeText.h"

#include <gtest/gtest.h>

#include <random>

using namespace knokle;

namespace {

// The text between the quotes of the contains test, with its escapes undone.
std::optional<std::string> literalOfContainsLine(const std::string& script) {
    const std::string opening = "            if (URL of tab i of w) contains \"";
    const std::string closing = "\" then\n";
    size_t start = script.find(opening);
    if (start == std::string::npos) return std::nullopt;
    start += opening.size();
    size_t end = script.find(closing, start);
    if (end == std::string::npos) return std::nullopt;
    std::string literal;
    for (size_t i = start; i < end; ++i) {
        if (script[i] == '"') return std::nullopt; // an unescaped quote would end the literal early
        if (script[i] == '\\') {
            if (++i >= end) return std::nullopt;
        }
        literal.push_back(script[i]);
    }
    return literal;
}

} // namespace

TEST(TabClosingScript, ExactTextForASample) {
    EXPECT_EQ(tabClosingScript("Google Chrome", scriptSafeText("say \"hi\"\\now\n")),
              "tell application \"Google Chrome\"\n"
              "    set closedCount to 0\n"
              "    repeat with w in windows\n"
              "        set i to 1\n"
              "        repeat while i \xE2\x89\xA4 (count of tabs of w)\n"
              "            if (URL of tab i of w) contains \"say \\\"hi\\\"\\\\now\" then\n"
              "                close tab i of w\n"
              "                set closedCount to closedCount + 1\n"
              "            else\n"
              "                set i to i + 1\n"
              "            end if\n"
              "        end repeat\n"
              "    end repeat\n"
              "    return closedCount\n"
              "end tell");
}

TEST(TabClosingScript, EscapingAndLineBreakRemoval) {
    struct Case {
        const char* text;
        const char* safe;
    };
    const Case cases[] = {
        {"plain", "plain"},
        {"a\\\"b", "a\\\\\\\"b"}, // backslash doubled first, so the quote's own backslash stays single
        {"\\", "\\\\"},
        {"a\nb\rc\vd\fe", "abcde"},
        {"x\xC2\x85y\xE2\x80\xA8z\xE2\x80\xA9w", "xyzw"},     // U+0085, U+2028, U+2029
        {"\xC3\x85ngstr\xC3\xB6m", "\xC3\x85ngstr\xC3\xB6m"}, // Å keeps its 0x85 continuation byte
        {"\xE2\x80\xA7", "\xE2\x80\xA7"},                     // U+2027 is not a line break
        {"\r\n", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(scriptSafeText(c.text), c.safe) << c.text;
}

TEST(TabClosingScript, LiteralAlwaysReadsBackAsTheMatchTextWithoutLineBreaks) {
    const std::vector<std::string> pieces = {
        "a",    "Z",        "\"",           "\\",           "\n", "\r",       "\v",
        "\f",   "\xC2\x85", "\xE2\x80\xA8", "\xE2\x80\xA9", " ",  "\xC3\x85", "\xE2\x89\xA4",
        "\\\"", "end tell"};
    std::mt19937 random(2026);
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        int length = std::uniform_int_distribution<int>(0, 12)(random);
        for (int i = 0; i < length; ++i) {
            text += pieces[std::uniform_int_distribution<size_t>(0, pieces.size() - 1)(random)];
        }
        std::string script = tabClosingScript("Safari", scriptSafeText(text));
        EXPECT_EQ(std::count(script.begin(), script.end(), '\n'), 14) << text;
        EXPECT_EQ(literalOfContainsLine(script), withoutLineBreaks(text)) << text;
    }
}
