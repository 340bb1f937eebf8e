#include "shell/tray_host_watchdog.h"

#include <utility>

namespace vesk {

TrayHostWatchdog::TrayHostWatchdog(std::chrono::seconds grace, std::function<bool()> hostPresent,
                                   std::function<void()> missing)
    : grace_(grace), hostPresent_(std::move(hostPresent)), missing_(std::move(missing)) {}

void TrayHostWatchdog::expect() {
  if (told_ || check_.pending()) return;
  check_.timeoutSeconds(grace_, [this] {
    if (told_ || (hostPresent_ && hostPresent_())) return;
    told_ = true;
    if (missing_) missing_();
  });
}

void TrayHostWatchdog::stop() { check_.remove(); }

}  // namespace vesk
