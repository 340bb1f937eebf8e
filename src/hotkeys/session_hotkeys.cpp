#include "hotkeys/session_hotkeys.h"

#include <gdk/gdk.h>
#include <gdk/gdkx.h>

#include <cstdlib>

#include "hotkeys/portal_hotkey_service.h"
#include "hotkeys/x11_hotkey_service.h"

namespace vesk {

HotkeyBackend hotkeyBackendFor(bool waylandSession, bool x11Display) {
  return x11Display && !waylandSession ? HotkeyBackend::x11Grabs : HotkeyBackend::portal;
}

std::unique_ptr<HotkeyService> makeSessionHotkeyService() {
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  GdkDisplay* display = gdk_display_get_default();
  bool x11 = display != nullptr && GDK_IS_X11_DISPLAY(display);
  if (hotkeyBackendFor(wayland != nullptr && *wayland != '\0', x11) == HotkeyBackend::x11Grabs) {
    return std::make_unique<X11HotkeyService>(display);
  }
  return std::make_unique<PortalHotkeyService>();
}

}  // namespace vesk
