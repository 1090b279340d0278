#include "common/AtomicFile.h"
#include "TempDir.h"

#include <gtest/gtest.h>

using namespace knokle;

TEST(AtomicFile, WritesAndReplacesLeavingNoTemporaryFiles) {
    test::TempDir dir;
    auto file = dir / "store.json";
    ASSERT_TRUE(writeFileAtomically(file, "first"));
    ASSERT_TRUE(writeFileAtomically(file, "second, longer"));
    EXPECT_EQ(readWholeFile(file), "second, longer");
    int entries = 0;
    for ([[maybe_unused]] auto& entry : std::filesystem::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 1);
}

TEST(AtomicFile, FailedWriteKeepsTheOldFile) {
    test::TempDir dir;
    auto file = dir / "missing-folder" / "store.json";
    EXPECT_FALSE(writeFileAtomically(file, "x"));
    EXPECT_FALSE(readWholeFile(file).has_value());
}

TEST(AtomicFile, UnreadableFileIsKeptAsideUnderANewName) {
    test::TempDir dir;
    auto file = dir / "modes.json";
    ASSERT_TRUE(writeFileAtomically(file, "{not json"));
    auto kept = keepUnreadableFile(file);
    ASSERT_TRUE(kept.has_value());
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_NE(kept->filename().string().find("modes.json.unreadable-"), std::string::npos);
    EXPECT_EQ(readWholeFile(*kept), "{not json");

    // A second one in the same second gets its own name.
    ASSERT_TRUE(writeFileAtomically(file, "also bad"));
    auto second = keepUnreadableFile(file);
    ASSERT_TRUE(second.has_value());
    EXPECT_NE(*second, *kept);
    EXPECT_EQ(readWholeFile(*kept), "{not json");
}
