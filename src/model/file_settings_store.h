// The settings file: one [vesk] group in $XDG_CONFIG_HOME/vesk/settings.ini, replaced
// atomically and durably after every change, by a writer thread so that the caller never waits
// for the disk.
#pragma once

#include <glib.h>
#include <sys/stat.h>

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "model/glib_handles.h"
#include "model/settings_store.h"

namespace vesk {

class FileSettingsStore final : public SettingsStore {
 public:
  // Opens (or prepares) the file at `path`. A file that cannot be opened or parsed is renamed
  // aside to "<name>.unreadable-<UTC time>" so that no later write destroys it, and the defaults
  // are used. Something that is not a regular file (a named pipe, a device, a folder) is never
  // read from, moved or written over: the defaults are used and every write says why it cannot
  // happen. The folder and the file are made private to the user (0700, 0600). When `path` is a symbolic link, reads
  // and writes go to the file it points to and the link stays in place. Never throws for anything found on disk.
  // Changes are read back at once; the file follows on the writer thread. Must be made on the
  // thread whose main loop is to hear of write outcomes (the thread-default main context).
  explicit FileSettingsStore(std::filesystem::path path);
  // Waits until the last change is on disk.
  ~FileSettingsStore() override;
  // One store per file: a copy would write the same file from two places.
  FileSettingsStore(const FileSettingsStore&) = delete;
  FileSettingsStore& operator=(const FileSettingsStore&) = delete;

  // $XDG_CONFIG_HOME/vesk/settings.ini
  static std::filesystem::path defaultPath();

  std::optional<std::string> data(std::string_view key) const override;
  std::optional<std::string> string(std::string_view key) const override;
  double doubleValue(std::string_view key) const override;
  void setData(std::string_view key, std::string_view bytes) override;
  void setString(std::string_view key, std::string_view text) override;
  void setDouble(std::string_view key, double value) override;
  void remove(std::string_view key) override;
  std::optional<std::string> keepUnreadable(std::string_view key, std::string_view bytes) override;
  std::optional<std::string> takeNotice() override;

  const std::filesystem::path& path() const { return path_; }
  // Where an unparseable file was moved at opening, if it was.
  const std::optional<std::filesystem::path>& setAsidePath() const { return setAside_; }
  // Why the file could not be read at opening, and what became of it, in one sentence.
  const std::optional<std::string>& openProblem() const { return openProblem_; }
  // The message of the last failed write, if the last write failed.
  const std::optional<std::string>& lastWriteError() const override { return lastWriteError_; }
  void setWriteOutcomeHandler(std::function<void()> handler) override { outcomeHandler_ = std::move(handler); }
  void flush() override;

 private:
  // Asks the writer thread for a new copy of the file; the latest state wins.
  void write();
  void writerLoop();
  // The file as it stands now, through a temporary file, fsync and rename; the error, if any.
  // A file another program changed since it was last read or written here is kept aside first,
  // and `notice` says so. Runs on one thread at a time (the writer's), without the lock.
  std::optional<std::string> writeNow(const std::string& contents, std::optional<std::string>* notice);
  // Reads the file at opening without ever waiting on what stands there; false with `why` set
  // when it is missing (`missing`) or cannot be read.
  bool readAtOpening(std::string* why, bool* missing);
  // Takes over the writer's last outcome into lastWriteError_ and tells the handler (main thread).
  void deliverOutcome();
  static gboolean onOutcome(gpointer self);

  std::filesystem::path path_;
  GKeyFilePtr file_;
  std::optional<std::filesystem::path> setAside_;
  std::optional<std::string> openProblem_;
  // An unreadable file that could not be moved aside: writes would destroy it, so none happen.
  std::optional<std::string> keptInPlace_;
  std::optional<std::string> lastWriteError_;
  std::function<void()> outcomeHandler_;
  // What the user should hear of once (the file was changed by another program), on the main
  // thread until taken.
  std::optional<std::string> notice_;

  // The file as last read or written here: another writer shows as a change of any of these.
  // Written at opening, then only by the writing thread.
  struct Identity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t seconds = 0, nanoseconds = 0;
    bool operator==(const Identity&) const = default;
  };
  static std::optional<Identity> identityOf(const struct stat& info);
  std::optional<Identity> known_;

  // Shared with the writer thread, under mutex_: the key file itself (changed by the main thread,
  // serialised by the writer), how many writes were asked for and how many are finished, and the
  // outcome of the last finished one.
  std::mutex mutex_;
  std::condition_variable wake_;      // the writer: a change, or stop
  std::condition_variable finished_;  // flush(): a write finished
  std::uint64_t requested_ = 0;
  std::uint64_t finishedCount_ = 0;
  bool stopping_ = false;
  std::optional<std::string> writerOutcome_;
  std::optional<std::string> writerNotice_;
  GMainContextPtr mainContext_;
  GSourcePtr outcomeSource_;  // pending delivery to the main loop, on mainContext_
  std::thread writer_;        // started by the first change
};

// "20261207T080102Z": a UTC time stamp usable in file names.
std::string utcStamp();

}  // namespace vesk
