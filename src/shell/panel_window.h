// The window that holds the panel under the tray icon: shown, resized and closed only when told.
// Plain C++ so that code deciding when the panel shows, and its tests, need no GTK headers;
// GtkPanelWindow (shell/gtk_panel_window.h) is the GTK one.
#pragma once

#include <functional>
#include <optional>

#include "shell/geometry.h"

namespace Gtk {
class Widget;
}

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

  // Called when the shown panel loses the keyboard to another application, on sessions where
  // clicks outside the panel cannot be seen (Wayland, and X11 windows through Xwayland); never
  // for the panel's own menus and dialogs. Runs on the main thread.
  std::function<void()> onFocusLost;
  // Called when the panel's window gets the keyboard focus. Runs on the main thread.
  std::function<void()> onFocused;
};

}  // namespace vesk
