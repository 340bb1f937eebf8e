// The tray icon: shows the drawn symbol and a tooltip, reports clicks with their click count,
// and offers a menu with "Settings…" and "Quit Vesk".
#pragma once

#include <chrono>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "model/desktop_session.h"
#include "model/strings.h"
#include "shell/geometry.h"

namespace vesk {

struct TrayClick {
  // 1 for a single click (and the first click of a double click), 2 or more for later clicks.
  int clickCount = 1;
  // Where the pointer was when the icon was clicked, when the tray host tells.
  std::optional<ScreenPoint> point;
  // The icon's area on the screen, when the tray host tells.
  std::optional<ScreenRect> iconArea;
};

class TrayItem {
 public:
  virtual ~TrayItem() = default;

  virtual void setToolTip(const std::string& text) = 0;
  // Whether the icon carries the unread mark: a small dot drawn into it.
  virtual void setUnread(bool unread) = 0;
  // Pops up the item's own menu at the icon.
  virtual void popUpMenu() = 0;
  // The icon's last known area on the screen; absent until the icon has been clicked or placed.
  virtual std::optional<ScreenRect> iconArea() const = 0;

  std::function<void(const TrayClick&)> onClick;
  // The menu's "Open Vesk", offered where a click on the icon opens the menu instead.
  std::function<void()> onOpen;
  std::function<void()> onSettings;
  std::function<void()> onQuit;
  // Called once when no tray host has shown up for a while after start: the icon is nowhere.
  std::function<void()> onNoTrayHost;
};

// What a tray host is known to report as the point of a click.
enum class TrayHost {
  unknown,
  screenPoints,  // the pointer's position on the screen
  barPoints,     // a position inside the host's own bar
};

// The host by the name of its process. Desktop shells and panels report screen positions (KDE
// Plasma sends Activate(1071, 778) for its bottom panel's icon, GNOME Shell's AppIndicator
// extension the pointer's position); Wayland bars are Wayland clients themselves and report
// positions inside their bar (waybar says (10, 15)).
TrayHost trayHostForProcess(std::string_view name);

// The screen position of a tray click from the position the host reports, or absent when that
// cannot be one. On X11 hosts report screen positions. Through Xwayland the host decides; a
// host not known counts only when the pointer, as the X server last saw it, is there too (the
// X server does not see the pointer while it is over the desktop's own shell, so this test
// drops good positions and is a last resort). Vesk's own Wayland windows cannot be placed at a
// position at all.
inline std::optional<ScreenPoint> screenClickPoint(ScreenPoint reported, DisplayKind display,
                                                   std::optional<ScreenPoint> pointer,
                                                   TrayHost host = TrayHost::unknown) {
  constexpr int slack = 24;  // an icon's size: the pointer is somewhere on the icon clicked
  switch (display) {
    case DisplayKind::x11:
      return reported;
    case DisplayKind::xwayland:
      if (host == TrayHost::screenPoints) return reported;
      if (host == TrayHost::unknown && pointer && std::abs(pointer->x - reported.x) <= slack &&
          std::abs(pointer->y - reported.y) <= slack)
        return reported;
      return std::nullopt;
    case DisplayKind::wayland:
      break;
  }
  return std::nullopt;
}

// Counts clicks that arrive as separate activations: an activation within the desktop's
// double-click time of the previous one continues the count, a later one starts again at 1.
class ClickCounter {
 public:
  using Clock = std::chrono::steady_clock;

  explicit ClickCounter(std::chrono::milliseconds doubleClickTime) : doubleClickTime_(doubleClickTime) {}

  // An activation at `now`; one from before the previous (another clock, or a server time that
  // wrapped) starts again at 1.
  int click(Clock::time_point now) {
    count_ = (last_ && now >= *last_ && now - *last_ <= doubleClickTime_) ? count_ + 1 : 1;
    last_ = now;
    return count_;
  }
  void setDoubleClickTime(std::chrono::milliseconds time) { doubleClickTime_ = time; }

 private:
  std::chrono::milliseconds doubleClickTime_;
  std::optional<Clock::time_point> last_;
  int count_ = 0;
};

}  // namespace vesk
