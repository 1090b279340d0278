#include "platform/linux/BrowserExtensionHost.h"
#include "platform/linux/BrowserSupportInstaller.h"
#include "platform/linux/JsonFileDefaults.h"
#include "shell/CommandLine.h"
#include "shell/DefaultsCommand.h"
#include "shell/TrayApp.h"

#include <cstdio>
#include <iostream>

int main(int argc, char** argv) {
    using namespace knokle;
    // Started by a browser: standard input and output are the extension's port, nothing else may use them.
    if (isBrowserHostInvocation(std::vector<std::string>(argv, argv + argc)))
        return runBrowserExtensionHost(std::vector<std::string>(argv, argv + argc));
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    CommandLine line = parseCommandLine(std::vector<std::string>(argv, argv + argc));
    if (line.installBrowserSupport) return installBrowserSupport(BrowserSupportPlaces::fromEnvironment(), std::cout);
    if (line.uninstallBrowserSupport)
        return uninstallBrowserSupport(BrowserSupportPlaces::fromEnvironment(), std::cout);
    if (line.defaultsArgs) {
        JsonFileDefaults defaults;
        return runDefaultsCommand(*line.defaultsArgs, defaults, std::cout, std::cerr);
    }
    if (line.help) {
        std::fputs(kUsageText, stdout);
        return 0;
    }
    if (line.version) {
        std::puts("knokle 0.1.0");
        return 0;
    }
    if (line.error) {
        std::fprintf(stderr, "knokle: %s\n%s", line.error->c_str(), kUsageText);
        return 2;
    }
    if (line.execModePath) return runExecModeProcess(*line.execModePath, argc, argv);
    return runTrayApplication(line, argc, argv);
}
