#include "panel/settings_tab.h"

#include "model/strings.h"

namespace vesk {

std::string_view rawValue(SettingsTab tab) {
  switch (tab) {
    case SettingsTab::general:
      return strings::tabGeneral();
    case SettingsTab::websites:
      return strings::tabWebsites();
    case SettingsTab::keys:
      return strings::tabKeys();
    case SettingsTab::panel:
      return strings::tabPanel();
    case SettingsTab::appearance:
      return strings::tabAppearance();
  }
  return strings::tabGeneral();
}

std::optional<SettingsTab> settingsTabFromRaw(std::string_view raw) {
  for (SettingsTab tab : allSettingsTabs) {
    if (rawValue(tab) == raw) return tab;
  }
  return std::nullopt;
}

}  // namespace vesk
