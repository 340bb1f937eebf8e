#include "shell/display_session.h"

#include <gdk/gdk.h>
#include <gdk/gdkwayland.h>
#include <wayland-client.h>

#include <cstring>
#include <optional>

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

bool layerShellOffered() {
  static std::optional<bool> offered;
  if (offered) return *offered;
  GdkDisplay* display = gdk_display_get_default();
  if (!display) return false;  // asked again once there is one
  offered = false;
  if (!GDK_IS_WAYLAND_DISPLAY(display)) return false;
  wl_display* connection = gdk_wayland_display_get_wl_display(display);
  if (!connection) return false;
  // A queue of our own, so that GDK's events are neither read nor dispatched here.
  wl_event_queue* queue = wl_display_create_queue(connection);
  auto* wrapper = static_cast<wl_display*>(wl_proxy_create_wrapper(connection));
  wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapper), queue);
  wl_registry* registry = wl_display_get_registry(wrapper);
  bool found = false;
  static const wl_registry_listener listener = {
      [](void* data, wl_registry*, uint32_t, const char* interface, uint32_t) {
        if (std::strcmp(interface, "zwlr_layer_shell_v1") == 0) *static_cast<bool*>(data) = true;
      },
      [](void*, wl_registry*, uint32_t) {},
  };
  wl_registry_add_listener(registry, &listener, &found);
  const bool answered = wl_display_roundtrip_queue(connection, queue) >= 0;
  wl_registry_destroy(registry);
  wl_proxy_wrapper_destroy(wrapper);
  wl_event_queue_destroy(queue);
  offered = answered && found;
  return *offered;
}

}  // namespace vesk
