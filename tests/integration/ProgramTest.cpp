#include "TrayDesktop.h"

#include <gtest/gtest.h>

using namespace knokle;
using test::runProgram;

namespace {

// Every folder the program reads or writes, under `dir`.
std::vector<std::string> folders(const test::TempDir& dir) {
    return {"KNOKLE_CONFIG_DIR=" + (dir / "config").string(),   "KNOKLE_DATA_DIR=" + (dir / "data").string(),
            "XDG_CONFIG_HOME=" + (dir / "xdg-config").string(), "XDG_DATA_HOME=" + (dir / "xdg-data").string(),
            "XDG_DATA_DIRS=" + (dir / "none").string(),         "HOME=" + dir.path().string()};
}

} // namespace

TEST(Program, CommandLinesThatEndAtOnce) {
    test::TempDir dir;
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string firstLine; // of standard output and error
    } cases[] = {
        {{"--help"}, 0, "usage: knokle                       run in the tray"},
        {{"--version"}, 0, "knokle 0.1.0"},
        {{"--frobnicate"}, 2, "knokle: unknown argument '--frobnicate' (knokle --help lists what it takes)"},
        {{"--exec-mode", "--help"}, 1, "[exec-mode] could not read/parse --help"},
        {{"--replay", dir.path().string()}, 1, "[replay] " + dir.path().string() + ": cannot open: Is a directory"},
    };
    for (const auto& c : cases) {
        auto run = runProgram(folders(dir), c.args, 20);
        EXPECT_EQ(run.status, c.status) << c.args[0] << "\n" << run.output;
        EXPECT_EQ(run.lines().front(), c.firstLine) << run.output;
    }
    // A file without line feeds ends at its first 4 KB, not when memory runs out, and as a failure.
    auto endless = runProgram(folders(dir), {"--replay", "/dev/zero", "--exit-when-done"}, 20);
    EXPECT_TRUE(endless.has("[replay] /dev/zero:1: line longer than 4096 bytes")) << endless.output;
    EXPECT_EQ(endless.status, 1);
}

TEST(Program, ReplayedTapsFireAModeThenAutoPause) {
    test::TempDir dir;
    test::put(dir / "data/modes.json", R"([{"name": "Quitter", "slapCount": 2, "quitApps": ["org.example.Nothing"]}])");
    // Past the first run, whose calibration window would only report the taps.
    test::put(dir / "config/settings.json", R"({"didOnboard": true, "tapsActive": true})");

    TapShape tap{.peak = 0.15};
    SyntheticMotion motion;
    motion.rest(0.5).taps(2, 0.3, tap).rest(3.0).taps(2, 0.3, tap).rest(0.5);
    auto recording = test::recording(dir / "two-taps.rec", motion);
    auto run = runProgram(folders(dir), {"--replay", recording, "--exit-when-done"});
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(run.hasPrefix("[impact] force x")) << run.output;
    EXPECT_TRUE(run.has("[FIRE] 2-tap -> running 'Quitter'")) << run.output;
    EXPECT_TRUE(run.has("[auto-pause] taps paused after firing")) << run.output;
    EXPECT_TRUE(run.has("[paused] 2-tap detected (taps are paused)")) << run.output;
}
