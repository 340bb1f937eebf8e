#include <gtest/gtest.h>

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gdkmm/wrap_init.h>
#include <glibmm/init.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <functional>
#include <iostream>
#include <regex>
#include <sstream>
#include <string>

#include "shell/color_scheme.h"
#include "shell/portal_symbol.h"
#include "shell/tray_item.h"

namespace vesk {
namespace {

// Alpha of the pixel whose centre is at (x, y) in the symbol's own units (origin bottom left, y up).
int alphaAt(const Cairo::RefPtr<Cairo::ImageSurface>& surface, double size, double ux, double uy) {
  const double u = size / 18.0;
  const int px = static_cast<int>(ux * u);
  const int py = static_cast<int>(size - uy * u);
  const auto* row = reinterpret_cast<const std::uint32_t*>(surface->get_data() + py * surface->get_stride());
  return static_cast<int>(row[px] >> 24);
}

class PortalSymbolTest : public ::testing::TestWithParam<double> {};

TEST_P(PortalSymbolTest, DrawsTheOutlineAndTheBarAndNothingElse) {
  const double size = GetParam();
  auto surface = portalSymbol(size);
  ASSERT_EQ(surface->get_format(), Cairo::FORMAT_ARGB32);
  ASSERT_EQ(surface->get_width(), static_cast<int>(size));
  ASSERT_EQ(surface->get_height(), static_cast<int>(size));

  // On the outline's stroke: left and right sides at mid height, the top and bottom ends.
  EXPECT_GT(alphaAt(surface, size, 4, 9), 200);
  EXPECT_GT(alphaAt(surface, size, 14, 9), 200);
  EXPECT_GT(alphaAt(surface, size, 9, 16), 200);
  EXPECT_GT(alphaAt(surface, size, 9, 2), 200);
  // Inside the bar, which sits in the lower half (y from 5 to 6.6).
  EXPECT_GT(alphaAt(surface, size, 9, 5.8), 200);
  EXPECT_GT(alphaAt(surface, size, 7.4, 5.8), 150);
  // Transparent: inside the outline above the bar, between bar and outline, the corners
  // (rounded away by the 5-unit radius) and outside the outline.
  EXPECT_EQ(alphaAt(surface, size, 9, 11), 0);
  EXPECT_EQ(alphaAt(surface, size, 9, 3.6), 0);
  EXPECT_EQ(alphaAt(surface, size, 9, 8), 0);
  EXPECT_EQ(alphaAt(surface, size, 6.3, 5.8), 0);
  EXPECT_EQ(alphaAt(surface, size, 3.5, 16.5), 0);
  EXPECT_EQ(alphaAt(surface, size, 1.5, 9), 0);
  EXPECT_EQ(alphaAt(surface, size, 16.5, 9), 0);
  EXPECT_EQ(alphaAt(surface, size, 9, 17.5), 0);
  EXPECT_EQ(alphaAt(surface, size, 9, 0.5), 0);
}

INSTANTIATE_TEST_SUITE_P(Sizes, PortalSymbolTest, ::testing::Values(18.0, 36.0));

TEST(PortalSymbol, IsMirroredTopToBottomOnlyByTheBar) {
  // The outline is symmetric; the bar must land in the lower half of the image (cairo's y grows down).
  auto surface = portalSymbol(36);
  const auto alpha = [&](int x, int y) {
    return reinterpret_cast<const std::uint32_t*>(surface->get_data() + y * surface->get_stride())[x] >> 24;
  };
  EXPECT_GT(alpha(18, 24), 200u);  // bar: y 10..13.2 from the bottom → rows 22.8..26
  EXPECT_EQ(alpha(18, 11), 0u);    // the mirrored place stays empty
}

TEST(PortalSymbol, PaintsOnlyTheGivenColour) {
  auto surface = portalSymbol(36, symbolLight);
  const auto* row = reinterpret_cast<const std::uint32_t*>(surface->get_data() + 18 * surface->get_stride());
  const std::uint32_t pixel = row[8];  // inside the left stroke
  ASSERT_EQ(pixel >> 24, 255u);
  EXPECT_NEAR((pixel >> 16) & 0xff, 0.93 * 255, 1);
  EXPECT_NEAR(pixel & 0xff, 0.93 * 255, 1);
}

TEST(PortalSymbol, TrayPixmapIsStraightArgbInNetworkOrder) {
  auto argb = portalSymbolArgb(22, SymbolColor{1, 0.5, 0, 1});
  ASSERT_EQ(argb.size(), 22u * 22u * 4u);
  bool sawEdge = false;
  for (std::size_t i = 0; i < argb.size(); i += 4) {
    if (argb[i] == 0) {
      EXPECT_EQ(argb[i + 1] | argb[i + 2] | argb[i + 3], 0);
      continue;
    }
    // Not premultiplied: the colour stays the same at every coverage.
    // (Faint edge pixels lose precision in the premultiplied source, so allow for rounding.)
    const double tolerance = 255.0 / argb[i] + 1;
    EXPECT_NEAR(argb[i + 1], 255, tolerance);
    EXPECT_NEAR(argb[i + 2], 128, tolerance);
    EXPECT_NEAR(argb[i + 3], 0, tolerance);
    sawEdge |= argb[i] < 255;
  }
  EXPECT_TRUE(sawEdge) << "anti-aliased edges are kept";
  Glib::init();
  Gdk::wrap_init();
  auto pixbuf = portalSymbolPixbuf(48);
  EXPECT_EQ(pixbuf->get_width(), 48);
  EXPECT_TRUE(pixbuf->get_has_alpha());
}

// WCAG relative luminance of an sRGB colour with channels in 0...1.
double luminance(double r, double g, double b) {
  auto linear = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
  return 0.2126 * linear(r) + 0.7152 * linear(g) + 0.0722 * linear(b);
}

double contrastRatio(double a, double b) { return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05); }

// The contrast the tray pixmap `argb` reaches over a panel of colour `panel` (0xRRGGBB) on at
// least `pixels` of its pixels: composited as the host shows it, the pixels ranked by their
// contrast with the panel, the contrast of the `pixels`-th best.
double iconContrast(const std::vector<std::uint8_t>& argb, std::uint32_t panel, std::size_t pixels) {
  const double pr = ((panel >> 16) & 0xff) / 255.0, pg = ((panel >> 8) & 0xff) / 255.0, pb = (panel & 0xff) / 255.0;
  const double panelLuminance = luminance(pr, pg, pb);
  std::vector<double> contrasts;
  for (std::size_t i = 0; i < argb.size(); i += 4) {
    const double a = argb[i] / 255.0;
    auto over = [a](std::uint8_t c, double p) { return a * c / 255.0 + (1 - a) * p; };
    contrasts.push_back(
        contrastRatio(luminance(over(argb[i + 1], pr), over(argb[i + 2], pg), over(argb[i + 3], pb)), panelLuminance));
  }
  if (pixels == 0 || pixels > contrasts.size()) return 1;
  std::nth_element(contrasts.begin(), contrasts.begin() + (pixels - 1), contrasts.end(), std::greater<>());
  return contrasts[pixels - 1];
}

TEST(TraySymbol, ReadsOnLightAndDarkPanelsWhateverTheScheme) {
  // Panel colours of common desktops. Hosts never say theirs, and the desktop's scheme may not
  // match it, so every scheme's icon must read on every panel: at least as many pixels as the
  // glyph covers fully reach WCAG's 3:1 for graphics.
  const struct {
    const char* panel;
    std::uint32_t color;
  } panels[] = {
      {"Plasma Breeze light", 0xeff0f1},
      {"GNOME light", 0xf6f5f4},
      {"Xfce Greybird light", 0xcecece},
      {"LXQt light", 0xefefef},
      {"white", 0xffffff},
      {"Plasma Breeze dark", 0x31363b},
      {"GNOME dark", 0x303030},
      {"Xfce dark", 0x2b2b2b},
      {"LXQt dark", 0x202020},
      {"black", 0x000000},
      {"waybar", 0x2b3e50},
      {"mid grey", 0x808080},
  };
  constexpr double minimum = 3.0;
  for (int size : {16, 22, 32, 48}) {
    const auto plain = portalSymbolArgb(size);
    std::size_t glyphPixels = 0;
    for (std::size_t i = 0; i < plain.size(); i += 4) glyphPixels += plain[i] >= 230;
    for (ColorScheme scheme : {ColorScheme::dark, ColorScheme::light}) {
      const auto icon = outlinedPortalSymbolArgb(size, trayGlyphColor(scheme), trayOutlineColor(scheme));
      for (const auto& p : panels) {
        const double contrast = iconContrast(icon, p.color, glyphPixels);
        if (size == 22)
          std::cout << (scheme == ColorScheme::dark ? "dark  " : "light ") << p.panel << ": " << contrast << ":1\n";
        EXPECT_GE(contrast, minimum) << size << " px, " << (scheme == ColorScheme::dark ? "dark" : "light")
                                     << " scheme, on " << p.panel;
      }
    }
  }
  // Without the outline a glyph of one colour fails on panels like it: the measure sees that.
  EXPECT_LT(iconContrast(portalSymbolArgb(22, symbolLight), 0xeff0f1, 40), 1.5);
}

TEST(TraySymbol, TheUnreadDotReadsOnEveryPanelAndLeavesTheRestAlone) {
  const std::uint32_t panels[] = {0xeff0f1, 0xf6f5f4, 0xcecece, 0xffffff, 0x31363b,
                                  0x303030, 0x202020, 0x000000, 0x2b3e50, 0x808080};
  for (int size : {16, 22, 32, 48}) {
    for (ColorScheme scheme : {ColorScheme::dark, ColorScheme::light}) {
      const auto plain = outlinedPortalSymbolArgb(size, trayGlyphColor(scheme), trayOutlineColor(scheme));
      const auto marked = outlinedPortalSymbolArgb(size, trayGlyphColor(scheme), trayOutlineColor(scheme), true);
      // The dot's own pixels: those of the mark that the plain icon does not have. They lie around
      // the dot's centre at the top right, and cover at least a disc of 3/18 of the icon's side.
      const double u = size / 18.0, reach = 3 * u + 2.5 * symbolOutlineWidth(size) + 1;
      std::vector<std::uint8_t> dot(marked.size(), 0);
      std::size_t changed = 0;
      for (std::size_t i = 0; i < marked.size(); i += 4) {
        if (std::equal(marked.begin() + i, marked.begin() + i + 4, plain.begin() + i)) continue;
        const double x = (i / 4) % size + 0.5, y = (i / 4) / size + 0.5;
        EXPECT_LE(std::hypot(x - 13.5 * u, y - 4.4 * u), reach) << size << " px: changed at " << x << "," << y;
        std::copy(marked.begin() + i, marked.begin() + i + 4, dot.begin() + i);
        ++changed;
      }
      const auto disc = static_cast<std::size_t>(3.14159 * 3 * u * 3 * u);
      EXPECT_GE(changed, disc) << size << " px";
      // At least half the disc's area reaches 3:1 on every panel: the red dot on dark panels,
      // its dark ring on light ones.
      for (std::uint32_t panel : panels) {
        EXPECT_GE(iconContrast(dot, panel, disc / 2), 3.0) << size << " px on " << std::hex << panel;
      }
    }
  }
}

// The named tray icon as KDE Plasma shows it: the style sheet with the id "current-color-scheme"
// replaced by the panel scheme's, with `text` as the text colour; rendered by librsvg at `size`,
// as the tray pixmap's ARGB.
std::vector<std::uint8_t> recolouredNamedIcon(const char* text, int size) {
  std::ifstream file(VESK_DATA_DIR "/icons/io.github.vesk.Vesk-symbolic.svg");
  std::stringstream content;
  content << file.rdbuf();
  const std::string svg =
      std::regex_replace(content.str(), std::regex(R"((<style id="current-color-scheme"[^>]*>)[^<]*(</style>))"),
                         std::string("$1.ColorScheme-Text { color:") + text + "; }$2");
  // Untyped, as GTK loads symbolic icons: the file is known as SVG by its first bytes alone.
  GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
  gdk_pixbuf_loader_set_size(loader, size, size);
  gdk_pixbuf_loader_write(loader, reinterpret_cast<const guchar*>(svg.data()), svg.size(), nullptr);
  gdk_pixbuf_loader_close(loader, nullptr);
  std::vector<std::uint8_t> argb;
  if (GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader); pixbuf && gdk_pixbuf_get_has_alpha(pixbuf)) {
    const guchar* pixels = gdk_pixbuf_get_pixels(pixbuf);
    for (int y = 0; y < gdk_pixbuf_get_height(pixbuf); ++y) {
      for (int x = 0; x < gdk_pixbuf_get_width(pixbuf); ++x) {
        const guchar* p = pixels + y * gdk_pixbuf_get_rowstride(pixbuf) + x * 4;
        argb.insert(argb.end(), {p[3], p[0], p[1], p[2]});
      }
    }
  }
  g_object_unref(loader);
  return argb;
}

TEST(TraySymbol, TheNamedIconTakesThePanelsTextColourOnPlasma) {
  // Plasma's tray loads the icon by name and recolours it with its scheme's text colour.
  const struct {
    const char* scheme;
    const char* text;
    std::uint32_t panel;
  } schemes[] = {{"Breeze light", "#232629", 0xeff0f1}, {"Breeze dark", "#fcfcfc", 0x31363b}};
  const auto plain = portalSymbolArgb(22);
  std::size_t glyphPixels = 0;
  for (std::size_t i = 0; i < plain.size(); i += 4) glyphPixels += plain[i] >= 230;
  for (const auto& s : schemes) {
    const auto icon = recolouredNamedIcon(s.text, 22);
    ASSERT_EQ(icon.size(), 22u * 22u * 4u) << "librsvg did not render the icon";
    EXPECT_GE(iconContrast(icon, s.panel, glyphPixels), 3.0) << s.scheme;
  }
}

TEST(TraySymbol, TheOutlineSurroundsTheGlyphWithoutCoveringIt) {
  auto surface = outlinedPortalSymbol(36, symbolLight, symbolOutlineDark);
  const auto pixel = [&](double ux, double uy) { return alphaAt(surface, 36, ux, uy); };
  EXPECT_EQ(pixel(9, 11), 0) << "inside the outline stays clear";
  EXPECT_GT(pixel(2.7, 9), 100) << "just outside the left stroke";
  EXPECT_EQ(pixel(1.5, 9), 0) << "the outline is thin";
  // The glyph keeps its own colour where it lies over the outline.
  const auto* row = reinterpret_cast<const std::uint32_t*>(surface->get_data() + 18 * surface->get_stride());
  EXPECT_EQ(row[8] >> 24, 255u);
  EXPECT_NEAR((row[8] >> 16) & 0xff, 0.93 * 255, 1);
}

TEST(ClickCounter, CountsActivationsWithinTheDoubleClickTime) {
  using namespace std::chrono_literals;
  ClickCounter counter(400ms);
  const ClickCounter::Clock::time_point t{100s};
  EXPECT_EQ(counter.click(t), 1);
  EXPECT_EQ(counter.click(t + 100ms), 2);
  EXPECT_EQ(counter.click(t + 450ms), 3) << "measured from the previous activation";
  EXPECT_EQ(counter.click(t + 1s), 1);
  EXPECT_EQ(counter.click(t + 1s + 401ms), 1);
  // The XEmbed icon's presses carry the X server's time, the bus's activations the local clock;
  // a time before the previous one is no second click.
  EXPECT_EQ(counter.click(t), 1);
}

}  // namespace
}  // namespace vesk
