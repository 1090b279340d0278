#include "platform/linux/ProcFiles.h"

#include <gtest/gtest.h>

using namespace knokle;
using namespace std::string_literals;

TEST(ProcFiles, EnvironValueFindsWholeNamesOnly) {
    const std::string environ = "PATH=/bin\0GIO_LAUNCHED_DESKTOP_FILE_PID=42\0GIO_LAUNCHED_DESKTOP_FILE=/a/b.desktop\0"
                                "EMPTY=\0EQ=a=b"s;
    EXPECT_EQ(environValue(environ, "GIO_LAUNCHED_DESKTOP_FILE"), "/a/b.desktop");
    EXPECT_EQ(environValue(environ, "GIO_LAUNCHED_DESKTOP_FILE_PID"), "42");
    EXPECT_EQ(environValue(environ, "EMPTY"), "");
    EXPECT_EQ(environValue(environ, "EQ"), "a=b"); // the last entry has no trailing NUL
    EXPECT_EQ(environValue(environ, "PAT"), std::nullopt);
    EXPECT_EQ(environValue(environ, "GIO_LAUNCHED"), std::nullopt);
    EXPECT_EQ(environValue("", "PATH"), std::nullopt);
}

TEST(ProcFiles, ProcStatReadsStateParentStartAndKernelThreads) {
    struct Case {
        std::string text;
        std::optional<char> state;
        pid_t parent;
        unsigned long long start;
        bool kernelThread;
    };
    const std::string tail = " 0 0 0 0 0 0 0 0 20 0 1 0 8812 0";
    const Case cases[] = {
        {"1234 (bash) S 1200 1234 1234 0 -1 4194560" + tail, 'S', 1200, 8812, false},
        {"77 (a) b) (c) Z 1 77 77 0 0 4194304" + tail, 'Z', 1, 8812, false}, // a name with spaces and parentheses
        {"3 (kworker/0:1) I 2 0 0 0 -1 69238880" + tail, 'I', 2, 8812, true},
        {"5 (x) R 0 0", 'R', 0, 0, false}, // short lines keep what they have
        {"5 (x)", std::nullopt, 0, 0, false},
        {"garbage", std::nullopt, 0, 0, false},
        {"5 (x) S notanumber", std::nullopt, 0, 0, false},
    };
    for (const auto& c : cases) {
        auto stat = parseProcStat(c.text);
        ASSERT_EQ(stat.has_value(), c.state.has_value()) << c.text;
        if (!stat) continue;
        EXPECT_EQ(stat->state, *c.state) << c.text;
        EXPECT_EQ(stat->parent, c.parent) << c.text;
        EXPECT_EQ(stat->startTime, c.start) << c.text;
        EXPECT_EQ(stat->kernelThread, c.kernelThread) << c.text;
    }
}

TEST(ProcFiles, StatusUidsAndFlatpakInfo) {
    auto uids = parseStatusUids("Name:\tx\nUmask:\t0022\nUid:\t1000\t0\t0\t0\nGid:\t5\t5\t5\t5\n");
    ASSERT_TRUE(uids);
    EXPECT_EQ(uids->real, 1000u);
    EXPECT_EQ(uids->effective, 0u);
    EXPECT_FALSE(parseStatusUids("Name:\tx\nGid:\t5\t5\n"));
    EXPECT_FALSE(parseStatusUids("Uid:\t1000\n"));

    auto sandbox = parseFlatpakInfo("[Application]\nname=org.mozilla.firefox\nruntime=x\n\n[Instance]\n"
                                    "instance-id=1234\nname=wrong\n");
    ASSERT_TRUE(sandbox);
    EXPECT_EQ(sandbox->application, "org.mozilla.firefox");
    EXPECT_EQ(sandbox->instance, "1234");
    EXPECT_FALSE(parseFlatpakInfo("[Instance]\ninstance-id=1\n"));
}

TEST(ProcFiles, CgroupUnitNamesGiveApplicationCandidates) {
    const std::string userSlice = "0::/user.slice/user-1000.slice/user@1000.service/app.slice/";
    struct Case {
        std::string file;
        std::vector<std::string> candidates;
    };
    const Case cases[] = {
        {userSlice + "app-gnome-org.gnome.TextEditor-4711.scope\n",
         {"org.gnome.TextEditor", "gnome-org.gnome.TextEditor"}},
        {userSlice + "app-gnome-google\\x2dchrome-99.scope\n", {"google-chrome", "gnome-google-chrome"}},
        {userSlice + "app-org.example.Viewer@a1b2.service\n", {"org.example.Viewer"}},
        {userSlice + "app-kde-org.kde.dolphin.service\n", {"org.kde.dolphin", "kde-org.kde.dolphin"}},
        {userSlice + "app-firefox-12.scope\n", {"firefox"}},
        {userSlice + "app-odd\\xZZ-12.scope\n", {"odd\\xZZ"}}, // an incomplete escape stays as it is
        // Units that are not application units, or no unit at all.
        {userSlice + "dbus-:1.2-org.freedesktop.Notifications@0.service\n", {}},
        {userSlice + "app-gnome.slice\n", {}},
        {userSlice + "app-.scope\n", {}},
        {"0::/\n", {}},
        {"", {}},
        // Legacy hierarchies: the named systemd one counts, the unified one wins when both exist.
        {"4:memory:/app-gnome-wrong-1.scope\n1:name=systemd:/user.slice/app-gnome-nautilus-5.scope\n",
         {"nautilus", "gnome-nautilus"}},
        {"1:name=systemd:/app-gnome-old-5.scope\n0::/x/app-gnome-new-6.scope\n", {"new", "gnome-new"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(cgroupApplicationCandidates(c.file), c.candidates) << c.file;
}
