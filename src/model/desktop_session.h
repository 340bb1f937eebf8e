// Which desktop session Vesk runs in: the one place that reads the session's environment
// (DISPLAY, WAYLAND_DISPLAY, SWAYSOCK, XDG_CURRENT_DESKTOP) and the one rule that turns it, with
// the display GTK opened and the X11 window manager's name, into the session's kind.
#pragma once

#include <string>
#include <string_view>

namespace vesk {

// How Vesk reaches the screen: X11, X11 through Xwayland inside a Wayland session, or Wayland.
enum class DisplayKind { x11, xwayland, wayland };

// The variables a desktop session sets for its programs, as they were at the call (empty when
// unset).
struct SessionEnvironment {
  std::string x11Display;      // DISPLAY
  std::string waylandDisplay;  // WAYLAND_DISPLAY
  std::string swaySocket;      // SWAYSOCK: sway's IPC socket
  std::string currentDesktop;  // XDG_CURRENT_DESKTOP: a colon-separated list of desktop names

  bool hasX11() const { return !x11Display.empty(); }
  bool hasWayland() const { return !waylandDisplay.empty(); }
};

// Reads the session's variables from the environment.
SessionEnvironment sessionEnvironment();

// Whether a colon-separated list of desktop names (XDG_CURRENT_DESKTOP) holds `name` whole.
bool namesDesktop(std::string_view desktops, std::string_view name);

// The session Vesk runs in, once GTK has opened its display.
struct DesktopSession {
  DisplayKind display = DisplayKind::x11;
  // sway's IPC socket, where Vesk runs under sway (empty elsewhere).
  std::string swaySocket;
  // XDG_CURRENT_DESKTOP names KDE: Plasma's own shortcut service binds global keys there.
  bool kde = false;
  // XDG_CURRENT_DESKTOP names GNOME: its settings daemon runs commands bound as custom shortcuts.
  bool gnome = false;
  // GNOME Shell (or Mutter) manages Vesk's X11 windows through Xwayland: its desktop is no
  // window and its overview hides the panel.
  bool gnomeShell = false;

  // A Wayland compositor runs the session, whether Vesk reaches it natively or through Xwayland.
  bool waylandSession() const { return display != DisplayKind::x11; }
  bool sway() const { return !swaySocket.empty(); }
};

// The session from the environment, whether GTK's display is an X11 one, and the name the X11
// window manager gives itself (empty when unknown or not on X11).
DesktopSession desktopSession(const SessionEnvironment& environment, bool displayIsX11,
                              std::string_view windowManager = {});

}  // namespace vesk
