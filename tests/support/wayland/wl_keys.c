/* Presses keys on a wlroots compositor as a user's keyboard would: one virtual keyboard with the
 * usual keymap (the XKB defaults, a US layout unless XKB_DEFAULT_LAYOUT says otherwise) presses
 * and releases each combination in turn, named as xdotool names them ("ctrl+shift+z", "Down",
 * "Return"). A keymap that stays the same from run to run matters: with a tool that brings a new
 * keymap every run, GTK's own controls in the panel took no key after the first. A seat without a keyboard has nobody to give the keyboard focus to: the
 * harness keeps one plugged in with --hold, the same keymap, so no focus or keymap changes as
 * keyboards come and go.
 *   wl-keys COMBINATION...
 *   wl-keys --type TEXT        types TEXT (characters of the keymap only)
 *   wl-keys --hold SECONDS     keeps a keyboard plugged in */
#define _GNU_SOURCE
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wl_tool.h"

/* The key that gives `sym` without modifiers or with Shift, and whether it needs Shift. */
struct found {
  xkb_keycode_t code;
  int shifted;
};
static struct found key_for(struct xkb_keymap* keymap, xkb_keysym_t sym) {
  struct found result = {0, 0};
  for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap); code <= xkb_keymap_max_keycode(keymap); ++code) {
    for (xkb_level_index_t level = 0; level < 2; ++level) {
      const xkb_keysym_t* syms = NULL;
      int count = xkb_keymap_key_get_syms_by_level(keymap, code, 0, level, &syms);
      if (count == 1 && syms[0] == sym) {
        result.code = code;
        result.shifted = (int)level;
        return result;
      }
    }
  }
  return result;
}

static xkb_mod_mask_t modifier(struct xkb_keymap* keymap, const char* name) {
  const char* xkb = NULL;
  if (strcasecmp(name, "ctrl") == 0 || strcasecmp(name, "control") == 0) xkb = XKB_MOD_NAME_CTRL;
  if (strcasecmp(name, "shift") == 0) xkb = XKB_MOD_NAME_SHIFT;
  if (strcasecmp(name, "alt") == 0) xkb = XKB_MOD_NAME_ALT;
  if (strcasecmp(name, "super") == 0) xkb = XKB_MOD_NAME_LOGO;
  if (!xkb) return 0;
  xkb_mod_index_t index = xkb_keymap_mod_get_index(keymap, xkb);
  return index == XKB_MOD_INVALID ? 0 : (xkb_mod_mask_t)1 << index;
}

static void press(struct wl_display* display, struct zwp_virtual_keyboard_v1* keyboard, xkb_mod_mask_t mods,
                  uint32_t code) {
  zwp_virtual_keyboard_v1_modifiers(keyboard, mods, 0, 0, 0);
  zwp_virtual_keyboard_v1_key(keyboard, now_ms(), code, WL_KEYBOARD_KEY_STATE_PRESSED);
  wl_display_roundtrip(display);
  pause_ms(20);
  zwp_virtual_keyboard_v1_key(keyboard, now_ms(), code, WL_KEYBOARD_KEY_STATE_RELEASED);
  zwp_virtual_keyboard_v1_modifiers(keyboard, 0, 0, 0, 0);
  wl_display_roundtrip(display);
  pause_ms(40);
}

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: wl-keys COMBINATION...\n");
    return 2;
  }
  struct xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  struct xkb_keymap* keymap = context ? xkb_keymap_new_from_names(context, NULL, XKB_KEYMAP_COMPILE_NO_FLAGS) : NULL;
  char* text = keymap ? xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1) : NULL;
  if (!text) {
    fprintf(stderr, "wl-keys: no keymap\n");
    return 1;
  }
  const size_t size = strlen(text) + 1;
  int fd = memfd_create("wl-keys-keymap", MFD_CLOEXEC);
  if (fd < 0 || write(fd, text, size) != (ssize_t)size) {
    fprintf(stderr, "wl-keys: cannot pass the keymap\n");
    return 1;
  }

  struct wl_display* display = wl_display_connect(NULL);
  if (!display) {
    fprintf(stderr, "wl-keys: no Wayland display\n");
    return 1;
  }
  struct wl_tool_globals globals = wl_tool_bind(display, &zwp_virtual_keyboard_manager_v1_interface);
  struct zwp_virtual_keyboard_manager_v1* manager = globals.manager;
  struct wl_seat* seat = globals.seat;
  if (!manager || !seat) {
    fprintf(stderr, "wl-keys: the compositor offers no virtual keyboard\n");
    return 1;
  }
  struct zwp_virtual_keyboard_v1* keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(manager, seat);
  zwp_virtual_keyboard_v1_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, (uint32_t)size);
  wl_display_roundtrip(display);

  int status = 0;
  if (strcmp(argv[1], "--hold") == 0) {
    pause_ms(argc > 2 ? atol(argv[2]) * 1000 : 3600 * 1000);
    argc = 1;
  }
  if (strcmp(argv[1], "--type") == 0 && argc > 2) {
    const xkb_mod_mask_t shift = modifier(keymap, "shift");
    for (const char* c = argv[2]; *c; ++c) {
      struct found found = key_for(keymap, xkb_utf32_to_keysym((uint32_t)(unsigned char)*c));
      if (found.code == 0) {
        fprintf(stderr, "wl-keys: no key for '%c'\n", *c);
        status = 2;
        continue;
      }
      press(display, keyboard, found.shifted ? shift : 0, found.code - 8);
    }
    argc = 1;
  }
  for (int i = 1; i < argc; ++i) {
    char combination[256];
    snprintf(combination, sizeof combination, "%s", argv[i]);
    xkb_mod_mask_t mods = 0;
    char* key = combination;
    for (char* plus = strchr(key, '+'); plus && plus[1]; plus = strchr(key, '+')) {
      *plus = '\0';
      xkb_mod_mask_t mod = modifier(keymap, key);
      if (!mod) {
        fprintf(stderr, "wl-keys: unknown modifier %s\n", key);
        status = 2;
      }
      mods |= mod;
      key = plus + 1;
    }
    xkb_keysym_t sym = xkb_keysym_from_name(key, XKB_KEYSYM_NO_FLAGS);
    if (sym == XKB_KEY_NoSymbol) sym = xkb_keysym_from_name(key, XKB_KEYSYM_CASE_INSENSITIVE);
    struct found found = key_for(keymap, sym);
    if (sym == XKB_KEY_NoSymbol || found.code == 0) {
      fprintf(stderr, "wl-keys: no key for %s\n", key);
      status = 2;
      continue;
    }
    if (found.shifted) mods |= modifier(keymap, "shift");
    /* Wayland key codes are evdev codes: XKB's minus 8. */
    press(display, keyboard, mods, found.code - 8);
  }
  /* A moment for the compositor to hand the last release on before the keyboard goes away. */
  pause_ms(100);
  zwp_virtual_keyboard_v1_destroy(keyboard);
  wl_display_roundtrip(display);
  wl_display_disconnect(display);
  close(fd);
  free(text);
  xkb_keymap_unref(keymap);
  xkb_context_unref(context);
  return status;
}
