// A replay's speed changes how fast a recording plays, never which gestures it holds, however busy the machine.
#include "ProgramRun.h"
#include "TempDir.h"
#include "common/AtomicFile.h"

#include <filesystem>
#include <future>
#include <gtest/gtest.h>

using namespace knokle;

TEST(ReplaySpeed, TheDemoGivesTheSameGesturesAtAnySpeed) {
    auto replay = [](double speed) {
        test::TempDir dir;
        std::filesystem::create_directories(dir / "config");
        writeFileAtomically(dir / "config/settings.json",
                            R"({"didOnboard": true, "tapsActive": false, "firmness": 2})");
        auto run = test::runProgram({"KNOKLE_CONFIG_DIR=" + (dir / "config").string(),
                                     "KNOKLE_DATA_DIR=" + (dir / "data").string(), "HOME=" + dir.path().string()},
                                    {"--replay", KNOKLE_SOURCE_DIR "/share/demo/gestures.rec", "--replay-speed",
                                     std::to_string(speed), "--exit-when-done"});
        std::vector<std::string> gestures;
        for (const auto& line : run.lines())
            if (line.starts_with("[paused] ")) gestures.push_back(line);
        return gestures;
    };
    // Side by side: the slowest sets the time the test takes. 0 plays as fast as the main loop allows.
    auto fast = std::async(std::launch::async, replay, 12.0);
    auto fastest = std::async(std::launch::async, replay, 0.0);
    const std::vector<std::string> demo = {"[paused] 1-tap detected (taps are paused)",
                                           "[paused] 2-tap detected (taps are paused)",
                                           "[paused] 3-tap detected (taps are paused)"};
    EXPECT_EQ(fast.get(), demo);
    EXPECT_EQ(fastest.get(), demo);
}
