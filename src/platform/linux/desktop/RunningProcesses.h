#pragma once

#include "platform/Workspace.h"
#include "platform/linux/desktop/DesktopEntries.h"

#include <filesystem>
#include <sys/types.h>
#include <vector>

namespace knokle {

// The user's running applications as a /proc tree shows them, one entry per application instance: its main
// process. Only processes whose real and effective user are `user` are looked at. An instance is known, in
// this order, by the launch variables GIO leaves (file and pid), the systemd unit it runs in, its Flatpak
// sandbox, or its executable's resolved path against the entries' Exec programs. Helpers of an instance (the
// rest of its launch, unit or sandbox, or children running the main process's program) are not listed.
std::vector<RunningApplication> scanRunningApplications(const std::filesystem::path& procRoot, uid_t user,
                                                        DesktopEntryIndex& entries);

} // namespace knokle
