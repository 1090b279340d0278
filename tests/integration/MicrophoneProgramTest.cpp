#include "PulseServer.h"
#include "TrayDesktop.h"
#include "sensing/SyntheticSound.h"
#include "sensing/WavFile.h"

#include <gtest/gtest.h>
#include <map>

using namespace knokle;
using test::text;
using test::waitFor;

namespace {

// The program on a private desktop (X, session bus, tray host), listening to a private sound server whose null
// sink's monitor is the default source: what is played into the sink is what the program hears.
struct ListeningDesktop {
    test::TrayDesktop desktop;
    test::PulseServer server{desktop.dir / "pulse"};
    std::filesystem::path gesture = desktop.dir / "two-taps.wav";

    ListeningDesktop() {
        test::put(desktop.dir / "config/data/modes.json",
                  R"([{"name": "Twice", "slapCount": 2, "openApps": ["org.example.Nothing"]}])");
        test::put(desktop.dir / "config/settings/settings.json",
                  R"({"didOnboard": true, "tapsActive": true, "autoPause": false, "microphoneEnabled": true,
                      "tapSource": "microphone"})");
        SyntheticSound sound(48000, 2);
        sound.taps(0.6, 2, 0.3, SoundTapShape{.peakDb = 34}).extend(2.0);
        writeWav(gesture, sound.render(), {48000, 2});
        std::filesystem::create_directories(desktop.dir / "tmp");
    }
    test::Child start() {
        return desktop.start({}, {"PULSE_SERVER=unix:" + (desktop.dir / "pulse/native").string(), "KNOKLE_DRYRUN=1",
                                  "TMPDIR=" + (desktop.dir / "tmp").string()});
    }
    int count(const std::string& part) const {
        int n = 0;
        for (const auto& line : test::ProgramResult{0, desktop.log()}.lines())
            n += line.find(part) != std::string::npos;
        return n;
    }
    bool waitForCount(const std::string& part, int expected, int limitMs = 15000) const {
        return waitFor([&] { return count(part) >= expected; }, limitMs);
    }
    bool streamOpen() const { return !server.pactl("list short source-outputs").empty(); }
    std::vector<std::string> menuLabels() const {
        std::vector<std::string> out;
        auto menu = desktop.menu();
        if (menu.is_array())
            for (const auto& entry : menu)
                out.push_back(entry["label"].get<std::string>());
        return out;
    }
    bool menuHas(const std::string& label) const {
        return waitFor([&] { return std::ranges::count(menuLabels(), label) > 0; }, 5000);
    }
};

const std::string kListening = "[microphone] listening to the default microphone";
const std::string kGesture = "[DRY RUN] 2-tap -> would run 'Twice'";

// Every file under `root` with its size and change time, but for the folders named.
std::map<std::string, std::string> snapshot(const std::filesystem::path& root, const std::vector<std::string>& skip) {
    std::map<std::string, std::string> files;
    for (auto it = std::filesystem::recursive_directory_iterator(root); it != decltype(it)(); ++it) {
        std::string relative = std::filesystem::relative(it->path(), root).string();
        if (std::ranges::count(skip, relative)) {
            it.disable_recursion_pending();
            continue;
        }
        struct stat info {};
        // A folder's time changes with its entries, which are compared themselves.
        if (::lstat(it->path().c_str(), &info) == 0 && !S_ISDIR(info.st_mode))
            files[relative] = std::to_string(info.st_size) + "@" + std::to_string(info.st_mtim.tv_sec) + "." +
                              std::to_string(info.st_mtim.tv_nsec);
    }
    return files;
}

} // namespace

TEST(MicrophoneProgram, GesturesFromALiveServerThroughItsRestartAndAMutedSource) {
    if (!test::pulseServerInstalled()) GTEST_SKIP() << "pulseaudio is not installed";
    ListeningDesktop live;
    ASSERT_TRUE(live.desktop.ok());
    auto program = live.start();
    ASSERT_TRUE(live.desktop.waitForItem()) << live.desktop.log();
    ASSERT_TRUE(live.waitForCount(kListening, 1)) << live.desktop.log();
    live.server.play(live.gesture);
    ASSERT_TRUE(live.waitForCount(kGesture, 1)) << live.desktop.log();
    EXPECT_EQ(live.count("[impact] force x"), 2) << live.desktop.log();

    // The server dies while the stream runs: a line, no crash, and listening resumes when it is back.
    live.server.stop();
    EXPECT_TRUE(live.waitForCount("; trying again in the background", 1)) << live.desktop.log();
    EXPECT_FALSE(program.wait(0)) << "still running";
    EXPECT_TRUE(live.menuHas("    No sound server; still trying") ||
                live.menuHas("    Microphone not found; still looking"));
    ASSERT_TRUE(live.server.start());
    ASSERT_TRUE(live.waitForCount(kListening, 2, 30000)) << live.desktop.log();
    live.server.play(live.gesture);
    EXPECT_TRUE(live.waitForCount(kGesture, 2)) << live.desktop.log();

    live.server.pactl("set-source-mute @DEFAULT_SOURCE@ 1");
    EXPECT_TRUE(live.waitForCount("[microphone] The microphone is muted", 1)) << live.desktop.log();
    EXPECT_TRUE(live.menuHas("    The microphone is muted"));
}

TEST(MicrophoneProgram, ListensWithoutWritingAndOnlyWhileArmedAndUnlocked) {
    if (!test::pulseServerInstalled()) GTEST_SKIP() << "pulseaudio is not installed";
    ListeningDesktop live;
    ASSERT_TRUE(live.desktop.ok());
    // HOME holds the runtime folder (run) and TMPDIR (tmp). Not watched: the sound server's own folder, and the
    // logs of the test's helpers (the program's standard output among them).
    const std::vector<std::string> skip = {"pulse", "program.log", "bus.out", "watch.log", "watcher.out"};
    auto before = snapshot(live.desktop.dir.path(), skip);
    auto program = live.start();
    ASSERT_TRUE(live.desktop.waitForItem()) << live.desktop.log();
    ASSERT_TRUE(live.waitForCount(kListening, 1)) << live.desktop.log();
    auto started = snapshot(live.desktop.dir.path(), skip);
    live.server.play(live.gesture);
    ASSERT_TRUE(live.waitForCount(kGesture, 1)) << live.desktop.log();
    EXPECT_EQ(snapshot(live.desktop.dir.path(), skip), started) << "nothing is written while listening";
    // Starting writes only the single-instance lock and socket, and the sound library's authentication cookie
    // (which every client of the server shares; a desktop session has it long before).
    for (const auto& [file, stamp] : started)
        if ((!before.contains(file) || before.at(file) != stamp) && !file.starts_with("run/knokle-") &&
            file != "config/xdg-config/pulse/cookie")
            ADD_FAILURE() << "written at start: " << file;

    // Paused, the stream is closed; armed again, open.
    EXPECT_TRUE(live.streamOpen());
    live.desktop.click("Taps Active  (Super+Alt+T)");
    EXPECT_TRUE(waitFor([&] { return !live.streamOpen(); }, 5000)) << live.server.pactl("list short source-outputs");
    live.desktop.click("Taps Paused  (Super+Alt+T)");
    EXPECT_TRUE(waitFor([&] { return live.streamOpen(); }, 5000));

    // The screensaver turns on: closed until it turns off.
    auto screenSaver = [&](bool active) {
        std::string command = "dbus-send --bus=" + test::shellQuoted(live.desktop.busAddress) +
                              " --type=signal /org/freedesktop/ScreenSaver org.freedesktop.ScreenSaver.ActiveChanged "
                              "boolean:" +
                              (active ? "true" : "false");
        EXPECT_EQ(std::system(command.c_str()), 0);
    };
    screenSaver(true);
    EXPECT_TRUE(waitFor([&] { return !live.streamOpen(); }, 5000));
    EXPECT_TRUE(live.menuHas("    Not listening while the screen is locked"));
    screenSaver(false);
    EXPECT_TRUE(waitFor([&] { return live.streamOpen(); }, 5000));
    EXPECT_FALSE(program.wait(0));
}
