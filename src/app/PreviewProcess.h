#pragma once

#include "controller/CommandLine.h"

namespace knokle {

// Renders the preview the command line asks for, off screen, and returns the process's exit status: 0 once
// the picture is written, 1 when it could not be.
int runPreviewProcess(const CommandLine& line, int argc, char** argv);

} // namespace knokle
