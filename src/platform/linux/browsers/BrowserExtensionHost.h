#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace knokle {

// Whether the program was started by a browser as the extension's native-messaging host: Chromium-family
// browsers pass the extension's origin, Firefox the host manifest's path and the extension's ID.
bool isBrowserHostInvocation(const std::vector<std::string>& args);

// The browser of the table that started this host, from its invocation and its ancestor processes.
std::string hostBrowserName(const std::vector<std::string>& args);

// Serves as the host until the browser closes the extension's port (standard input ends): clients that
// connect to the host's socket ask for tabs to be closed; the extension lists and closes them. Returns the
// process's exit status. runtimeDir: nothing means $XDG_RUNTIME_DIR.
int runBrowserExtensionHost(const std::vector<std::string>& args,
                            std::optional<std::filesystem::path> runtimeDir = std::nullopt);

} // namespace knokle
