// The rows of the Keys tab: what each row shows and what its buttons do, in plain C++ over the
// panel's state (the model, its shortcut recorder and the row that asked for a recording).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "model/strings.h"
#include "panel/vesk_view_state.h"

namespace vesk {

// "Open or close the tray panel." or "Switch through your saved websites."
std::string_view shortcutDescription(ShortcutAction action);

class ShortcutRows {
 public:
  // `sway`: the session runs under sway, whose config takes bindsym lines.
  explicit ShortcutRows(VeskViewState& state, bool sway = false) : state_(state), sway_(sway) {}

  // The recorder is running and this row asked for it last.
  bool isRecording(ShortcutAction action) const;
  // "Press keys…" while recording, else the combination as the desktop shows it, else "Set keys".
  std::string caption(ShortcutAction action) const;
  // The one line shown where the session offers no global keys and Vesk cannot give the desktop
  // its combinations itself (what to do with the lines below it); absent elsewhere.
  std::optional<std::string> sessionNotice() const;
  // The lines under that notice, one per line: for sway its bindsym lines for the current
  // combinations, elsewhere the commands to bind in the desktop's keyboard settings.
  std::optional<std::string> bindingLines() const;
  void pressCopyButton();
  // The switch that gives the desktop's keyboard settings Vesk's combinations (GNOME): absent
  // where there is none, else its position.
  std::optional<bool> desktopBindingsSwitch() const { return state_.model.desktopBindings(); }
  void switchDesktopBindings(bool on);
  // Only next and previous, and only while they hold a combination.
  bool hasClearButton(ShortcutAction action) const;

  // A second press cancels this row's recording; otherwise this row starts recording (which
  // ends any other row's recording).
  void pressSetButton(ShortcutAction action);
  void pressClearButton(ShortcutAction action);

 private:
  VeskViewState& state_;
  bool sway_;
};

}  // namespace vesk
