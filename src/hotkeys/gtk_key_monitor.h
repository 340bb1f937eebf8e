// The key monitor for GTK windows: reads key presses on attached toplevels before their
// focused widget does. Presses of modifier keys alone are not key presses and are not shown.
#pragma once

#include <gtkmm/window.h>

#include <memory>
#include <utility>
#include <vector>

#include "hotkeys/key_monitor.h"

namespace vesk {

class GtkKeyMonitor : public KeyMonitor, public sigc::trackable {
 public:
  GtkKeyMonitor() = default;
  ~GtkKeyMonitor() override;
  GtkKeyMonitor(const GtkKeyMonitor&) = delete;
  GtkKeyMonitor& operator=(const GtkKeyMonitor&) = delete;

  // Presses sent to `window` pass through the installed handlers first. A window that is
  // destroyed drops out by itself.
  void attach(Gtk::Window& window);
  void detach(Gtk::Window& window);

  Token install(Handler handler) override;
  void remove(Token token) override;

 private:
  bool onKeyPress(GdkEventKey* event);

  struct Attached {
    Gtk::Window* window;
    sigc::connection keyPress;
  };
  std::vector<Attached> windows_;
  std::vector<std::pair<Token, std::shared_ptr<Handler>>> handlers_;
  Token nextToken_ = 0;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace vesk
