#include "sensing/EventLog.h"
#include "ScopedEnv.h"
#include "TempDir.h"
#include "common/AtomicFile.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace knokle;
namespace fs = std::filesystem;

TEST(EventLog, EnabledOnlyWhenKnokleDebugIsExactlyOne) {
    for (const char* value : {static_cast<const char*>(nullptr), "", "0", "true", "1 ", "11", "1"}) {
        bool on = value && std::string(value) == "1";
        test::TempDir dir;
        test::ScopedEnv debug("KNOKLE_DEBUG", value);
        EventLog log((dir / "events.log").string());
        log.append("ACCEPT");
        EXPECT_EQ(fs::exists(dir / "events.log"), on) << (value ? value : "(unset)");
    }
}

TEST(EventLog, NewFileIsPrivateAndLaterRunsAppend) {
    test::TempDir dir;
    auto file = dir / "events.log";
    EventLog(file.string(), true).append("one");
    struct stat info {};
    ASSERT_EQ(stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EventLog(file.string(), true).append("two");
    EXPECT_EQ(readWholeFile(file), "one\ntwo\n");
}

// The log lives in a folder every user can write to: whatever someone planted at the path is left alone.
TEST(EventLog, NeverWritesThroughWhatWasPlantedAtThePath) {
    test::TempDir dir;
    ASSERT_TRUE(writeFileAtomically(dir / "precious", "keep me\n"));
    fs::create_symlink(dir / "precious", dir / "link.log");
    fs::create_symlink(dir / "created-through-link", dir / "dangling.log");
    fs::create_hard_link(dir / "precious", dir / "hard.log");
    ASSERT_EQ(mkfifo((dir / "fifo.log").c_str(), 0600), 0); // without a reader an ordinary open blocks
    for (const char* name : {"link.log", "dangling.log", "hard.log", "fifo.log"})
        EventLog((dir / name).string(), true).append("ACCEPT");
    EXPECT_EQ(readWholeFile(dir / "precious"), "keep me\n");
    EXPECT_FALSE(fs::exists(dir / "created-through-link"));

    if (geteuid() != 0) GTEST_SKIP() << "needs root to make a file owned by someone else";
    ASSERT_TRUE(writeFileAtomically(dir / "theirs.log", "theirs\n"));
    ASSERT_EQ(chown((dir / "theirs.log").c_str(), 65534, 65534), 0);
    EventLog((dir / "theirs.log").string(), true).append("ACCEPT");
    EXPECT_EQ(readWholeFile(dir / "theirs.log"), "theirs\n");
}
