// Mouse-button presses seen while the panel is open: in other applications (global) and in
// Vesk's own windows (local). A monitor exists as long as its token lives.
#pragma once

#include <functional>
#include <memory>

#include "shell/geometry.h"

namespace vesk {

// Which of Vesk's own windows a local press landed in.
enum class ClickTarget {
  panel,         // the panel window
  trayIcon,      // the tray icon, when Vesk draws it itself
  ownTransient,  // a window that belongs to the panel: a menu, a drop-down, a dialog transient for it
  other,         // any other window of Vesk
};

class ClickMonitorToken {
 public:
  virtual ~ClickMonitorToken() = default;  // removes the monitor
};

class ClickMonitors {
 public:
  virtual ~ClickMonitors() = default;

  // Left and right presses delivered to other applications, with the pointer's screen position.
  virtual std::unique_ptr<ClickMonitorToken> addGlobalMonitor(std::function<void(ScreenPoint)> handler) = 0;
  // Left and right presses in Vesk's own windows, before the window handles them; never swallowed.
  virtual std::unique_ptr<ClickMonitorToken> addLocalMonitor(std::function<void(ClickTarget)> handler) = 0;
};

// The X11 monitors: global presses are XInput2 raw button presses selected on the root window
// (positions from the pointer, presses over Vesk's own windows left to the local monitor);
// local presses are read from Vesk's own event stream before GTK handles them. `panelWindow`
// tells which toplevel is the panel.
std::unique_ptr<ClickMonitors> makeX11ClickMonitors(std::function<void*()> panelWindow);

}  // namespace vesk
