#include "LineCapture.h"
#include "ScopedEnv.h"
#include "TempDir.h"
#include "common/AtomicFile.h"
#include "modes/ModeCoding.h"
#include "modes/ModeManager.h"

#include <gtest/gtest.h>

#include <set>
#include <sys/stat.h>
#include <unistd.h>

using namespace knokle;
namespace fs = std::filesystem;
using Names = std::vector<std::string>;

namespace {

std::pair<std::string, fs::file_time_type> stateOf(const fs::path& path) {
    return {readWholeFile(path).value_or("<none>"), fs::last_write_time(path)};
}

Names namesOf(const std::vector<SlapMode>& modes) {
    Names names;
    for (const auto& mode : modes)
        names.push_back(mode.name);
    return names;
}

std::optional<std::vector<SlapMode>> storedIn(const fs::path& file) {
    return decodeModes(readWholeFile(file).value_or(""));
}

const Names kDefaults = {"", "Browse", "Focus"};

} // namespace

TEST(ModeStore, MissingFileIsSeededAndSavedWithDistinctIds) {
    test::TempDir dir;
    test::LineCapture lines;
    ModeManager manager(nullptr, dir / "modes.json");
    EXPECT_EQ(namesOf(manager.modes), kDefaults);
    for (std::int64_t count = 1; count <= 3; ++count)
        EXPECT_EQ(manager.modes[count - 1].slapCount, count);
    EXPECT_EQ(storedIn(dir / "modes.json"), manager.modes);
    std::set<std::string> ids;
    for (const auto& mode : manager.modes)
        ids.insert(mode.id.upperString());
    EXPECT_EQ(ids.size(), 3u);
    EXPECT_NE(ModeManager::defaultModes()[0].id, ModeManager::defaultModes()[0].id); // fresh ids at each call
    EXPECT_TRUE(lines.lines().empty());
}

TEST(ModeStore, DedupeKeepsTheFirstOfEachCountAndSavesOnlyWhenItDropped) {
    const std::tuple<std::vector<std::pair<int, std::string>>, Names, bool> cases[] = {
        {{{2, "two"}, {1, "one"}, {2, "later two"}}, {"two", "one"}, true},
        {{{1, "one"}, {2, "two"}, {3, "three"}}, {"one", "two", "three"}, false},
        {{}, {}, false}, // an empty store stays empty, unwritten
    };
    for (const auto& [stored, expected, rewritten] : cases) {
        test::TempDir dir;
        auto file = dir / "modes.json";
        std::string text;
        for (const auto& [count, name] : stored)
            text += ",{\"name\":\"" + name + "\",\"slapCount\":" + std::to_string(count) + "}";
        ASSERT_TRUE(writeFileAtomically(file, "[" + text.substr(text.empty() ? 0 : 1) + "]"));
        auto before = stateOf(file);
        test::LineCapture lines;
        ModeManager manager(nullptr, file);
        EXPECT_EQ(namesOf(manager.modes), expected);
        EXPECT_EQ(stateOf(file) != before, rewritten) << stored.size();
        // The dropped modes live on in a copy of the file as it was, and one line says where.
        std::vector<fs::path> kept;
        for (const auto& entry : fs::directory_iterator(dir.path()))
            if (entry.path().filename().string().starts_with("modes.json.duplicates-")) kept.push_back(entry.path());
        ASSERT_EQ(kept.size(), rewritten ? 1u : 0u);
        if (rewritten) {
            EXPECT_EQ(storedIn(file), manager.modes);
            EXPECT_EQ(readWholeFile(kept[0]), before.first);
            EXPECT_EQ(lines.lines(), Names{"[ModeManager] " + file.string() +
                                           " had more than one mode for a tap count; kept the first of each and "
                                           "the file as it was in " +
                                           kept[0].string()});
        }
    }
}

TEST(ModeStore, AddOrUpdateMatchesByIdThenCountThenAppendsAndAlwaysSaves) {
    test::TempDir dir;
    auto file = dir / "modes.json";
    ModeManager manager(nullptr, file);

    // Same id, new count: replaced in place, even though count 3 is now there twice.
    SlapMode edited = manager.modes[0];
    edited.name = "edited";
    edited.slapCount = 3;
    manager.addOrUpdate(edited);
    EXPECT_EQ(namesOf(manager.modes), (Names{"edited", "Browse", "Focus"}));

    // Fresh id, taken count: takes the first holder's place, and the old id is gone.
    SlapMode replacement;
    replacement.name = "replacement";
    replacement.slapCount = 2;
    manager.addOrUpdate(replacement);
    EXPECT_EQ(namesOf(manager.modes), (Names{"edited", "replacement", "Focus"}));

    // Fresh id, new count: appended, unsorted.
    SlapMode zero;
    zero.name = "zero";
    manager.addOrUpdate(zero);
    EXPECT_EQ(namesOf(manager.modes), (Names{"edited", "replacement", "Focus", "zero"}));
    EXPECT_EQ(storedIn(file), manager.modes);

    fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::hours(1));
    auto before = stateOf(file);
    manager.addOrUpdate(manager.modes[1]);
    EXPECT_NE(stateOf(file).second, before.second);
    EXPECT_EQ(stateOf(file).first, before.first);
}

// Any file the decoder refuses (its cases are ModeCoding's) may be the user's only copy of their modes.
TEST(ModeStore, UnreadableFileIsKeptAsideBeforeTheDefaultsAreSaved) {
    test::TempDir dir;
    auto file = dir / "modes.json";
    const std::string bad = "[{\"name\":\"x\",\"slapCount\":\"1\"}]";
    ASSERT_TRUE(writeFileAtomically(file, bad));
    test::LineCapture lines;
    ModeManager manager(nullptr, file);
    EXPECT_EQ(namesOf(manager.modes), kDefaults);
    EXPECT_EQ(storedIn(file), manager.modes);
    std::vector<fs::path> kept;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        if (entry.path() != file) kept.push_back(entry.path());
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(readWholeFile(kept[0]), bad);
    EXPECT_EQ(lines.lines(), Names{"[ModeManager] Could not read " + file.string() + "; kept it as " +
                                   kept[0].string() + " and started from the default modes"});
}

TEST(ModeStore, FileThatCannotBeKeptAsideIsNeverOverwritten) {
    if (::geteuid() == 0) GTEST_SKIP() << "root ignores folder permissions";
    test::TempDir dir;
    auto file = dir / "modes.json";
    ASSERT_TRUE(writeFileAtomically(file, "garbage"));
    fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
    test::LineCapture lines;
    ModeManager manager(nullptr, file);
    manager.addOrUpdate(manager.modes[0]);
    fs::permissions(dir.path(), fs::perms::owner_all);
    EXPECT_EQ(readWholeFile(file), "garbage");
    EXPECT_EQ(lines.lines(), Names{"[ModeManager] Could not read " + file.string() +
                                   "; started from the default modes and will not save over it"});
}

TEST(ModeStore, ALinkToAnythingButTheUsersRegularFileIsNeverWrittenThrough) {
    test::TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    fs::create_symlink("fifo", dir / "modes.json");
    test::LineCapture lines;
    ModeManager manager(nullptr, dir / "modes.json");
    manager.addOrUpdate(manager.modes[0]);
    EXPECT_EQ(namesOf(manager.modes), kDefaults);
    EXPECT_TRUE(fs::is_symlink(dir / "modes.json"));
    EXPECT_TRUE(fs::is_fifo(dir / "fifo"));
    EXPECT_EQ(lines.lines(), Names{"[ModeManager] " + (dir / "modes.json").string() +
                                   " is a link to something other than a regular file of yours; started from the "
                                   "default modes and will not save over it"});
}
