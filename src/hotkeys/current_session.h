// The desktop session Vesk runs in, as GTK's display shows it: the one call every layer from
// hotkeys up asks (see `desktopSession` in model/desktop_session.h for the rule).
#pragma once

#include "model/desktop_session.h"

namespace vesk {

// The session now: the environment, whether GDK's default display is an X11 one (Wayland when
// there is none yet) and the X11 window manager's name. Cheap; ask it where it is needed.
DesktopSession currentDesktopSession();

}  // namespace vesk
