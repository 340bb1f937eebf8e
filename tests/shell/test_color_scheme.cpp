// Which scheme the desktop prefers, and the tray glyph colour that reads on it.
#include "shell/color_scheme.h"

#include <gtest/gtest.h>

#include <optional>

namespace vesk {
namespace {

TEST(ColorScheme, ThePortalDecidesAndTheThemeNameOnlyWithoutAPreference) {
  struct Case {
    std::optional<std::uint32_t> portal;
    const char* theme;
    ColorScheme scheme;
  } cases[] = {
      {1, "Adwaita", ColorScheme::dark},
      {2, "Adwaita-dark", ColorScheme::light},
      {0, "Adwaita-dark", ColorScheme::dark},
      {0, "Adwaita", ColorScheme::light},
      {std::nullopt, "Breeze-Dark", ColorScheme::dark},
      {std::nullopt, "Adwaita:dark", ColorScheme::dark},
      {std::nullopt, "Greybird", ColorScheme::light},
      {std::nullopt, "", ColorScheme::light},
      {std::nullopt, "dark", ColorScheme::light},
      {7, "Yaru-dark", ColorScheme::dark},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(desktopColorScheme(c.portal, c.theme), c.scheme)
        << (c.portal ? std::to_string(*c.portal) : "no portal") << " " << c.theme;
  }
}

TEST(ColorScheme, TheGlyphContrastsWithTheScheme) {
  auto luminance = [](SymbolColor color) { return 0.2126 * color.red + 0.7152 * color.green + 0.0722 * color.blue; };
  EXPECT_GT(luminance(trayGlyphColor(ColorScheme::dark)), 0.8);
  EXPECT_LT(luminance(trayGlyphColor(ColorScheme::light)), 0.2);
  EXPECT_EQ(trayGlyphColor(ColorScheme::light).alpha, 1);
}

}  // namespace
}  // namespace vesk
