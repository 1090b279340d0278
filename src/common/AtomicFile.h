#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace knokle {

// Replaces the file with the bytes in one step: a temporary file in the same folder, flushed and synced,
// renamed over the target, then the folder synced. A reader, or a crash at any instant, sees the old file or
// the new one, never a mix. A symbolic link is written through to its target; the file keeps its permission
// bits (a new one follows the umask); temporary files that an earlier crash left are removed. Returns false (and
// leaves the old file) when any step fails.
enum class SymbolicLinks {
    writeThrough, // the user's own files: a dotfile manager's link stays a link
    replace,      // files we make at a path given to us: a planted link is never followed
};
bool writeFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         SymbolicLinks links = SymbolicLinks::writeThrough);

// Reads the whole file; nothing when it does not exist or cannot be read.
std::optional<std::string> readWholeFile(const std::filesystem::path& path);

// Keeps a file that could not be read or decoded beside itself, under a name that says so and when
// ("modes.json.unreadable-20261206-234501"), so that a later save never overwrites it unseen.
// Returns where it was kept, or nothing when it could not be moved.
std::optional<std::filesystem::path> keepUnreadableFile(const std::filesystem::path& path);

} // namespace knokle
