// The preview flags, run as the program itself.

#include "ProgramRun.h"
#include "TempDir.h"
#include "VirtualLoop.h"
#include "WidgetTesting.h"
#include "common/AtomicFile.h"

#include <QImage>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace knokle;
using test::near;
using test::rgbOf;
using test::runProgram;

namespace {

struct PreviewRenderer : testing::Test {
    void SetUp() override {
        test::ensureWidgetsApplication();
        std::filesystem::create_directories(dir / "tmp");
    }

    std::vector<std::string> env() const {
        return {"TMPDIR=" + (dir / "tmp").string(), "XDG_RUNTIME_DIR=" + dir.path().string(),
                "KNOKLE_DATA_DIR=" + (dir / "data").string(), "KNOKLE_CONFIG_DIR=" + (dir / "config").string()};
    }
    void TearDown() override {
        // Nothing of a render stays in the temporary folder.
        for (const auto& entry : std::filesystem::directory_iterator(dir / "tmp"))
            EXPECT_EQ(entry.path().filename().string().rfind("knokle-preview", 0), std::string::npos) << entry.path();
    }
    std::string out(const char* name) const { return (dir / name).string(); }

    test::TempDir dir;
};

} // namespace

TEST_F(PreviewRenderer, CalibrationPictureAtItsSizeWithTheLevelAskedFor) {
    test::VirtualLoop loop; // the sample window, laid out here as the renderer lays it out
    CalibrationWindowController sample(loop);
    sample.screenHeight = [](QWidget*) { return std::optional<double>(); }; // the renderer draws all of it
    sample.apply({.hotkeyDisplay = "⌥⌘T", .thresholdG = 0.21, .markerFraction = 0.6});
    sample.buildUI();
    test::grabbed(sample.window());
    const QRgb atRest = test::over(Palette::well, 0.5, Palette::card);
    struct Case {
        std::vector<std::string> levels;
        int lit; // meter blocks lit
    } cases[] = {
        {{}, 0}, {{"--level=0.05", "--level=0.9"}, 3}, // the first one counts: 0.05 / 0.21 × 0.6 × 20 = 2.9
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"--render-cal-preview", out("cal.png")};
        args.insert(args.end(), c.levels.begin(), c.levels.end());
        auto result = runProgram(env(), args);
        EXPECT_EQ(result.status, 0);
        EXPECT_TRUE(result.has("rendered calibration preview -> " + out("cal.png"))) << result.output;
        QImage picture(QString::fromStdString(out("cal.png")));
        ASSERT_EQ(picture.size(), sample.window()->size());
        EXPECT_EQ(picture.pixel(2, 2), rgbOf(Palette::bg));
        for (int i = 0; i < 12; ++i)
            EXPECT_EQ(near(picture.pixel(test::meterBlockCentre(sample, i)), atRest), i >= c.lit) << "block " << i;
    }
}

TEST_F(PreviewRenderer, APlantedLinkIsReplacedNotFollowedAndAnUnwritablePathFails) {
    std::filesystem::create_directories(dir / "elsewhere");
    { std::ofstream(dir / "elsewhere/precious") << "keep me"; }
    std::filesystem::create_symlink(dir / "elsewhere/precious", dir / "cal.png");
    auto result = runProgram(env(), {"--render-cal-preview", out("cal.png")});
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_FALSE(std::filesystem::is_symlink(dir / "cal.png"));
    EXPECT_FALSE(QImage(QString::fromStdString(out("cal.png"))).isNull());
    EXPECT_EQ(readWholeFile(dir / "elsewhere/precious"), "keep me");

    result = runProgram(env(), {"--render-cal-preview", out("no/such/folder/cal.png")});
    EXPECT_EQ(result.status, 1) << "an unwritable path is a failure, not a success";
    EXPECT_TRUE(result.hasPrefix("knokle: could not write " + out("no/such/folder/cal.png"))) << result.output;
}

TEST_F(PreviewRenderer, ModesPictureFromASampleStoreThatLeavesNothingBehind) {
    std::filesystem::create_directories(dir / "data");
    // What a killed render left: its folder, named after a process that has ended, with a store inside.
    pid_t ended = ::fork();
    if (ended == 0) ::_exit(0);
    ::waitpid(ended, nullptr, 0);
    auto killed = dir / ("tmp/knokle-preview-" + std::to_string(ended) + "-Ab12Cd");
    std::filesystem::create_directories(killed);
    { std::ofstream(killed / "knokle-preview-1.json") << "[]"; }
    const std::string mine = R"([{"id":"not even valid"}])";
    { std::ofstream(dir / "data/modes.json") << mine; }
    for (int run = 0; run < 2; ++run) {
        auto result = runProgram(env(), {"--render-modes-preview", out("modes.png")});
        EXPECT_EQ(result.status, 0);
        EXPECT_TRUE(result.has("rendered modes preview -> " + out("modes.png"))) << result.output;
    }
    EXPECT_EQ(readWholeFile(dir / "data/modes.json"), mine) << "the user's store is never touched";
    QImage picture(QString::fromStdString(out("modes.png")));
    EXPECT_EQ(picture.pixel(2, 2), rgbOf(Palette::bg));
    // "1 Tap" selected: the pill under the first third of the picker, not under the others.
    int pillRow = -1;
    for (int y = 60; y < 250 && pillRow < 0; ++y)
        if (near(picture.pixel(60, y), rgbOf(Palette::neonFill), 1)) pillRow = y;
    ASSERT_GE(pillRow, 0);
    EXPECT_TRUE(near(picture.pixel(400, pillRow), rgbOf(Palette::well), 1));
}
