// The rows of the Keys tab: what each row shows and what its buttons do, in plain C++ over the
// model, the panel's shortcut recorder and the action whose row asked for a recording.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "hotkeys/shortcut_recorder.h"
#include "model/app_model.h"
#include "model/published.h"
#include "model/strings.h"

namespace vesk {

// "Open or close the tray panel." or "Switch through your saved websites."
std::string_view shortcutDescription(ShortcutAction action);

class ShortcutRows {
 public:
  ShortcutRows(AppModel& model, ShortcutRecorder& recorder, Published<std::optional<ShortcutAction>>& recordingAction)
      : model_(model), recorder_(recorder), recordingAction_(recordingAction) {}

  // The recorder is running and this row asked for it last.
  bool isRecording(ShortcutAction action) const;
  // "Press keys…" while recording, else the combination as the desktop shows it, else "Set keys".
  std::string caption(ShortcutAction action) const;
  // The one line shown where the session offers no global keys (the commands to bind in the
  // desktop's own keyboard settings); absent where it does.
  std::optional<std::string> sessionNotice() const;
  // Only next and previous, and only while they hold a combination.
  bool hasClearButton(ShortcutAction action) const;

  // A second press cancels this row's recording; otherwise this row starts recording (which
  // ends any other row's recording).
  void pressSetButton(ShortcutAction action);
  void pressClearButton(ShortcutAction action);
  // What the recorder calls with a captured combination for `action`.
  void captured(ShortcutAction action, const Shortcut& shortcut);

 private:
  AppModel& model_;
  ShortcutRecorder& recorder_;
  Published<std::optional<ShortcutAction>>& recordingAction_;
};

}  // namespace vesk
