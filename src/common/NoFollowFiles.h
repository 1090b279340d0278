#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace knokle {

// Files below a root folder that others may have planted links in (a sandboxed program's own folders): each
// part of the path below the root is opened without following a link, so nothing written, read or removed
// here lands outside the root. The root itself is taken as given. A path that is not below its root, or that
// passes through a link, is refused (false or nothing, with errno set).

// The folders below the root, from the outermost, that `folder` would need made.
std::vector<std::filesystem::path> missingFoldersBelow(const std::filesystem::path& root,
                                                       const std::filesystem::path& folder);

// Writes the file in one step (a temporary beside it, renamed over its name: a link at the name is replaced,
// never followed), making missing folders (owner-only: they hold only our files) on the way.
bool writeFileBelow(const std::filesystem::path& root, const std::filesystem::path& file, std::string_view bytes,
                    mode_t mode);

std::optional<std::string> readFileBelow(const std::filesystem::path& root, const std::filesystem::path& file,
                                         std::size_t maxBytes);

// Removes the file (a link at its name is removed itself), or an empty folder.
bool removeBelow(const std::filesystem::path& root, const std::filesystem::path& path, bool folder);

// FNV-1a of the bytes as 16 hex digits: recognises a file we wrote, not a defence against forgery.
std::string contentHash(std::string_view bytes);

} // namespace knokle
