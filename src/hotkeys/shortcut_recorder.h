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
  ~ShortcutRecorder();  // removes its handler; observers are not notified
  ShortcutRecorder(const ShortcutRecorder&) = delete;
  ShortcutRecorder& operator=(const ShortcutRecorder&) = delete;

  // True while a recording is in progress.
  Published<bool> isRecording{false};

  // Ends any earlier recording (its onCapture is never called), then delivers the first
  // acceptable combination pressed to `onCapture`, once. Escape cancels. Every press seen while
  // recording is swallowed.
  void start(std::function<void(const Shortcut&)> onCapture);
  // Ends recording; safe at any time. Always assigns isRecording = false.
  void stop();

 private:
  KeyMonitor& keyMonitor_;
  std::optional<KeyMonitor::Token> monitor_;
  // Points at this recorder until it is destroyed; the key handler holds it weakly.
  Lifetime<ShortcutRecorder> lifetime_{this};
};

}  // namespace vesk
