// Picks the hot-key service for the desktop session Vesk runs in.
#pragma once

#include <memory>
#include <string_view>

#include "hotkeys/hotkey_service.h"
#include "model/desktop_session.h"

namespace vesk {

enum class HotkeyBackend { x11Grabs, kglobalaccel, gnome, portal };

// X11 key grabs on an X11 session. On a Wayland session the desktop's service, also when Vesk
// itself runs through Xwayland (there X grabs see the keyboard only while an X11 window has
// focus): KDE Plasma's own shortcut service where XDG_CURRENT_DESKTOP (`currentDesktop`, a
// colon-separated list) names KDE, else the desktop portal. Plasma 5.27's portal binds nothing
// for a program that is not sandboxed and opens its Shortcuts settings at every start instead.
// GNOME's service where it names GNOME: the portal where GNOME has GlobalShortcuts, else GNOME's
// custom shortcuts on the user's word.
HotkeyBackend hotkeyBackendFor(bool waylandSession, bool x11Display, std::string_view currentDesktop = {});

// The same for the session as `currentDesktopSession()` tells it.
HotkeyBackend hotkeyBackendFor(const DesktopSession& session);

// The service for the session Vesk runs in (`currentDesktopSession()`).
std::unique_ptr<HotkeyService> makeSessionHotkeyService();

}  // namespace vesk
