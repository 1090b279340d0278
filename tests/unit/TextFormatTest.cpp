#include "common/TextFormat.h"
#include "common/UnicodeText.h"

#include <cstdlib>
#include <gtest/gtest.h>

using namespace knokle;

TEST(TextFormat, QuotedList) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, "[]"},
        {{"com.apple.Safari"}, R"(["com.apple.Safari"])"},
        {{"say \"hi\"", "back\\slash"}, R"(["say \"hi\"", "back\\slash"])"},
        {{"line\nbreak\ttab\r\x01\x7f"}, R"(["line\nbreak\ttab\r\u{1}\u{7F}"])"},
        {{"ünïcode ⌘"}, R"(["ünïcode ⌘"])"},
    };
    for (const auto& [items, printed] : cases)
        EXPECT_EQ(quotedList(items), printed);
}

TEST(TextFormat, ShortestDecimalReadsBackAsTheSameDouble) {
    EXPECT_EQ(shortestDecimal(0.6), "0.6");
    EXPECT_EQ(shortestDecimal(3 * 0.6), "1.7999999999999998");
    EXPECT_EQ(shortestDecimal(8.0), "8.0");
    for (double d : {0.1, 1.0 / 3.0, 1e-7, 123456.789})
        EXPECT_EQ(std::strtod(shortestDecimal(d).c_str(), nullptr), d);
}

TEST(TextFormat, FormatLikePrintf) {
    EXPECT_EQ(format("force x%.2f", 1.9230769), "force x1.92");
    EXPECT_EQ(format("%s", std::string(5000, 'a').c_str()).size(), 5000u);
}

// Line breaks of every kind go, other characters (and bytes that start no character) stay whole.
TEST(UnicodeText, LineBreaksTrimmingAndUpperCasing) {
    const std::pair<const char*, const char*> withoutBreaks[] = {
        {"a\nb\rc\vd\fe", "abcde"},
        {"x\xC2\x85y\xE2\x80\xA8z\xE2\x80\xA9w", "xyzw"},     // U+0085, U+2028, U+2029
        {"\xC3\x85ngstr\xC3\xB6m", "\xC3\x85ngstr\xC3\xB6m"}, // Å keeps its 0x85 continuation byte
        {"\xE2\x80\xA7", "\xE2\x80\xA7"},                     // U+2027 is not a line break
        {"a\xe2\x80", "a\xe2\x80"},
    };
    for (const auto& [text, kept] : withoutBreaks)
        EXPECT_EQ(withoutLineBreaks(text), kept) << text;
    EXPECT_EQ(trimmedSpacesAndLineBreaks("a \u2028"), "a");
    EXPECT_EQ(upperCased("az\x80\xff"), "AZ\x80\xff");
    EXPECT_EQ(upperCased("\u00e9\u0080\uff51\U00010428"), "\u00c9\u0080\uff31\U00010400");
}

TEST(UnicodeText, ValidUtf8UpToTheLastByte) {
    for (const char* bad : {"a\xc3", "\xe2\x8c", "\xf0\x90\x90", "\x80", "\xc3("})
        EXPECT_FALSE(isValidUtf8(bad)) << bad;
    EXPECT_FALSE(isValidUtf8(std::string_view("a\xc3\xa9", 2))) << "cut inside a character";
    EXPECT_TRUE(isValidUtf8("\u00e9\u2325\U00010428"));
}
