// Dialogs of the panel on a real display with a window manager: a dialog transient for the panel
// fits the usable area however large it asks to be, stays above the panel, and gives the keyboard
// back to the panel when it closes. Other windows are left alone.
#include <gtest/gtest.h>
#include <gtkmm/dialog.h>
#include <gtkmm/window.h>

#include "shell/gtk_panel_window.h"
#include "shell/panel_dialogs.h"
#include "support/gtk_test_support.h"

namespace vesk {
namespace {

using testing::waitFor;

TEST(PanelDialogSize, TheLargestSizeLeavesRoomForTheFrameAndAMargin) {
  struct Case {
    ScreenRect area;
    ScreenSize largest;
  };
  const Case cases[] = {
      {{0, 28, 1280, 772}, {1232, 692}},
      {{0, 0, 1920, 1080}, {1872, 1000}},
      {{0, 0, 300, 200}, {320, 240}},  // never below a usable minimum
  };
  for (const Case& c : cases) EXPECT_EQ(PanelDialogs::largestSize(c.area), c.largest);
}

// Where a window's frame (the window manager's, around it) ends, in root coordinates.
ScreenRect frameOf(Gtk::Window& window) {
  GdkRectangle frame{};
  gdk_window_get_frame_extents(window.get_window()->gobj(), &frame);
  return {frame.x, frame.y, frame.width, frame.height};
}

TEST(PanelDialogs, ADialogOfThePanelFitsTheWorkAreaStaysAboveAndReturnsTheKeyboard) {
  ASSERT_TRUE(testing::startGtk()) << "no display";
  GtkPanelWindow panel;
  PanelDialogs dialogs(panel.window().gobj());
  panel.setContentSize(400, 500);
  panel.showUnder(ScreenRect{1000, 0, 24, 24});
  ASSERT_TRUE(waitFor([&] { return panel.window().is_active(); }, 20));
  const auto area = panel.workArea(std::nullopt);
  ASSERT_TRUE(area);

  struct Case {
    const char* what;
    bool transient;
    bool fits;
  };
  for (const Case& c : {Case{"a dialog of the panel", true, true}, Case{"a window of its own", false, false}}) {
    SCOPED_TRACE(c.what);
    Gtk::Dialog dialog("Open File");
    if (c.transient) dialog.set_transient_for(panel.window());
    // Asks for more than the screen has, as a file chooser did.
    dialog.set_default_size(700, 1000);
    dialog.show();
    ASSERT_TRUE(waitFor([&] { return dialog.get_mapped() && dialog.is_active(); }, 20));
    testing::settle();
    const ScreenRect frame = frameOf(dialog);
    const bool inside = frame.y >= area->y && frame.y + frame.height <= area->y + area->height;
    EXPECT_EQ(inside, c.fits) << "frame " << frame.x << "," << frame.y << " " << frame.width << "x" << frame.height;
    const bool above = (dialog.get_window()->get_state() & Gdk::WINDOW_STATE_ABOVE) != 0;
    EXPECT_EQ(above, c.transient);
    dialog.hide();
    if (c.transient) {
      EXPECT_TRUE(waitFor([&] { return panel.window().is_active(); }, 20)) << "the panel did not get the keyboard back";
    }
  }
}

}  // namespace
}  // namespace vesk
