#include "settings/keys_settings.h"

namespace vesk {

std::string_view shortcutDescription(ShortcutAction action) {
  return action == ShortcutAction::show ? strings::showShortcutDetail() : strings::switchShortcutDetail();
}

bool ShortcutRows::isRecording(ShortcutAction action) const {
  return state_.recorder.isRecording() && state_.recordingAction() == action;
}

std::string ShortcutRows::caption(ShortcutAction action) const {
  if (isRecording(action)) return std::string(strings::pressKeys());
  if (auto shortcut = state_.model.shortcutFor(action)) return shortcut->displayText();
  return std::string(strings::setKeys());
}

std::optional<std::string> ShortcutRows::sessionNotice() const {
  if (state_.model.globalKeysOffered()) return std::nullopt;
  return strings::globalKeysUnavailable();
}

bool ShortcutRows::hasClearButton(ShortcutAction action) const {
  return action != ShortcutAction::show && state_.model.shortcutFor(action).has_value();
}

void ShortcutRows::pressSetButton(ShortcutAction action) {
  if (isRecording(action)) {
    state_.stopRecordingShortcut();
    return;
  }
  // The state records: the widgets holding this object may be gone by the time keys are pressed.
  state_.recordShortcut(action);
}

void ShortcutRows::pressClearButton(ShortcutAction action) { state_.model.removeShortcut(action); }

}  // namespace vesk
