// The per-user settings store: typed values by key, kept across restarts.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vesk {

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;

  // A byte string; absent only when the key is absent. A value that is present comes back as it
  // is stored, also when it is not valid UTF-8 or not what the caller expects: deciding that it
  // is unreadable is the caller's part.
  virtual std::optional<std::string> data(std::string_view key) const = 0;
  // A text; absent only when the key is absent (as for `data`).
  virtual std::optional<std::string> string(std::string_view key) const = 0;
  // A double; 0 when the key is absent or its value is not a number.
  virtual double doubleValue(std::string_view key) const = 0;

  virtual void setData(std::string_view key, std::string_view bytes) = 0;
  virtual void setString(std::string_view key, std::string_view text) = 0;
  virtual void setDouble(std::string_view key, double value) = 0;
  virtual void remove(std::string_view key) = 0;

  // Keeps a copy of a value that could not be read (or was refused), before it is replaced.
  // Where the copy is, for telling the user; absent when it could not be kept.
  virtual std::optional<std::string> keepUnreadable(std::string_view key, std::string_view bytes) = 0;

  // Something the user should hear of once about the store's file (another program changed it,
  // and its version was kept aside), taken by the caller; absent when there is nothing new. A
  // store that writes in the background has it after a write's outcome handler call.
  virtual std::optional<std::string> takeNotice() { return std::nullopt; }

  // Why the last write failed; absent when it succeeded. A failed write keeps the new value in
  // memory, so the next write that succeeds stores it too. A store that writes in the background
  // updates it on the main loop when a write finishes, then calls the outcome handler.
  virtual const std::optional<std::string>& lastWriteError() const = 0;

  // Called on the main loop after a background write changed what lastWriteError() may say; empty
  // to stop. Stores that write at once never call it.
  virtual void setWriteOutcomeHandler(std::function<void()> /*handler*/) {}
  // Returns once every change made so far is on disk (or failed), with lastWriteError() up to
  // date and the outcome handler called. The way out of the program calls it.
  virtual void flush() {}
};

}  // namespace vesk
