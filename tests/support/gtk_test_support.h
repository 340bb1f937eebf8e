// Helpers for tests on a real X display: GTK start-up, waiting on the main loop, real key input
// through xdotool, the texts a widget shows, and screenshots saved under the build folder.
#pragma once

#include <gdk/gdk.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <gtkmm/container.h>
#include <gtkmm/label.h>
#include <gtkmm/main.h>
#include <gtkmm/settings.h>
#include <gtkmm/window.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace vesk::testing {

// Opens the display once per process (the harness provides one); false when there is none.
// The panel's look is tested dark, and without animations so that switches change at once
// when activated instead of at the end of their slide.
[[nodiscard]] inline bool startGtk() {
  static bool started = [] {
    if (!gtk_init_check(nullptr, nullptr)) return false;
    Gtk::Main::init_gtkmm_internals();
    Gtk::Settings::get_default()->property_gtk_application_prefer_dark_theme() = true;
    Gtk::Settings::get_default()->property_gtk_enable_animations() = false;
    return true;
  }();
  return started;
}

// Runs the main loop until `condition` holds or `limitSeconds` pass; returns whether it holds.
inline bool waitFor(const std::function<bool()>& condition, int limitSeconds = 60) {
  gint64 deadline = g_get_monotonic_time() + gint64(limitSeconds) * G_USEC_PER_SEC;
  // A ticking source wakes the loop so that the condition and the deadline are checked often
  // even when nothing else happens.
  guint tick = g_timeout_add(
      20, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
  bool held = condition();
  while (!held && g_get_monotonic_time() < deadline) {
    g_main_context_iteration(nullptr, TRUE);
    held = condition();
  }
  g_source_remove(tick);
  return held;
}

// Runs the main loop for a short while so that pending events get dispatched.
inline void spinFor(int milliseconds) {
  gint64 end = g_get_monotonic_time() + gint64(milliseconds) * 1000;
  waitFor([end] { return g_get_monotonic_time() >= end; }, milliseconds / 1000 + 5);
}

// Dispatches everything pending, idle redraws included.
inline void settle() {
  for (int round = 0; round < 5; ++round) {
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
  }
}

// Sends real key events through the XTEST extension; returns when xdotool has sent them.
inline bool xdotool(const std::string& arguments) { return std::system(("xdotool " + arguments).c_str()) == 0; }

// Every label text shown (visible) inside `root`, in widget order.
inline void collectTexts(Gtk::Widget& root, std::vector<std::string>& texts) {
  if (!root.get_visible()) return;
  if (auto* label = dynamic_cast<Gtk::Label*>(&root)) texts.push_back(label->get_text());
  if (auto* container = dynamic_cast<Gtk::Container*>(&root)) {
    for (Gtk::Widget* child : container->get_children()) collectTexts(*child, texts);
  }
}

inline std::vector<std::string> shownTexts(Gtk::Widget& root) {
  std::vector<std::string> texts;
  collectTexts(root, texts);
  return texts;
}

inline bool showsText(Gtk::Widget& root, const std::string& text) {
  for (const auto& shown : shownTexts(root)) {
    if (shown == text) return true;
  }
  return false;
}

// Waits until the window has been drawn at least once after now.
inline void waitForDraw(Gtk::Window& window) {
  bool drawn = false;
  auto connection = window.signal_draw().connect(
      [&drawn](const Cairo::RefPtr<Cairo::Context>&) {
        drawn = true;
        return false;
      },
      true);
  window.queue_draw();
  waitFor([&] { return drawn; });
  connection.disconnect();
  settle();
}

// Saves the window's pixels as <build>/tests/<folder>/screenshots/<name>.png; returns the path.
inline std::string saveScreenshot(Gtk::Window& window, const std::string& folder, const std::string& name) {
  waitForDraw(window);
  // Under ctest they go to the build tree; a hand run keeps them out of the source tree.
  const char* binary = std::getenv("VESK_BINARY_DIR");
  std::filesystem::path dir = binary ? std::filesystem::path(binary) / "tests" / folder / "screenshots"
                                     : std::filesystem::temp_directory_path() / ("vesk-" + folder + "-screenshots");
  std::filesystem::create_directories(dir);
  std::filesystem::path file = dir / (name + ".png");
  GdkWindow* gdkWindow = gtk_widget_get_window(GTK_WIDGET(window.gobj()));
  GdkPixbuf* pixels =
      gdk_pixbuf_get_from_window(gdkWindow, 0, 0, gdk_window_get_width(gdkWindow), gdk_window_get_height(gdkWindow));
  EXPECT_NE(pixels, nullptr);
  if (pixels) {
    EXPECT_TRUE(gdk_pixbuf_save(pixels, file.c_str(), "png", nullptr, nullptr));
    g_object_unref(pixels);
  }
  return file.string();
}

// The colour of one pixel of the window, as 0…255 components.
struct Pixel {
  int red, green, blue;
};
inline Pixel pixelAt(Gtk::Window& window, int x, int y) {
  GdkWindow* gdkWindow = gtk_widget_get_window(GTK_WIDGET(window.gobj()));
  GdkPixbuf* pixels = gdk_pixbuf_get_from_window(gdkWindow, x, y, 1, 1);
  if (!pixels) return {-1, -1, -1};
  const guchar* p = gdk_pixbuf_get_pixels(pixels);
  Pixel result{p[0], p[1], p[2]};
  g_object_unref(pixels);
  return result;
}

}  // namespace vesk::testing
