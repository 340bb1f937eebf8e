// Key presses sent to the application's own windows, shown to installed handlers before any
// widget sees them (except a focused web page, which answers first and hands back the presses it
// leaves unhandled); each handler may let a press through or swallow it.
#pragma once

#include <cstdint>
#include <functional>
#include <utility>

#include "model/shortcut.h"

namespace vesk {

struct MonitoredKeyPress {
  KeyEventRecord record;              // key code in the stored numbering, modifiers, characters
  std::uint32_t hardwareKeycode = 0;  // the keyboard's own code for the key (X keycode)
  // The focused widget (a web page) saw the press first and left it unhandled.
  bool leftByFocus = false;
};

class KeyMonitor {
 public:
  // Returns true to swallow the press: later handlers and the window's widgets do not see it.
  using Handler = std::function<bool(const MonitoredKeyPress&)>;
  using Token = std::uint64_t;

  virtual ~KeyMonitor() = default;

  // Handlers run in the order they were installed. A handler may install or remove handlers
  // (itself included) while it runs.
  virtual Token install(Handler handler) = 0;
  virtual void remove(Token token) = 0;

  // Holds back what is typed into the application's windows: every press no handler swallows,
  // and every key release, reaches no widget until releaseHeldKeys() hands them on in the order
  // they came, as if typed then, or dropHeldKeys() forgets them. Either ends the holding. A
  // monitor that cannot hold lets everything through.
  virtual void holdKeys() {}
  virtual void releaseHeldKeys() {}
  virtual void dropHeldKeys() {}
  virtual bool holdingKeys() const { return false; }
};

// A handler installed on a key monitor (which must outlive it), removed when this goes.
class InstalledKeyHandler {
 public:
  InstalledKeyHandler(KeyMonitor& monitor, KeyMonitor::Handler handler)
      : monitor_(monitor), token_(monitor.install(std::move(handler))) {}
  ~InstalledKeyHandler() { monitor_.remove(token_); }
  InstalledKeyHandler(const InstalledKeyHandler&) = delete;
  InstalledKeyHandler& operator=(const InstalledKeyHandler&) = delete;

 private:
  KeyMonitor& monitor_;
  KeyMonitor::Token token_;
};

}  // namespace vesk
