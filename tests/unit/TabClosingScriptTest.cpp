#include "modes/TabClosingScript.h"

#include <gtest/gtest.h>

using namespace knokle;

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
    const std::pair<const char*, const char*> cases[] = {
        {"plain", "plain"},
        {"a\\\"b", "a\\\\\\\"b"}, // backslash doubled first, so the quote's own backslash stays single
        {"\\", "\\\\"},
        {"a\nb\rc\vd\fe", "abcde"},
        {"x\xC2\x85y\xE2\x80\xA8z\xE2\x80\xA9w", "xyzw"},     // U+0085, U+2028, U+2029
        {"\xC3\x85ngstr\xC3\xB6m", "\xC3\x85ngstr\xC3\xB6m"}, // Å keeps its 0x85 continuation byte
        {"\xE2\x80\xA7", "\xE2\x80\xA7"},                     // U+2027 is not a line break
        {"\\\n\"", "\\\\\\\""}, // a line break between escapes must not join them into new ones
        {"\"\xE2\x80\xA8"
         "end tell",
         "\\\"end tell"},
    };
    for (const auto& [text, safe] : cases)
        EXPECT_EQ(scriptSafeText(text), safe) << text;
}
