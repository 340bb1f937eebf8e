// Where downloads are saved and how the user hears about them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vesk {

// A download stops once less than this is free in its folder, so it never fills the disk.
inline constexpr std::uint64_t minimumFreeSpace = std::uint64_t{1} << 30;
// How many bytes a download receives between two looks at the free space.
inline constexpr std::uint64_t freeSpaceCheckInterval = std::uint64_t{4} << 20;

// The user's Download folder: the desktop's configured one, else $XDG_DOWNLOAD_DIR, else ~/Downloads.
std::string downloadDirectory();

// A file name for `suggested` that is safe to create in a folder: no path separators or
// control characters, no leading dots, never empty.
std::string safeFileName(std::string_view suggested);

// Creates a new empty file in `directory` named after `suggested`, or "name (1).ext", "name (2).ext"
// ... when that name is taken, so nothing existing is ever overwritten. Returns its path, or an empty
// text when no file could be created (the reason in `error`).
std::string reserveDownloadFile(const std::string& directory, std::string_view suggested, std::string* error);

}  // namespace vesk
