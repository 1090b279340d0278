#include "platform/linux/desktop/ExecutableShortcutRunner.h"

#include "ScopedEnv.h"
#include "TrayDesktop.h"

#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>

using namespace knokle;
namespace fs = std::filesystem;

namespace {

// Our children that have ended are reaped: none is left to wait for.
bool allReaped() {
    siginfo_t info{};
    return waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == -1 && errno == ECHILD;
}

struct ShortcutFolder {
    test::TempDir temp;
    fs::path config = temp / "config";
    fs::path folder = config / "shortcuts";
    test::ScopedEnv env{"KNOKLE_CONFIG_DIR", config.c_str()};
    ShortcutFolder() { fs::create_directories(folder); }
};

} // namespace

TEST(ShortcutRunner, RunsTheNamedExecutableWithoutArgumentsOrOurDescriptorsAndReapsIt) {
    ShortcutFolder shortcuts;
    fs::path marker = shortcuts.temp / "marker", listing = shortcuts.temp / "descriptors";
    // The shell's own descriptors, listed before it opens anything else, and its arguments.
    test::put(shortcuts.folder / "Work Focus",
              "#!/bin/sh\nls /proc/$$/fd > '" + listing.string() + "'\nprintf '%s|%s' \"$#\" \"$0\" > '" +
                  marker.string() + "'\n",
              true);
    // As a recording or a library's /dev/null would be: open without close-on-exec.
    int leaked = ::dup2(::open("/dev/null", O_RDONLY), 57);
    ASSERT_EQ(leaked, 57);
    EXPECT_EQ(ExecutableShortcutRunner::defaultFolder(), shortcuts.folder);
    EXPECT_EQ(ExecutableShortcutRunner().run("Work Focus"), std::nullopt);
    ::close(leaked);
    ASSERT_TRUE(test::waitFor([&] { return readWholeFile(marker).value_or("").size() > 0; }));
    // No arguments, the name with its space reached the program as one piece, and not our descriptor.
    EXPECT_EQ(readWholeFile(marker), "0|" + (shortcuts.folder / "Work Focus").string());
    EXPECT_EQ(readWholeFile(listing)->find("57\n"), std::string::npos) << *readWholeFile(listing);
    EXPECT_TRUE(test::waitFor(allReaped));
}

TEST(ShortcutRunner, RefusesNamesOutsideTheFolderAndExplainsFailures) {
    ShortcutFolder shortcuts;
    fs::path escaped = shortcuts.config / "x";
    test::put(escaped, "#!/bin/sh\ntouch '" + (shortcuts.temp / "escaped").string() + "'\n", true);
    test::put(shortcuts.folder / "not-executable", "#!/bin/sh\ntrue\n");
    test::put(shortcuts.folder / "bad-interpreter", "#!/no/such/shell\n", true);
    fs::create_directories(shortcuts.folder / "a-folder");

    ExecutableShortcutRunner runner;
    const std::string folderText = shortcuts.folder.string();
    struct Case {
        std::string name;
        std::string error;
    };
    const Case cases[] = {
        {"../x", "'../x' is not a usable shortcut name (it must be a file name, without '/')"},
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

// What the editor's Focus row offers: the executable files, by name, not folders or files it cannot run.
TEST(ShortcutRunner, AvailableListsTheExecutableFilesByName) {
    ShortcutFolder shortcuts;
    test::put(shortcuts.folder / "b-focus", "#!/bin/sh\n", true);
    test::put(shortcuts.folder / "a-focus", "#!/bin/sh\n", true);
    test::put(shortcuts.folder / "notes.txt", "not a program\n", false);
    fs::create_directories(shortcuts.folder / "folder");
    fs::create_symlink(shortcuts.folder / "a-focus", shortcuts.folder / "linked");
    EXPECT_EQ(ExecutableShortcutRunner::available(shortcuts.folder),
              (std::vector<std::string>{"a-focus", "b-focus", "linked"}));
    EXPECT_TRUE(ExecutableShortcutRunner::available(shortcuts.temp / "missing").empty());
}
