// The real program with the calibration window open on a private X server, fed the bundled demo recording.

#include "ProgramRun.h"
#include "TempDir.h"
#include "XSession.h"
#include "common/AtomicFile.h"
#include "modes/ModeCoding.h"
#include "sensing/MotionSensor.h"
#include "sensing/ReportRecording.h"
#include "shell/Palette.h"

#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <numeric>
#include <optional>
#include <thread>
// After gtest: Xlib's macros (None, Bool) would break it.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

using namespace knokle;

namespace {

std::optional<Window> findWindow(Display* display, Window parent, const std::string& title) {
    Window root, up, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, parent, &root, &up, &children, &count)) return std::nullopt;
    std::optional<Window> found;
    for (unsigned i = 0; i < count && !found; ++i) {
        char* name = nullptr;
        if (XFetchName(display, children[i], &name) && name) {
            if (title == name) found = children[i];
            XFree(name);
        }
        if (!found) found = findWindow(display, children[i], title);
    }
    if (children) XFree(children);
    return found;
}

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

bool near(unsigned long pixel, const Colour& colour) {
    auto channel = [](unsigned long value, double expected) {
        return std::abs(static_cast<int>(value & 0xff) - static_cast<int>(expected * 255 + 0.5)) <= 1;
    };
    return channel(pixel >> 16, colour.red) && channel(pixel >> 8, colour.green) && channel(pixel, colour.blue);
}

// The part of the window on screen, read from the root window (the window may be taller than the screen, and
// then cannot be read whole); its origin in root coordinates.
struct Grab {
    XImage* image = nullptr;
    int x = 0, y = 0;
    ~Grab() {
        if (image) XDestroyImage(image);
    }
};

bool grab(Display* display, Window window, Grab& out) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable) return false;
    Window root = DefaultRootWindow(display), child;
    XTranslateCoordinates(display, window, root, 0, 0, &out.x, &out.y, &child);
    int screenWidth = DisplayWidth(display, DefaultScreen(display));
    int screenHeight = DisplayHeight(display, DefaultScreen(display));
    int left = std::max(out.x, 0), top = std::max(out.y, 0);
    int right = std::min(out.x + attributes.width, screenWidth),
        bottom = std::min(out.y + attributes.height, screenHeight);
    if (right <= left || bottom <= top) return false;
    out.x = left;
    out.y = top;
    out.image = XGetImage(display, root, left, top, unsigned(right - left), unsigned(bottom - top), AllPlanes, ZPixmap);
    return out.image != nullptr;
}

bool count(Display* display, Window window, Counts& counts) {
    Grab shot;
    if (!grab(display, window, shot)) return false;
    XImage* image = shot.image;
    const Colour secondBlock = mix(Palette::neon, Palette::warm, 1.0 / 12);
    for (int y = 0; y < image->height; ++y) {
        int meter = 0, good = 0;
        for (int x = 0; x < image->width; ++x) {
            unsigned long pixel = XGetPixel(image, x, y);
            meter += near(pixel, secondBlock);
            good += near(pixel, Palette::good);
        }
        counts.add(y, meter, good);
    }
    return true;
}

// The middle of the window's pixels in one colour, in root coordinates.
std::optional<std::pair<int, int>> centreOf(Display* display, Window window, const Colour& colour) {
    Grab shot;
    if (!grab(display, window, shot)) return std::nullopt;
    long sumX = 0, sumY = 0, n = 0;
    for (int y = 0; y < shot.image->height; ++y)
        for (int x = 0; x < shot.image->width; ++x)
            if (near(XGetPixel(shot.image, x, y), colour)) sumX += x, sumY += y, ++n;
    if (n < 50) return std::nullopt;
    return std::pair{shot.x + int(sumX / n), shot.y + int(sumY / n)};
}

nlohmann::json storedSettings(const test::TempDir& dir) {
    auto json = nlohmann::json::parse(readWholeFile(dir / "config/settings.json").value_or("{}"), nullptr, false);
    return json.is_object() ? json : nlohmann::json::object();
}

template <typename Condition> bool waitFor(Condition done, int limitMs = 5000) {
    for (int waited = 0; waited < limitMs; waited += 20) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return done();
}

} // namespace

TEST(CalibrationWindowProgram, TheCurrentShortcutCanBeRecordedAgain) {
    test::XSession session;
    ASSERT_TRUE(session.ok()) << session.error();
    test::TempDir dir;
    std::vector<RecordedReport> reports; // quiet: a sensor, and nothing else
    for (int i = 0; i < 200; ++i)
        reports.push_back({i / 1000.0, encodeReport(0, 0, -1)});
    {
        std::ofstream out(dir / "rest.rec");
        writeRecording(out, reports);
    }
    test::RunningProgram program(session, dir, "program", dir / "rest.rec", {"XDG_RUNTIME_DIR=" + dir.path().string()});
    Display* display = XOpenDisplay(session.display().c_str());
    ASSERT_TRUE(display);
    std::optional<Window> window;
    ASSERT_TRUE(waitFor([&] {
        return (window = findWindow(display, DefaultRootWindow(display), "Test Your Taps")).has_value();
    })) << program.output();
    // The shortcut box is the window's one field-coloured control.
    std::optional<std::pair<int, int>> box;
    ASSERT_TRUE(waitFor([&] { return (box = centreOf(display, *window, Palette::field)).has_value(); }));
    ASSERT_EQ(
        session.run("xdotool mousemove " + std::to_string(box->first) + " " + std::to_string(box->second) + " click 1"),
        0);
    ASSERT_TRUE(waitFor([&] { return centreOf(display, *window, Palette::neonFill).has_value(); }))
        << "the box shows it is listening";

    ASSERT_EQ(session.run("xdotool key super+alt+t"), 0);
    ASSERT_TRUE(waitFor([&] { return storedSettings(dir).contains("hotkeyKeyCode"); })) << program.output();
    auto settings = storedSettings(dir);
    EXPECT_EQ(settings["hotkeyKeyCode"], 17);
    EXPECT_EQ(settings["hotkeyMods"], 2304);
    EXPECT_EQ(settings["hotkeyDisplay"], "⌥⌘T");
    EXPECT_NE(settings.value("tapsActive", false), true) << "the press was recorded, not taken as the shortcut";

    // Recorded and registered again: the next press arms taps.
    ASSERT_EQ(session.run("xdotool key super+alt+t"), 0);
    EXPECT_TRUE(waitFor([&] { return storedSettings(dir).value("tapsActive", false); })) << program.output();
    XCloseDisplay(display);
}

TEST(CalibrationWindowProgram, ShowsTheDemoTapsLiveAndNoModeFires) {
    test::XSession session;
    ASSERT_TRUE(session.ok()) << session.error();
    test::TempDir dir;
    // Armed, with a mode for every count: only the open window keeps them from firing. First run: the
    // calibration window opens by itself.
    std::filesystem::create_directories(dir / "config");
    std::filesystem::create_directories(dir / "data");
    writeFileAtomically(dir / "config/settings.json", R"({"tapsActive": true, "autoPause": false})");
    std::vector<SlapMode> modes;
    for (int taps = 1; taps <= 3; ++taps) {
        SlapMode mode;
        mode.slapCount = taps;
        mode.name = "M" + std::to_string(taps);
        mode.openURLs = {"http://localhost:9/"};
        modes.push_back(mode);
    }
    writeFileAtomically(dir / "data/modes.json", encodeModes(modes));

    test::RunningProgram program(session, dir, "program",
                                 std::filesystem::path(KNOKLE_SOURCE_DIR) / "share/demo/gestures.rec",
                                 {"KNOKLE_DRYRUN=1", "XDG_RUNTIME_DIR=" + dir.path().string()});
    Display* display = XOpenDisplay(session.display().c_str());
    ASSERT_TRUE(display);
    std::optional<Window> window;
    for (int waited = 0; waited < 10000 && !window; waited += 20) {
        window = findWindow(display, DefaultRootWindow(display), "Test Your Taps");
        if (!window) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(window) << program.output();

    std::optional<Counts> before;
    Counts most;
    auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < limit) {
        if (!before) {
            Counts first;
            if (count(display, *window, first)) before = first;
        } else {
            count(display, *window, most);
        }
        if (program.output().find("[test] 3-tap") != std::string::npos) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    XCloseDisplay(display);
    RecordProperty("meterPixels", most.meterPixels());
    RecordProperty("statusPixels", most.statusPixels());
    std::string output = program.output();

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
