#include "settings/autostart_login_items.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <cerrno>
#include <memory>
#include <string_view>

#include "model/constants.h"
#include "model/glib_handles.h"
#include "model/strings.h"

namespace vesk {
namespace {

constexpr const char* entryGroup = G_KEY_FILE_DESKTOP_GROUP;

// The path as text that can be shown, whatever its encoding.
std::string displayName(const std::string& path) { return GCharPtr(g_filename_display_name(path.c_str())).get(); }

// The running program's own file, resolved now (it may have moved since start).
std::optional<std::string> runningExecutable(std::string& failure) {
  GError* raw = nullptr;
  GCharPtr target(g_file_read_link("/proc/self/exe", &raw));
  GErrorPtr error(raw);
  if (!target) {
    failure = error ? std::string(error->message) : std::string(strings::ownFileNotFound());
    return std::nullopt;
  }
  std::string path = target.get();
  // A binary replaced by an update while running reads back with this suffix.
  constexpr std::string_view deleted = " (deleted)";
  if (path.size() > deleted.size() && path.ends_with(deleted)) path.resize(path.size() - deleted.size());
  return path;
}

}  // namespace

std::string desktopExecArgument(const std::string& path) {
  constexpr std::string_view reserved = " \t\n\"'\\><~|&;$*?#()`";
  std::string escaped;
  bool needsQuotes = false;
  for (char c : path) {
    if (reserved.find(c) != std::string_view::npos) needsQuotes = true;
    if (c == '"' || c == '`' || c == '$' || c == '\\') escaped += '\\';
    escaped += c;
    if (c == '%') escaped += '%';
  }
  return needsQuotes ? "\"" + escaped + "\"" : escaped;
}

std::string autostartEntry(const std::string& executable) {
  GKeyFilePtr file(g_key_file_new());
  g_key_file_set_string(file.get(), entryGroup, G_KEY_FILE_DESKTOP_KEY_TYPE, G_KEY_FILE_DESKTOP_TYPE_APPLICATION);
  g_key_file_set_string(file.get(), entryGroup, G_KEY_FILE_DESKTOP_KEY_NAME, std::string(strings::appName()).c_str());
  g_key_file_set_string(file.get(), entryGroup, G_KEY_FILE_DESKTOP_KEY_COMMENT,
                        std::string(strings::autostartComment()).c_str());
  // The key file escapes backslashes once more, as the desktop entry format expects.
  g_key_file_set_string(file.get(), entryGroup, G_KEY_FILE_DESKTOP_KEY_EXEC, desktopExecArgument(executable).c_str());
  g_key_file_set_string(file.get(), entryGroup, G_KEY_FILE_DESKTOP_KEY_ICON, std::string(applicationId).c_str());
  g_key_file_set_boolean(file.get(), entryGroup, G_KEY_FILE_DESKTOP_KEY_TERMINAL, FALSE);
  g_key_file_set_boolean(file.get(), entryGroup, G_KEY_FILE_DESKTOP_KEY_NO_DISPLAY, FALSE);
  g_key_file_set_boolean(file.get(), entryGroup, "X-GNOME-Autostart-enabled", TRUE);
  gsize length = 0;
  GCharPtr data(g_key_file_to_data(file.get(), &length, nullptr));
  return std::string(data.get(), length);
}

AutostartLoginItems::AutostartLoginItems() : AutostartLoginItems(g_get_user_config_dir()) {}

AutostartLoginItems::AutostartLoginItems(std::string configDirectory)
    : directory_(std::move(configDirectory) + "/autostart"),
      entryPath_(directory_ + "/" + std::string(applicationId) + ".desktop") {}

LoginItemStatus AutostartLoginItems::status() const {
  GKeyFilePtr file(g_key_file_new());
  if (!g_key_file_load_from_file(file.get(), entryPath_.c_str(), G_KEY_FILE_NONE, nullptr)) {
    return LoginItemStatus::notRegistered;
  }
  if (!g_key_file_has_group(file.get(), entryGroup)) return LoginItemStatus::notRegistered;
  auto isTrue = [&](const char* key) {
    GError* raw = nullptr;
    gboolean value = g_key_file_get_boolean(file.get(), entryGroup, key, &raw);
    if (GErrorPtr(raw)) return std::optional<bool>();
    return std::optional<bool>(value);
  };
  if (isTrue(G_KEY_FILE_DESKTOP_KEY_HIDDEN).value_or(false)) return LoginItemStatus::notRegistered;
  if (!isTrue("X-GNOME-Autostart-enabled").value_or(true)) return LoginItemStatus::notRegistered;
  return LoginItemStatus::enabled;
}

std::optional<std::string> AutostartLoginItems::registerItem() {
  std::string failure;
  auto executable = runningExecutable(failure);
  if (!executable) return failure;
  if (g_mkdir_with_parents(directory_.c_str(), 0700) != 0) {
    const int code = errno;
    return strings::couldNotCreateFolder(displayName(directory_), g_strerror(code));
  }
  std::string contents = autostartEntry(*executable);
  GError* raw = nullptr;
  const bool written =
      g_file_set_contents(entryPath_.c_str(), contents.data(), static_cast<gssize>(contents.size()), &raw);
  GErrorPtr error(raw);
  if (!written) return error ? std::string(error->message) : strings::couldNotWrite(displayName(entryPath_));
  return std::nullopt;
}

std::optional<std::string> AutostartLoginItems::unregisterItem() {
  if (g_remove(entryPath_.c_str()) != 0 && errno != ENOENT) {
    const int code = errno;
    return strings::couldNotRemove(displayName(entryPath_), g_strerror(code));
  }
  return std::nullopt;
}

}  // namespace vesk
