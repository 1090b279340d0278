#pragma once

#include "platform/ShortcutRunner.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace knokle {

// Runs the executable of that name from the user's shortcuts folder, without a shell and without waiting.
class ExecutableShortcutRunner final : public ShortcutRunner {
public:
    // folder: nothing means $KNOKLE_CONFIG_DIR/shortcuts, else $XDG_CONFIG_HOME/knokle/shortcuts (or
    // ~/.config/knokle/shortcuts), read at each run.
    explicit ExecutableShortcutRunner(std::optional<std::filesystem::path> folder = std::nullopt);

    std::optional<std::string> run(const std::string& name) override;

    static std::filesystem::path defaultFolder();
    // The names of the executable files in a folder, as a mode's Focus can name them; none when it is missing.
    static std::vector<std::string> available(const std::filesystem::path& folder);

private:
    std::optional<std::filesystem::path> folder;
};

} // namespace knokle
