// Vesk's own folders and files on disk: what stands at their place (without ever blocking on it)
// and keeping them private to the user.
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <string>

namespace vesk {

// Why `folder` cannot be used as a folder: it, or a folder on the way to it, is something else (a
// file, a named pipe, a device). Absent when it is a folder or does not exist yet. Only looks
// (stat), so it never blocks on what it finds.
std::optional<std::string> notAFolder(const std::filesystem::path& folder);

// Gives `folder` mode 0700 when it is a folder of the user's own (through links, as the folder
// itself is what is used); anything else is left alone. A folder an older release, or another
// program, made readable by others becomes private again. Absent on success or when there is
// nothing to tighten; else the problem in one sentence.
std::optional<std::string> tightenFolder(const std::filesystem::path& folder);

// What kind of thing `info` describes, as a short phrase for messages: "a named pipe", "a
// device", "a socket", "a folder", "a file".
std::string kindOf(const struct stat& info);

}  // namespace vesk
