// Helpers for tests on a real X display: GTK start-up, real key input through xdotool, and
// waiting on the main loop for a condition.
#pragma once

#include <gtk/gtk.h>
#include <gtkmm/main.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>

namespace vesk::testing {

inline void startGtk() {
  static bool started = [] {
    gtk_init(nullptr, nullptr);
    Gtk::Main::init_gtkmm_internals();
    return true;
  }();
  (void)started;
}

// Sends real key events through the XTEST extension; returns when xdotool has sent them.
inline bool xdotool(const std::string& arguments) { return std::system(("xdotool " + arguments).c_str()) == 0; }

// Runs the main loop until `done` holds or a generous deadline passes; returns `done()`.
inline bool runUntil(const std::function<bool()>& done, std::chrono::seconds limit = std::chrono::seconds(30)) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  // Wakes the loop now and then so the deadline is noticed when nothing else happens.
  guint wake = g_timeout_add(
      100, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
  while (!done() && std::chrono::steady_clock::now() < deadline) g_main_context_iteration(nullptr, TRUE);
  g_source_remove(wake);
  return done();
}

}  // namespace vesk::testing
