// The XEmbed tray icon, for desktops whose tray has no StatusNotifierWatcher (X11 only): GTK 3's
// GtkStatusIcon showing the outlined tray symbol at the size the tray asks for.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "model/glib_handles.h"
#include "shell/geometry.h"

typedef struct _GtkStatusIcon GtkStatusIcon;
typedef struct _GdkEventButton GdkEventButton;

namespace vesk {

class XEmbedTrayIcon {
 public:
  // Shows the icon at once; `pressed` gets every button press on it and says whether it used it.
  XEmbedTrayIcon(const std::string& toolTip, std::function<bool(GdkEventButton*)> pressed);
  ~XEmbedTrayIcon();  // takes the icon out of the tray
  XEmbedTrayIcon(const XEmbedTrayIcon&) = delete;
  XEmbedTrayIcon& operator=(const XEmbedTrayIcon&) = delete;

  void setToolTip(const std::string& text);
  // Draws the unread dot into the icon, or takes it away.
  void setUnread(bool unread);
  // Whether the icon sits in an XEmbed tray.
  bool embedded() const;
  // Where the tray shows it, once it is embedded.
  std::optional<ScreenRect> area() const;

 private:
  void sizeChanged(int size);

  GObjectPtr<GtkStatusIcon> icon_;
  std::function<bool(GdkEventButton*)> pressed_;
  int size_ = 22;
  bool unread_ = false;
  SignalConnection sizeChanged_;
  SignalConnection buttonPressed_;
};

}  // namespace vesk
