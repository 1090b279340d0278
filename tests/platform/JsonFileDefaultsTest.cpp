#include "platform/linux/JsonFileDefaults.h"
#include "LineCapture.h"
#include "TempDir.h"
#include "common/AtomicFile.h"
#include "shell/Settings.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace knokle;

namespace {

class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::optional<std::string>& value) : name(name) {
        if (const char* old = std::getenv(name)) previous = old;
        if (value)
            setenv(name, value->c_str(), 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (previous)
            setenv(name, previous->c_str(), 1);
        else
            unsetenv(name);
    }

private:
    const char* name;
    std::optional<std::string> previous;
};

std::vector<std::filesystem::path> kept(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> out;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().filename().string().find(".unreadable-") != std::string::npos) out.push_back(entry.path());
    return out;
}

} // namespace

TEST(JsonFileDefaults, FileLocationFromTheEnvironment) {
    struct Case {
        std::optional<std::string> configDir, xdgConfigHome, home;
        std::string expected;
    } cases[] = {
        {"/c", "/x", "/h", "/c/settings.json"},
        {std::nullopt, "/x", "/h", "/x/knokle/settings.json"},
        {"", "", "/h", "/h/.config/knokle/settings.json"},
        {std::nullopt, std::nullopt, "/h", "/h/.config/knokle/settings.json"},
    };
    for (const auto& c : cases) {
        ScopedEnv a("KNOKLE_CONFIG_DIR", c.configDir), b("XDG_CONFIG_HOME", c.xdgConfigHome), h("HOME", c.home);
        EXPECT_EQ(JsonFileDefaults::defaultFile().string(), c.expected);
    }
}

TEST(JsonFileDefaults, TypesSurviveTheFileAndTheFolderIsMadeOnFirstWrite) {
    test::TempDir dir;
    auto file = dir / "deep/knokle/settings.json";
    JsonFileDefaults store(file);
    EXPECT_FALSE(store.object("tapsActive"));
    store.set("tapsActive", true);
    store.set("firmness", std::int64_t(1));
    store.set("cooldownSeconds", 2.0);
    store.set("hotkeyDisplay", std::string("⌥⌘T"));
    ASSERT_TRUE(std::filesystem::exists(file));

    auto json = nlohmann::json::parse(*readWholeFile(file));
    EXPECT_TRUE(json["tapsActive"].is_boolean());
    EXPECT_TRUE(json["firmness"].is_number_integer());
    EXPECT_TRUE(json["cooldownSeconds"].is_number_float()) << "2.0 must stay a double, not become 2";
    EXPECT_TRUE(json["hotkeyDisplay"].is_string());

    JsonFileDefaults again(file);
    EXPECT_EQ(again.object("tapsActive"), StoredValue(true));
    EXPECT_EQ(again.object("firmness"), StoredValue(std::int64_t(1)));
    EXPECT_EQ(again.object("cooldownSeconds"), StoredValue(2.0));
    EXPECT_EQ(again.object("hotkeyDisplay"), StoredValue(std::string("⌥⌘T")));
    EXPECT_EQ(again.keys(), (std::vector<std::string>{"tapsActive", "firmness", "cooldownSeconds", "hotkeyDisplay"}));

    store.remove("firmness");
    EXPECT_FALSE(again.object("firmness"));
}

TEST(JsonFileDefaults, OutsideChangesAreSeenByTheNextRead) {
    test::TempDir dir;
    auto file = dir / "settings.json";
    JsonFileDefaults store(file);
    Settings settings(store);
    store.set("tapsActive", false);
    ASSERT_TRUE(writeFileAtomically(file, R"({"tapsActive": true, "hotkeyKeyCode": 99999999999, "x": [1]})"));
    EXPECT_TRUE(settings.tapsActive());
    EXPECT_EQ(settings.hotkeyKeyCode(), 17u) << "out of range reads as the default";
    EXPECT_EQ(store.object("x"), StoredValue(OtherValue{}));
}

TEST(JsonFileDefaults, AnUnreadableFileReadsEmptyAndIsKeptAsideBeforeTheFirstWrite) {
    for (std::string content : {"{not json", "[1, 2]", "\"text\"", "{\"a\": 1} trailing"}) {
        test::TempDir dir;
        auto file = dir / "settings.json";
        ASSERT_TRUE(writeFileAtomically(file, content));
        JsonFileDefaults store(file);
        test::LineCapture lines;
        EXPECT_FALSE(store.object("a")) << content;
        EXPECT_TRUE(store.keys().empty());
        EXPECT_TRUE(kept(dir.path()).empty()) << "reading alone never moves the file";

        store.set("tapsActive", true);
        auto aside = kept(dir.path());
        ASSERT_EQ(aside.size(), 1u) << content;
        EXPECT_EQ(readWholeFile(aside[0]), content);
        ASSERT_EQ(lines.lines().size(), 1u);
        EXPECT_EQ(lines.lines()[0],
                  "[info] Settings file " + file.string() + " could not be read; kept it as " + aside[0].string());
        EXPECT_EQ(store.object("tapsActive"), StoredValue(true));
        EXPECT_EQ(store.keys().size(), 1u);
    }
}

TEST(JsonFileDefaults, AnEmptyFileIsAnEmptyStore) {
    test::TempDir dir;
    auto file = dir / "settings.json";
    ASSERT_TRUE(writeFileAtomically(file, ""));
    JsonFileDefaults store(file);
    test::LineCapture lines;
    store.set("autoPause", false);
    EXPECT_TRUE(kept(dir.path()).empty());
    EXPECT_TRUE(lines.lines().empty());
    EXPECT_EQ(store.object("autoPause"), StoredValue(false));
}
