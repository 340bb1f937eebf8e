/* What the test tools that act as a user's input device on a wlroots compositor share: the
 * compositor's manager for that device and the seat, found in one round trip, and the clock and
 * pauses between events. */
#pragma once

#include <stdint.h>
#include <string.h>
#include <time.h>
#include <wayland-client.h>

struct wl_tool_globals {
  const struct wl_interface* manager_interface;
  void* manager;
  struct wl_seat* seat;
};

static void wl_tool_global(void* data, struct wl_registry* registry, uint32_t name, const char* interface,
                           uint32_t version) {
  (void)version;
  struct wl_tool_globals* globals = data;
  if (strcmp(interface, globals->manager_interface->name) == 0)
    globals->manager = wl_registry_bind(registry, name, globals->manager_interface, 1);
  else if (strcmp(interface, wl_seat_interface.name) == 0 && !globals->seat)
    globals->seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
}
static void wl_tool_global_remove(void* data, struct wl_registry* registry, uint32_t name) {
  (void)data;
  (void)registry;
  (void)name;
}

/* Binds the first seat and the manager of `manager_interface` (version 1), if the compositor
 * offers them. */
static struct wl_tool_globals wl_tool_bind(struct wl_display* display, const struct wl_interface* manager_interface) {
  static const struct wl_registry_listener listener = {wl_tool_global, wl_tool_global_remove};
  struct wl_tool_globals globals = {manager_interface, NULL, NULL};
  struct wl_registry* registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &listener, &globals);
  wl_display_roundtrip(display);
  return globals;
}

static uint32_t now_ms(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (uint32_t)(ts.tv_sec * 1000 + ts.tv_nsec / 1000000);
}

static void pause_ms(long ms) {
  struct timespec ts = {ms / 1000, (ms % 1000) * 1000000};
  nanosleep(&ts, NULL);
}
