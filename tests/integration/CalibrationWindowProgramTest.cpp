// The real program with the calibration window open on a private X server, fed the bundled demo recording.

#include "ProgramRun.h"
#include "TempDir.h"
#include "XSession.h"
#include "common/AtomicFile.h"
#include "modes/ModeCoding.h"
#include "shell/Palette.h"

#include <gtest/gtest.h>
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

bool count(Display* display, Window window, Counts& counts) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable) return false;
    XImage* image = XGetImage(display, window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
    if (!image) return false;
    const Colour secondBlock = mix(Palette::neon, Palette::warm, 1.0 / 12);
    for (int y = 0; y < attributes.height; ++y) {
        int meter = 0, good = 0;
        for (int x = 0; x < attributes.width; ++x) {
            unsigned long pixel = XGetPixel(image, x, y);
            meter += near(pixel, secondBlock);
            good += near(pixel, Palette::good);
        }
        counts.add(y, meter, good);
    }
    XDestroyImage(image);
    return true;
}

} // namespace

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
