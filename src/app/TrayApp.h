#pragma once

#include "controller/CommandLine.h"

namespace knokle {

// The two long-running ways to run; each returns the process's exit status.
int runExecModeProcess(const std::string& path, int argc, char** argv);
int runTrayApplication(const CommandLine& line, int argc, char** argv);

} // namespace knokle
