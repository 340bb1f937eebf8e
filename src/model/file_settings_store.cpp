#include "model/file_settings_store.h"

#include <glib/gstdio.h>

#include <cerrno>
#include <cmath>
#include <cstring>

namespace vesk {

namespace {
constexpr const char* group = "vesk";

// Writes `contents` to `path` through a temporary file, fsync and rename, mode 0600.
bool replaceFile(const std::filesystem::path& path, std::string_view contents, std::string* error) {
  GError* gerror = nullptr;
  std::error_code ec;
  std::filesystem::create_directories(path.parent_path(), ec);
  gboolean ok = g_file_set_contents_full(
      path.c_str(), contents.data(), static_cast<gssize>(contents.size()),
      static_cast<GFileSetContentsFlags>(G_FILE_SET_CONTENTS_CONSISTENT | G_FILE_SET_CONTENTS_DURABLE), 0600, &gerror);
  if (!ok) {
    if (error) *error = gerror ? gerror->message : "write failed";
    g_clear_error(&gerror);
  }
  return ok;
}

// A stored value as text: the key file's escapes (\s \n \t \r \\) undone; any other backslash is
// kept as it stands, as are bytes that are not UTF-8.
std::string unescaped(std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '\\' || i + 1 == raw.size()) {
      out += raw[i];
      continue;
    }
    switch (raw[i + 1]) {
      case 's':
        out += ' ';
        break;
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case 'r':
        out += '\r';
        break;
      case '\\':
        out += '\\';
        break;
      default:
        out += raw[i];
        continue;
    }
    ++i;
  }
  return out;
}
}  // namespace

std::string utcStamp() {
  GDateTime* now = g_date_time_new_now_utc();
  gchar* text = g_date_time_format(now, "%Y%m%dT%H%M%SZ");
  std::string out(text);
  g_free(text);
  g_date_time_unref(now);
  return out;
}

std::filesystem::path FileSettingsStore::defaultPath() {
  return std::filesystem::path(g_get_user_config_dir()) / "vesk" / "settings.ini";
}

FileSettingsStore::FileSettingsStore(std::filesystem::path path) : path_(std::move(path)), file_(g_key_file_new()) {
  GError* error = nullptr;
  if (!g_key_file_load_from_file(file_, path_.c_str(), G_KEY_FILE_KEEP_COMMENTS, &error)) {
    bool missing = g_error_matches(error, G_FILE_ERROR, G_FILE_ERROR_NOENT);
    g_clear_error(&error);
    g_key_file_free(file_);
    file_ = g_key_file_new();
    if (!missing && std::filesystem::exists(path_)) {
      // Keep what the user had: move the unreadable file aside before anything replaces it.
      auto aside = path_;
      aside += ".unreadable-" + utcStamp();
      for (int n = 2; std::filesystem::exists(aside); ++n) {
        aside = path_;
        aside += ".unreadable-" + utcStamp() + "-" + std::to_string(n);
      }
      if (g_rename(path_.c_str(), aside.c_str()) == 0) setAside_ = aside;
    }
  }
}

FileSettingsStore::~FileSettingsStore() { g_key_file_free(file_); }

std::optional<std::string> FileSettingsStore::string(std::string_view key) const {
  std::string k(key);
  // The key file's own reading refuses values that are not UTF-8 or hold escapes it does not know.
  // Such a value is still there: it comes back as its bytes, for the caller to find unreadable
  // (and keep a copy of) rather than take for absent.
  gchar* raw = g_key_file_get_value(file_, group, k.c_str(), nullptr);
  if (!raw) return std::nullopt;
  std::string out = unescaped(raw);
  g_free(raw);
  return out;
}

std::optional<std::string> FileSettingsStore::data(std::string_view key) const { return string(key); }

double FileSettingsStore::doubleValue(std::string_view key) const {
  auto text = string(key);
  if (!text || text->empty()) return 0;
  gchar* end = nullptr;
  double value = g_ascii_strtod(text->c_str(), &end);
  if (!end || *end != '\0' || std::isnan(value)) return 0;
  return value;
}

void FileSettingsStore::setData(std::string_view key, std::string_view bytes) { setString(key, bytes); }

void FileSettingsStore::setString(std::string_view key, std::string_view text) {
  std::string k(key), v(text);
  g_key_file_set_string(file_, group, k.c_str(), v.c_str());
  write();
}

void FileSettingsStore::setDouble(std::string_view key, double value) {
  std::string k(key);
  gchar buffer[G_ASCII_DTOSTR_BUF_SIZE];
  g_ascii_dtostr(buffer, sizeof buffer, value);
  g_key_file_set_value(file_, group, k.c_str(), buffer);
  write();
}

void FileSettingsStore::remove(std::string_view key) {
  std::string k(key);
  g_key_file_remove_key(file_, group, k.c_str(), nullptr);
  write();
}

void FileSettingsStore::keepUnreadable(std::string_view key, std::string_view bytes) {
  auto backup = path_.parent_path() / (std::string(key) + ".unreadable-" + utcStamp());
  for (int n = 2; std::filesystem::exists(backup); ++n) {
    backup = path_.parent_path() / (std::string(key) + ".unreadable-" + utcStamp() + "-" + std::to_string(n));
  }
  std::string error;
  replaceFile(backup, bytes, &error);
}

// What went wrong, then which file: "No space left on device (/home/u/.config/vesk/settings.ini)".
// GLib's messages name the temporary file first and end with the system's reason.
static std::string writeFailure(const std::string& message, const std::filesystem::path& path) {
  auto at = message.rfind(": ");
  std::string reason = at == std::string::npos ? message : message.substr(at + 2);
  return reason + " (" + path.string() + ")";
}

void FileSettingsStore::write() {
  gsize length = 0;
  gchar* contents = g_key_file_to_data(file_, &length, nullptr);
  std::string error;
  if (replaceFile(path_, std::string_view(contents, length), &error)) {
    lastWriteError_.reset();
  } else {
    lastWriteError_ = writeFailure(error, path_);
  }
  g_free(contents);
}

}  // namespace vesk
