#include "modes/ModeManager.h"

#include <gtest/gtest.h>

using namespace knokle;

TEST(NormalisedURL, FollowsTheLinkRules) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        // clang-format off
        {"", std::nullopt}, {" \t\n\r ", std::nullopt}, {"\u00a0\u2028", std::nullopt},
        {"example.com/path/page", "https://example.com/path/page"}, {"example.com", "https://example.com"},
        {"localhost:8080/x", "https://localhost:8080/x"}, {"HTTPS://Example.COM/Path", "HTTPS://Example.COM/Path"},
        {"ftp://example.com/file", std::nullopt}, {"FILE:///tmp", "FILE:///tmp"},
        {"file://server/share", "file://server/share"}, {"http:///path", std::nullopt}, {"https://", std::nullopt},
        {"http://[::1]:8080/", "http://[::1]:8080/"},
        {"  \n https://example.com/a?b=c#d \r\n\t", "https://example.com/a?b=c#d"},
        {"\u3000example.org\u2029", "https://example.org"}, {"://nothing", std::nullopt},
        {"https://example.com/a b", std::nullopt},
        {"javascript://alert(1)", std::nullopt},
        {"se\xC3\x85rch.com", std::nullopt}, // not allowed in a URL: refused rather than rewritten
        // clang-format on
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(ModeManager::normalisedURL(text), expected) << '"' << text << '"';
    }
}
