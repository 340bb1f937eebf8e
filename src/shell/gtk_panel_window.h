// The panel window on GTK: undecorated, always dark, kept above, inside the work area.
#pragma once

#include <gtkmm/bin.h>
#include <gtkmm/window.h>

#include <memory>
#include <optional>
#include <string>

#include "model/glib_handles.h"
#include "model/scoped_connection.h"
#include "shell/bar_click_catcher.h"
#include "shell/geometry.h"
#include "shell/layer_keyboard.h"
#include "shell/panel_window.h"

namespace vesk {

// Holds the panel's content at exactly the size it is given, whatever the content asks for: a
// window that is not resizable takes its content's natural size, so a long text would otherwise
// widen the panel past the screen. Content whose minimum is larger still gets its minimum (and
// is cut off at the window's edge) rather than less than it needs.
class PanelContentFrame final : public Gtk::Bin {
 public:
  PanelContentFrame();
  void setSize(int width, int height);

 protected:
  Gtk::SizeRequestMode get_request_mode_vfunc() const override;
  void get_preferred_width_vfunc(int& minimum, int& natural) const override;
  void get_preferred_height_vfunc(int& minimum, int& natural) const override;
  void get_preferred_width_for_height_vfunc(int height, int& minimum, int& natural) const override;
  void get_preferred_height_for_width_vfunc(int width, int& minimum, int& natural) const override;
  void on_size_allocate(Gtk::Allocation& allocation) override;

 private:
  int width_ = 1, height_ = 1;
};

// The panel window on GTK. Its size is the content size it was last given and nothing else.
class GtkPanelWindow final : public PanelWindow {
 public:
  GtkPanelWindow();
  ~GtkPanelWindow() override;

  bool isShown() const override;
  void setContentSize(int width, int height) override;
  void setContent(Gtk::Widget* content) override;
  bool hasContent() const override;
  void showUnder(const std::optional<ScreenRect>& anchor) override;
  void close() override;
  std::optional<ScreenRect> workArea(const std::optional<ScreenRect>& anchor) const override;

  Gtk::Window& window() { return window_; }

  // Where a panel of `width` x `height` goes for an icon at `anchor` on a monitor whose usable
  // area is `area`: centred under the icon (above it when the icon is in the lower half), at the
  // top right without an icon, and always inside the area.
  static ScreenPoint placement(const std::optional<ScreenRect>& anchor, const ScreenRect& area, int width, int height);

  // Where a layer surface (Wayland) of `width` goes: the edge and side it is anchored to and its
  // distance from that side. Under the icon's half of the screen when the icon is known, else at
  // the top right; the compositor keeps it clear of bars that reserve their edge.
  struct LayerPlacement {
    bool top = true;
    bool left = false;
    int sideMargin = 0;
    bool operator==(const LayerPlacement&) const = default;
  };
  static LayerPlacement layerPlacement(const std::optional<ScreenRect>& anchor, const ScreenRect& area, int width);

  // Whether the panel is a layer surface of a Wayland compositor.
  bool usesLayerShell() const { return layerShell_; }

  // While one of the panel's dialogs (a page's file chooser, say) is open. A layer surface is
  // above every window, so the dialog would open under the panel and its click catcher: the panel
  // goes below windows and the catcher away until the last dialog closes. An X11 panel keeps its
  // place (its dialogs are kept above it).
  void makeWayForDialogs(bool open);

 private:
  Gtk::Window window_;
  PanelContentFrame frame_;
  int width_ = 500, height_ = 700;
  std::optional<ScreenRect> anchor_;  // the icon area the panel was last shown under
  bool layerShell_ = false;
  bool dialogsOpen_ = false;
  bool closesOnFocusLoss_ = false;
  // Takes clicks outside the shown panel: on a layer, a layer surface over everything but the
  // panel; through Xwayland under GNOME Shell, a desktop window under every window.
  Gtk::Window catcher_;
  std::unique_ptr<LayerKeyboardClaim> keyboardClaim_;  // on a layer
  // X11 through Xwayland on sway: takes clicks on the bars while the panel is shown.
  std::unique_ptr<BarClickCatcher> barCatcher_;
  std::string swaySocket_;
  CallGuard barQuestion_;  // the pending question to sway, cancelled on hide
  void coverBars();
  void askWhereTheBarsAre();
  void placeLayer(const std::optional<ScreenRect>& anchor);
  void focusOut();
  // Under GNOME Shell an X11 client sees no click on the desktop, which is no window there: a
  // transparent window of the desktop's type takes them while the panel is shown.
  void startDesktopCatcher();
  void showDesktopCatcher();
  bool desktopCatcher_ = false;
  // While shown under GNOME Shell: its overview opening (Activities, the Super key) closes the
  // panel, which the overview hides, as a click outside would.
  BusSubscription overviewWatch_;
  void watchOverview(bool watch);
  // Sends a click on the catcher to onFocusLost.
  void catchClicks();
  bool ownWindowHasFocus() const;

  // Last: they end before anything their handlers use goes (the window may still hide as it goes).
  ScopedConnection focusOut_;
  ScopedConnection focusIn_;
  ScopedConnection focusCheck_;
  ScopedConnection barHide_;
  ScopedConnection barDelay_;  // the strips wait for the double-click time after a show
};

}  // namespace vesk
