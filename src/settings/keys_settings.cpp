#include "settings/keys_settings.h"

#include "hotkeys/gnome_hotkey_service.h"
#include "hotkeys/key_table.h"
#include "hotkeys/portal_hotkey_service.h"

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
  if (state_.model.globalKeysOffered() || state_.model.desktopBindings()) return std::nullopt;
  if (sway_) return std::string(strings::swayKeysNotice());
  return strings::globalKeysUnavailable();
}

std::optional<std::string> ShortcutRows::bindingLines() const {
  if (!sessionNotice()) return std::nullopt;
  std::string lines;
  for (auto action : allShortcutActions) {
    const auto option = portalShortcutId(rawValue(action)).value_or("toggle");
    if (!sway_) {
      lines += veskCommand(option) + "\n";
      continue;
    }
    // A line binds keys: an action without a combination has none.
    auto shortcut = state_.model.shortcutFor(action);
    auto keys = shortcut ? swayKeys(shortcut->keyCode, shortcut->modifiers) : std::nullopt;
    if (keys) lines += "bindsym " + *keys + " exec " + veskCommand(option) + "\n";
  }
  if (!lines.empty()) lines.pop_back();
  return lines;
}

void ShortcutRows::pressCopyButton() {
  if (auto lines = bindingLines()) state_.clipboard().setText(*lines);
}

void ShortcutRows::switchDesktopBindings(bool on) {
  if (state_.model.desktopBindings() != on) state_.model.changeDesktopBindings(on);
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
