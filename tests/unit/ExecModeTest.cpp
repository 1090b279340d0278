#include "shell/ExecMode.h"
#include "FakeModeEnvironment.h"
#include "LineCapture.h"
#include "TempDir.h"
#include "common/AtomicFile.h"
#include "shell/CommandLine.h"

#include <gtest/gtest.h>

using namespace knokle;

namespace {

struct ExecRun {
    test::FakeModeEnvironment env;
    test::TempDir dir;
    test::LineCapture lines;
    std::optional<int> exitStatus;

    std::optional<int> start(const std::string& path) {
        return startExecMode(path, env.services(), dir / "modes.json", env.loop, env.loop.workQueue(),
                             [this](int status) { exitStatus = status; });
    }
    std::string write(const std::string& content) {
        auto path = dir / "mode.json";
        writeFileAtomically(path, content);
        return path.string();
    }
};

} // namespace

TEST(ExecMode, UnreadableFilesEndAtOnceWithStatusOneWithoutTouchingTheStore) {
    for (std::string content : {std::string("<missing>"), std::string("[{\"name\": \"A\"}]"), std::string("{oops"),
                                std::string("\"text\"")}) {
        ExecRun run;
        std::string path = content == "<missing>" ? (run.dir / "nope.json").string() : run.write(content);
        EXPECT_EQ(run.start(path), 1) << content;
        EXPECT_EQ(run.lines.lines(), std::vector<std::string>{"[exec-mode] could not read/parse " + path});
        EXPECT_FALSE(std::filesystem::exists(run.dir / "modes.json")) << content;
        run.env.loop.advance(20.0);
        EXPECT_FALSE(run.exitStatus);
    }
}

TEST(ExecMode, RunsTheModeAndEndsTwelveSecondsLater) {
    ExecRun run;
    run.env.workspace.install("org.example.Notes");
    std::string path = run.write(R"({"name": "Deep \"Work\"", "slapCount": 2, "openApps": ["org.example.Notes"],
        "quitApps": ["chat", "mail"], "openURLs": [], "closeURLs": ["youtube.com"]})");
    EXPECT_EQ(run.start(path), std::nullopt);
    auto lines = run.lines.lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], R"([exec-mode] running 'Deep "Work"': open=["org.example.Notes"] quit=["chat", "mail"] )"
                        R"(openURLs=[] closeURLs=["youtube.com"])");

    run.env.loop.advance(11.9);
    lines = run.lines.lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "[exec-mode] execute() returned"), lines.end());
    EXPECT_EQ(run.env.workspace.openedLocations(), std::vector<std::string>{"/apps/org.example.Notes.desktop"});
    EXPECT_FALSE(run.exitStatus);
    EXPECT_TRUE(std::filesystem::exists(run.dir / "modes.json")) << "the store is loaded or seeded";

    run.env.loop.advance(0.1);
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.lines.lines().back(), "[exec-mode] done");
}

TEST(CommandLine, Arguments) {
    struct Case {
        std::vector<std::string> args;
        std::optional<std::string> execMode;
        std::optional<std::string> replay;
        double speed;
        bool exitWhenDone, help, error;
    } cases[] = {
        {{"knokle"}, std::nullopt, std::nullopt, 1, false, false, false},
        {{"knokle", "--exec-mode"}, std::nullopt, std::nullopt, 1, false, false, false},
        {{"knokle", "--exec-mode", "m.json"}, "m.json", std::nullopt, 1, false, false, false},
        {{"knokle", "-x", "--exec-mode", "a", "--exec-mode", "b"}, "a", std::nullopt, 1, false, false, false},
        {{"--exec-mode", "knokle"}, "knokle", std::nullopt, 1, false, false, false},
        {{"knokle", "--EXEC-MODE", "m"}, std::nullopt, std::nullopt, 1, false, false, false},
        {{"knokle", "--replay", "r.rec", "--replay-speed", "4", "--exit-when-done"},
         std::nullopt,
         "r.rec",
         4,
         true,
         false,
         false},
        {{"knokle", "--replay-speed", "fast"}, std::nullopt, std::nullopt, 1, false, false, true},
        {{"knokle", "--replay-speed", "-1"}, std::nullopt, std::nullopt, 1, false, false, true},
        {{"knokle", "--replay"}, std::nullopt, std::nullopt, 1, false, false, true},
        {{"knokle", "--help"}, std::nullopt, std::nullopt, 1, false, true, false},
    };
    for (const auto& c : cases) {
        CommandLine line = parseCommandLine(c.args);
        std::string label = c.args.size() > 1 ? c.args[1] : c.args[0];
        EXPECT_EQ(line.execModePath, c.execMode) << label;
        EXPECT_EQ(line.replayFile, c.replay) << label;
        EXPECT_EQ(line.replaySpeed, c.speed) << label;
        EXPECT_EQ(line.exitWhenDone, c.exitWhenDone) << label;
        EXPECT_EQ(line.help, c.help) << label;
        EXPECT_EQ(line.error.has_value(), c.error) << label;
    }
    auto defaults = parseCommandLine({"knokle", "defaults", "write", "tapsActive", "-bool", "true"});
    EXPECT_EQ(defaults.defaultsArgs, (std::vector<std::string>{"write", "tapsActive", "-bool", "true"}));
}
