#include "hotkeys/gtk_key_monitor.h"

#include <algorithm>

#include "hotkeys/key_table.h"

namespace vesk {

void GtkKeyMonitor::attach(Gtk::Window& window) {
  detach(window);
  // The first runs before the window's own handler, which hands the press to the focused widget
  // and then to its parents; the second runs only when none of them took the press.
  Gtk::Window* target = &window;
  auto before = window.signal_key_press_event().connect(
      [this, target](GdkEventKey* event) { return beforeWidgets(*target, event); }, false);
  auto after = window.signal_key_press_event().connect(
      [this, target](GdkEventKey* event) { return afterWidgets(*target, event); }, true);
  auto release =
      window.signal_key_release_event().connect([this](GdkEventKey* event) { return holding_ && hold(event); }, false);
  windows_.push_back({&window, std::move(before), std::move(after), std::move(release)});
}

void GtkKeyMonitor::detach(Gtk::Window& window) {
  // An entry erased ends its connections.
  std::erase_if(windows_, [&](const Attached& attached) { return attached.window == &window; });
}

KeyMonitor::Token GtkKeyMonitor::install(Handler handler) {
  auto token = ++nextToken_;
  handlers_.emplace_back(token, std::make_shared<Handler>(std::move(handler)));
  return token;
}

void GtkKeyMonitor::remove(Token token) {
  std::erase_if(handlers_, [token](const auto& entry) { return entry.first == token; });
}

bool GtkKeyMonitor::focusAnswersFirst(Gtk::Window& window) const {
  if (!answersFirst_) return false;
  GtkWidget* focus = gtk_window_get_focus(window.gobj());
  return focus != nullptr && answersFirst_(focus);
}

bool GtkKeyMonitor::beforeWidgets(Gtk::Window& window, GdkEventKey* event) {
  // While keys are held, the handlers still see each press first (Escape still closes the panel).
  if (holding_) return runHandlers(event, false) || hold(event);
  // A widget that answers first gets the press now; what it leaves unhandled comes back
  // through the window (a second delivery of the same press) and reaches afterWidgets.
  if (focusAnswersFirst(window)) return false;
  return runHandlers(event, false);
}

bool GtkKeyMonitor::afterWidgets(Gtk::Window& window, GdkEventKey* event) {
  // Reached only when no widget took the press. Presses that were not first given to such a
  // widget have already been through the handlers.
  if (!focusAnswersFirst(window)) return false;
  return runHandlers(event, true);
}

bool GtkKeyMonitor::runHandlers(GdkEventKey* event, bool leftByFocus) {
  if (event == nullptr || handlers_.empty() || event->is_modifier) return false;
  MonitoredKeyPress press{keyEventRecord(*event), event->hardware_keycode, leftByFocus};
  auto alive = lifetime_.handle();
  auto snapshot = handlers_;
  for (const auto& [token, handler] : snapshot) {
    if (!alive) return true;  // a handler destroyed the monitor; the press was dealt with
    bool stillInstalled = std::any_of(handlers_.begin(), handlers_.end(),
                                      [token = token](const auto& entry) { return entry.first == token; });
    if (stillInstalled && (*handler)(press)) return true;
  }
  return false;
}

bool GtkKeyMonitor::hold(GdkEventKey* event) {
  if (held_.size() < heldKeyLimit) held_.emplace_back(gdk_event_copy(reinterpret_cast<GdkEvent*>(event)));
  return true;
}

void GtkKeyMonitor::releaseHeldKeys() {
  holding_ = false;
  auto held = std::exchange(held_, {});
  auto alive = lifetime_.handle();
  // Each goes through GTK as the press or release it was: to the window's handlers and then its
  // focused widget. A window gone since takes nothing.
  for (auto& event : held) {
    gtk_main_do_event(event.get());
    if (!alive) return;
  }
}

void GtkKeyMonitor::dropHeldKeys() {
  holding_ = false;
  held_.clear();
}

}  // namespace vesk
