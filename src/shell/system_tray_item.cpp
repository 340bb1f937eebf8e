#include "shell/system_tray_item.h"

#include <gdk/gdk.h>
#include <gtk/gtk.h>
#include <unistd.h>

#include <cmath>
#include <utility>

#include "hotkeys/current_session.h"
#include "shell/display_session.h"

namespace vesk {

SystemTrayItem::SystemTrayItem(std::string iconThemePath)
    : busName_("org.kde.StatusNotifierItem-" + std::to_string(getpid()) + "-1"),
      session_(currentDesktopSession()),
      menu_(session_, [this](TrayCommand command) { chosen(command); }),
      watchdog_(
          trayHostGrace, [this] { return (item_ && item_->watcherPresent()) || isFallbackIconEmbedded(); },
          [this] {
            if (onNoTrayHost) onNoTrayHost();
          }) {
  GError* error = nullptr;
  connection_.reset(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error));
  GErrorPtr failure(error);
  if (!connection_) {
    // No session bus: only the XEmbed icon can work.
    showFallbackIcon();
    watchdog_.expect();
    return;
  }
  StatusNotifierItem::Events events;
  events.activated = [this](const std::string& sender, int x, int y) { activatedBy(sender, x, y); };
  events.contextMenu = [this](ScreenPoint point) { menu_.popUp(point); };
  events.chosen = [this](TrayCommand command) { chosen(command); };
  // While no watcher shows the item, the desktop may still have an XEmbed tray.
  events.watcherChanged = [this](bool present) {
    if (present) {
      watchdog_.stop();
      fallback_.reset();
    } else {
      showFallbackIcon();
      watchdog_.expect();
    }
  };
  events.refused = [this] {
    showFallbackIcon();
    watchdog_.expect();
  };
  item_ =
      std::make_unique<StatusNotifierItem>(connection_.get(), busName_, std::move(iconThemePath), std::move(events));
}

SystemTrayItem::~SystemTrayItem() = default;

void SystemTrayItem::chosen(TrayCommand command) {
  switch (command) {
    case TrayCommand::open:
      if (onOpen) onOpen();
      break;
    case TrayCommand::settings:
      if (onSettings) onSettings();
      break;
    case TrayCommand::quit:
      if (onQuit) onQuit();
      break;
  }
}

void SystemTrayItem::setToolTip(const std::string& text) {
  if (text == toolTip_) return;
  toolTip_ = text;
  if (item_) item_->setToolTip(text);
  if (fallback_) fallback_->setToolTip(text);
}

void SystemTrayItem::setUnread(bool unread) {
  unread_ = unread;
  if (item_) item_->setUnread(unread);
  if (fallback_) fallback_->setUnread(unread);
}

int SystemTrayItem::countClick(ClickCounter::Clock::time_point at) {
  counter_.setDoubleClickTime(doubleClickTime());
  return counter_.click(at);
}

void SystemTrayItem::activatedBy(const std::string& sender, int x, int y) {
  const int count = countClick(ClickCounter::Clock::now());
  if (sender.empty() || session_.display != DisplayKind::xwayland) {
    activated(count, x, y, TrayHost::unknown);
    return;
  }
  // Which host calls tells how to read the point: asked once per caller, by its process's name.
  item_->hostOf(sender, [this, count, x, y](TrayHost host) { activated(count, x, y, host); });
}

void SystemTrayItem::activated(int count, int x, int y, TrayHost host) {
  std::optional<ScreenPoint> pointer;
  if (session_.display == DisplayKind::xwayland) {
    int pointerX = 0, pointerY = 0;
    GdkDevice* device = gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default()));
    if (device) {
      gdk_device_get_position(device, nullptr, &pointerX, &pointerY);
      pointer = ScreenPoint{pointerX, pointerY};
    }
  }
  const std::optional<ScreenPoint> point = screenClickPoint({x, y}, session_.display, pointer, host);
  if (!point) {
    // Where the icon is stays unknown: the panel and the menu go to the top right.
    lastClick_.reset();
    lastArea_.reset();
    if (onClick) onClick(TrayClick{count, std::nullopt, std::nullopt});
    return;
  }
  lastClick_ = point;
  // The host tells only where the pointer was; the icon is the small square around it.
  lastArea_ = ScreenRect{x - 12, y - 12, 24, 24};
  if (onClick) onClick(TrayClick{count, lastClick_, std::nullopt});
}

std::optional<ScreenRect> SystemTrayItem::iconArea() const {
  if (fallback_) {
    if (auto area = fallback_->area()) return area;
  }
  return lastArea_;
}

void SystemTrayItem::popUpMenu() {
  std::optional<ScreenPoint> icon = lastClick_;
  if (auto area = iconArea()) icon = ScreenPoint{area->x + area->width / 2, area->y + area->height / 2};
  menu_.popUp(icon);
}

void SystemTrayItem::showFallbackIcon() {
  // XEmbed trays exist only on X11.
  if (fallback_ || session_.display == DisplayKind::wayland) return;
  fallback_ =
      std::make_unique<XEmbedTrayIcon>(toolTip_, [this](GdkEventButton* event) { return fallbackPressed(event); });
  fallback_->setUnread(unread_);
}

bool SystemTrayItem::fallbackPressed(GdkEventButton* event) {
  const ScreenPoint point{static_cast<int>(std::lround(event->x_root)), static_cast<int>(std::lround(event->y_root))};
  if (event->button == GDK_BUTTON_PRIMARY) {
    // GTK reports a double click as press, press, double-press: each press is one click, counted
    // by its server time against the desktop's double-click time; the double- and triple-press
    // that follow only repeat the last press and must not toggle the panel again.
    if (event->type != GDK_BUTTON_PRESS) return true;
    const int count = countClick(ClickCounter::Clock::time_point(std::chrono::milliseconds(event->time)));
    lastClick_ = point;
    auto area = iconArea();
    if (area) lastArea_ = area;
    if (onClick) onClick(TrayClick{count, point, area});
    return true;
  }
  if (event->button == GDK_BUTTON_SECONDARY && event->type == GDK_BUTTON_PRESS) {
    menu_.popUpAtPointer(reinterpret_cast<GdkEvent*>(event));
    return true;
  }
  return false;
}

}  // namespace vesk
