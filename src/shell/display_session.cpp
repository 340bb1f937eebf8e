#include "shell/display_session.h"

#include <wayland-client.h>

#include <cstring>

namespace vesk {

std::string preferredBackends(bool hasX11Display, bool hasWaylandDisplay, const WaylandCompositor& compositor) {
  if (hasWaylandDisplay && compositor.reachable && compositor.layerShell && !compositor.plasmaShell) {
    return "wayland,x11";
  }
  if (hasX11Display) return "x11,*";
  return "wayland,x11";
}

WaylandCompositor probeWaylandCompositor() {
  WaylandCompositor found;
  wl_display* display = wl_display_connect(nullptr);
  if (!display) return found;
  found.reachable = true;
  wl_registry* registry = wl_display_get_registry(display);
  static const wl_registry_listener listener = {
      [](void* data, wl_registry*, uint32_t, const char* interface, uint32_t) {
        auto* compositor = static_cast<WaylandCompositor*>(data);
        if (std::strcmp(interface, "zwlr_layer_shell_v1") == 0) compositor->layerShell = true;
        if (std::strcmp(interface, "org_kde_plasma_shell") == 0) compositor->plasmaShell = true;
      },
      [](void*, wl_registry*, uint32_t) {},
  };
  wl_registry_add_listener(registry, &listener, &found);
  if (wl_display_roundtrip(display) < 0) found.reachable = false;
  wl_registry_destroy(registry);
  wl_display_disconnect(display);
  return found;
}

}  // namespace vesk
