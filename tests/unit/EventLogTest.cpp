#include "sensing/EventLog.h"
#include "TempDir.h"
#include "common/AtomicFile.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using namespace knokle;
namespace fs = std::filesystem;

namespace {

// Sets KNOKLE_DEBUG for the life of the object and restores what was there.
class DebugVariable {
public:
    explicit DebugVariable(const char* value) {
        if (const char* old = std::getenv("KNOKLE_DEBUG")) previous = old;
        if (value) {
            setenv("KNOKLE_DEBUG", value, 1);
        } else {
            unsetenv("KNOKLE_DEBUG");
        }
    }
    ~DebugVariable() {
        if (previous) {
            setenv("KNOKLE_DEBUG", previous->c_str(), 1);
        } else {
            unsetenv("KNOKLE_DEBUG");
        }
    }

private:
    std::optional<std::string> previous;
};

TEST(EventLog, EnabledOnlyWhenKnokleDebugIsExactlyOne) {
    struct Case {
        const char* value;
        bool writes;
    };
    for (const Case& c : {Case{nullptr, false}, Case{"", false}, Case{"0", false}, Case{"true", false},
                          Case{"1 ", false}, Case{"11", false}, Case{"1", true}}) {
        SCOPED_TRACE(c.value ? c.value : "(unset)");
        test::TempDir dir;
        DebugVariable debug(c.value);
        EventLog log((dir / "events.log").string());
        log.append("ACCEPT");
        EXPECT_EQ(fs::exists(dir / "events.log"), c.writes);
        EXPECT_EQ(log.enabled(), c.writes);
    }
}

TEST(EventLog, EnvironmentIsReadOnceAtTheFirstAttempt) {
    test::TempDir dir;
    auto file = dir / "events.log";
    std::optional<DebugVariable> debug;
    debug.emplace("1");
    EventLog log(file.string());
    log.append("first");
    debug.emplace("0");
    log.append("second");
    EXPECT_EQ(readWholeFile(file), "first\nsecond\n");
}

TEST(EventLog, NewFileIsPrivateAndLinesAreAppended) {
    test::TempDir dir;
    auto file = dir / "events.log";
    EventLog log(file.string(), true);
    log.append("one");
    struct stat info {};
    ASSERT_EQ(stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    EventLog again(file.string(), true); // a later run appends, never truncates
    again.append("two");
    EXPECT_EQ(readWholeFile(file), "one\ntwo\n");
}

TEST(EventLog, SymbolicLinkAtThePathIsNotFollowed) {
    test::TempDir dir;
    auto target = dir / "precious";
    ASSERT_TRUE(writeFileAtomically(target, "keep me\n"));
    auto link = dir / "events.log";
    fs::create_symlink(target, link);
    EventLog log(link.string(), true);
    log.append("ACCEPT");
    EXPECT_EQ(readWholeFile(target), "keep me\n");
    EXPECT_TRUE(fs::is_symlink(link));

    // A dangling link must not create its target either.
    auto dangling = dir / "dangling.log";
    fs::create_symlink(dir / "created-through-link", dangling);
    EventLog other(dangling.string(), true);
    other.append("ACCEPT");
    EXPECT_FALSE(fs::exists(dir / "created-through-link"));
}

TEST(EventLog, FifoOrHardLinkAtThePathIsNotWritten) {
    test::TempDir dir;
    // A FIFO without a reader would block an ordinary open forever.
    auto fifo = dir / "fifo.log";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EventLog(fifo.string(), true).append("ACCEPT");

    auto mine = dir / "notes.txt";
    ASSERT_TRUE(writeFileAtomically(mine, "mine\n"));
    auto hard = dir / "hard.log";
    fs::create_hard_link(mine, hard);
    EventLog(hard.string(), true).append("ACCEPT");
    EXPECT_EQ(readWholeFile(mine), "mine\n");
}

TEST(EventLog, AnotherUsersFileIsNotWritten) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to make a file owned by someone else";
    test::TempDir dir;
    auto file = dir / "events.log";
    ASSERT_TRUE(writeFileAtomically(file, "theirs\n"));
    ASSERT_EQ(chown(file.c_str(), 65534, 65534), 0);
    EventLog(file.string(), true).append("ACCEPT");
    EXPECT_EQ(readWholeFile(file), "theirs\n");
}

} // namespace
