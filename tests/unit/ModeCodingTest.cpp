#include "modes/ModeCoding.h"

#include <array>
#include <gtest/gtest.h>

using namespace knokle;

namespace {

const char* const sampleId = "0F8E2A3B-4C5D-4E6F-8A9B-0C1D2E3F4A5B";

TEST(ModeCoding, WritesCompactInFixedKeyOrderWithUpperCaseId) {
    // Read with a lower-case id, written back upper-case; a focus that is not set is left out.
    auto decoded = decodeModes(R"([{"id":"0f8e2a3b-4c5d-4e6f-8a9b-0c1d2e3f4a5b","name":"N","slapCount":3,
        "openApps":["a"],"focusModeIdentifier":"Do Not Disturb"}, {"name":"M","slapCount":1}])");
    ASSERT_TRUE(decoded.has_value());
    decoded->at(1).id = decoded->at(0).id;
    EXPECT_EQ(encodeModes(*decoded),
              R"([{"id":"0F8E2A3B-4C5D-4E6F-8A9B-0C1D2E3F4A5B","name":"N","slapCount":3,"openApps":["a"],)"
              R"("openURLs":[],"quitApps":[],"closeURLs":[],"focusModeIdentifier":"Do Not Disturb"},)"
              R"({"id":"0F8E2A3B-4C5D-4E6F-8A9B-0C1D2E3F4A5B","name":"M","slapCount":1,"openApps":[],"openURLs":[],)"
              R"("quitApps":[],"closeURLs":[]}])");
    EXPECT_EQ(encodeModes({}), "[]");
}

TEST(ModeCoding, MissingKeysAndNullsTakeTheirDefaults) {
    auto decoded = decodeModes(R"([{"name":"only","slapCount":2},
        {"id":null,"name":"nulls","slapCount":2,"openApps":null,"openURLs":null,"quitApps":null,
         "closeURLs":null,"focusModeIdentifier":null},
        {"name":"empty focus","slapCount":1,"focusModeIdentifier":"","misspelt":{"x":[1]}}])");
    ASSERT_TRUE(decoded.has_value());
    ASSERT_EQ(decoded->size(), 3u);
    for (const auto& mode : *decoded)
        EXPECT_TRUE(mode.openApps.empty() && mode.openURLs.empty() && mode.quitApps.empty() && mode.closeURLs.empty());
    EXPECT_FALSE(decoded->at(1).focusModeIdentifier.has_value());
    EXPECT_EQ(decoded->at(2).focusModeIdentifier, std::optional<std::string>(""));
    EXPECT_NE(decoded->at(0).id, decoded->at(1).id) << "missing ids are made fresh";
    EXPECT_EQ(encodeModes(*decoded).find("misspelt"), std::string::npos);
}

TEST(ModeCoding, AnyErrorMakesTheWholeFileUndecodable) {
    const std::string good = R"({"name":"ok","slapCount":1},)";
    // clang-format off
    const char* const objects[] = {
        R"({"slapCount":1})", R"({"name":5,"slapCount":1})", R"({"name":"x"})", R"({"name":"x","slapCount":"2"})",
        R"({"name":"x","slapCount":2.0})", R"({"name":"x","slapCount":9223372036854775808})",
        R"({"id":"not-a-uuid","name":"x","slapCount":1})", R"({"id":7,"name":"x","slapCount":1})",
        R"({"name":"x","slapCount":1,"openURLs":[null]})", R"({"name":"x","slapCount":1,"quitApps":"a"})",
        R"({"name":"x","slapCount":1,"focusModeIdentifier":1})", R"([])"};
    // clang-format on
    for (const char* object : objects)
        EXPECT_FALSE(decodeModes("[" + good + object + "]")) << object;
    for (const char* text : {"{", "{}", R"([{"name":"x","slapCount":1}] trailing)"})
        EXPECT_FALSE(decodeModes(text)) << text;

    auto edges =
        decodeModes(R"([{"name":"","slapCount":9223372036854775807},{"name":"","slapCount":-9223372036854775808}])");
    ASSERT_TRUE(edges.has_value());
    EXPECT_EQ(edges->at(0).slapCount, INT64_MAX);
    EXPECT_EQ(edges->at(1).slapCount, INT64_MIN);
    EXPECT_EQ(decodeModes(" [ ] "), std::vector<SlapMode>{});

    // The exec-mode file is one object on its own.
    EXPECT_EQ(decodeModeDocument(R"({"name":"exec","slapCount":2})").value_or(SlapMode{}).slapCount, 2);
    EXPECT_FALSE(decodeModeDocument(R"([{"name":"exec","slapCount":2}])"));
    EXPECT_FALSE(decodeModeDocument(R"({"name":"exec"})"));
}

TEST(Uuid, ParsesEitherCaseAndRejectsMalformedText) {
    EXPECT_EQ(Uuid::parse("0f8e2a3b-4C5D-4e6f-8A9B-0c1d2e3f4a5b")->upperString(), sampleId);
    for (const char* bad : {"0F8E2A3B-4C5D-4E6F-8A9B-0C1D2E3F4A5", "0F8E2A3B-4C5D-4E6F-8A9B-0C1D2E3F4A5BB",
                            "0F8E2A3B4-C5D-4E6F-8A9B-0C1D2E3F4A5B", "0F8E2A3B-4C5D-4E6F-8A9B-0C1D2E3F4A5G"})
        EXPECT_FALSE(Uuid::parse(bad)) << bad;
    // Random ids are version 4 with the RFC 4122 variant; every other bit varies from id to id.
    Uuid first = Uuid::random();
    std::array<int, 16> varied{};
    for (int n = 0; n < 32; ++n) {
        Uuid next = Uuid::random();
        for (size_t i = 0; i < 16; ++i)
            varied[i] |= first.bytes[i] ^ next.bytes[i];
    }
    EXPECT_EQ(varied,
              (std::array<int, 16>{255, 255, 255, 255, 255, 255, 0x0f, 255, 0x3f, 255, 255, 255, 255, 255, 255, 255}));
    std::string text = first.upperString();
    EXPECT_EQ(text[14], '4');
    EXPECT_NE(std::string("89AB").find(text[19]), std::string::npos) << text;
}

} // namespace
