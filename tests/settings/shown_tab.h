// Which tab the settings screen shows, read from its content as built (the widget named
// `SettingsScreen::WidgetName::content` and its kind), not from the state that asks for it.
#pragma once

#include <optional>

#include "settings/settings_screen.h"
#include "settings/settings_widgets.h"
#include "support/named_widgets.h"

namespace vesk::testing {

inline std::optional<SettingsTab> shownTab(Gtk::Widget& root) {
  auto* content = findNamed<SettingsTabView>(root, SettingsScreen::WidgetName::content);
  if (dynamic_cast<GeneralTab*>(content)) return SettingsTab::general;
  if (dynamic_cast<WebsitesTab*>(content)) return SettingsTab::websites;
  if (dynamic_cast<KeysTab*>(content)) return SettingsTab::keys;
  if (dynamic_cast<PanelTab*>(content)) return SettingsTab::panel;
  if (dynamic_cast<AppearanceTab*>(content)) return SettingsTab::appearance;
  return std::nullopt;
}

}  // namespace vesk::testing
