#include "platform/linux/ExecutableShortcutRunner.h"

#include "TempDir.h"
#include "common/AtomicFile.h"

#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

using namespace knokle;
namespace fs = std::filesystem;

namespace {

// Real processes finish in their own time; these waits are bounded and never stand in for a timer.
bool eventually(const std::function<bool()>& condition) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return condition();
}

// Our children that have ended but were not reaped.
int zombieChildren() {
    int count = 0;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        auto stat = readWholeFile(entry.path() / "stat");
        if (!stat) continue;
        size_t close = stat->rfind(')');
        if (close == std::string::npos || close + 4 >= stat->size()) continue;
        char state = (*stat)[close + 2];
        long parent = std::strtol(stat->c_str() + close + 4, nullptr, 10);
        if (parent == getpid() && state == 'Z') ++count;
    }
    return count;
}

struct ShortcutFolder {
    test::TempDir temp;
    fs::path config = temp / "config";
    fs::path folder = config / "shortcuts";
    ShortcutFolder() {
        fs::create_directories(folder);
        setenv("KNOKLE_CONFIG_DIR", config.c_str(), 1);
    }
    ~ShortcutFolder() { unsetenv("KNOKLE_CONFIG_DIR"); }
    void script(const std::string& name, const std::string& body, fs::perms perms = fs::perms::owner_all) {
        ASSERT_TRUE(writeFileAtomically(folder / name, "#!/bin/sh\n" + body));
        fs::permissions(folder / name, perms);
    }
};

} // namespace

TEST(ShortcutRunner, RunsTheNamedExecutableWithoutArgumentsAndReapsIt) {
    ShortcutFolder shortcuts;
    fs::path marker = shortcuts.temp / "marker";
    shortcuts.script("Work Focus", "printf '%s|%s' \"$#\" \"$0\" > '" + marker.string() + "'\n");
    ExecutableShortcutRunner runner;
    EXPECT_EQ(ExecutableShortcutRunner::defaultFolder(), shortcuts.folder);
    EXPECT_EQ(runner.run("Work Focus"), std::nullopt);
    ASSERT_TRUE(eventually([&] { return readWholeFile(marker).value_or("").size() > 0; }));
    // No arguments, and the name with its space reached the program as one piece.
    EXPECT_EQ(readWholeFile(marker), "0|" + (shortcuts.folder / "Work Focus").string());
    EXPECT_TRUE(eventually([] { return zombieChildren() == 0; }));
}

TEST(ShortcutRunner, RefusesNamesOutsideTheFolderAndExplainsFailures) {
    ShortcutFolder shortcuts;
    fs::path escaped = shortcuts.config / "x";
    ASSERT_TRUE(writeFileAtomically(escaped, "#!/bin/sh\ntouch '" + (shortcuts.temp / "escaped").string() + "'\n"));
    fs::permissions(escaped, fs::perms::owner_all);
    shortcuts.script("not-executable", "true\n", fs::perms::owner_read | fs::perms::owner_write);
    shortcuts.script("bad-interpreter", "", fs::perms::owner_all);
    ASSERT_TRUE(writeFileAtomically(shortcuts.folder / "bad-interpreter", "#!/no/such/shell\n"));
    fs::permissions(shortcuts.folder / "bad-interpreter", fs::perms::owner_all);
    fs::create_directories(shortcuts.folder / "a-folder");

    ExecutableShortcutRunner runner;
    const std::string folderText = shortcuts.folder.string();
    struct Case {
        std::string name;
        std::string error;
    };
    const Case cases[] = {
        {"../x", "'../x' is not a usable shortcut name (it must be a file name, without '/')"},
        {"..", "'..' is not a usable shortcut name (it must be a file name, without '/')"},
        {".", "'.' is not a usable shortcut name (it must be a file name, without '/')"},
        {"/bin/true", "'/bin/true' is not a usable shortcut name (it must be a file name, without '/')"},
        {"missing", "no shortcut named 'missing' in " + folderText},
        {"not-executable", folderText + "/not-executable is not executable"},
        {"a-folder", folderText + "/a-folder is not a file"},
        {"bad-interpreter", folderText + "/bad-interpreter: No such file or directory"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(runner.run(c.name), c.error) << c.name;
    EXPECT_FALSE(fs::exists(shortcuts.temp / "escaped"));
}
