// Taking the keyboard for a layer surface. Compositors give the keyboard to a layer surface only
// when its keyboard mode changes while it is on screen (sway 1.7), so until the keyboard arrives
// each frame drawn flips the mode once more, a few times at most; once the window has the
// keyboard it keeps it exclusively.
#pragma once

#include <gtk/gtk.h>

#include <functional>

#include "model/glib_handles.h"

namespace vesk {

class LayerKeyboardClaim {
 public:
  // `window` is a layer surface that outlives this claim. `gaveUp` runs when the last attempt
  // passed without the keyboard.
  explicit LayerKeyboardClaim(GtkWindow* window, std::function<void()> gaveUp = {});
  LayerKeyboardClaim(const LayerKeyboardClaim&) = delete;
  LayerKeyboardClaim& operator=(const LayerKeyboardClaim&) = delete;

  // Asks for the keyboard exclusively, and again on each of the next `attempts` frames until it
  // arrives. Call it as the window is shown.
  void start(int attempts = 8);

 private:
  static void onDraw(GtkWidget* widget, cairo_t*, gpointer self);
  static gboolean onFocusIn(GtkWidget* widget, GdkEvent*, gpointer self);
  void flip();

  GtkWindow* window_;
  std::function<void()> gaveUp_;
  int attemptsLeft_ = 0;
  SignalConnection drawn_;
  SignalConnection focused_;
  SourceGuard flipSource_;
};

}  // namespace vesk
