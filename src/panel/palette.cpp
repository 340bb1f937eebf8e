#include "panel/palette.h"

#include <cstdio>

#include "model/app_model.h"

namespace vesk {

std::string Color::css() const {
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "rgba(%.3f%%,%.3f%%,%.3f%%,%.3f)", red * 100, green * 100, blue * 100, alpha);
  return buffer;
}

Color Palette::primary() {
  static const Color color{0.94, 0.95, 0.95, 1};
  return color;
}

Color Palette::secondary() {
  static const Color color{0.58, 0.62, 0.65, 1};
  return color;
}

Color Palette::hairline() { return {1, 1, 1, 0.1}; }

LinkTheme Palette::theme(const SettingsStore& store) { return storedTheme(store); }

Palette::ThemeColors Palette::colors(LinkTheme theme) {
  switch (theme) {
    case LinkTheme::midnight:
      return {{0.05, 0.047, 0.1, 1}, {0.095, 0.087, 0.16, 1}, {0.65, 0.58, 0.98, 1}};
    case LinkTheme::obsidian:
      return {{0.035, 0.039, 0.043, 1}, {0.085, 0.09, 0.095, 1}, {0.81, 0.79, 0.88, 1}};
    case LinkTheme::graphite:
      break;
  }
  return {{0.075, 0.067, 0.105, 1}, {0.125, 0.112, 0.17, 1}, {0.73, 0.64, 0.98, 1}};
}

Color Palette::background(const SettingsStore& store) { return colors(theme(store)).background; }
Color Palette::surface(const SettingsStore& store) { return colors(theme(store)).surface; }
Color Palette::accent(const SettingsStore& store) { return colors(theme(store)).accent; }

}  // namespace vesk
