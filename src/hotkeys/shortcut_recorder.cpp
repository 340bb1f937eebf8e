#include "hotkeys/shortcut_recorder.h"

#include <utility>

namespace vesk {

ShortcutRecorder::ShortcutRecorder(KeyMonitor& keyMonitor)
    : keyMonitor_(keyMonitor), self_(std::make_shared<ShortcutRecorder*>(this)) {}

ShortcutRecorder::~ShortcutRecorder() {
  *self_ = nullptr;
  if (monitor_) keyMonitor_.remove(*monitor_);
}

void ShortcutRecorder::start(std::function<void(const Shortcut&)> onCapture) {
  stop();
  isRecording.set(true);
  std::weak_ptr<ShortcutRecorder*> weak = self_;
  monitor_ = keyMonitor_.install([weak, onCapture = std::move(onCapture)](const MonitoredKeyPress& press) {
    auto self = weak.lock();
    if (!self || *self == nullptr || !(*self)->isRecording.get()) return false;
    ShortcutRecorder* recorder = *self;
    if (press.record.keyCode == KeyCode::escape) {
      recorder->stop();
      return true;
    }
    auto shortcut = Shortcut::from(press.record);
    if (!shortcut) return true;  // a key alone or with shift only: keep recording
    if (onCapture) onCapture(*shortcut);
    if (*self != nullptr) recorder->stop();  // onCapture may have destroyed the recorder
    return true;
  });
}

void ShortcutRecorder::stop() {
  if (monitor_) {
    keyMonitor_.remove(*monitor_);
    monitor_.reset();
  }
  isRecording.set(false);
}

}  // namespace vesk
