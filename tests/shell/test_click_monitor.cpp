// The X11 click monitors on a real display: which presses count as outside the panel.
#include <gtest/gtest.h>
#include <gtkmm/dialog.h>
#include <gtkmm/main.h>
#include <gtkmm/window.h>

#include <optional>
#include <vector>

#include "shell/app_delegate.h"
#include "shell/click_monitor.h"
#include "shell/gtk_panel_window.h"
#include "shell_fakes.h"
#include "support/gtk_test_support.h"
#include "support/memory_settings_store.h"

// Xlib's macros clash with C++ names: include it after everything else.
// clang-format off
#include <gdk/gdkx.h>
#include <X11/extensions/XTest.h>
// clang-format on

namespace vesk {
namespace {

using testing::waitFor;

void clickAt(int x, int y, unsigned button = 1) {
  Display* display = gdk_x11_get_default_xdisplay();
  XTestFakeMotionEvent(display, -1, x, y, 0);
  XTestFakeButtonEvent(display, button, 1, 0);
  XTestFakeButtonEvent(display, button, 0, 0);
  XFlush(display);
}

bool placedAt(Gtk::Window& window, int x, int y) {
  if (!window.get_window() || !window.get_window()->is_viewable()) return false;
  int rx = 0, ry = 0;
  window.get_window()->get_origin(rx, ry);
  return rx == x && ry == y;
}

// Asks the window manager to close `window`, as its Alt+F4 binding or a taskbar's "Close" does.
void closeThroughTheWindowManager(Gtk::Window& window) {
  Display* display = gdk_x11_get_default_xdisplay();
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = GDK_WINDOW_XID(window.get_window()->gobj());
  event.xclient.message_type = XInternAtom(display, "_NET_CLOSE_WINDOW", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = CurrentTime;
  event.xclient.data.l[1] = 2;  // sent on the user's behalf
  XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
  XFlush(display);
}

class ClickMonitorTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { static Gtk::Main main; }

  void SetUp() override {
    panel.setContentSize(300, 300);
    panel.showUnder(ScreenRect{1000, 0, 24, 24});  // under an icon near the top right
    dialog.set_transient_for(panel.window());
    dialog.set_default_size(200, 150);
    dialog.move(100, 100);
    dialog.show();
    other.set_default_size(200, 150);
    other.move(100, 450);
    other.show();
    dropDown.set_default_size(150, 100);
    dropDown.move(500, 450);
    dropDown.show();
    ASSERT_TRUE(waitFor([&] { return placedAt(dropDown, 500, 450) && dialog.get_mapped() && other.get_mapped(); }));
    ASSERT_TRUE(waitFor([&] { return panel.window().get_mapped(); }));
    // The window manager places the panel after mapping it: wait for that before aiming clicks at
    // it or reading its position (a failed placement is reported by the placement test).
    waitFor([&] {
      int x = 0, y = 0;
      panel.window().get_window()->get_origin(x, y);
      return x == 1012 - 150;
    });
    monitors = makeX11ClickMonitors([this]() -> void* { return panel.window().gobj(); });
  }

  // Clicks at the centre of `window` and returns what the local monitor saw.
  std::optional<ClickTarget> clickInto(Gtk::Window& window) {
    int x = 0, y = 0;
    window.get_window()->get_origin(x, y);
    const std::size_t before = localSeen.size();
    clickAt(x + window.get_width() / 2, y + window.get_height() / 2);
    if (!waitFor([&] { return localSeen.size() > before; })) return std::nullopt;
    return localSeen.back();
  }

  GtkPanelWindow panel;
  Gtk::Dialog dialog{"Open File"};
  Gtk::Window other;
  Gtk::Window dropDown{Gtk::WINDOW_POPUP};
  std::unique_ptr<ClickMonitors> monitors;
  std::vector<ClickTarget> localSeen;
  std::vector<ScreenPoint> globalSeen;
};

// The panel keeps its look when another window takes the keyboard: hidden and shown again, GTK
// then has nothing to restyle on the way to the mapped panel.
TEST_F(ClickMonitorTest, ThePanelKeepsItsLookWhenItLosesTheKeyboard) {
  auto backdrop = [](Gtk::Window& window) { return (window.get_state_flags() & Gtk::STATE_FLAG_BACKDROP) != 0; };
  panel.window().present();
  ASSERT_TRUE(waitFor([&] { return panel.window().has_toplevel_focus(); }));
  other.present();
  // GDK reports the lost focus with the window's new state, so GTK has handled both by then.
  ASSERT_TRUE(waitFor([&] { return other.has_toplevel_focus() && !panel.window().has_toplevel_focus(); }));
  EXPECT_FALSE(backdrop(panel.window())) << "the panel took the unfocused look";
  dialog.present();
  ASSERT_TRUE(waitFor([&] { return backdrop(other); })) << "other windows take it as usual";
  EXPECT_FALSE(backdrop(panel.window()));
}

TEST_F(ClickMonitorTest, OwnTransientWindowsAreNotOutsideThePanel) {
  auto local = monitors->addLocalMonitor([this](ClickTarget target) { localSeen.push_back(target); });
  auto global = monitors->addGlobalMonitor([this](ScreenPoint point) { globalSeen.push_back(point); });
  ASSERT_TRUE(local && global);

  EXPECT_EQ(clickInto(panel.window()), ClickTarget::panel);
  EXPECT_EQ(clickInto(dialog), ClickTarget::ownTransient) << "a dialog transient for the panel";
  EXPECT_EQ(clickInto(dropDown), ClickTarget::ownTransient) << "a pop-up such as a drop-down menu";
  EXPECT_EQ(clickInto(other), ClickTarget::other);
  EXPECT_TRUE(globalSeen.empty()) << "presses in our own windows are not global";

  // A removed local monitor reports nothing more; one still installed witnesses the press.
  local.reset();
  const auto seen = localSeen.size();
  std::vector<ClickTarget> witness;
  auto witnessToken = monitors->addLocalMonitor([&](ClickTarget target) { witness.push_back(target); });
  int x = 0, y = 0;
  other.get_window()->get_origin(x, y);
  clickAt(x + 20, y + 20);
  ASSERT_TRUE(waitFor([&] { return !witness.empty(); }));
  EXPECT_EQ(localSeen.size(), seen);

  // A press on the bare desktop is outside: the global monitor sees it with its position. (Presses
  // on the desktop come last: the window manager may hold the pointer briefly after them.)
  clickAt(700, 700);
  ASSERT_TRUE(waitFor([&] { return !globalSeen.empty(); }));
  EXPECT_EQ(globalSeen.back(), (ScreenPoint{700, 700}));

  global.reset();
  std::vector<ScreenPoint> globalWitness;
  auto globalWitnessToken = monitors->addGlobalMonitor([&](ScreenPoint point) { globalWitness.push_back(point); });
  clickAt(650, 650);
  ASSERT_TRUE(waitFor([&] { return !globalWitness.empty(); }));
  EXPECT_EQ(globalSeen.size(), 1u);
}

TEST_F(ClickMonitorTest, PanelIsPlacedUnderTheIconInsideTheWorkArea) {
  int x = 0, y = 0;
  panel.window().get_window()->get_origin(x, y);
  EXPECT_EQ(x, 1012 - 150);
  EXPECT_GE(y, 24);
  const auto area = panel.workArea(std::nullopt);
  ASSERT_TRUE(area);
  EXPECT_EQ(GtkPanelWindow::placement(ScreenRect{1270, 0, 10, 10}, *area, 300, 300).x, area->x + area->width - 300)
      << "clamped at the right edge";
  EXPECT_EQ(GtkPanelWindow::placement(std::nullopt, ScreenRect{0, 28, 1280, 772}, 300, 300), (ScreenPoint{980, 28}))
      << "top right of the work area without an icon";
  EXPECT_EQ(GtkPanelWindow::placement(ScreenRect{600, 780, 20, 20}, ScreenRect{0, 0, 1280, 776}, 300, 300),
            (ScreenPoint{460, 476}))
      << "above an icon at the bottom";
}

TEST_F(ClickMonitorTest, AnOpenPanelThatGrowsStaysInsideTheWorkArea) {
  const auto area = panel.workArea(ScreenRect{1000, 0, 24, 24});
  ASSERT_TRUE(area);
  panel.setContentSize(680, 500);
  int x = 0, y = 0;
  ASSERT_TRUE(waitFor([&] {
    panel.window().get_window()->get_origin(x, y);
    return x == area->x + area->width - 680;
  })) << "x stayed at "
      << x;
  EXPECT_GE(y, area->y);
}

// The window manager closes the panel itself (Alt+F4): the click monitors go with it, and come
// back when the panel is shown again.
TEST(PanelClosedByTheWindowManager, TakesTheClickMonitorsWithIt) {
  static Gtk::Main main;
  vesk::testing::MemorySettingsStore store;
  vesk::testing::Journal journal;
  vesk::testing::FakeHotkeyService hotkeys{journal};
  vesk::testing::FakeMainQueue queue;
  ShellPlatform platform;
  platform.makeTrayItem = [&] { return std::make_unique<vesk::testing::FakeTrayItem>(journal); };
  GtkPanelWindow* window = nullptr;
  platform.makePanelWindow = [&] {
    auto made = std::make_unique<GtkPanelWindow>();
    window = made.get();
    return made;
  };
  auto monitors = std::make_unique<vesk::testing::FakeClickMonitors>();
  auto* clicks = monitors.get();
  platform.clickMonitors = std::move(monitors);
  platform.makePanelContent = [](AppModel&, std::function<void()>) -> Gtk::Widget* {
    return Gtk::manage(new Gtk::Label("Panel"));
  };
  platform.mainQueue = queue.queue();
  AppDelegate delegate(store, hotkeys, std::move(platform));
  delegate.applicationDidFinishLaunching();

  for (int round = 0; round < 2; ++round) {
    delegate.performAction(rawValue(ShortcutAction::show));
    ASSERT_TRUE(waitFor([&] { return window->window().is_active(); })) << "the panel never got the focus";
    ASSERT_TRUE(clicks->global && clicks->local);
    closeThroughTheWindowManager(window->window());
    ASSERT_TRUE(waitFor([&] { return !delegate.isPanelShown(); })) << "the window manager did not close the panel";
    EXPECT_FALSE(clicks->global) << "round " << round;
    EXPECT_FALSE(clicks->local) << "round " << round;
  }
}

}  // namespace
}  // namespace vesk
