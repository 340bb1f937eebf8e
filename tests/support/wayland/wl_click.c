/* Clicks on a wlroots compositor as a user would: a virtual pointer moves to x,y on a screen of
 * the given size and presses and releases the left button, `count` times (a double click with
 * 2), for tests on a headless compositor that has no input devices.
 *   wl-click X Y [COUNT] [WIDTH HEIGHT]   (default 1 click on 1280x800) */
#include <linux/input-event-codes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wayland-client.h>

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"
#include "wl_tool.h"

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
  struct wl_tool_globals globals = wl_tool_bind(display, &zwlr_virtual_pointer_manager_v1_interface);
  struct zwlr_virtual_pointer_manager_v1* manager = globals.manager;
  struct wl_seat* seat = globals.seat;
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
