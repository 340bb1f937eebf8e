// Tells once when the desktop has had time to bring a tray host and none is there: a session may
// start Vesk before its panel, and a panel may leave and come back.
#pragma once

#include <chrono>
#include <functional>

#include "model/glib_handles.h"

namespace vesk {

class TrayHostWatchdog {
 public:
  // `hostPresent` says whether an icon of ours is shown now; `missing` runs at most once.
  TrayHostWatchdog(std::chrono::seconds grace, std::function<bool()> hostPresent, std::function<void()> missing);
  TrayHostWatchdog(const TrayHostWatchdog&) = delete;
  TrayHostWatchdog& operator=(const TrayHostWatchdog&) = delete;

  // Looks for a tray host once the grace time has passed, unless already waiting or told.
  void expect();
  // A tray host appeared: nothing to look for.
  void stop();

 private:
  std::chrono::seconds grace_;
  std::function<bool()> hostPresent_;
  std::function<void()> missing_;
  bool told_ = false;
  SourceGuard check_;
};

}  // namespace vesk
