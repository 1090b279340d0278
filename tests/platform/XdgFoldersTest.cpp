#include "platform/linux/desktop/XdgFolders.h"

#include <gtest/gtest.h>
#include <map>

using namespace knokle;
namespace fs = std::filesystem;

TEST(XdgFolders, KnokleVariableThenAbsoluteXdgThenHome) {
    using Env = std::map<std::string, std::string>;
    struct Case {
        Env env;
        fs::path config, data, autostart;
    };
    const Case cases[] = {
        {{{"HOME", "/h"}}, "/h/.config/knokle", "/h/.local/share/knokle", "/h/.config/autostart"},
        {{{"HOME", "/h"}, {"XDG_CONFIG_HOME", "/x/c"}, {"XDG_DATA_HOME", "/x/d"}},
         "/x/c/knokle",
         "/x/d/knokle",
         "/x/c/autostart"},
        {{{"HOME", "/h"}, {"XDG_CONFIG_HOME", "relative"}, {"XDG_DATA_HOME", ""}},
         "/h/.config/knokle",
         "/h/.local/share/knokle",
         "/h/.config/autostart"},
        {{{"HOME", "/h"}, {"XDG_CONFIG_HOME", "/x/c"}, {"KNOKLE_CONFIG_DIR", "/k/c"}, {"KNOKLE_DATA_DIR", "/k/d"}},
         "/k/c",
         "/k/d",
         "/x/c/autostart"},
    };
    for (const auto& c : cases) {
        XdgFolders folders([&](const char* name) -> std::optional<std::string> {
            auto it = c.env.find(name);
            return it == c.env.end() ? std::nullopt : std::optional(it->second);
        });
        EXPECT_EQ(folders.config(), c.config);
        EXPECT_EQ(folders.data(), c.data);
        EXPECT_EQ(folders.autostart(), c.autostart);
    }
}

TEST(XdgFolders, DataDirsRuntimeAndTheHomeOfThePasswordDatabase) {
    std::map<std::string, std::string> env{{"XDG_DATA_DIRS", "/a:relative::/b/"}, {"XDG_RUNTIME_DIR", "run"}};
    XdgFolders folders([&](const char* name) -> std::optional<std::string> {
        auto it = env.find(name);
        return it == env.end() ? std::nullopt : std::optional(it->second);
    });
    EXPECT_EQ(folders.applicationFolders(), (std::vector<fs::path>{folders.home() / ".local/share/applications",
                                                                   "/a/applications", "/b/applications"}));
    EXPECT_FALSE(folders.runtimeDir()) << "a relative runtime folder is ignored";
    EXPECT_TRUE(folders.home().is_absolute()) << "without HOME the password database names it";
    env = {{"XDG_RUNTIME_DIR", "/run/user/7"}};
    EXPECT_EQ(folders.runtimeDir(), fs::path("/run/user/7"));
    EXPECT_EQ(folders.dataDirs(), (std::vector<fs::path>{"/usr/local/share", "/usr/share"}));
}
