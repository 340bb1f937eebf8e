#include <gtest/gtest.h>

#include <gdkmm/wrap_init.h>
#include <glibmm/init.h>

#include <cstdint>

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

TEST(ClickCounter, CountsActivationsWithinTheDoubleClickTime) {
  using namespace std::chrono_literals;
  ClickCounter counter(400ms);
  const ClickCounter::Clock::time_point t{100s};
  EXPECT_EQ(counter.click(t), 1);
  EXPECT_EQ(counter.click(t + 100ms), 2);
  EXPECT_EQ(counter.click(t + 450ms), 3) << "measured from the previous activation";
  EXPECT_EQ(counter.click(t + 1s), 1);
  EXPECT_EQ(counter.click(t + 1s + 401ms), 1);
}

}  // namespace
}  // namespace vesk
