#include "common/AtomicFile.h"
#include "TempDir.h"

#include <gtest/gtest.h>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

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
