// What a stray value or a damaged, linked or half-written settings file does to the settings command and the
// store: never a crash, never a lost file.
#include "LineCapture.h"
#include "QtEventLoop.h"
#include "TempDir.h"
#include "common/AtomicFile.h"
#include "platform/linux/JsonFileDefaults.h"
#include "platform/linux/QtMainLoop.h"
#include "shell/DefaultsCommand.h"

#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <utime.h>

using namespace knokle;

namespace {

struct SettingsFolder {
    test::TempDir dir;
    std::filesystem::path file = dir / "settings.json";
    test::LineCapture lines;

    int defaults(std::vector<std::string> args, std::string* error = nullptr) {
        JsonFileDefaults store(file);
        std::ostringstream out, err;
        int status = runDefaultsCommand(args, store, out, err);
        if (error) *error = err.str();
        return status;
    }
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            out.push_back(entry.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }
};

} // namespace

TEST(SettingsFileSafety, TextThatIsNotUtf8IsRefusedWithAReason) {
    struct Case {
        std::vector<std::string> args;
        std::string error;
    } cases[] = {
        {{"write", "note", "-string", "\xff"}, "knokle defaults: the value is not valid UTF-8 text\n"},
        {{"write", "n\xc3", "-bool", "true"}, "knokle defaults: the key is not valid UTF-8 text\n"},
        {{"write", "n\xed\xa0\x80", "-bool", "true"}, "knokle defaults: the key is not valid UTF-8 text\n"},
        {{"delete", "\xc0\xaf"}, "knokle defaults: the key is not valid UTF-8 text\n"},
        {{"write", "note", "-string", "\xc3\xa9\xf0\x9f\x91\x8d"}, ""},
    };
    for (const auto& c : cases) {
        SettingsFolder folder;
        std::string error;
        EXPECT_EQ(folder.defaults(c.args, &error), c.error.empty() ? 0 : 1) << c.args[1];
        EXPECT_EQ(error, c.error);
    }
}

TEST(SettingsFileSafety, ADeeplyNestedFileIsKeptAsideNotParsed) {
    SettingsFolder folder;
    std::string deep = "{\"x\": " + std::string(100000, '[') + std::string(100000, ']') + "}";
    writeFileAtomically(folder.file, deep);
    EXPECT_EQ(folder.defaults({"write", "tapsActive", "-bool", "true"}), 0);
    auto names = folder.names();
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[1].rfind("settings.json.unreadable-", 0), 0u) << names[1];
    EXPECT_EQ(readWholeFile(folder.dir / names[1]), deep);

    std::string shallow = "{\"x\": " + std::string(60, '[') + std::string(60, ']') + ", \"y\": \"[[[[\"}";
    writeFileAtomically(folder.file, shallow);
    EXPECT_EQ(folder.defaults({"write", "tapsActive", "-bool", "true"}), 0);
    EXPECT_EQ(folder.names().size(), 2u) << "60 levels and brackets inside strings are fine";
}

TEST(SettingsFileSafety, WritesGoThroughLinksKeepPermissionsAndClearCrashLeftovers) {
    SettingsFolder folder;
    auto real = folder.dir / "dotfiles" / "knokle.json";
    std::filesystem::create_directories(real.parent_path());
    writeFileAtomically(real, "{}");
    ::chmod(real.c_str(), 0600);
    std::filesystem::create_symlink("dotfiles/knokle.json", folder.file);

    auto stale = folder.dir / ".knokle.json.Ab12Cd";
    auto fresh = folder.dir / ".knokle.json.Ef34Gh";
    auto another = folder.dir / ".knokle.json.toolong1";
    for (const auto& leftover : {stale, fresh, another})
        writeFileAtomically(leftover, "{");
    auto stalePlace = real.parent_path() / ".knokle.json.Ab12Cd";
    std::filesystem::rename(stale, stalePlace);
    struct utimbuf old {
        std::time(nullptr) - 120, std::time(nullptr) - 120
    };
    ::utime(stalePlace.c_str(), &old);
    std::filesystem::rename(fresh, real.parent_path() / ".knokle.json.Ef34Gh");

    EXPECT_EQ(folder.defaults({"write", "autoPause", "-bool", "false"}), 0);
    EXPECT_TRUE(std::filesystem::is_symlink(folder.file));
    EXPECT_NE(readWholeFile(real)->find("\"autoPause\": false"), std::string::npos);
    struct stat info {};
    ASSERT_EQ(::stat(real.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_FALSE(std::filesystem::exists(stalePlace)) << "a crash's leftover from minutes ago goes";
    EXPECT_TRUE(std::filesystem::exists(real.parent_path() / ".knokle.json.Ef34Gh")) << "a fresh one may be a writer";
    EXPECT_TRUE(std::filesystem::exists(another)) << "not one of ours";

    SettingsFolder created; // a new file follows the umask
    mode_t previous = ::umask(027);
    EXPECT_EQ(created.defaults({"write", "autoPause", "-bool", "false"}), 0);
    ::umask(previous);
    ASSERT_EQ(::stat(created.file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST(SettingsFileSafety, TimersOfAnyLengthNeitherOverflowNorFireEarly) {
    struct Case {
        double requested, waits;
    } cases[] = {{0.25, 0.25}, {-3, 0}, {std::nan(""), 0}, {3e6, 2147483.647}, {1e300, 2147483.647}};
    for (const auto& c : cases)
        EXPECT_EQ(QtMainLoop::supportedDelay(Seconds(c.requested)).count(), c.waits) << c.requested;

    test::ensureQtApplication();
    QtMainLoop loop;
    int fired = 0;
    for (double seconds : {3e6, 1e10, 1e300})
        loop.after(Seconds(seconds), [&] { ++fired; });
    test::runEventsFor(50);
    EXPECT_EQ(fired, 0);
}
