/* Clicks on a wlroots compositor as a user would: a virtual pointer moves to x,y on a screen of
 * the given size and presses and releases the left button, `count` times (a double click with
 * 2), for tests on a headless compositor that has no input devices.
 *   wl-click X Y [COUNT] [WIDTH HEIGHT]   (default 1 click on 1280x800) */
#include <linux/input-event-codes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <wayland-client.h>

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

static struct zwlr_virtual_pointer_manager_v1* manager;
static struct wl_seat* seat;

static void global(void* data, struct wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
  (void)data;
  (void)version;
  if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
    manager = wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
  else if (strcmp(interface, wl_seat_interface.name) == 0 && !seat)
    seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
}
static void global_remove(void* data, struct wl_registry* registry, uint32_t name) {
  (void)data;
  (void)registry;
  (void)name;
}
static const struct wl_registry_listener listener = {global, global_remove};

static uint32_t now_ms(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (uint32_t)(ts.tv_sec * 1000 + ts.tv_nsec / 1000000);
}

static void pause_ms(long ms) {
  struct timespec ts = {ms / 1000, (ms % 1000) * 1000000};
  nanosleep(&ts, NULL);
}

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: wl-click X Y [COUNT] [WIDTH HEIGHT]\n");
    return 2;
  }
  const uint32_t x = (uint32_t)atoi(argv[1]), y = (uint32_t)atoi(argv[2]);
  const int count = argc > 3 ? atoi(argv[3]) : 1;
  const uint32_t width = argc > 5 ? (uint32_t)atoi(argv[4]) : 1280, height = argc > 5 ? (uint32_t)atoi(argv[5]) : 800;
  struct wl_display* display = wl_display_connect(NULL);
  if (!display) {
    fprintf(stderr, "wl-click: no Wayland display\n");
    return 1;
  }
  struct wl_registry* registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &listener, NULL);
  wl_display_roundtrip(display);
  if (!manager) {
    fprintf(stderr, "wl-click: the compositor offers no virtual pointer\n");
    return 1;
  }
  struct zwlr_virtual_pointer_v1* pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, seat);
  zwlr_virtual_pointer_v1_motion_absolute(pointer, now_ms(), x, y, width, height);
  zwlr_virtual_pointer_v1_frame(pointer);
  wl_display_roundtrip(display);
  pause_ms(100);
  for (int i = 0; i < count; ++i) {
    zwlr_virtual_pointer_v1_button(pointer, now_ms(), BTN_LEFT, WL_POINTER_BUTTON_STATE_PRESSED);
    zwlr_virtual_pointer_v1_frame(pointer);
    wl_display_roundtrip(display);
    pause_ms(30);
    zwlr_virtual_pointer_v1_button(pointer, now_ms(), BTN_LEFT, WL_POINTER_BUTTON_STATE_RELEASED);
    zwlr_virtual_pointer_v1_frame(pointer);
    wl_display_roundtrip(display);
    pause_ms(80);
  }
  /* A moment for the compositor to hand the last release on before the pointer goes away. */
  pause_ms(100);
  wl_display_disconnect(display);
  return 0;
}
