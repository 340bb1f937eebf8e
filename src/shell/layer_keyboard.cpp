#include "shell/layer_keyboard.h"

#include <gtk-layer-shell/gtk-layer-shell.h>

#include <utility>

namespace vesk {

LayerKeyboardClaim::LayerKeyboardClaim(GtkWindow* window, std::function<void()> gaveUp)
    : window_(window),
      gaveUp_(std::move(gaveUp)),
      drawn_(window_, g_signal_connect_after(window_, "draw", G_CALLBACK(&LayerKeyboardClaim::onDraw), this)),
      focused_(SignalConnection::connect(window_, "focus-in-event", G_CALLBACK(&LayerKeyboardClaim::onFocusIn), this)) {
}

void LayerKeyboardClaim::start(int attempts) {
  gtk_layer_set_keyboard_mode(window_, GTK_LAYER_SHELL_KEYBOARD_MODE_EXCLUSIVE);
  attemptsLeft_ = attempts;
}

void LayerKeyboardClaim::onDraw(GtkWidget*, cairo_t*, gpointer self) {
  auto* claim = static_cast<LayerKeyboardClaim*>(self);
  if (claim->attemptsLeft_ <= 0 || gtk_window_has_toplevel_focus(claim->window_)) return;
  // The mode changes on the next idle, after this frame is on screen.
  claim->flipSource_.idle([claim] { claim->flip(); });
  if (--claim->attemptsLeft_ == 0 && claim->gaveUp_) claim->gaveUp_();
}

void LayerKeyboardClaim::flip() {
  GtkWindow* window = window_;
  if (!gtk_widget_get_visible(GTK_WIDGET(window)) || gtk_window_has_toplevel_focus(window)) return;
  const bool asking = gtk_layer_get_keyboard_mode(window) == GTK_LAYER_SHELL_KEYBOARD_MODE_EXCLUSIVE;
  gtk_layer_set_keyboard_mode(
      window, asking ? GTK_LAYER_SHELL_KEYBOARD_MODE_ON_DEMAND : GTK_LAYER_SHELL_KEYBOARD_MODE_EXCLUSIVE);
}

gboolean LayerKeyboardClaim::onFocusIn(GtkWidget*, GdkEvent*, gpointer self) {
  auto* claim = static_cast<LayerKeyboardClaim*>(self);
  claim->attemptsLeft_ = 0;
  if (gtk_layer_get_keyboard_mode(claim->window_) != GTK_LAYER_SHELL_KEYBOARD_MODE_EXCLUSIVE)
    gtk_layer_set_keyboard_mode(claim->window_, GTK_LAYER_SHELL_KEYBOARD_MODE_EXCLUSIVE);
  return FALSE;
}

}  // namespace vesk
