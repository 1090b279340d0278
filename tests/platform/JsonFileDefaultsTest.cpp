#include "platform/linux/JsonFileDefaults.h"
#include "LineCapture.h"
#include "ScopedEnv.h"
#include "TempDir.h"
#include "common/AtomicFile.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace knokle;

TEST(JsonFileDefaults, FileLocationFromTheEnvironment) {
    struct Case {
        const char *configDir, *xdgConfigHome, *expected;
    } cases[] = {
        {"/c", "/x", "/c/settings.json"},
        {nullptr, "/x", "/x/knokle/settings.json"},
        {"", "", "/h/.config/knokle/settings.json"},
        {nullptr, nullptr, "/h/.config/knokle/settings.json"},
    };
    for (const auto& c : cases) {
        test::ScopedEnv a("KNOKLE_CONFIG_DIR", c.configDir), b("XDG_CONFIG_HOME", c.xdgConfigHome), h("HOME", "/h");
        EXPECT_EQ(JsonFileDefaults::defaultFile().string(), c.expected);
    }
}

TEST(JsonFileDefaults, TypesSurviveTheFileAndOutsideChangesAreSeen) {
    test::TempDir dir;
    auto file = dir / "deep/knokle/settings.json";
    JsonFileDefaults store(file), other(file);
    EXPECT_FALSE(store.object("tapsActive"));
    store.set("tapsActive", true);
    store.set("firmness", std::int64_t(1));
    store.set("cooldownSeconds", 2.0);
    store.set("hotkeyDisplay", std::string("⌥⌘T"));
    auto json = nlohmann::json::parse(readWholeFile(file).value_or("null"));
    EXPECT_TRUE(json["cooldownSeconds"].is_number_float()) << "2.0 must stay a double, not become 2";
    EXPECT_EQ(other.object("tapsActive"), StoredValue(true));
    EXPECT_EQ(other.object("firmness"), StoredValue(std::int64_t(1)));
    EXPECT_EQ(other.object("cooldownSeconds"), StoredValue(2.0));
    EXPECT_EQ(other.object("hotkeyDisplay"), StoredValue(std::string("⌥⌘T")));
    EXPECT_EQ(other.keys(), (std::vector<std::string>{"tapsActive", "firmness", "cooldownSeconds", "hotkeyDisplay"}));
    store.remove("firmness");
    EXPECT_FALSE(other.object("firmness"));

    ASSERT_TRUE(writeFileAtomically(file, R"({"tapsActive": false, "huge": 18446744073709551615, "x": [1]})"));
    EXPECT_EQ(store.object("tapsActive"), StoredValue(false));
    EXPECT_EQ(store.object("huge"), StoredValue(18446744073709551615.0)) << "too big for an integer";
    EXPECT_EQ(store.object("x"), StoredValue(OtherValue{}));
}

TEST(JsonFileDefaults, AnUnreadableFileReadsEmptyAndIsKeptAsideBeforeTheFirstWrite) {
    for (std::string content : {"{not json", "[1, 2]", "\"text\"", "{\"a\": 1} trailing", " \n"}) {
        bool unreadable = content != " \n"; // an empty file holds nothing that could be lost
        test::TempDir dir;
        auto file = dir / "settings.json";
        ASSERT_TRUE(writeFileAtomically(file, content));
        JsonFileDefaults store(file);
        test::LineCapture lines;
        EXPECT_FALSE(store.object("a")) << content;
        EXPECT_TRUE(store.keys().empty());
        store.remove("a");
        EXPECT_EQ(readWholeFile(file), content) << "reading or removing alone never moves the file";

        store.set("tapsActive", true);
        std::vector<std::filesystem::path> aside;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            if (entry.path() != file) aside.push_back(entry.path());
        ASSERT_EQ(aside.size(), unreadable ? 1u : 0u) << content;
        if (unreadable) {
            EXPECT_EQ(readWholeFile(aside[0]), content);
            EXPECT_EQ(lines.lines(), std::vector<std::string>{"[info] Settings file " + file.string() +
                                                              " could not be read; kept it as " + aside[0].string()});
        }
        EXPECT_EQ(store.keys(), std::vector<std::string>{"tapsActive"});
    }
}
