#include "hotkeys/session_hotkeys.h"

#include <gdk/gdk.h>
#include <gdk/gdkx.h>

#include <cstdlib>

#include "hotkeys/kglobalaccel_hotkey_service.h"
#include "hotkeys/portal_hotkey_service.h"
#include "hotkeys/x11_hotkey_service.h"

namespace vesk {

namespace {

bool namesKde(std::string_view desktops) {
  while (!desktops.empty()) {
    const auto end = desktops.find(':');
    if (desktops.substr(0, end) == "KDE") return true;
    if (end == std::string_view::npos) break;
    desktops.remove_prefix(end + 1);
  }
  return false;
}

}  // namespace

HotkeyBackend hotkeyBackendFor(bool waylandSession, bool x11Display, std::string_view currentDesktop) {
  if (x11Display && !waylandSession) return HotkeyBackend::x11Grabs;
  return namesKde(currentDesktop) ? HotkeyBackend::kglobalaccel : HotkeyBackend::portal;
}

std::unique_ptr<HotkeyService> makeSessionHotkeyService() {
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
  GdkDisplay* display = gdk_display_get_default();
  bool x11 = display != nullptr && GDK_IS_X11_DISPLAY(display);
  switch (hotkeyBackendFor(wayland != nullptr && *wayland != '\0', x11, desktop ? desktop : "")) {
    case HotkeyBackend::x11Grabs:
      return std::make_unique<X11HotkeyService>(display);
    case HotkeyBackend::kglobalaccel:
      return std::make_unique<KGlobalAccelHotkeyService>();
    case HotkeyBackend::portal:
      break;
  }
  return std::make_unique<PortalHotkeyService>();
}

}  // namespace vesk
