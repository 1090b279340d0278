#include "common/AtomicFile.h"
#include "TempDir.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace knokle;

TEST(AtomicFile, ReplacesTheFileLeavingNoTemporaryFiles) {
    test::TempDir dir;
    auto file = dir / "store.json";
    ASSERT_TRUE(writeFileAtomically(file, "first, longer"));
    ASSERT_TRUE(writeFileAtomically(file, "second"));
    EXPECT_EQ(readWholeFile(file), "second");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
    struct stat info {};
    ASSERT_EQ(stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u) << "an ordinary file of the user's";

    EXPECT_FALSE(writeFileAtomically(dir / "missing-folder" / "store.json", "x"));
    EXPECT_FALSE(readWholeFile(dir / "missing-folder" / "store.json").has_value());

    // A full disk (here: a file size limit) fails the write and keeps the old file, leaving nothing behind.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit before{}, limited{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    limited = {4, before.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    bool written = writeFileAtomically(file, "third, longer than the limit");
    setrlimit(RLIMIT_FSIZE, &before);
    EXPECT_FALSE(written);
    EXPECT_EQ(readWholeFile(file), "second");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(AtomicFile, UnreadableFileIsKeptAsideUnderANewName) {
    test::TempDir dir;
    auto file = dir / "modes.json";
    ASSERT_TRUE(writeFileAtomically(file, "{not json"));
    auto kept = keepUnreadableFile(file);
    ASSERT_TRUE(kept.has_value());
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_TRUE(kept->filename().string().starts_with("modes.json.unreadable-")) << *kept;
    EXPECT_EQ(readWholeFile(*kept), "{not json");

    // A second one in the same second gets its own name.
    ASSERT_TRUE(writeFileAtomically(file, "also bad"));
    auto second = keepUnreadableFile(file);
    ASSERT_TRUE(second.has_value());
    EXPECT_NE(*second, *kept);
    EXPECT_EQ(readWholeFile(*kept), "{not json");
    EXPECT_FALSE(keepUnreadableFile(file)) << "nothing left to keep";
}

TEST(AtomicFile, ReadsOnlyRegularFilesWithinTheBoundAndNeverWaitsOnAFifo) {
    test::TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0); // no writer: a blocking open would wait for ever
    ASSERT_TRUE(writeFileAtomically(dir / "small", "12345"));
    ASSERT_TRUE(writeFileAtomically(dir / "huge", ""));
    std::filesystem::resize_file(dir / "huge", kMaxReadBytes + 1); // sparse: costs no disk
    const std::tuple<std::filesystem::path, std::size_t, ReadProblem> cases[] = {
        {dir / "fifo", kMaxReadBytes, ReadProblem::notRegularFile},
        {"/dev/zero", kMaxReadBytes, ReadProblem::notRegularFile},
        {dir.path(), kMaxReadBytes, ReadProblem::notRegularFile},
        {dir / "huge", kMaxReadBytes, ReadProblem::tooLarge},
        {dir / "small", 4, ReadProblem::tooLarge},
        {dir / "small", 5, ReadProblem::none},
        {dir / "missing", 5, ReadProblem::absent},
    };
    for (const auto& [path, bound, problem] : cases) {
        FileRead read = readRegularFile(path, bound);
        EXPECT_EQ(read.problem, problem) << path;
        EXPECT_EQ(read.bytes.has_value(), problem == ReadProblem::none) << path;
    }
    // Files whose size says nothing are read to their end.
    EXPECT_FALSE(readWholeFile("/proc/self/stat").value_or("").empty());
}

TEST(AtomicFile, LinksAreWrittenThroughOnlyToTheUsersOwnRegularFiles) {
    test::TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    std::filesystem::create_directory(dir / "folder");
    ASSERT_TRUE(writeFileAtomically(dir / "theirs", "not yours"));
    ASSERT_EQ(::chown((dir / "theirs").c_str(), ::geteuid() + 1, ::getegid()), 0) << "tests run as root";
    ASSERT_TRUE(writeFileAtomically(dir / "mine", "old"));
    for (std::string target : {"fifo", "folder", "theirs", "missing", "mine"})
        std::filesystem::create_symlink(target, dir / ("to-" + target));

    for (std::string refused : {"fifo", "folder", "theirs", "missing"}) {
        EXPECT_TRUE(linkIsRefused(dir / ("to-" + refused))) << refused;
        EXPECT_FALSE(writeFileAtomically(dir / ("to-" + refused), "new")) << refused;
        EXPECT_TRUE(std::filesystem::is_symlink(dir / ("to-" + refused))) << refused;
    }
    EXPECT_TRUE(std::filesystem::is_fifo(dir / "fifo"));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "folder"));
    EXPECT_EQ(readWholeFile(dir / "theirs"), "not yours");
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));

    EXPECT_FALSE(linkIsRefused(dir / "mine")) << "not a link";
    EXPECT_TRUE(writeFileAtomically(dir / "to-mine", "new"));
    EXPECT_EQ(readWholeFile(dir / "mine"), "new");
}

TEST(AtomicFile, LeftoversOfEndedWritersAreRemovedAtOnce) {
    test::TempDir dir;
    auto file = dir / "settings.json";
    ASSERT_TRUE(writeFileAtomically(file, "{}"));
    pid_t ended = ::fork();
    if (ended == 0) ::_exit(0);
    ::waitpid(ended, nullptr, 0);
    auto leftover = dir / (".settings.json." + std::to_string(ended) + "-Ab12Cd");
    auto inProgress = dir / (".settings.json." + std::to_string(::getpid()) + "-Ab12Cd");
    for (const auto& path : {leftover, inProgress})
        ASSERT_TRUE(writeFileAtomically(path, "{"));
    removeLeftoverTemporaries(file);
    EXPECT_FALSE(std::filesystem::exists(leftover));
    EXPECT_TRUE(std::filesystem::exists(inProgress));
    EXPECT_TRUE(std::filesystem::exists(file));
}
