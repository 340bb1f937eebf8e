// Helpers for the panel's widget tests on a real X display: GTK start-up, waiting on the main
// loop, a window holding the view, screenshots, and a loopback page server.
#pragma once

#include <gdk/gdk.h>
#include <gtk/gtk.h>
#include <gtkmm/main.h>
#include <gtkmm/window.h>
#include <libsoup/soup.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include <gtest/gtest.h>

namespace vesk::testing {

inline void ensureGtk() {
  static bool started = [] {
    if (!gtk_init_check(nullptr, nullptr)) return false;
    Gtk::Main::init_gtkmm_internals();
    return true;
  }();
  ASSERT_TRUE(started) << "no display";
}

// Runs the main loop until `condition` holds or `limitSeconds` pass.
inline bool waitFor(const std::function<bool()>& condition, int limitSeconds = 60) {
  gint64 deadline = g_get_monotonic_time() + gint64(limitSeconds) * G_USEC_PER_SEC;
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

// Dispatches everything pending (idle renders included).
inline void settle() {
  for (int round = 0; round < 5; ++round) {
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
  }
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
  waitFor([&] { return drawn; }, 20);
  connection.disconnect();
  settle();
}

// Saves the window's pixels as <build>/tests/panel/screenshots/<name>.png; returns the path.
inline std::string saveScreenshot(Gtk::Window& window, const std::string& name) {
  waitForDraw(window);
  // Under ctest they go to the build tree; a hand run keeps them out of the source tree.
  const char* binary = std::getenv("VESK_BINARY_DIR");
  std::filesystem::path dir = binary ? std::filesystem::path(binary) / "tests/panel/screenshots"
                                     : std::filesystem::temp_directory_path() / "vesk-panel-screenshots";
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

// One page served on 127.0.0.1 at a port the system picks.
class LoopbackPage {
 public:
  explicit LoopbackPage(std::string html) : html_(std::move(html)) {
    server_ = SOUP_SERVER(g_object_new(SOUP_TYPE_SERVER, nullptr));
    soup_server_add_handler(server_, nullptr, &LoopbackPage::handle, this, nullptr);
    GError* error = nullptr;
    if (!soup_server_listen_local(server_, 0, SOUP_SERVER_LISTEN_IPV4_ONLY, &error)) {
      ADD_FAILURE() << "cannot listen: " << error->message;
      g_clear_error(&error);
      return;
    }
    GSList* uris = soup_server_get_uris(server_);
    if (uris) port_ = g_uri_get_port(static_cast<GUri*>(uris->data));
    g_slist_free_full(uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));
  }
  ~LoopbackPage() {
    soup_server_disconnect(server_);
    g_object_unref(server_);
  }
  LoopbackPage(const LoopbackPage&) = delete;
  LoopbackPage& operator=(const LoopbackPage&) = delete;

  std::string url(const std::string& path = "/") const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

 private:
  static void handle(SoupServer*, SoupServerMessage* message, const char*, GHashTable*, gpointer self) {
    const std::string& html = static_cast<LoopbackPage*>(self)->html_;
    soup_server_message_set_status(message, 200, nullptr);
    soup_server_message_set_response(message, "text/html; charset=utf-8", SOUP_MEMORY_COPY, html.data(), html.size());
  }

  std::string html_;
  SoupServer* server_ = nullptr;
  int port_ = 0;
};

}  // namespace vesk::testing
