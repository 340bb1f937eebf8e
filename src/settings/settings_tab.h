// The five tabs of the settings screen and the rule for choosing one.
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace vesk {

enum class SettingsTab { general, websites, shortcuts, panel, appearance };

inline constexpr std::array<SettingsTab, 5> allSettingsTabs{
    SettingsTab::general, SettingsTab::websites, SettingsTab::shortcuts, SettingsTab::panel, SettingsTab::appearance};

// The tab's title: "General", "Websites", "Keys", "Panel", "Appearance".
std::string_view rawValue(SettingsTab tab);
// Exact, case-sensitive match of a title; anything else gives none.
std::optional<SettingsTab> settingsTabFromRaw(std::string_view raw);
// Spacing between the children of the tab's content column.
int contentSpacing(SettingsTab tab);

}  // namespace vesk
