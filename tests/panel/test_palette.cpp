#include <gtest/gtest.h>

#include "model/app_model.h"
#include "panel/palette.h"
#include "panel/panel_style.h"
#include "panel/settings_tab.h"
#include "panel/symbols.h"
#include "support/memory_settings_store.h"

namespace vesk {
namespace {

TEST(Palette, ReadsTheStoredThemeExactlyAtEveryUse) {
  testing::MemorySettingsStore store;
  const auto graphite = Palette::colors(LinkTheme::graphite);
  EXPECT_EQ(Palette::background(store), graphite.background);
  EXPECT_EQ(Palette::accent(store), (Color{0.73, 0.64, 0.98, 1}));

  store.seed(SettingsKey::theme, "midnight");
  EXPECT_EQ(Palette::theme(store), LinkTheme::midnight);
  EXPECT_EQ(Palette::surface(store), (Color{0.095, 0.087, 0.16, 1}));

  store.seed(SettingsKey::theme, "Obsidian");
  EXPECT_EQ(Palette::theme(store), LinkTheme::graphite);
  store.seed(SettingsKey::theme, "obsidian ");
  EXPECT_EQ(Palette::theme(store), LinkTheme::graphite);
  store.seed(SettingsKey::theme, "obsidian");
  EXPECT_EQ(Palette::background(store), (Color{0.035, 0.039, 0.043, 1}));
  EXPECT_EQ(Palette::primary(), (Color{0.94, 0.95, 0.95, 1}));
  EXPECT_EQ(Palette::secondary(), (Color{0.58, 0.62, 0.65, 1}));
}

TEST(Palette, CssKeepsExactFractions) {
  EXPECT_EQ((Color{0.075, 0.067, 0.105, 1}).css(), "rgba(7.500%,6.700%,10.500%,1.000)");
  EXPECT_EQ(Palette::hairline().css(), "rgba(100.000%,100.000%,100.000%,0.100)");
}

TEST(StyleSheet, FillsWholeNamesAndLeavesOtherAtSignsAsWritten) {
  testing::MemorySettingsStore store;
  store.seed(SettingsKey::theme, "midnight");
  const std::string accent = Palette::colors(LinkTheme::midnight).accent.css();
  const std::string half = Color{0, 0, 0, 0.5}.css();
  for (auto [sheet, expected] : std::vector<std::pair<std::string, std::string>>{
           {"a { color: @accent; }", "a { color: " + accent + "; }"},
           {"@accent15 @accent", half + " " + accent},
           {"@accentx @media @ x@", "@accentx @media @ x@"},
           {"@hairline,@bg", Palette::hairline().css() + "," + Palette::colors(LinkTheme::midnight).background.css()},
           {"@primary", Color{}.css()},  // an extra colour before a common one
       }) {
    EXPECT_EQ(fillStyleSheet(sheet, store, {{"accent15", {0, 0, 0, 0.5}}, {"primary", {}}}), expected) << sheet;
  }
}

TEST(SettingsTabs, RawValuesAreTheCaptions) {
  EXPECT_EQ(rawValue(SettingsTab::websites), "Websites");
  EXPECT_EQ(settingsTabFromRaw("Appearance"), SettingsTab::appearance);
  EXPECT_FALSE(settingsTabFromRaw("general"));
}

TEST(Symbols, EveryPanelSymbolHasAnIcon) {
  for (auto name : {"link",
                    "chevron.down",
                    "plus",
                    "magnifyingglass",
                    "gearshape",
                    "arrow.left",
                    "xmark",
                    "checkmark",
                    "globe",
                    "wifi.exclamationmark",
                    "chevron.left",
                    "chevron.right",
                    "arrow.clockwise",
                    "doc.on.doc",
                    "arrow.up.right.square",
                    "doc.on.clipboard",
                    "xmark.circle.fill",
                    "return",
                    "arrow.up",
                    "arrow.down",
                    "pencil",
                    "trash"}) {
    EXPECT_NE(symbolIconName(name), "image-missing") << name;
  }
  EXPECT_EQ(symbolIconName("no.such.symbol"), "image-missing");
}

}  // namespace
}  // namespace vesk
