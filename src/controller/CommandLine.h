#pragma once

#include <optional>
#include <string>
#include <vector>

namespace knokle {

// How the program was asked to run. Flags are whole arguments, exact and case-sensitive. The rendering flags
// are looked for first, then "--exec-mode", each anywhere in the arguments; the program's own flags come last.
struct CommandLine {
    std::optional<std::string> renderModesPreview;        // "--render-modes-preview [PNG]"
    std::optional<std::string> renderCalPreview;          // "--render-cal-preview [PNG]"
    std::optional<std::string> execModePath;              // "--exec-mode FILE"; ignored when it is the last argument
    std::optional<std::vector<std::string>> defaultsArgs; // "defaults ...": the settings command
    std::optional<std::string> replayFile;                // "--replay FILE": the sensor reads a recording
    double replaySpeed = 1.0;                             // "--replay-speed N"
    std::optional<double> replayRate;                     // "--replay-rate HZ": as a sensor at HZ would see it
    bool exitWhenDone = false;                            // "--exit-when-done": end after the recording
    bool help = false;                                    // "--help"
    bool version = false;                                 // "--version"
    bool installBrowserSupport = false;                   // "--install-browser-support"
    bool uninstallBrowserSupport = false;                 // "--uninstall-browser-support"
    std::optional<std::string> error;                     // an unknown flag, or a flag's value missing or wrong
};

// args[0] is the program itself; the searched flags are looked for from there on, including it.
CommandLine parseCommandLine(const std::vector<std::string>& args);

extern const char* const kUsageText;

} // namespace knokle
