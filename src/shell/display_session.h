// Which display connection GTK opens: X11 (also through Xwayland) where it places the panel
// under the tray icon, native Wayland where the compositor offers layer surfaces and X11 cannot
// place or dismiss the panel (wlroots compositors such as sway and Hyprland).
#pragma once

#include <string>

namespace vesk {

// What a Wayland compositor offers, from its global objects.
struct WaylandCompositor {
  bool reachable = false;    // the connection was made
  bool layerShell = false;   // zwlr_layer_shell_v1: panels and overlays at screen edges
  bool plasmaShell = false;  // org_kde_plasma_shell: KDE Plasma, whose X11 placement works
};

// The GDK backends to allow, in order of preference, for a session with an X11 display and/or a
// Wayland display. X11 comes first (GNOME and KDE honour its placement under the icon) except on
// a compositor that offers layer surfaces and is not Plasma: there X11 windows are centred by the
// compositor and clicks in Wayland windows never reach X11, so the panel is a layer surface.
std::string preferredBackends(bool hasX11Display, bool hasWaylandDisplay, const WaylandCompositor& compositor);

// Connects to the Wayland display named by WAYLAND_DISPLAY, reads its global objects in one
// round trip and disconnects. Unreachable when there is none.
WaylandCompositor probeWaylandCompositor();

// Whether GTK's display is a Wayland display whose compositor offers layer surfaces, asked once
// on GTK's own connection. Ask this before any gtk-layer-shell call: the library's own check
// prints a warning on standard error on compositors without them (weston, GNOME).
bool layerShellOffered();

}  // namespace vesk
