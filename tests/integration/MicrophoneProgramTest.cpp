#include "PulseServer.h"
#include "TrayDesktop.h"
#include "sensing/SyntheticSound.h"
#include "sensing/WavFile.h"

#include <gtest/gtest.h>
#include <map>

using namespace knokle;
using test::waitFor;

// Every file (not folder: its time follows its entries) under `root` with its size and change time, but those skipped.
static std::map<std::string, std::string> snapshot(const std::filesystem::path& root,
                                                   const std::vector<std::string>& skip) {
    std::map<std::string, std::string> files;
    for (auto it = std::filesystem::recursive_directory_iterator(root); it != decltype(it)(); ++it) {
        std::string relative = std::filesystem::relative(it->path(), root).string();
        struct stat info {};
        if (std::ranges::count(skip, relative) > 0)
            it.disable_recursion_pending();
        else if (::lstat(it->path().c_str(), &info) == 0 && !S_ISDIR(info.st_mode))
            files[relative] = std::to_string(info.st_size) + "@" + std::to_string(info.st_mtim.tv_sec) + "." +
                              std::to_string(info.st_mtim.tv_nsec);
    }
    return files;
}

// A private desktop and sound server: what is played into its null sink is what the program hears.
TEST(MicrophoneProgram, ListensToALiveServerOnlyWhenItShouldAndWritesNothing) {
    if (!test::pulseServerInstalled()) GTEST_SKIP() << "pulseaudio is not installed";
    test::TrayDesktop desktop;
    ASSERT_TRUE(desktop.ok());
    test::PulseServer server(desktop.dir / "pulse");
    test::put(desktop.dir / "config/data/modes.json", R"([{"name": "Twice", "slapCount": 2, "openApps": ["x"]}])");
    test::put(desktop.dir / "config/settings/settings.json", R"({"didOnboard": true, "tapsActive": true,
              "autoPause": false, "microphoneEnabled": true, "tapSource": "microphone"})");
    SyntheticSound sound(48000, 2);
    writeWav(desktop.dir / "taps.wav", sound.taps(1.4, 2, 0.3, {.peakDb = 34}).extend(2.8).render(), {48000, 2});
    std::filesystem::create_directories(desktop.dir / "tmp");
    // HOME holds the runtime folder (run) and TMPDIR (tmp). Not watched: the sound server's own folder and the
    // output of the test's helpers (the program's standard output among them).
    const std::vector<std::string> skip = {"pulse", "program.log", "bus.out", "watch.log", "watcher.out"};
    auto program = desktop.start({}, {"PULSE_SERVER=unix:" + (desktop.dir / "pulse/native").string(), "KNOKLE_DRYRUN=1",
                                      "TMPDIR=" + (desktop.dir / "tmp").string()});
    auto seen = [&](const std::string& part) {
        auto lines = test::ProgramResult{0, desktop.log()}.lines();
        return std::ranges::count_if(lines, [&](auto& line) { return line.find(part) != std::string::npos; });
    };
    auto count = [&](const std::string& part, long atLeast) {
        return waitFor([&] { return seen(part) >= atLeast; }, 20000);
    };
    auto menuHas = [&](const std::string& label) {
        return waitFor([&] { return desktop.menu().dump().find("\"" + label + "\"") != std::string::npos; }, 5000);
    };
    auto streamOpen = [&](bool open) {
        return waitFor([&] { return server.pactl("list short source-outputs").empty() != open; }, 5000);
    };
    ASSERT_TRUE(desktop.waitForItem() && count("[microphone] listening to the default microphone", 1)) << desktop.log();
    auto started = snapshot(desktop.dir.path(), skip);
    server.play(desktop.dir / "taps.wav");
    ASSERT_TRUE(count("[DRY RUN] 2-tap -> would run 'Twice'", 1)) << desktop.log();
    EXPECT_EQ(snapshot(desktop.dir.path(), skip), started) << "nothing is written while listening";

    // Paused, the stream is closed; so it is while the screensaver runs.
    EXPECT_TRUE(streamOpen(true));
    desktop.click("Taps Active  (Super+Alt+T)");
    EXPECT_TRUE(streamOpen(false));
    desktop.click("Taps Paused  (Super+Alt+T)");
    EXPECT_TRUE(streamOpen(true));
    const std::string screenSaver =
        "dbus-send --bus=" + test::shellQuoted(desktop.busAddress) +
        " --type=signal /org/freedesktop/ScreenSaver org.freedesktop.ScreenSaver.ActiveChanged boolean:";
    ASSERT_EQ(std::system((screenSaver + "true").c_str()), 0);
    EXPECT_TRUE(streamOpen(false) && menuHas("    Not listening while the screen is locked"));
    ASSERT_EQ(std::system((screenSaver + "false").c_str()), 0);
    EXPECT_TRUE(streamOpen(true));

    // The server dies: a line, no crash, and listening resumes when it is back.
    const long listened = seen("[microphone] listening to the default microphone");
    server.stop();
    EXPECT_TRUE(count("; trying again in the background", 1)) << desktop.log();
    ASSERT_TRUE(server.start());
    ASSERT_TRUE(count("[microphone] listening to the default microphone", listened + 1)) << desktop.log();
    server.play(desktop.dir / "taps.wav");
    EXPECT_TRUE(count("[DRY RUN] 2-tap -> would run 'Twice'", 2)) << desktop.log();
    server.pactl("set-source-mute @DEFAULT_SOURCE@ 1");
    EXPECT_TRUE(count("[microphone] The microphone is muted", 1) && menuHas("    The microphone is muted"));

    // Another microphone appears in the menu; picking it reopens the stream there.
    server.pactl("load-module module-null-source source_name=desk description=Desk");
    ASSERT_TRUE(menuHas("        Desk"));
    desktop.click("        Desk");
    EXPECT_TRUE(count("[microphone] listening to desk", 1)) << desktop.log();
    EXPECT_EQ(desktop.settings().value("microphoneSource", ""), "desk");
    EXPECT_FALSE(program.wait(0)) << "still running";
}
