// The tray icon's menu: what it offers, described once for both its forms (the dbusmenu the tray
// host shows and the pop-up menu Vesk opens itself), and that pop-up menu on each display setup:
// X11, X11 through Xwayland (on sway placed clear of its bars), and a Wayland layer surface.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/desktop_session.h"
#include "model/glib_handles.h"
#include "shell/geometry.h"
#include "shell/layer_keyboard.h"

typedef struct _GtkWidget GtkWidget;
typedef union _GdkEvent GdkEvent;

namespace vesk {

enum class TrayCommand { open, settings, quit };

struct TrayMenuEntry {
  std::string label;
  std::optional<TrayCommand> command;  // absent for a separator
};

// "Open Vesk" first where a click on the icon opens the menu instead (`withOpen`), then
// "Settings…", a separator and "Quit Vesk".
std::vector<TrayMenuEntry> trayMenuEntries(bool withOpen);

// The command a menu item made from `trayMenuEntries` stands for (kept on the item's GObject).
void setTrayCommand(gpointer item, TrayCommand command);
TrayCommand trayCommandOf(gpointer item);

// The menu Vesk pops up itself: for a host's ContextMenu call, a right click on the XEmbed icon
// and the keyboard. It is built on first use.
class TrayPopupMenu {
 public:
  TrayPopupMenu(DesktopSession session, std::function<void(TrayCommand)> chosen);
  ~TrayPopupMenu();
  TrayPopupMenu(const TrayPopupMenu&) = delete;
  TrayPopupMenu& operator=(const TrayPopupMenu&) = delete;

  // Where the icon is known (a point on an X11 screen, also through Xwayland), else at the top
  // right of the usable area; on a Wayland display from a window of ours at the top right.
  void popUp(std::optional<ScreenPoint> icon);
  // At the pointer, for a press on Vesk's own XEmbed icon.
  void popUpAtPointer(GdkEvent* press);

 private:
  struct WidgetDestroy {
    void operator()(GtkWidget* widget) const;
  };

  GtkWidget* menu();
  void popUpAt(ScreenPoint point);
  void popUpAtTopRight(std::optional<ScreenRect> area);
  void popUpOnLayer();
  void openFromParent();

  DesktopSession session_;
  std::function<void(TrayCommand)> chosen_;
  std::unique_ptr<GtkWidget, WidgetDestroy> menu_;
  // On Wayland a menu needs a window of ours to open from: a dot of a layer surface at the top
  // right, shown while the menu is open; its keyboard claim goes before it.
  std::unique_ptr<GtkWidget, WidgetDestroy> parent_;
  std::unique_ptr<LayerKeyboardClaim> parentKeyboard_;
  // Handlers that receive `this`, ended before the widgets above go.
  std::vector<SignalConnection> signals_;
  CallGuard swayQuestion_;
};

}  // namespace vesk
