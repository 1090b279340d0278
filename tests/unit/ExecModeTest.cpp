#include "controller/ExecMode.h"
#include "FakeModeEnvironment.h"
#include "LineCapture.h"
#include "TempDir.h"
#include "common/AtomicFile.h"

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
    for (std::string content : {"<missing>", "{oops"}) {
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
    EXPECT_EQ(run.lines.lines().at(0),
              R"([exec-mode] running 'Deep "Work"': open=["org.example.Notes"] quit=["chat", "mail"] )"
              R"(openURLs=[] closeURLs=["youtube.com"])");

    run.env.loop.advance(11.9);
    EXPECT_EQ(run.env.workspace.openedLocations(), std::vector<std::string>{"/apps/org.example.Notes.desktop"});
    EXPECT_FALSE(run.exitStatus);
    EXPECT_TRUE(std::filesystem::exists(run.dir / "modes.json")) << "the store is loaded or seeded";

    run.env.loop.advance(0.1);
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.lines.lines().back(), "[exec-mode] done");
}
