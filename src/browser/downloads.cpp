#include "browser/downloads.h"

#include <fcntl.h>
#include <gio/gio.h>
#include <glib.h>
#include <glib/gstdio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "model/glib_handles.h"
#include "model/strings.h"

namespace vesk {

namespace {

constexpr std::size_t maxNameBytes = 200;

std::string withoutTrailingBlanks(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '.')) text.pop_back();
  return text;
}

}  // namespace

std::string downloadDirectory() {
  if (const char* configured = g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD); configured && *configured) {
    return configured;
  }
  if (const char* fromEnvironment = g_getenv("XDG_DOWNLOAD_DIR");
      fromEnvironment && g_path_is_absolute(fromEnvironment)) {
    return fromEnvironment;
  }
  return GCharPtr(g_build_filename(g_get_home_dir(), "Downloads", nullptr)).get();
}

std::string safeFileName(std::string_view suggested) {
  if (auto slash = suggested.find_last_of("/\\"); slash != std::string_view::npos) {
    suggested = suggested.substr(slash + 1);
  }
  std::string name;
  for (char c : suggested) {
    auto byte = static_cast<unsigned char>(c);
    name.push_back(byte < 0x20 || byte == 0x7f ? '_' : c);
  }
  auto start = name.find_first_not_of(". ");
  name = start == std::string::npos ? std::string() : name.substr(start);
  if (name.size() > maxNameBytes) {
    std::size_t cut = maxNameBytes;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    name.resize(cut);
  }
  name = withoutTrailingBlanks(std::move(name));
  return name.empty() ? std::string("download") : name;
}

std::string reserveDownloadFile(const std::string& directory, std::string_view suggested, std::string* error) {
  std::string name = safeFileName(suggested);
  auto dot = name.rfind('.');
  std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
  std::string extension = dot == std::string::npos || dot == 0 ? std::string() : name.substr(dot);
  if (g_mkdir_with_parents(directory.c_str(), 0755) != 0) {
    if (error) *error = g_strerror(errno);
    return {};
  }
  for (int attempt = 0; attempt < 10000; ++attempt) {
    std::string candidate = attempt == 0 ? name : stem + " (" + std::to_string(attempt) + ")" + extension;
    std::string result = GCharPtr(g_build_filename(directory.c_str(), candidate.c_str(), nullptr)).get();
    // O_EXCL makes the check and the creation one step, so two downloads never share a name.
    int fd = g_open(result.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0) {
      close(fd);
      return result;
    }
    if (errno != EEXIST) {
      if (error) *error = g_strerror(errno);
      return {};
    }
  }
  if (error) *error = strings::tooManySameNames();
  return {};
}

}  // namespace vesk
