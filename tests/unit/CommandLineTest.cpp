#include "controller/CommandLine.h"

#include <gtest/gtest.h>

using namespace knokle;

namespace {

std::string outcome(const CommandLine& line) {
    if (line.renderModesPreview) return "modes " + *line.renderModesPreview;
    if (line.renderCalPreview) return "calibration " + *line.renderCalPreview;
    if (line.execModePath) return "exec " + *line.execModePath;
    if (line.defaultsArgs) return "defaults " + std::to_string(line.defaultsArgs->size());
    if (line.error) return "error";
    if (line.help) return "help";
    if (line.version) return "version";
    if (line.installBrowserSupport) return "install browser support";
    if (line.uninstallBrowserSupport) return "uninstall browser support";
    if (line.replayFile)
        return "replay " + *line.replayFile + " x" + std::to_string(static_cast<int>(line.replaySpeed)) +
               (line.replayRate ? " at " + std::to_string(static_cast<int>(*line.replayRate)) + " Hz" : "") +
               (line.exitWhenDone ? " then exit" : "");
    return "tray";
}

} // namespace

TEST(CommandLine, TheRenderingFlagsComeFirstThenExecModeThenTheProgramsOwn) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        // clang-format off
        {{"knokle"}, "tray"}, {{"knokle", "--render-modes-preview"}, "modes /tmp/modes_preview.png"},
        {{"knokle", "--render-cal-preview", "c.png", "--render-modes-preview"}, "modes /tmp/modes_preview.png"},
        {{"knokle", "--render-cal-preview", "--level=0.9"}, "calibration --level=0.9"},
        {{"knokle", "--render-cal-preview"}, "calibration /tmp/cal_preview.png"},
        {{"knokle", "--exec-mode", "m.json", "--render-cal-preview", "c.png"}, "calibration c.png"},
        {{"knokle", "--exec-mode"}, "tray"}, {{"knokle", "--exec-mode", "m.json"}, "exec m.json"},
        {{"knokle", "--help", "--exec-mode", "m.json"}, "exec m.json"},
        {{"knokle", "--replay", "r", "--exec-mode", "m.json"}, "exec m.json"},
        {{"knokle", "-x", "--exec-mode", "a", "--exec-mode", "b"}, "exec a"},
        {{"knokle", "defaults", "write", "k", "-bool", "true"}, "defaults 4"}, {{"knokle", "--frobnicate"}, "error"},
        {{"knokle", "stray"}, "error"}, {{"knokle", "--help"}, "help"}, {{"knokle", "-h"}, "help"}, {{"knokle", "--version"}, "version"},
        {{"knokle", "--replay", "r.rec", "--replay-speed", "4", "--exit-when-done"}, "replay r.rec x4 then exit"},
        {{"knokle", "--replay", "r.rec", "--exec-mode"}, "replay r.rec x1"},
        {{"knokle", "--replay-speed", "fast"}, "error"}, {{"knokle", "--replay-speed", "-1"}, "error"},
        {{"knokle", "--replay"}, "error"}, {{"knokle", "--install-browser-support"}, "install browser support"},
        {{"knokle", "--uninstall-browser-support"}, "uninstall browser support"},
        {{"knokle", "--replay-rate", "100", "--replay", "r.rec"}, "replay r.rec x1 at 100 Hz"},
        {{"knokle", "--replay", "r.rec", "--replay-rate", "20"}, "replay r.rec x1 at 20 Hz"},
        {{"knokle", "--replay", "r.rec", "--replay-rate", "19.5"}, "error"},
        {{"knokle", "--replay", "r.rec", "--replay-rate", "1001"}, "error"},
        {{"knokle", "--replay", "r.rec", "--replay-rate"}, "error"},
        {{"knokle", "--replay-rate", "200"}, "error"}, {{"knokle", "--replay", "tap.WAV", "--replay-rate", "200"}, "error"},
        // clang-format on
    };
    for (const auto& [args, expected] : cases) {
        std::string shown;
        for (const auto& arg : args)
            shown += arg + " ";
        EXPECT_EQ(outcome(parseCommandLine(args)), expected) << shown;
    }
}
