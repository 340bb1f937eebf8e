// The settings file: one [vesk] group in $XDG_CONFIG_HOME/vesk/settings.ini, replaced
// atomically and durably on every write.
#pragma once

#include <glib.h>

#include <filesystem>
#include <memory>
#include <string>

#include "model/glib_handles.h"
#include "model/settings_store.h"

namespace vesk {

class FileSettingsStore final : public SettingsStore {
 public:
  // Opens (or prepares) the file at `path`. A file that cannot be opened or parsed is renamed
  // aside to "<name>.unreadable-<UTC time>" so that no later write destroys it, and the defaults
  // are used. When `path` is a symbolic link, reads and writes go to the file it points to and the
  // link stays in place. Never throws for anything found on disk.
  explicit FileSettingsStore(std::filesystem::path path);
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
  void keepUnreadable(std::string_view key, std::string_view bytes) override;

  const std::filesystem::path& path() const { return path_; }
  // Where an unparseable file was moved at opening, if it was.
  const std::optional<std::filesystem::path>& setAsidePath() const { return setAside_; }
  // Why the file could not be read at opening, and what became of it, in one sentence.
  const std::optional<std::string>& openProblem() const { return openProblem_; }
  // The message of the last failed write, if the last write failed.
  const std::optional<std::string>& lastWriteError() const override { return lastWriteError_; }

 private:
  void write();

  std::filesystem::path path_;
  GKeyFilePtr file_;
  std::optional<std::filesystem::path> setAside_;
  std::optional<std::string> openProblem_;
  // An unreadable file that could not be moved aside: writes would destroy it, so none happen.
  std::optional<std::string> keptInPlace_;
  std::optional<std::string> lastWriteError_;
};

// "20261207T080102Z": a UTC time stamp usable in file names.
std::string utcStamp();

}  // namespace vesk
