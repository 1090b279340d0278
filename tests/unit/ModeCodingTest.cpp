#include "modes/ModeCoding.h"

#include <gtest/gtest.h>

using namespace knokle;

namespace {

const char* const sampleId = "0F8E2A3B-4C5D-4E6F-8A9B-0C1D2E3F4A5B";

SlapMode sampleMode() {
    SlapMode mode;
    mode.id = *Uuid::parse(sampleId);
    mode.name = "Deep \"work\" \\ ünïcode";
    mode.slapCount = 3;
    mode.openApps = {"org.gnome.TextEditor", "firefox"};
    mode.openURLs = {"example.com/a?b=c", "https://x.org"};
    mode.quitApps = {"org.gnome.Evolution"};
    mode.closeURLs = {"youtube", " spaced "};
    mode.focusModeIdentifier = "Do Not Disturb";
    return mode;
}

} // namespace

TEST(ModeCoding, RoundTripKeepsEveryField) {
    SlapMode bare;
    bare.slapCount = -7;
    std::vector<SlapMode> modes = {sampleMode(), bare};
    auto decoded = decodeModes(encodeModes(modes));
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(*decoded, modes);
}

TEST(ModeCoding, WritesCompactInFixedKeyOrderWithUpperCaseId) {
    SlapMode mode = sampleMode();
    mode.name = "N";
    mode.openURLs = {};
    mode.closeURLs = {};
    mode.openApps = {"a"};
    mode.quitApps = {};
    EXPECT_EQ(encodeModes({mode}),
              std::string("[{\"id\":\"") + sampleId +
                  "\",\"name\":\"N\",\"slapCount\":3,\"openApps\":[\"a\"],\"openURLs\":[],\"quitApps\":[],"
                  "\"closeURLs\":[],\"focusModeIdentifier\":\"Do Not Disturb\"}]");
    mode.focusModeIdentifier.reset();
    EXPECT_EQ(encodeModes({mode}).find("focusModeIdentifier"), std::string::npos);
    EXPECT_EQ(encodeModes({}), "[]");
}

TEST(ModeCoding, LowerCaseIdIsReadAndWrittenUpperCase) {
    std::string lower = "0f8e2a3b-4c5d-4e6f-8a9b-0c1d2e3f4a5b";
    auto decoded = decodeModes("[{\"id\":\"" + lower + "\",\"name\":\"\",\"slapCount\":1}]");
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->at(0).id.upperString(), sampleId);
    EXPECT_NE(encodeModes(*decoded).find(sampleId), std::string::npos);
}

TEST(ModeCoding, OptionalKeysAndNullsTakeTheirDefaults) {
    auto decoded = decodeModes(R"([{"name":"only","slapCount":2},
        {"id":null,"name":"blank lists","slapCount":2,"openApps":null,"openURLs":null,"quitApps":null,
         "closeURLs":null,"focusModeIdentifier":null},
        {"name":"empty focus","slapCount":1,"focusModeIdentifier":"","misspelt":{"x":[1]}}])");
    ASSERT_TRUE(decoded.has_value());
    ASSERT_EQ(decoded->size(), 3u);
    for (const auto& mode : *decoded) {
        EXPECT_TRUE(mode.openApps.empty() && mode.openURLs.empty() && mode.quitApps.empty() && mode.closeURLs.empty());
    }
    EXPECT_FALSE(decoded->at(0).focusModeIdentifier.has_value());
    EXPECT_FALSE(decoded->at(1).focusModeIdentifier.has_value());
    EXPECT_EQ(decoded->at(2).focusModeIdentifier, std::optional<std::string>(""));
    // Missing ids are made fresh, and differ.
    EXPECT_NE(decoded->at(0).id, decoded->at(1).id);

    std::string written = encodeModes(*decoded);
    EXPECT_EQ(written.find("misspelt"), std::string::npos);
    EXPECT_EQ(written.find(":null"), std::string::npos);
    EXPECT_NE(written.find("\"focusModeIdentifier\":\"\""), std::string::npos);
    EXPECT_NE(written.find("\"openApps\":[],\"openURLs\":[],\"quitApps\":[],\"closeURLs\":[]"), std::string::npos);
}

TEST(ModeCoding, AnyErrorMakesTheWholeFileUndecodable) {
    const std::string good = R"({"name":"ok","slapCount":1})";
    struct Case {
        const char* why;
        std::string object;
    };
    const Case cases[] = {
        {"missing name", R"({"slapCount":1})"},
        {"null name", R"({"name":null,"slapCount":1})"},
        {"name not text", R"({"name":5,"slapCount":1})"},
        {"missing count", R"({"name":"x"})"},
        {"null count", R"({"name":"x","slapCount":null})"},
        {"count as text", R"({"name":"x","slapCount":"2"})"},
        {"count with fraction", R"({"name":"x","slapCount":2.5})"},
        {"count written as a fraction", R"({"name":"x","slapCount":2.0})"},
        {"count with exponent", R"({"name":"x","slapCount":2e0})"},
        {"count as boolean", R"({"name":"x","slapCount":true})"},
        {"count beyond 64 bits", R"({"name":"x","slapCount":9223372036854775808})"},
        {"count far beyond 64 bits", R"({"name":"x","slapCount":123456789012345678901234567890})"},
        {"id not a uuid", R"({"id":"not-a-uuid","name":"x","slapCount":1})"},
        {"id without hyphens", R"({"id":"0F8E2A3B4C5D4E6F8A9B0C1D2E3F4A5B","name":"x","slapCount":1})"},
        {"id as number", R"({"id":7,"name":"x","slapCount":1})"},
        {"number in a list", R"({"name":"x","slapCount":1,"openApps":["a",3]})"},
        {"null in a list", R"({"name":"x","slapCount":1,"closeURLs":[null]})"},
        {"list as text", R"({"name":"x","slapCount":1,"quitApps":"a"})"},
        {"focus as number", R"({"name":"x","slapCount":1,"focusModeIdentifier":1})"},
        {"element not an object", R"([])"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(decodeModes("[" + good + "," + c.object + "]").has_value()) << c.why;
    }
    EXPECT_TRUE(decodeModes("[" + good + "," + good + "]").has_value());
    // Edges of the range are still integers.
    auto edges = decodeModes(R"([{"name":"","slapCount":9223372036854775807},
                                 {"name":"","slapCount":-9223372036854775808}])");
    ASSERT_TRUE(edges.has_value());
    EXPECT_EQ(edges->at(0).slapCount, INT64_MAX);
    EXPECT_EQ(edges->at(1).slapCount, INT64_MIN);
}

TEST(ModeCoding, TopLevelMustBeAnArrayOfValidJson) {
    for (const char* text : {"", "{", "{}", "\"x\"", "null", "[", "[{\"name\":\"x\",\"slapCount\":1}] trailing"}) {
        EXPECT_FALSE(decodeModes(text).has_value()) << text;
    }
    auto empty = decodeModes(" [ ] ");
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->empty());
}

TEST(ModeCoding, SingleDocumentIsOneObjectNotAnArray) {
    auto mode = decodeModeDocument(R"({"name":"exec","slapCount":2,"openURLs":["a.org"]})");
    ASSERT_TRUE(mode.has_value());
    EXPECT_EQ(mode->name, "exec");
    EXPECT_EQ(mode->openURLs, std::vector<std::string>{"a.org"});
    EXPECT_FALSE(decodeModeDocument(R"([{"name":"exec","slapCount":2}])").has_value());
    EXPECT_FALSE(decodeModeDocument(R"({"name":"exec"})").has_value());
}

TEST(Uuid, ParsesEitherCaseAndRejectsMalformedText) {
    auto upper = Uuid::parse(sampleId);
    ASSERT_TRUE(upper.has_value());
    EXPECT_EQ(Uuid::parse("0f8e2a3b-4C5D-4e6f-8A9B-0c1d2e3f4a5b"), upper);
    for (const char* bad : {"", "0F8E2A3B-4C5D-4E6F-8A9B-0C1D2E3F4A5", "0F8E2A3B-4C5D-4E6F-8A9B-0C1D2E3F4A5BB",
                            "0F8E2A3B4-C5D-4E6F-8A9B-0C1D2E3F4A5B", "0F8E2A3B-4C5D-4E6F-8A9B-0C1D2E3F4A5G",
                            "{F8E2A3B-4C5D-4E6F-8A9B-0C1D2E3F4A5B}"}) {
        EXPECT_FALSE(Uuid::parse(bad).has_value()) << bad;
    }
}

TEST(Uuid, RandomIdsAreVersionFourAndDistinct) {
    Uuid a = Uuid::random();
    Uuid b = Uuid::random();
    EXPECT_NE(a, b);
    std::string text = a.upperString();
    EXPECT_EQ(text[14], '4');
    EXPECT_NE(std::string("89AB").find(text[19]), std::string::npos);
    EXPECT_EQ(Uuid::parse(text), a);
}
