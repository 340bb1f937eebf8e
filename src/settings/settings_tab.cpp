#include "settings/settings_tab.h"

namespace vesk {

std::string_view rawValue(SettingsTab tab) {
  switch (tab) {
    case SettingsTab::general:
      return "General";
    case SettingsTab::websites:
      return "Websites";
    case SettingsTab::shortcuts:
      return "Keys";
    case SettingsTab::panel:
      return "Panel";
    case SettingsTab::appearance:
      return "Appearance";
  }
  return "General";
}

std::optional<SettingsTab> settingsTabFromRaw(std::string_view raw) {
  for (auto tab : allSettingsTabs) {
    if (rawValue(tab) == raw) return tab;
  }
  return std::nullopt;
}

int contentSpacing(SettingsTab tab) {
  switch (tab) {
    case SettingsTab::shortcuts:
      return 10;
    case SettingsTab::panel:
      return 16;
    default:
      return 0;
  }
}

}  // namespace vesk
