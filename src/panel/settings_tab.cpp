#include "panel/settings_tab.h"

namespace vesk {

std::string_view rawValue(SettingsTab tab) {
  switch (tab) {
    case SettingsTab::general:
      return "General";
    case SettingsTab::websites:
      return "Websites";
    case SettingsTab::keys:
      return "Keys";
    case SettingsTab::panel:
      return "Panel";
    case SettingsTab::appearance:
      return "Appearance";
  }
  return "General";
}

std::optional<SettingsTab> settingsTabFromRaw(std::string_view raw) {
  for (SettingsTab tab : allSettingsTabs) {
    if (rawValue(tab) == raw) return tab;
  }
  return std::nullopt;
}

}  // namespace vesk
