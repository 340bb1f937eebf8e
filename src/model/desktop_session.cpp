#include "model/desktop_session.h"

#include <glib.h>

namespace vesk {

namespace {

std::string variable(const char* name) {
  const char* value = g_getenv(name);
  return value ? value : "";
}

}  // namespace

bool namesDesktop(std::string_view desktops, std::string_view name) {
  while (!desktops.empty()) {
    const auto end = desktops.find(':');
    if (desktops.substr(0, end) == name) return true;
    if (end == std::string_view::npos) break;
    desktops.remove_prefix(end + 1);
  }
  return false;
}

SessionEnvironment sessionEnvironment() {
  return {variable("DISPLAY"), variable("WAYLAND_DISPLAY"), variable("SWAYSOCK"), variable("XDG_CURRENT_DESKTOP")};
}

DesktopSession desktopSession(const SessionEnvironment& environment, bool displayIsX11,
                              std::string_view windowManager) {
  DesktopSession session;
  if (!displayIsX11) {
    session.display = DisplayKind::wayland;
  } else {
    session.display = environment.hasWayland() ? DisplayKind::xwayland : DisplayKind::x11;
  }
  if (session.waylandSession()) session.swaySocket = environment.swaySocket;
  session.kde = namesDesktop(environment.currentDesktop, "KDE");
  session.gnome = namesDesktop(environment.currentDesktop, "GNOME");
  session.gnomeShell =
      session.display == DisplayKind::xwayland && (windowManager == "GNOME Shell" || windowManager == "Mutter");
  return session;
}

}  // namespace vesk
