#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace knokle {

// Replaces the file with the bytes in one step: a temporary file in the same folder, flushed and synced,
// renamed over the target, then the folder synced. A reader, or a crash at any instant, sees the old file or
// the new one, never a mix. A symbolic link is written through to its target only when that is a regular file
// of this user's (anything else is refused: see linkIsRefused); the file keeps its permission bits (a new one
// follows the umask); temporary files that an earlier crash left are removed. Returns false (and leaves the old
// file) when any step fails.
enum class SymbolicLinks {
    writeThrough, // the user's own files: a dotfile manager's link stays a link
    replace,      // files we make at a path given to us: a planted link is never followed
};
bool writeFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         SymbolicLinks links = SymbolicLinks::writeThrough);

// True when the path is a symbolic link that does not end at a regular file this user owns (a device, a FIFO,
// a folder, another user's file, nothing at all): writing through it could replace what it points to.
bool linkIsRefused(const std::filesystem::path& path);

constexpr std::size_t kMaxReadBytes = 16u << 20;

enum class ReadProblem { none, absent, notRegularFile, tooLarge, unreadable };

struct FileRead {
    std::optional<std::string> bytes;
    ReadProblem problem = ReadProblem::none;
};

// Reads a regular file of at most maxBytes. Opens without blocking, so a FIFO or a device in its place is
// refused at once instead of hanging or filling memory.
FileRead readRegularFile(const std::filesystem::path& path, std::size_t maxBytes = kMaxReadBytes);

// Reads the whole file, as readRegularFile; nothing when it does not exist or cannot be read.
std::optional<std::string> readWholeFile(const std::filesystem::path& path, std::size_t maxBytes = kMaxReadBytes);

// "is not a regular file", "is larger than 16 MB": why a read was refused, for a diagnostic line.
std::string readProblemText(ReadProblem problem, std::size_t maxBytes = kMaxReadBytes);

// Removes the temporary files that writes of this file left when their process ended before renaming them.
void removeLeftoverTemporaries(const std::filesystem::path& path);

// Keeps a file that could not be read or decoded beside itself, under a name that says so and when
// ("modes.json.unreadable-20261206-234501"), so that a later save never overwrites it unseen.
// Returns where it was kept, or nothing when it could not be moved.
std::optional<std::filesystem::path> keepUnreadableFile(const std::filesystem::path& path);

// The same under another word: keepFileAside(path, "duplicates") gives "modes.json.duplicates-20261206-234501".
std::optional<std::filesystem::path> keepFileAside(const std::filesystem::path& path, const std::string& label);

} // namespace knokle
