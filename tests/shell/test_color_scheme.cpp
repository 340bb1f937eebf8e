// Which scheme the desktop prefers, and the tray glyph colour that reads on it.
#include "shell/color_scheme.h"

#include <gtest/gtest.h>

#include <glib.h>
#include <glib/gstdio.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

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

// Until GTK's settings exist, the theme's name comes from the settings files as GTK reads them.
TEST(ColorScheme, TheThemeNameFromTheSettingsFiles) {
  gchar* made = g_dir_make_tmp("vesk-gtk-settings-XXXXXX", nullptr);
  ASSERT_NE(made, nullptr);
  const std::filesystem::path root(made);
  g_free(made);
  auto folder = [&](const std::string& name, const std::string& contents) {
    std::filesystem::create_directories(root / name / "gtk-3.0");
    if (!contents.empty()) std::ofstream(root / name / "gtk-3.0" / "settings.ini") << contents;
    return (root / name).string();
  };
  const std::string system = folder("system", "[Settings]\ngtk-theme-name=Adwaita-dark\n");
  const std::string user = folder("user", "[Settings]\ngtk-theme-name = Greybird\ngtk-font-name=Sans 10\n");
  const std::string other = folder("other", "[Settings]\ngtk-icon-theme-name=Papirus\n");
  const std::string broken = folder("broken", "gtk-theme-name=Adwaita-dark\n[Settings\n");
  const std::string empty = folder("empty", "");
  struct Case {
    std::vector<std::string> folders;
    std::string theme;
  } cases[] = {
      {{}, ""},
      {{empty}, ""},
      {{system}, "Adwaita-dark"},
      {{system, user}, "Greybird"},
      {{user, system}, "Adwaita-dark"},
      {{system, other}, "Adwaita-dark"},  // a file that names no theme keeps the earlier one
      {{system, broken}, "Adwaita-dark"},
      {{broken}, ""},
      {{(root / "missing").string()}, ""},
  };
  for (const Case& c : cases) {
    std::string folders;
    for (const auto& f : c.folders) folders += std::filesystem::path(f).filename().string() + " ";
    EXPECT_EQ(gtkThemeNameFromFiles(c.folders), c.theme) << folders;
  }
  std::filesystem::remove_all(root);
}

}  // namespace
}  // namespace vesk
