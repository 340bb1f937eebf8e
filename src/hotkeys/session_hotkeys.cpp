#include "hotkeys/session_hotkeys.h"

#include <gdk/gdk.h>
#include <gdk/gdkx.h>

#include "hotkeys/current_session.h"
#include "hotkeys/gnome_hotkey_service.h"
#include "hotkeys/kglobalaccel_hotkey_service.h"
#include "hotkeys/portal_hotkey_service.h"
#include "hotkeys/x11_hotkey_service.h"

namespace vesk {

HotkeyBackend hotkeyBackendFor(const DesktopSession& session) {
  if (session.display == DisplayKind::x11) return HotkeyBackend::x11Grabs;
  if (session.kde) return HotkeyBackend::kglobalaccel;
  return session.gnome ? HotkeyBackend::gnome : HotkeyBackend::portal;
}

HotkeyBackend hotkeyBackendFor(bool waylandSession, bool x11Display, std::string_view currentDesktop) {
  SessionEnvironment environment;
  if (waylandSession) environment.waylandDisplay = "wayland-0";
  environment.currentDesktop = currentDesktop;
  return hotkeyBackendFor(desktopSession(environment, x11Display));
}

std::unique_ptr<HotkeyService> makeSessionHotkeyService() {
  const DesktopSession session = currentDesktopSession();
  switch (hotkeyBackendFor(session)) {
    case HotkeyBackend::x11Grabs:
      return std::make_unique<X11HotkeyService>(gdk_display_get_default());
    case HotkeyBackend::kglobalaccel:
      return std::make_unique<KGlobalAccelHotkeyService>();
    case HotkeyBackend::gnome:
      return std::make_unique<GnomeHotkeyService>(std::make_unique<PortalHotkeyService>());
    case HotkeyBackend::portal:
      break;
  }
  return std::make_unique<PortalHotkeyService>();
}

}  // namespace vesk
