// The window that holds the panel under the tray icon: shown, resized and closed only when told.
// GtkPanelWindow is the GTK one: undecorated, always dark, kept above, inside the work area.
#pragma once

#include <gtkmm/bin.h>
#include <gtkmm/window.h>

#include <optional>

#include "shell/geometry.h"

namespace vesk {

class PanelWindow {
 public:
  virtual ~PanelWindow() = default;

  virtual bool isShown() const = 0;
  // The size of the panel's content area.
  virtual void setContentSize(int width, int height) = 0;
  // Puts the panel's content in place; the window takes ownership of a managed widget.
  virtual void setContent(Gtk::Widget* content) = 0;
  virtual bool hasContent() const = 0;
  // Shows the panel under `anchor` (the tray icon's area; without one, at the top right of the
  // primary monitor's work area), kept inside that monitor's work area, and gives it keyboard focus.
  virtual void showUnder(const std::optional<ScreenRect>& anchor) = 0;
  virtual void close() = 0;
  // The usable area of the monitor showing `anchor` (or the primary monitor); absent with no screen.
  virtual std::optional<ScreenRect> workArea(const std::optional<ScreenRect>& anchor) const = 0;
};

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

 private:
  Gtk::Window window_;
  PanelContentFrame frame_;
  int width_ = 500, height_ = 700;
  std::optional<ScreenRect> anchor_;  // the icon area the panel was last shown under
};

}  // namespace vesk
