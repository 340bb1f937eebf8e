// The panel's colours: two fixed text colours and three fills that follow the stored theme.
#pragma once

#include <string>

#include "model/settings_store.h"
#include "model/shortcut.h"

namespace vesk {

// An sRGB colour with opacity, components 0…1.
struct Color {
  double red = 0, green = 0, blue = 0, alpha = 1;

  Color withAlpha(double a) const { return {red, green, blue, a}; }
  // CSS form with percentage components, so the exact fractions reach the style sheet.
  std::string css() const;
  bool operator==(const Color&) const = default;
};

// Every use reads the theme from the settings store again: nothing is cached, so a theme
// change is visible at the next redraw.
class Palette {
 public:
  static Color primary();
  static Color secondary();
  // White at opacity 0.1: dividers and thin outlines.
  static Color hairline();

  // The stored theme, read as the model reads it (storedTheme).
  static LinkTheme theme(const SettingsStore& store);
  static Color background(const SettingsStore& store);
  static Color surface(const SettingsStore& store);
  static Color accent(const SettingsStore& store);

  // The fills of one theme.
  struct ThemeColors {
    Color background, surface, accent;
  };
  static ThemeColors colors(LinkTheme theme);
};

}  // namespace vesk
