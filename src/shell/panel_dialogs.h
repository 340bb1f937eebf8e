// Dialogs that belong to the panel: a page's file chooser or print dialog, made transient for the
// panel's window. They are kept inside the usable area of the panel's monitor (a file chooser
// asks for more than a small screen has), above the panel (which is kept above other windows),
// and when one closes the panel takes the keyboard back, so the page has it again.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <vector>

#include "shell/geometry.h"

namespace vesk {

class PanelDialogs {
 public:
  // `panel` is the panel's window; it must outlive this object.
  explicit PanelDialogs(GtkWindow* panel);
  ~PanelDialogs();
  PanelDialogs(const PanelDialogs&) = delete;
  PanelDialogs& operator=(const PanelDialogs&) = delete;

  // The largest content size a dialog may take in the usable area `area`: the area less room for
  // the window manager's frame and a margin, never below a usable minimum.
  static ScreenSize largestSize(const ScreenRect& area);

  // Whether `window` belongs to the panel: a toplevel transient for it, directly or through
  // another dialog.
  bool belongsToPanel(GtkWindow* window) const;

  // Told true when the first of the panel's dialogs is shown and false when the last one is
  // hidden again: where the panel is kept above every window (a layer surface), it makes way.
  std::function<void(bool open)> onDialogsOpen;

 private:
  static gboolean onRealize(GSignalInvocationHint*, guint count, const GValue* values, gpointer self);
  void adopt(GtkWindow* dialog);
  static void returnFocus(GtkWindow* panel);
  void recount();
  static void weakNotify(gpointer self, GObject* gone);
  // The dialogs adopted and not yet finalized, and whether one of them is on screen.
  std::vector<GtkWidget*> adopted_;
  bool anyOpen_ = false;

  GtkWindow* panel_;
  guint realizeSignal_ = 0;
  gulong hook_ = 0;
};

}  // namespace vesk
