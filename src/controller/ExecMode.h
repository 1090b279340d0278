#pragma once

#include "modes/ModeManager.h"
#include "platform/MainLoop.h"
#include "platform/WorkQueue.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace knokle {

// Runs the one mode in a JSON file for real (whatever the armed state, auto-pause or dry run), then ends the
// process 12 s after queuing it. Returns the exit status when it fails at once; nothing when it is running
// and exit will be called from the main loop.
std::optional<int> startExecMode(const std::string& path, std::shared_ptr<const ModeServices> services,
                                 std::filesystem::path storeURL, MainLoop& loop, WorkQueue& background,
                                 std::function<void(int status)> exit);

} // namespace knokle
