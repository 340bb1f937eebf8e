// Picks the hot-key service for the desktop session Vesk runs in.
#pragma once

#include <memory>

#include "hotkeys/hotkey_service.h"

namespace vesk {

enum class HotkeyBackend { x11Grabs, portal };

// X11 key grabs on an X11 session. On a Wayland session the portal, also when Vesk itself runs
// through Xwayland: there X grabs see the keyboard only while an X11 window has focus.
HotkeyBackend hotkeyBackendFor(bool waylandSession, bool x11Display);

// The service for this session: WAYLAND_DISPLAY and GDK's default display decide.
std::unique_ptr<HotkeyService> makeSessionHotkeyService();

}  // namespace vesk
