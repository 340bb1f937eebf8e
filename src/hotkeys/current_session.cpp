#include "hotkeys/current_session.h"

#include <gdk/gdk.h>
#include <gdk/gdkx.h>

namespace vesk {

DesktopSession currentDesktopSession() {
  GdkDisplay* display = gdk_display_get_default();
  const bool x11 = display != nullptr && GDK_IS_X11_DISPLAY(display);
  const SessionEnvironment environment = sessionEnvironment();
  // The window manager's name matters only through Xwayland: no round trip to the X server elsewhere.
  const char* manager = x11 && environment.hasWayland()
                            ? gdk_x11_screen_get_window_manager_name(gdk_display_get_default_screen(display))
                            : nullptr;
  return desktopSession(environment, x11, manager ? manager : "");
}

}  // namespace vesk
