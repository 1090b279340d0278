// The real program with the calibration window open on a private desktop, fed the bundled demo recording.

#include "TrayDesktop.h"
#include "common/AtomicFile.h"
#include "modes/ModeCoding.h"
#include "sensing/MotionSensor.h"
#include "sensing/ReportRecording.h"
#include "shell/Palette.h"

#include <fstream>
#include <gtest/gtest.h>
#include <numeric>
#include <optional>
#include <thread>
// After gtest: Xlib's macros (None, Bool) would break it.
#include "XWindows.h"

using namespace knokle;
using test::waitFor;

namespace {

// Row by row, the most pixels seen in two colours over many grabs: the second meter block lit, and a detection
// (on the status line, or the meter's flash).
struct Counts {
    std::vector<int> meter, good;
    void add(int y, int meterPixels, int goodPixels) {
        if (meter.size() <= size_t(y)) meter.resize(size_t(y) + 1), good.resize(size_t(y) + 1);
        meter[size_t(y)] = std::max(meter[size_t(y)], meterPixels);
        good[size_t(y)] = std::max(good[size_t(y)], goodPixels);
    }
    int meterPixels() const { return std::accumulate(meter.begin(), meter.end(), 0); }
    // Detection pixels below the meter's rows: the status line.
    int statusPixels() const {
        int last = -1;
        for (size_t y = 0; y < meter.size(); ++y)
            if (meter[y] > 0) last = int(y);
        if (last < 0) return 0;
        int sum = 0;
        for (size_t y = size_t(last) + 8; y < good.size() && y < size_t(last) + 40; ++y)
            sum += good[y];
        return sum;
    }
};

bool near(std::uint32_t pixel, const Colour& colour) {
    auto channel = [](unsigned long value, double expected) {
        return std::abs(static_cast<int>(value & 0xff) - static_cast<int>(expected * 255 + 0.5)) <= 1;
    };
    return channel(pixel >> 16, colour.red) && channel(pixel >> 8, colour.green) && channel(pixel, colour.blue);
}

bool count(test::XWindows& x, Window window, Counts& counts) {
    auto shot = x.shot(window);
    if (shot.pixels.empty()) return false;
    const Colour secondBlock = mix(Palette::neon, Palette::warm, 1.0 / 12);
    for (int y = 0; y < shot.height; ++y) {
        int meter = 0, good = 0;
        for (int column = 0; column < shot.width; ++column) {
            meter += near(shot.at(column, y), secondBlock);
            good += near(shot.at(column, y), Palette::good);
        }
        counts.add(y, meter, good);
    }
    return true;
}

// The middle of the window's pixels in one colour, in root coordinates.
std::optional<std::pair<int, int>> centreOf(test::XWindows& x, Window window, const Colour& colour) {
    auto shot = x.shot(window);
    long sumX = 0, sumY = 0, n = 0;
    for (int y = 0; y < shot.height; ++y)
        for (int column = 0; column < shot.width; ++column)
            if (near(shot.at(column, y), colour)) sumX += column, sumY += y, ++n;
    if (n < 50) return std::nullopt;
    return std::pair{shot.x + int(sumX / n), shot.y + int(sumY / n)};
}

nlohmann::json storedSettings(const test::TrayDesktop& desktop) {
    auto json = nlohmann::json::parse(test::TrayDesktop::text(desktop.dir / "config/settings/settings.json"), nullptr,
                                      false);
    return json.is_object() ? json : nlohmann::json::object();
}

} // namespace

TEST(CalibrationWindowProgram, TheCurrentShortcutCanBeRecordedAgain) {
    test::TrayDesktop desktop;
    ASSERT_TRUE(desktop.ok()) << desktop.session.error();
    std::vector<RecordedReport> reports; // quiet: a sensor, and nothing else
    for (int i = 0; i < 200; ++i)
        reports.push_back({i / 1000.0, encodeReport(0, 0, -1)});
    {
        std::ofstream out(desktop.dir / "rest.rec");
        writeRecording(out, reports);
    }
    // First run: the calibration window opens by itself.
    auto program = desktop.start({"--replay", (desktop.dir / "rest.rec").string()});
    test::XWindows x(desktop.session.display());
    Window window = 0;
    ASSERT_TRUE(waitFor([&] { return (window = x.find("Test Your Taps")) != 0; })) << desktop.log();
    // The shortcut box is the window's one field-coloured control.
    std::optional<std::pair<int, int>> box;
    ASSERT_TRUE(waitFor([&] { return (box = centreOf(x, window, Palette::field)).has_value(); }));
    ASSERT_EQ(desktop.session.run("xdotool mousemove " + std::to_string(box->first) + " " +
                                  std::to_string(box->second) + " click 1"),
              0);
    ASSERT_TRUE(waitFor([&] { return centreOf(x, window, Palette::neonFill).has_value(); }))
        << "the box shows it is listening";

    ASSERT_EQ(desktop.session.run("xdotool key super+alt+t"), 0);
    ASSERT_TRUE(waitFor([&] { return storedSettings(desktop).contains("hotkeyKeyCode"); })) << desktop.log();
    auto settings = storedSettings(desktop);
    EXPECT_EQ(settings["hotkeyKeyCode"], 17);
    EXPECT_EQ(settings["hotkeyMods"], 2304);
    EXPECT_EQ(settings["hotkeyDisplay"], "⌥⌘T");
    EXPECT_NE(settings.value("tapsActive", false), true) << "the press was recorded, not taken as the shortcut";

    // Recorded and registered again: the next press arms taps.
    ASSERT_EQ(desktop.session.run("xdotool key super+alt+t"), 0);
    EXPECT_TRUE(waitFor([&] { return storedSettings(desktop).value("tapsActive", false); })) << desktop.log();
}

TEST(CalibrationWindowProgram, ShowsTheDemoTapsLiveAndNoModeFires) {
    test::TrayDesktop desktop;
    ASSERT_TRUE(desktop.ok()) << desktop.session.error();
    // Armed, with a mode for every count: only the open window keeps them from firing. First run: the
    // calibration window opens by itself.
    std::filesystem::create_directories(desktop.dir / "config/settings");
    std::filesystem::create_directories(desktop.dir / "config/data");
    writeFileAtomically(desktop.dir / "config/settings/settings.json", R"({"tapsActive": true, "autoPause": false})");
    std::vector<SlapMode> modes;
    for (int taps = 1; taps <= 3; ++taps) {
        SlapMode mode;
        mode.slapCount = taps;
        mode.name = "M" + std::to_string(taps);
        mode.openURLs = {"http://localhost:9/"};
        modes.push_back(mode);
    }
    writeFileAtomically(desktop.dir / "config/data/modes.json", encodeModes(modes));

    auto program = desktop.start({"--replay", std::string(KNOKLE_SOURCE_DIR) + "/share/demo/gestures.rec"},
                                 {"KNOKLE_DRYRUN=1"});
    test::XWindows x(desktop.session.display());
    Window window = 0;
    ASSERT_TRUE(waitFor([&] { return (window = x.find("Test Your Taps")) != 0; })) << desktop.log();

    std::optional<Counts> before;
    Counts most;
    auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < limit) {
        if (!before) {
            Counts first;
            if (count(x, window, first)) before = first;
        } else {
            count(x, window, most);
        }
        if (desktop.log().find("[test] 3-tap") != std::string::npos) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::string output = desktop.log();

    ASSERT_TRUE(before) << "the window was never viewable";
    EXPECT_EQ(before->meterPixels(), 0);
    EXPECT_EQ(std::accumulate(before->good.begin(), before->good.end(), 0), 0);
    EXPECT_GT(most.meterPixels(), 100) << "the meter lit up past its first block";
    EXPECT_GT(most.statusPixels(), 20) << "the status line showed a detection";
    for (int taps = 1; taps <= 3; ++taps)
        EXPECT_NE(output.find("[test] " + std::to_string(taps) + "-tap detected (actions suppressed while testing)"),
                  std::string::npos)
            << output;
    EXPECT_EQ(output.find("[DRY RUN]"), std::string::npos) << output;
    EXPECT_EQ(output.find("[FIRE]"), std::string::npos) << output;
}
