#include "settings/keys_settings.h"

namespace vesk {

std::string_view shortcutDescription(ShortcutAction action) {
  return action == ShortcutAction::show ? strings::showShortcutDetail() : strings::switchShortcutDetail();
}

bool ShortcutRows::isRecording(ShortcutAction action) const {
  return recorder_.isRecording.get() && recordingAction_.get() == action;
}

std::string ShortcutRows::caption(ShortcutAction action) const {
  if (isRecording(action)) return std::string(strings::pressKeys());
  if (auto shortcut = model_.shortcutFor(action)) return shortcut->displayText();
  return std::string(strings::setKeys());
}

std::optional<std::string> ShortcutRows::sessionNotice() const {
  if (model_.globalKeysOffered()) return std::nullopt;
  return strings::globalKeysUnavailable();
}

bool ShortcutRows::hasClearButton(ShortcutAction action) const {
  return action != ShortcutAction::show && model_.shortcutFor(action).has_value();
}

void ShortcutRows::pressSetButton(ShortcutAction action) {
  if (isRecording(action)) {
    recorder_.stop();
    recordingAction_.set(std::nullopt);
    return;
  }
  recordingAction_.set(action);
  // The handler keeps its own copy of the references (model, recorder, panel state), which live as
  // long as the panel; the widgets holding this object may be gone by the time keys are pressed.
  recorder_.start([rows = *this, action](const Shortcut& shortcut) mutable { rows.captured(action, shortcut); });
}

void ShortcutRows::pressClearButton(ShortcutAction action) { model_.removeShortcut(action); }

void ShortcutRows::captured(ShortcutAction action, const Shortcut& shortcut) {
  model_.changeShortcut(shortcut, action);
  recordingAction_.set(std::nullopt);
}

}  // namespace vesk
