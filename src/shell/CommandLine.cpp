#include "shell/CommandLine.h"

#include <cmath>
#include <cstdlib>

namespace knokle {

const char* const kUsageText =
    "usage: knokle                       run in the tray\n"
    "       knokle --exec-mode FILE      run the mode in FILE once, then exit\n"
    "       knokle --replay FILE [--replay-speed N] [--exit-when-done]\n"
    "                                    read taps from a report recording instead of the sensor\n"
    "       knokle defaults read [KEY] | write KEY -bool|-int|-float|-string VALUE | delete KEY\n"
    "       knokle --install-browser-support | --uninstall-browser-support\n"
    "                                    let the browsers' Knokle extension reach the program, or undo it\n"
    "       knokle --help | --version\n"
    "environment: KNOKLE_DRYRUN=1 reports gestures without running modes; KNOKLE_DEBUG=1 logs detector\n"
    "decisions; KNOKLE_CONFIG_DIR and KNOKLE_DATA_DIR move the settings and modes folders.\n";

CommandLine parseCommandLine(const std::vector<std::string>& args) {
    CommandLine line;
    if (args.size() >= 2 && args[1] == "defaults") {
        line.defaultsArgs = std::vector<std::string>(args.begin() + 2, args.end());
        return line;
    }
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        bool hasNext = i + 1 < args.size();
        if (arg == "--exec-mode") {
            if (hasNext && !line.execModePath) line.execModePath = args[i + 1];
        } else if (arg == "--help") {
            line.help = true;
        } else if (arg == "--version") {
            line.version = true;
        } else if (arg == "--install-browser-support") {
            line.installBrowserSupport = true;
        } else if (arg == "--uninstall-browser-support") {
            line.uninstallBrowserSupport = true;
        } else if (arg == "--exit-when-done") {
            line.exitWhenDone = true;
        } else if (arg == "--replay") {
            if (hasNext)
                line.replayFile = args[++i];
            else
                line.error = "--replay needs a recording file";
        } else if (arg == "--replay-speed") {
            char* end = nullptr;
            double speed = hasNext ? std::strtod(args[i + 1].c_str(), &end) : -1;
            if (!hasNext || end != args[i + 1].c_str() + args[i + 1].size() || !std::isfinite(speed) || speed < 0)
                line.error = "--replay-speed needs a number of 0 or more";
            else
                line.replaySpeed = speed;
            if (hasNext) ++i;
        }
    }
    return line;
}

} // namespace knokle
