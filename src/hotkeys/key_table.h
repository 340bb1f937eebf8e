// Translates the stored key numbering and modifier mask to and from X keysyms and modifier
// state, and reads a GTK key press into the record that Shortcut::from takes.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "model/shortcut.h"

typedef struct _GdkEventKey GdkEventKey;

namespace vesk {

// One key of the stored numbering. `keysym` is what the key produces on a US layout without
// modifiers; `levelZeroKeysym`, when not 0, is another symbol the same key gives unmodified:
// keypad keys with NumLock off (KP_End for keypad 1), the ISO extra key on some layouts.
struct KeyTableEntry {
  std::uint16_t keyCode;
  unsigned long keysym;
  unsigned long levelZeroKeysym;
};

// Key code given to a press of a key the table does not know (media keys and the like).
// It never names a real key, so a combination made with it is refused when registered.
inline constexpr std::uint16_t unknownKeyCode = 0xFFFF;

std::span<const KeyTableEntry> keyTable();

std::optional<unsigned long> keysymForKeyCode(std::uint32_t keyCode);
// Accepts the table's keysyms, the unmodified keypad symbols and upper-case letters.
std::optional<std::uint16_t> keyCodeForKeysym(unsigned long keysym);
bool isKeypadKeyCode(std::uint32_t keyCode);

// The X modifier state for a stored mask: control, option, shift, command as Control, Mod1,
// Shift and Mod4. Other bits of the mask are ignored.
unsigned int xModifiersForMask(std::uint32_t modifiers);
// The stored mask for an X modifier state; lock and other modifiers are ignored.
std::uint32_t maskForXModifiers(unsigned int state);

// The combination in GTK's accelerator syntax, as GNOME's keyboard settings store it
// ("<Control><Alt>space"), and as sway's bindsym names it ("Ctrl+Alt+space"); absent for a key
// code the table does not know.
std::optional<std::string> gtkAccelerator(std::uint32_t keyCode, std::uint32_t modifiers);
std::optional<std::string> swayKeys(std::uint32_t keyCode, std::uint32_t modifiers);

// Reads a key press into the record Shortcut::from takes: the key code through the table
// (from the key's unmodified symbol in the first layout, so the active layout does not change
// it), the four modifiers, and the characters the key gives with at most shift applied (never
// what Alt composes); absent characters when the key produces none (arrows, function keys).
KeyEventRecord keyEventRecord(const GdkEventKey& event);

}  // namespace vesk
