#include "model/own_paths.h"

#include <fcntl.h>
#include <glib.h>
#include <unistd.h>

#include <cerrno>

#include "model/strings.h"

namespace vesk {

namespace fs = std::filesystem;

std::string kindOf(const struct stat& info) {
  if (S_ISDIR(info.st_mode)) return std::string(strings::kindFolder());
  if (S_ISFIFO(info.st_mode)) return std::string(strings::kindPipe());
  if (S_ISSOCK(info.st_mode)) return std::string(strings::kindSocket());
  if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) return std::string(strings::kindDevice());
  return std::string(strings::kindFile());
}

std::optional<std::string> notAFolder(const fs::path& folder) {
  if (folder.empty()) return std::nullopt;
  struct stat info {};
  if (stat(folder.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) return std::nullopt;
    return strings::notAFolder(folder.string(), kindOf(info));
  }
  if (errno != ENOTDIR) return std::nullopt;  // missing (made when needed), or not ours to judge
  // Something on the way is not a folder: name the first such part, which is what must change.
  fs::path partial;
  for (const auto& part : folder) {
    partial /= part;
    if (stat(partial.c_str(), &info) == 0 && !S_ISDIR(info.st_mode))
      return strings::notAFolder(partial.string(), kindOf(info));
  }
  return strings::notAFolder(folder.string(), std::string(strings::kindFile()));
}

std::optional<std::string> tightenFolder(const fs::path& folder) {
  // O_DIRECTORY refuses anything but a folder and, unlike a plain open, never waits on a pipe.
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;  // missing, or not a folder: nothing of ours to tighten
  struct stat info {};
  std::optional<std::string> problem;
  if (fstat(fd, &info) == 0 && info.st_uid == geteuid() && (info.st_mode & 07777) != 0700 && fchmod(fd, 0700) != 0) {
    problem = strings::cannotMakePrivate(folder.string(), g_strerror(errno));
  }
  close(fd);
  return problem;
}

}  // namespace vesk
