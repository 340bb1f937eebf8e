#include "shell/tray_host_watchdog.h"

#include <utility>

namespace vesk {

TrayHostWatchdog::TrayHostWatchdog(std::chrono::seconds grace, std::function<bool()> hostPresent,
                                   std::function<void()> missing)
    : grace_(grace), hostPresent_(std::move(hostPresent)), missing_(std::move(missing)) {}

TrayHostWatchdog::~TrayHostWatchdog() { stop(); }

void TrayHostWatchdog::expect() {
  if (told_ || check_) return;
  check_ = g_timeout_add_seconds(
      static_cast<guint>(grace_.count()),
      [](gpointer self) -> gboolean {
        auto* watchdog = static_cast<TrayHostWatchdog*>(self);
        watchdog->check_ = 0;
        if (watchdog->told_ || (watchdog->hostPresent_ && watchdog->hostPresent_())) return G_SOURCE_REMOVE;
        watchdog->told_ = true;
        if (watchdog->missing_) watchdog->missing_();
        return G_SOURCE_REMOVE;
      },
      this);
}

void TrayHostWatchdog::stop() {
  if (check_) g_source_remove(std::exchange(check_, 0));
}

}  // namespace vesk
