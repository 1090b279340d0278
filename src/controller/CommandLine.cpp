#include "controller/CommandLine.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

namespace knokle {

const char* const kUsageText =
    "usage: knokle                       run in the tray\n"
    "       knokle --exec-mode FILE      run the mode in FILE once, then exit\n"
    "       knokle --render-modes-preview [PNG] | --render-cal-preview [PNG] [--level=G]\n"
    "                                    draw a window with sample content to a PNG file, then exit\n"
    "       knokle --replay FILE [--replay-speed N] [--replay-rate HZ] [--exit-when-done]\n"
    "                                    read taps from a report recording or a WAV file (sound, judged as\n"
    "                                    the microphone would be) instead of the sensor; --replay-rate\n"
    "                                    (20-1000) plays a report recording as a slower accelerometer would\n"
    "                                    sample it\n"
    "       knokle defaults read [KEY] | write KEY -bool|-int|-float|-string VALUE | delete KEY\n"
    "       knokle --install-browser-support | --uninstall-browser-support\n"
    "                                    let the browsers' Knokle extension reach the program, or undo it\n"
    "       knokle -h | --help | --version\n"
    "environment: KNOKLE_DRYRUN=1 reports gestures without running modes; KNOKLE_DEBUG=1 logs detector\n"
    "decisions; KNOKLE_CONFIG_DIR and KNOKLE_DATA_DIR move the settings and modes folders;\n"
    "KNOKLE_HIDRAW_SYSFS_ROOT and KNOKLE_HIDRAW_DEV_ROOT look for the accelerometer under other folders than\n"
    "/sys and /dev (for benchmarks that feed the program from a FIFO); KNOKLE_ACCEL_SYSFS_ROOT and\n"
    "KNOKLE_ACCEL_DEV_ROOT do the same for IIO and joystick accelerometers.\n";

namespace {

bool isSoundFile(const std::string& file) {
    if (file.size() < 4) return false;
    std::string suffix = file.substr(file.size() - 4);
    std::transform(suffix.begin(), suffix.end(), suffix.begin(), [](unsigned char c) { return std::tolower(c); });
    return suffix == ".wav";
}

// The argument after the first whole-argument match of flag, or fallback when the flag ends the arguments.
std::optional<std::string> searched(const std::vector<std::string>& args, const std::string& flag,
                                    std::optional<std::string> fallback) {
    auto found = std::find(args.begin(), args.end(), flag);
    if (found == args.end()) return std::nullopt;
    if (found + 1 == args.end()) return fallback;
    return *(found + 1);
}

void parseOwnFlags(const std::vector<std::string>& args, CommandLine& line) {
    for (size_t i = 1; i < args.size() && !line.error; ++i) {
        const std::string& arg = args[i];
        bool hasNext = i + 1 < args.size();
        if (arg == "--help" || arg == "-h") {
            line.help = true;
        } else if (arg == "--version") {
            line.version = true;
        } else if (arg == "--install-browser-support") {
            line.installBrowserSupport = true;
        } else if (arg == "--uninstall-browser-support") {
            line.uninstallBrowserSupport = true;
        } else if (arg == "--exit-when-done") {
            line.exitWhenDone = true;
        } else if (arg == "--exec-mode" && !hasNext) {
            // As the last argument it is ignored, and the tray program starts.
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
            ++i;
        } else if (arg == "--replay-rate") {
            char* end = nullptr;
            double rate = hasNext ? std::strtod(args[i + 1].c_str(), &end) : 0;
            if (!hasNext || end != args[i + 1].c_str() + args[i + 1].size() || !(rate >= 20 && rate <= 1000))
                line.error = "--replay-rate needs a rate from 20 to 1000 (Hz)";
            else
                line.replayRate = rate;
            ++i;
        } else {
            line.error = "unknown argument '" + arg + "'";
        }
    }
    if (line.replayRate && !line.error && (!line.replayFile || isSoundFile(*line.replayFile)))
        line.error = "--replay-rate needs --replay with a report recording";
}

} // namespace

CommandLine parseCommandLine(const std::vector<std::string>& args) {
    CommandLine line;
    if ((line.renderModesPreview = searched(args, "--render-modes-preview", "/tmp/modes_preview.png"))) return line;
    if ((line.renderCalPreview = searched(args, "--render-cal-preview", "/tmp/cal_preview.png"))) return line;
    if ((line.execModePath = searched(args, "--exec-mode", std::nullopt))) return line;
    if (args.size() >= 2 && args[1] == "defaults") {
        line.defaultsArgs = std::vector<std::string>(args.begin() + 2, args.end());
        return line;
    }
    parseOwnFlags(args, line);
    return line;
}

} // namespace knokle
