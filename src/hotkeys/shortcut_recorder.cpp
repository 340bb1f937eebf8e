#include "hotkeys/shortcut_recorder.h"

#include <utility>

namespace vesk {

ShortcutRecorder::ShortcutRecorder(KeyMonitor& keyMonitor) : keyMonitor_(keyMonitor) {}

void ShortcutRecorder::start(std::function<void(const Shortcut&)> onCapture) {
  stop();
  isRecording.set(true);
  monitor_.emplace(keyMonitor_,
                   [weak = lifetime_.handle(), onCapture = std::move(onCapture)](const MonitoredKeyPress& press) {
                     ShortcutRecorder* recorder = weak.get();
                     if (!recorder || !recorder->isRecording.get()) return false;
                     if (press.record.keyCode == KeyCode::escape) {
                       recorder->stop();
                       return true;
                     }
                     auto shortcut = Shortcut::from(press.record);
                     if (!shortcut) return true;  // a key alone or with shift only: keep recording
                     if (onCapture) onCapture(*shortcut);
                     if (weak.get()) recorder->stop();  // onCapture may have destroyed the recorder
                     return true;
                   });
}

void ShortcutRecorder::stop() {
  monitor_.reset();
  isRecording.set(false);
}

}  // namespace vesk
