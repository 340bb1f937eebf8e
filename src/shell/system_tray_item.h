// The tray icon on the Linux desktop: a StatusNotifierItem on the session bus with its menu
// exported over dbusmenu, or an XEmbed icon when no StatusNotifierWatcher is running. This type
// composes the parts and turns what they report into clicks: one click counter for both icons.
#pragma once

#include <gio/gio.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "model/desktop_session.h"
#include "model/glib_handles.h"
#include "shell/status_notifier_item.h"
#include "shell/tray_host_watchdog.h"
#include "shell/tray_item.h"
#include "shell/tray_menu.h"
#include "shell/xembed_tray_icon.h"

typedef struct _GdkEventButton GdkEventButton;

namespace vesk {

class SystemTrayItem final : public TrayItem {
 public:
  // How long the desktop has after start (or after its tray host left) to bring a tray host
  // before Vesk says that it has no icon: a session may start Vesk before its panel.
  static constexpr std::chrono::seconds trayHostGrace{10};

  // `iconThemePath` is the folder holding hicolor/…/io.github.vesk.Vesk-symbolic.svg (may be empty).
  explicit SystemTrayItem(std::string iconThemePath);
  ~SystemTrayItem() override;
  SystemTrayItem(const SystemTrayItem&) = delete;
  SystemTrayItem& operator=(const SystemTrayItem&) = delete;

  void setToolTip(const std::string& text) override;
  void setUnread(bool unread) override;
  void popUpMenu() override;
  std::optional<ScreenRect> iconArea() const override;

  // The bus name the item is exported under ("org.kde.StatusNotifierItem-<pid>-1").
  const std::string& busName() const { return busName_; }
  // Whether the XEmbed fallback icon is in use.
  bool usesFallbackIcon() const { return fallback_ != nullptr; }
  // Whether that icon sits in an XEmbed tray.
  bool isFallbackIconEmbedded() const { return fallback_ && fallback_->embedded(); }

 private:
  void chosen(TrayCommand command);
  // An Activate call from the bus name `sender`, and the click it reports once the host is known.
  void activatedBy(const std::string& sender, int x, int y);
  void activated(int count, int x, int y, TrayHost host);
  bool fallbackPressed(GdkEventButton* event);
  void showFallbackIcon();
  int countClick(ClickCounter::Clock::time_point at);

  // Members go in reverse order: the bus item first (its events reach everything above it), the
  // menu and the connection last.
  std::string busName_;
  DesktopSession session_;
  GObjectPtr<GDBusConnection> connection_;
  std::string toolTip_;
  bool unread_ = false;
  ClickCounter counter_{std::chrono::milliseconds(400)};
  std::optional<ScreenPoint> lastClick_;
  std::optional<ScreenRect> lastArea_;
  TrayPopupMenu menu_;
  std::unique_ptr<XEmbedTrayIcon> fallback_;
  TrayHostWatchdog watchdog_;
  std::unique_ptr<StatusNotifierItem> item_;
};

}  // namespace vesk
