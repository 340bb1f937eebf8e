#include "hotkeys/gtk_key_monitor.h"

#include <algorithm>

#include "hotkeys/key_table.h"

namespace vesk {

GtkKeyMonitor::~GtkKeyMonitor() {
  *alive_ = false;
  for (auto& attached : windows_) attached.keyPress.disconnect();
}

void GtkKeyMonitor::attach(Gtk::Window& window) {
  detach(window);
  // Connected before the window's own handler, which hands the press to the focused widget.
  auto connection = window.signal_key_press_event().connect(sigc::mem_fun(*this, &GtkKeyMonitor::onKeyPress), false);
  windows_.push_back({&window, connection});
}

void GtkKeyMonitor::detach(Gtk::Window& window) {
  std::erase_if(windows_, [&](Attached& attached) {
    if (attached.window != &window) return false;
    attached.keyPress.disconnect();
    return true;
  });
}

KeyMonitor::Token GtkKeyMonitor::install(Handler handler) {
  auto token = ++nextToken_;
  handlers_.emplace_back(token, std::make_shared<Handler>(std::move(handler)));
  return token;
}

void GtkKeyMonitor::remove(Token token) {
  std::erase_if(handlers_, [token](const auto& entry) { return entry.first == token; });
}

bool GtkKeyMonitor::onKeyPress(GdkEventKey* event) {
  if (event == nullptr || handlers_.empty() || event->is_modifier) return false;
  MonitoredKeyPress press{keyEventRecord(*event), event->hardware_keycode};
  auto alive = alive_;
  auto snapshot = handlers_;
  for (const auto& [token, handler] : snapshot) {
    if (!*alive) return true;  // a handler destroyed the monitor; the press was dealt with
    bool stillInstalled = std::any_of(handlers_.begin(), handlers_.end(),
                                      [token = token](const auto& entry) { return entry.first == token; });
    if (stillInstalled && (*handler)(press)) return true;
  }
  return false;
}

}  // namespace vesk
