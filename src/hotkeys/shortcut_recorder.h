// Captures one key combination from the keyboard while the application has focus.
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "hotkeys/key_monitor.h"
#include "model/lifetime.h"
#include "model/published.h"
#include "model/shortcut.h"

namespace vesk {

class ShortcutRecorder {
 public:
  explicit ShortcutRecorder(KeyMonitor& keyMonitor);
  ShortcutRecorder(const ShortcutRecorder&) = delete;
  ShortcutRecorder& operator=(const ShortcutRecorder&) = delete;

  // True while a recording is in progress.
  Published<bool, ShortcutRecorder> isRecording{false};

  // Ends any earlier recording (its onCapture is never called), then delivers the first
  // acceptable combination pressed to `onCapture`, once. Escape cancels. Every press seen while
  // recording is swallowed.
  void start(std::function<void(const Shortcut&)> onCapture);
  // Ends recording; safe at any time. Always assigns isRecording = false.
  void stop();

 private:
  KeyMonitor& keyMonitor_;
  // Removed when the recorder goes (observers are not notified then); the handler holds the
  // lifetime weakly, which ends first.
  std::optional<InstalledKeyHandler> monitor_;
  Lifetime<ShortcutRecorder> lifetime_{this};
};

}  // namespace vesk
