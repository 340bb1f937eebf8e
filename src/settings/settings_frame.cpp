#include "settings/settings_frame.h"

namespace vesk {

int contentSpacing(SettingsTab tab) {
  switch (tab) {
    case SettingsTab::keys:
      return 10;
    case SettingsTab::panel:
      return 16;
    default:
      return 0;
  }
}

void chooseSettingsTab(Published<SettingsTab>& settingsTab, ShortcutRecorder& recorder,
                       Published<std::optional<ShortcutAction>>& recordingAction, SettingsTab tab) {
  settingsTab.set(tab);
  recorder.stop();
  recordingAction.set(std::nullopt);
}

}  // namespace vesk
