#include "hotkeys/key_table.h"

#include <X11/X.h>
#include <X11/keysym.h>
#include <gdk/gdk.h>

#include <array>
#include <string>

namespace vesk {

namespace {

constexpr auto table = std::to_array<KeyTableEntry>({
    // Letters.
    {0, XK_a, 0},
    {1, XK_s, 0},
    {2, XK_d, 0},
    {3, XK_f, 0},
    {4, XK_h, 0},
    {5, XK_g, 0},
    {6, XK_z, 0},
    {7, XK_x, 0},
    {8, XK_c, 0},
    {9, XK_v, 0},
    {11, XK_b, 0},
    {12, XK_q, 0},
    {13, XK_w, 0},
    {14, XK_e, 0},
    {15, XK_r, 0},
    {16, XK_y, 0},
    {17, XK_t, 0},
    {31, XK_o, 0},
    {32, XK_u, 0},
    {34, XK_i, 0},
    {35, XK_p, 0},
    {37, XK_l, 0},
    {38, XK_j, 0},
    {40, XK_k, 0},
    {45, XK_n, 0},
    {46, XK_m, 0},
    // Digits.
    {18, XK_1, 0},
    {19, XK_2, 0},
    {20, XK_3, 0},
    {21, XK_4, 0},
    {22, XK_6, 0},
    {23, XK_5, 0},
    {25, XK_9, 0},
    {26, XK_7, 0},
    {28, XK_8, 0},
    {29, XK_0, 0},
    // Punctuation.
    {10, XK_less, XK_section},  // the extra key of ISO keyboards, left of Z
    {24, XK_equal, 0},
    {27, XK_minus, 0},
    {30, XK_bracketright, 0},
    {33, XK_bracketleft, 0},
    {39, XK_apostrophe, 0},
    {41, XK_semicolon, 0},
    {42, XK_backslash, 0},
    {43, XK_comma, 0},
    {44, XK_slash, 0},
    {47, XK_period, 0},
    {50, XK_grave, 0},
    // Editing and whitespace.
    {36, XK_Return, 0},
    {48, XK_Tab, 0},
    {49, XK_space, 0},
    {51, XK_BackSpace, 0},
    {53, XK_Escape, 0},
    {114, XK_Insert, 0},
    {117, XK_Delete, 0},
    // Navigation.
    {115, XK_Home, 0},
    {116, XK_Prior, 0},
    {119, XK_End, 0},
    {121, XK_Next, 0},
    {123, XK_Left, 0},
    {124, XK_Right, 0},
    {125, XK_Down, 0},
    {126, XK_Up, 0},
    // Function keys.
    {122, XK_F1, 0},
    {120, XK_F2, 0},
    {99, XK_F3, 0},
    {118, XK_F4, 0},
    {96, XK_F5, 0},
    {97, XK_F6, 0},
    {98, XK_F7, 0},
    {100, XK_F8, 0},
    {101, XK_F9, 0},
    {109, XK_F10, 0},
    {103, XK_F11, 0},
    {111, XK_F12, 0},
    {105, XK_F13, 0},
    {107, XK_F14, 0},
    {113, XK_F15, 0},
    {106, XK_F16, 0},
    {64, XK_F17, 0},
    {79, XK_F18, 0},
    {80, XK_F19, 0},
    {90, XK_F20, 0},
    // Keypad.
    {82, XK_KP_0, XK_KP_Insert},
    {83, XK_KP_1, XK_KP_End},
    {84, XK_KP_2, XK_KP_Down},
    {85, XK_KP_3, XK_KP_Next},
    {86, XK_KP_4, XK_KP_Left},
    {87, XK_KP_5, XK_KP_Begin},
    {88, XK_KP_6, XK_KP_Right},
    {89, XK_KP_7, XK_KP_Home},
    {91, XK_KP_8, XK_KP_Up},
    {92, XK_KP_9, XK_KP_Prior},
    {65, XK_KP_Decimal, XK_KP_Delete},
    {67, XK_KP_Multiply, 0},
    {69, XK_KP_Add, 0},
    {71, XK_Clear, 0},
    {75, XK_KP_Divide, 0},
    {76, XK_KP_Enter, 0},
    {78, XK_KP_Subtract, 0},
    {81, XK_KP_Equal, 0},
    // Modifier keys, so that every key of a standard keyboard has its number.
    {54, XK_Super_R, 0},
    {55, XK_Super_L, 0},
    {56, XK_Shift_L, 0},
    {57, XK_Caps_Lock, 0},
    {58, XK_Alt_L, 0},
    {59, XK_Control_L, 0},
    {60, XK_Shift_R, 0},
    {61, XK_Alt_R, 0},
    {62, XK_Control_R, 0},
});

const KeyTableEntry* entryForKeyCode(std::uint32_t keyCode) {
  for (const auto& entry : table) {
    if (entry.keyCode == keyCode) return &entry;
  }
  return nullptr;
}

}  // namespace

std::span<const KeyTableEntry> keyTable() { return table; }

std::optional<unsigned long> keysymForKeyCode(std::uint32_t keyCode) {
  if (const auto* entry = entryForKeyCode(keyCode)) return entry->keysym;
  return std::nullopt;
}

std::optional<std::uint16_t> keyCodeForKeysym(unsigned long keysym) {
  if (keysym >= XK_A && keysym <= XK_Z) keysym += XK_a - XK_A;
  for (const auto& entry : table) {
    if (entry.keysym == keysym || (entry.levelZeroKeysym != 0 && entry.levelZeroKeysym == keysym)) {
      return entry.keyCode;
    }
  }
  return std::nullopt;
}

bool isKeypadKeyCode(std::uint32_t keyCode) {
  const auto* entry = entryForKeyCode(keyCode);
  return entry != nullptr &&
         ((entry->keysym >= XK_KP_Space && entry->keysym <= XK_KP_Equal) || entry->keysym == XK_Clear);
}

unsigned int xModifiersForMask(std::uint32_t modifiers) {
  unsigned int state = 0;
  if (modifiers & ModifierMask::control) state |= ControlMask;
  if (modifiers & ModifierMask::option) state |= Mod1Mask;
  if (modifiers & ModifierMask::shift) state |= ShiftMask;
  if (modifiers & ModifierMask::command) state |= Mod4Mask;
  return state;
}

namespace {

// The combination's modifiers, each as `names` spells it (control, option, shift, command), then
// the key's symbol name; absent for a key code the table does not know.
std::optional<std::string> spelled(std::uint32_t keyCode, std::uint32_t modifiers,
                                   const std::array<std::string_view, 4>& names, std::string_view after) {
  auto keysym = keysymForKeyCode(keyCode);
  const char* key = keysym ? gdk_keyval_name(static_cast<guint>(*keysym)) : nullptr;
  if (!key) return std::nullopt;
  std::string text;
  const std::uint32_t masks[] = {ModifierMask::control, ModifierMask::option, ModifierMask::shift,
                                 ModifierMask::command};
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (modifiers & masks[i]) {
      text += names[i];
      text += after;
    }
  }
  return text + key;
}

}  // namespace

std::optional<std::string> gtkAccelerator(std::uint32_t keyCode, std::uint32_t modifiers) {
  return spelled(keyCode, modifiers, {"<Control>", "<Alt>", "<Shift>", "<Super>"}, "");
}

std::optional<std::string> swayKeys(std::uint32_t keyCode, std::uint32_t modifiers) {
  return spelled(keyCode, modifiers, {"Ctrl", "Alt", "Shift", "Mod4"}, "+");
}

std::uint32_t maskForXModifiers(unsigned int state) {
  std::uint32_t mask = 0;
  if (state & ControlMask) mask |= ModifierMask::control;
  if (state & Mod1Mask) mask |= ModifierMask::option;
  if (state & ShiftMask) mask |= ModifierMask::shift;
  if (state & Mod4Mask) mask |= ModifierMask::command;
  return mask;
}

namespace {

// The symbol `keycode` gives in `group` with only `state` applied.
std::optional<guint> translatedKeyval(GdkKeymap* keymap, guint keycode, GdkModifierType state, int group) {
  guint keyval = 0;
  if (!gdk_keymap_translate_keyboard_state(keymap, keycode, state, group, &keyval, nullptr, nullptr, nullptr)) {
    return std::nullopt;
  }
  return keyval;
}

std::optional<std::string> charactersOf(guint keyval) {
  gunichar character = gdk_keyval_to_unicode(keyval);
  if (character == 0) return std::nullopt;
  char buffer[8] = {};
  int length = g_unichar_to_utf8(character, buffer);
  return std::string(buffer, static_cast<std::size_t>(length));
}

}  // namespace

KeyEventRecord keyEventRecord(const GdkEventKey& event) {
  KeyEventRecord record;
  const auto state = static_cast<unsigned int>(event.state);
  record.control = (state & GDK_CONTROL_MASK) != 0;
  record.option = (state & GDK_MOD1_MASK) != 0;
  record.shift = (state & GDK_SHIFT_MASK) != 0;
  record.command = (state & (GDK_MOD4_MASK | GDK_SUPER_MASK)) != 0;

  GdkDisplay* display = event.window ? gdk_window_get_display(event.window) : gdk_display_get_default();
  GdkKeymap* keymap = display ? gdk_keymap_get_for_display(display) : nullptr;
  if (keymap == nullptr) {
    record.keyCode = keyCodeForKeysym(event.keyval).value_or(unknownKeyCode);
    record.charactersIgnoringModifiers = charactersOf(event.keyval);
    return record;
  }

  auto unmodified = translatedKeyval(keymap, event.hardware_keycode, GdkModifierType(0), 0);
  record.keyCode = unmodified ? keyCodeForKeysym(*unmodified).value_or(unknownKeyCode) : unknownKeyCode;

  if (isKeypadKeyCode(record.keyCode)) {
    // Keypad keys name their digit or sign whatever the NumLock state.
    record.charactersIgnoringModifiers = charactersOf(*keysymForKeyCode(record.keyCode));
  } else {
    auto shiftOnly = record.shift ? GDK_SHIFT_MASK : GdkModifierType(0);
    auto keyval = translatedKeyval(keymap, event.hardware_keycode, shiftOnly, event.group);
    if (keyval) record.charactersIgnoringModifiers = charactersOf(*keyval);
  }
  return record;
}

}  // namespace vesk
