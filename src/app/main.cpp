#include "app/PreviewProcess.h"
#include "app/TrayApp.h"
#include "common/DiagnosticOutput.h"
#include "platform/linux/browsers/BrowserExtensionHost.h"
#include "platform/linux/browsers/BrowserSupportInstaller.h"
#include "platform/linux/runtime/JsonFileDefaults.h"
#include "sensing/ReplaySource.h"
#include "sensing/WavFile.h"
#include "controller/CommandLine.h"
#include "controller/DefaultsCommand.h"

#include <csignal>
#include <cstdio>
#include <iostream>

int main(int argc, char** argv) {
    using namespace knokle;
    // Past a file size limit a write must fail and be reported, not end the program.
    std::signal(SIGXFSZ, SIG_IGN);
    // Started by a browser: standard input and output are the extension's port, nothing else may use them.
    if (isBrowserHostInvocation(std::vector<std::string>(argv, argv + argc)))
        return runBrowserExtensionHost(std::vector<std::string>(argv, argv + argc));
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    CommandLine line = parseCommandLine(std::vector<std::string>(argv, argv + argc));
    if (line.renderModesPreview || line.renderCalPreview) return runPreviewProcess(line, argc, argv);
    if (line.execModePath) return runExecModeProcess(*line.execModePath, argc, argv);
    if (line.defaultsArgs) {
        JsonFileDefaults defaults;
        return runDefaultsCommand(*line.defaultsArgs, defaults, std::cout, std::cerr);
    }
    if (line.error) {
        std::fprintf(stderr, "knokle: %s (knokle --help lists what it takes)\n", line.error->c_str());
        return 2;
    }
    if (line.installBrowserSupport) return installBrowserSupport(BrowserSupportPlaces::fromEnvironment(), std::cout);
    if (line.uninstallBrowserSupport)
        return uninstallBrowserSupport(BrowserSupportPlaces::fromEnvironment(), std::cout);
    if (line.help) {
        std::fputs(kUsageText, stdout);
        return 0;
    }
    if (line.version) {
        std::puts("knokle " KNOKLE_VERSION);
        return 0;
    }
    if (line.replayFile) {
        // Said before anything starts: without this the sensor would count as missing and wait on an alert.
        if (auto why = ReplaySource::unreadableReason(*line.replayFile)) {
            printLine("[replay] " + *why);
            return 1;
        }
        if (WavFile::looksLikeWav(*line.replayFile)) {
            if (auto why = WavFile().open(*line.replayFile)) {
                printLine("[replay] " + *why);
                return 1;
            }
        }
    }
    return runTrayApplication(line, argc, argv);
}
