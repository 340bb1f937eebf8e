// The five tabs of the panel's settings screen, in the order they are shown.
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace vesk {

enum class SettingsTab { general, websites, keys, panel, appearance };

inline constexpr std::array<SettingsTab, 5> allSettingsTabs{
    SettingsTab::general, SettingsTab::websites, SettingsTab::keys, SettingsTab::panel, SettingsTab::appearance};

// The tab's caption, which is also its raw value: "General", "Websites", "Keys", "Panel", "Appearance".
std::string_view rawValue(SettingsTab tab);
std::optional<SettingsTab> settingsTabFromRaw(std::string_view raw);

}  // namespace vesk
