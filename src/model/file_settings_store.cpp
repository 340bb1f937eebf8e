#include "model/file_settings_store.h"

#include <fcntl.h>
#include <glib/gstdio.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <system_error>
#include <utility>

#include "model/own_paths.h"
#include "model/strings.h"

namespace vesk {

namespace {
namespace fs = std::filesystem;
constexpr const char* group = "vesk";

// Creates `folder` and any missing parent, private to the user (0700); folders that exist keep
// their mode.
bool makeFolder(const fs::path& folder, std::string* error) {
  if (folder.empty() || g_mkdir_with_parents(folder.c_str(), 0700) == 0) return true;
  const int code = errno;
  *error = strings::createFolderFailed(folder.string(), g_strerror(code));
  return false;
}

// The file that stands at `path`: `path` itself, or, when it is a symbolic link, the file at the end
// of its links (which need not exist yet). Writing there keeps the link in place, as editors do.
// Empty, with `error` set, when the links lead nowhere (a loop, or a link that cannot be read).
fs::path linkTarget(const fs::path& path, std::string* error) {
  fs::path current = path;
  for (int hops = 0; hops < 40; ++hops) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(current, ec))) return current;
    fs::path next = fs::read_symlink(current, ec);
    if (ec) {
      *error = strings::followLinkFailed(current.string(), ec.message());
      return {};
    }
    current = next.is_absolute() ? next : current.parent_path() / next;
  }
  *error = strings::followLinkFailed(path.string(), g_strerror(ELOOP));
  return {};
}

// "<folder>/<base>.<tag>-<UTC time>", numbered when that name is taken.
fs::path unusedName(const fs::path& folder, const std::string& base, const std::string& tag) {
  const std::string stamp = utcStamp();
  auto taken = [](const fs::path& p) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(p, ec));
  };
  const std::string stem = base + "." + tag + "-" + stamp;
  fs::path candidate = folder / stem;
  for (int n = 2; taken(candidate); ++n) candidate = folder / (stem + "-" + std::to_string(n));
  return candidate;
}

// Writes `contents` to `path` through a temporary file, fsync and rename, mode 0600.
bool replaceFile(const fs::path& path, std::string_view contents, std::string* error) {
  GError* raw = nullptr;
  gboolean ok = g_file_set_contents_full(
      path.c_str(), contents.data(), static_cast<gssize>(contents.size()),
      static_cast<GFileSetContentsFlags>(G_FILE_SET_CONTENTS_CONSISTENT | G_FILE_SET_CONTENTS_DURABLE), 0600, &raw);
  GErrorPtr gerror(raw);
  if (!ok && error) *error = gerror ? std::string(gerror->message) : std::string(strings::writeFailed());
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
// What went wrong, then which file: "No space left on device (/home/u/.config/vesk/settings.ini)".
// GLib's messages name the temporary file first and end with the system's reason.
std::string writeFailure(const std::string& message, const std::filesystem::path& path) {
  auto at = message.rfind(": ");
  std::string reason = at == std::string::npos ? message : message.substr(at + 2);
  return strings::writeFailedAt(reason, path.string());
}

}  // namespace

std::string utcStamp() {
  GDateTimePtr now(g_date_time_new_now_utc());
  GCharPtr text(g_date_time_format(now.get(), "%Y%m%dT%H%M%SZ"));
  return text.get();
}

std::filesystem::path FileSettingsStore::defaultPath() {
  return std::filesystem::path(g_get_user_config_dir()) / "vesk" / "settings.ini";
}

std::optional<FileSettingsStore::Identity> FileSettingsStore::identityOf(const struct stat& info) {
  return Identity{info.st_dev, info.st_ino, info.st_size, static_cast<std::int64_t>(info.st_mtim.tv_sec),
                  static_cast<std::int64_t>(info.st_mtim.tv_nsec)};
}

bool FileSettingsStore::readAtOpening(std::string* why, bool* missing) {
  // Never waits on what stands at the path: opening a named pipe without O_NONBLOCK waits for a
  // writer that may never come, and the whole of Vesk with it.
  const int fd = g_open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0);
  struct stat info {};
  const bool opened = fd >= 0;
  if (!opened) {
    const int code = errno;
    // Nothing stands at the path when it is missing or one of its folders is not a folder; the
    // writes then say why they fail, and succeed once the way is clear.
    *missing = code == ENOENT || code == ENOTDIR;
    *why = g_strerror(code);
    if (*missing || stat(path_.c_str(), &info) != 0 || S_ISREG(info.st_mode)) return false;
  } else if (fstat(fd, &info) != 0) {
    *why = g_strerror(errno);
    close(fd);
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    // A pipe, a socket, a device or a folder is not the settings, and nothing is read from it.
    // Standing at the path itself it is moved aside like an unreadable file; reached through a
    // link it is left alone and nothing is written over it (a link to /dev/null stays one, and
    // what it points to is never moved).
    if (opened) close(fd);
    struct stat link {};
    if (lstat(path_.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
      keptInPlace_ = strings::notARegularFile(path_.string(), kindOf(info));
      *missing = true;
    } else {
      *why = strings::itIsNotARegularFile(kindOf(info));
    }
    return false;
  }
  // The user's settings are the user's alone, whatever made the file.
  if (info.st_uid == geteuid() && (info.st_mode & 07777) != 0600) fchmod(fd, 0600);
  std::string contents;
  char buffer[65536];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) {
      contents.append(buffer, static_cast<std::size_t>(n));
    } else if (n == 0) {
      break;
    } else if (errno != EINTR) {
      *why = g_strerror(errno);
      close(fd);
      return false;
    }
  }
  close(fd);
  known_ = identityOf(info);
  GError* raw = nullptr;
  if (g_key_file_load_from_data(file_.get(), contents.data(), contents.size(), G_KEY_FILE_KEEP_COMMENTS, &raw))
    return true;
  GErrorPtr error(raw);
  // A parse error quotes the offending line, which may be anything: say it plainly instead.
  *why = strings::notSettingsFormat();
  return false;
}

FileSettingsStore::FileSettingsStore(std::filesystem::path path)
    : path_(std::move(path)), file_(g_key_file_new()), mainContext_(g_main_context_ref_thread_default()) {
  // Vesk's own folder is private, also when an older release or another program made it readable
  // by others. Where that cannot be changed (a read-only file system) the settings still load.
  tightenFolder(path_.parent_path());
  std::string why;
  bool missing = false;
  if (readAtOpening(&why, &missing)) return;
  file_.reset(g_key_file_new());
  known_.reset();
  if (missing) return;  // nothing there yet (or a link to nothing): the first write creates it

  // Keep what the user had: move it aside before anything replaces it. That is the file a link
  // points to, so that the link keeps working, or the link itself when it leads nowhere.
  std::string linkError;
  fs::path unreadable = linkTarget(path_, &linkError);
  if (unreadable.empty()) unreadable = path_;
  const fs::path aside = unusedName(unreadable.parent_path(), unreadable.filename().string(), "unreadable");
  if (g_rename(unreadable.c_str(), aside.c_str()) == 0) {
    setAside_ = aside;
    openProblem_ = strings::settingsKeptAside(path_.string(), why, aside.string());
    return;
  }
  const int code = errno;
  if (code == ENOENT || code == ENOTDIR) return;  // it went away meanwhile: nothing to keep
  keptInPlace_ = strings::settingsNotWrittenOver(unreadable.string(), g_strerror(code));
  openProblem_ = strings::settingsLeftInPlace(path_.string(), why, g_strerror(code));
}

FileSettingsStore::~FileSettingsStore() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  // The writer finishes the writes still asked for before it ends: the file is complete on exit.
  if (writer_.joinable()) writer_.join();
}

std::optional<std::string> FileSettingsStore::string(std::string_view key) const {
  std::string k(key);
  // The key file's own reading refuses values that are not UTF-8 or hold escapes it does not know.
  // Such a value is still there: it comes back as its bytes, for the caller to find unreadable
  // (and keep a copy of) rather than take for absent.
  GCharPtr raw(g_key_file_get_value(file_.get(), group, k.c_str(), nullptr));
  if (!raw) return std::nullopt;
  return unescaped(raw.get());
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
  {
    std::lock_guard<std::mutex> lock(mutex_);
    g_key_file_set_string(file_.get(), group, k.c_str(), v.c_str());
  }
  write();
}

void FileSettingsStore::setDouble(std::string_view key, double value) {
  std::string k(key);
  // The shortest C-locale text that reads back as exactly this value (0.9, not 0.90000000000000002).
  char buffer[64];
  auto end = std::to_chars(buffer, buffer + sizeof buffer - 1, value).ptr;
  *end = '\0';
  {
    std::lock_guard<std::mutex> lock(mutex_);
    g_key_file_set_value(file_.get(), group, k.c_str(), buffer);
  }
  write();
}

void FileSettingsStore::remove(std::string_view key) {
  std::string k(key);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    g_key_file_remove_key(file_.get(), group, k.c_str(), nullptr);
  }
  write();
}

std::optional<std::string> FileSettingsStore::keepUnreadable(std::string_view key, std::string_view bytes) {
  std::string error;
  if (!makeFolder(path_.parent_path(), &error)) return std::nullopt;
  const fs::path aside = unusedName(path_.parent_path(), std::string(key), "unreadable");
  if (!replaceFile(aside, bytes, &error)) return std::nullopt;
  return aside.string();
}

std::optional<std::string> FileSettingsStore::takeNotice() { return std::exchange(notice_, std::nullopt); }

void FileSettingsStore::write() {
  if (keptInPlace_) {
    lastWriteError_ = *keptInPlace_;
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++requested_;
    if (!writer_.joinable()) {
      try {
        writer_ = std::thread(&FileSettingsStore::writerLoop, this);
      } catch (const std::system_error&) {
        // No thread to be had: write here and now rather than not at all.
        gsize length = 0;
        GCharPtr contents(g_key_file_to_data(file_.get(), &length, nullptr));
        std::optional<std::string> notice;
        lastWriteError_ = writeNow(std::string(contents.get(), length), &notice);
        if (notice) notice_ = std::move(notice);
        finishedCount_ = requested_;
        return;
      }
    }
  }
  wake_.notify_one();
}

void FileSettingsStore::writerLoop() {
  pthread_setname_np(pthread_self(), "settings-write");
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    // Sleeps until asked; never wakes on its own.
    wake_.wait(lock, [this] { return stopping_ || finishedCount_ < requested_; });
    if (finishedCount_ == requested_) return;  // stopping, and every change is written
    // Every change asked for so far is in this copy: changes made while a write is under way
    // are taken together by the next one, so the file goes through the states in their order and
    // ends at the latest.
    const std::uint64_t taken = requested_;
    gsize length = 0;
    GCharPtr contents(g_key_file_to_data(file_.get(), &length, nullptr));
    lock.unlock();
    std::optional<std::string> notice;
    std::optional<std::string> outcome = writeNow(std::string(contents.get(), length), &notice);
    contents.reset();
    lock.lock();
    finishedCount_ = taken;
    writerOutcome_ = std::move(outcome);
    if (notice) writerNotice_ = std::move(notice);
    if (!outcomeSource_) {
      outcomeSource_.reset(g_idle_source_new());
      g_source_set_callback(outcomeSource_.get(), &FileSettingsStore::onOutcome, this, nullptr);
      g_source_attach(outcomeSource_.get(), mainContext_.get());
    }
    finished_.notify_all();
  }
}

std::optional<std::string> FileSettingsStore::writeNow(const std::string& contents,
                                                       std::optional<std::string>* notice) {
  // A file where the folder should be: say which, rather than the system's "Not a directory".
  if (auto problem = notAFolder(path_.parent_path())) return problem;
  std::string error;
  fs::path target;
  // Through a link, the file it points to is replaced and the link stays.
  if (!makeFolder(path_.parent_path(), &error) || (target = linkTarget(path_, &error)).empty())
    return writeFailure(error, path_);

  // Another program changed the file since it was read or written here: keep its version beside
  // it (a second name for the same file, so the path never goes missing) before it is replaced.
  struct stat info {};
  if (stat(target.c_str(), &info) == 0 && identityOf(info) != known_) {
    if (!S_ISREG(info.st_mode)) return strings::notARegularFile(path_.string(), kindOf(info));
    const fs::path aside = unusedName(target.parent_path(), target.filename().string(), "changed");
    bool kept = link(target.c_str(), aside.c_str()) == 0;
    if (!kept) {
      // A file system without hard links: a copy does as well.
      error = g_strerror(errno);
      gchar* raw = nullptr;
      gsize length = 0;
      GError* readError = nullptr;
      if (g_file_get_contents(target.c_str(), &raw, &length, &readError)) {
        GCharPtr copy(raw);
        kept = replaceFile(aside, std::string_view(copy.get(), length), &error);
      } else {
        GErrorPtr owned(readError);
        error = owned->message;
      }
    }
    // What cannot be kept is not written over.
    if (!kept) return writeFailure(error, path_);
    *notice = strings::settingsChangedElsewhere(path_.string(), aside.string());
  }
  if (!replaceFile(target, contents, &error)) return writeFailure(error, path_);
  if (stat(target.c_str(), &info) == 0) known_ = identityOf(info);
  return std::nullopt;
}

gboolean FileSettingsStore::onOutcome(gpointer self) {
  static_cast<FileSettingsStore*>(self)->deliverOutcome();
  return G_SOURCE_REMOVE;
}

void FileSettingsStore::deliverOutcome() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!outcomeSource_) return;  // nothing finished since the last delivery
    outcomeSource_.reset();
    lastWriteError_ = writerOutcome_;
    if (writerNotice_) notice_ = std::exchange(writerNotice_, std::nullopt);
  }
  if (outcomeHandler_) outcomeHandler_();
}

void FileSettingsStore::flush() {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    finished_.wait(lock, [this] { return finishedCount_ == requested_; });
  }
  deliverOutcome();
}

}  // namespace vesk
