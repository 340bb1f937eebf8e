// The rules that decide how Vesk reaches the screen in Wayland sessions: which display it opens,
// which tray positions are screen positions, and where the panel goes as a layer surface.
#include <gtest/gtest.h>

#include "shell/display_session.h"
#include "shell/gtk_panel_window.h"
#include "shell/tray_item.h"

namespace vesk {
namespace {

TEST(WaylandRules, BackendsKeepX11FirstExceptOnLayerShellCompositorsOtherThanPlasma) {
  const WaylandCompositor none{}, wlroots{true, true, false}, plasma{true, true, true}, mutter{true, false, false};
  struct Case {
    bool x11, wayland;
    WaylandCompositor compositor;
    const char* expected;
  } cases[] = {
      {true, false, none, "x11,*"},           // plain X11
      {true, true, mutter, "x11,*"},          // GNOME: Xwayland places the panel
      {true, true, plasma, "x11,*"},          // KDE: Xwayland places the panel
      {true, true, wlroots, "wayland,x11"},   // sway with Xwayland: layer surface
      {false, true, wlroots, "wayland,x11"},  // sway without Xwayland
      {false, true, none, "wayland,x11"},     // only Wayland, nothing known
      {true, true, none, "x11,*"},            // the compositor could not be asked
  };
  for (const auto& c : cases) {
    EXPECT_EQ(preferredBackends(c.x11, c.wayland, c.compositor), c.expected)
        << "x11 " << c.x11 << " wayland " << c.wayland << " layer " << c.compositor.layerShell << " plasma "
        << c.compositor.plasmaShell;
  }
}

TEST(WaylandRules, OnlyPositionsThatCanBeOnTheScreenPlaceThePanel) {
  struct Case {
    ScreenPoint reported;
    DisplayKind display;
    std::optional<ScreenPoint> pointer;
    std::optional<ScreenPoint> expected;
  } cases[] = {
      {{1200, 14}, DisplayKind::x11, std::nullopt, ScreenPoint{1200, 14}},       // X11 hosts tell the truth
      {{10, 15}, DisplayKind::x11, ScreenPoint{600, 400}, ScreenPoint{10, 15}},  // X11 stays as it was
      {{10, 15}, DisplayKind::xwayland, ScreenPoint{640, 400}, std::nullopt},    // waybar's icon-relative point
      {{1200, 14}, DisplayKind::xwayland, ScreenPoint{1190, 20}, ScreenPoint{1200, 14}},  // pointer is there
      {{1200, 14}, DisplayKind::xwayland, std::nullopt, std::nullopt},
      {{1200, 14}, DisplayKind::wayland, ScreenPoint{1200, 14}, std::nullopt},  // no screen positions
  };
  for (const auto& c : cases) {
    EXPECT_EQ(screenClickPoint(c.reported, c.display, c.pointer), c.expected)
        << c.reported.x << "," << c.reported.y << " display " << static_cast<int>(c.display);
  }
}

// Through Xwayland the host that calls decides: the pointer the X server last saw is stale while
// it is over the desktop's own shell (Plasma's bottom panel, GNOME's top bar).
TEST(WaylandRules, TheHostThatCallsTellsWhetherItsPointIsOnTheScreen) {
  struct Case {
    const char* process;
    ScreenPoint reported;
    DisplayKind display;
    std::optional<ScreenPoint> pointer;
    std::optional<ScreenPoint> expected;
  } cases[] = {
      {"plasmashell", {1071, 778}, DisplayKind::xwayland, ScreenPoint{640, 400}, ScreenPoint{1071, 778}},
      {"gnome-shell", {1209, 15}, DisplayKind::xwayland, std::nullopt, ScreenPoint{1209, 15}},
      {"waybar", {10, 15}, DisplayKind::xwayland, ScreenPoint{12, 14}, std::nullopt},  // even where the pointer is
      {"waybar", {1200, 14}, DisplayKind::x11, std::nullopt, ScreenPoint{1200, 14}},
      {"plasmashell", {1071, 778}, DisplayKind::wayland, std::nullopt, std::nullopt},
      {"python3", {1200, 14}, DisplayKind::xwayland, ScreenPoint{1190, 20}, ScreenPoint{1200, 14}},  // unknown
      {"python3", {1200, 14}, DisplayKind::xwayland, ScreenPoint{640, 400}, std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(screenClickPoint(c.reported, c.display, c.pointer, trayHostForProcess(c.process)), c.expected)
        << c.process << " display " << static_cast<int>(c.display);
  }
  EXPECT_EQ(trayHostForProcess("xfce4-panel"), TrayHost::screenPoints);
  EXPECT_EQ(trayHostForProcess(""), TrayHost::unknown);
}

TEST(WaylandRules, LayerPanelGoesToTheIconsEdgeAndSideElseTheTopRight) {
  const ScreenRect screen{0, 0, 1280, 800};
  using P = GtkPanelWindow::LayerPlacement;
  EXPECT_EQ(GtkPanelWindow::layerPlacement(std::nullopt, screen, 500), (P{true, false, 0})) << "unknown icon";
  EXPECT_EQ(GtkPanelWindow::layerPlacement(ScreenRect{600, 2, 24, 24}, screen, 500), (P{true, true, 362}))
      << "centred under an icon in a top bar";
  EXPECT_EQ(GtkPanelWindow::layerPlacement(ScreenRect{1250, 775, 24, 24}, screen, 500), (P{false, true, 780}))
      << "above an icon at the bottom right, inside the screen";
  EXPECT_EQ(GtkPanelWindow::layerPlacement(ScreenRect{2, 2, 24, 24}, screen, 500), (P{true, true, 0}))
      << "an icon at the left edge";
}

}  // namespace
}  // namespace vesk
