#include "app/PreviewProcess.h"
#include "app/TrayApp.h"
#include "platform/linux/JsonFileDefaults.h"
#include "shell/CommandLine.h"
#include "shell/DefaultsCommand.h"

#include <cstdio>
#include <iostream>

int main(int argc, char** argv) {
    using namespace knokle;
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
    if (line.help) {
        std::fputs(kUsageText, stdout);
        return 0;
    }
    if (line.version) {
        std::puts("knokle 0.1.0");
        return 0;
    }
    return runTrayApplication(line, argc, argv);
}
