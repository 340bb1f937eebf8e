#include <gtest/gtest.h>

#include <set>

#include "hotkeys/key_table.h"

// After gtest: X.h defines macros (None, Bool) that clash with its names.
#include <X11/X.h>
#include <X11/keysym.h>

namespace vesk {
namespace {

TEST(KeyTable, EveryCodeAndKeysymRoundTrips) {
  std::set<std::uint16_t> codes;
  std::set<unsigned long> keysyms;
  for (const auto& entry : keyTable()) {
    EXPECT_TRUE(codes.insert(entry.keyCode).second) << "key code " << entry.keyCode << " listed twice";
    EXPECT_TRUE(keysyms.insert(entry.keysym).second) << "keysym " << entry.keysym << " listed twice";
    EXPECT_EQ(keysymForKeyCode(entry.keyCode), entry.keysym);
    EXPECT_EQ(keyCodeForKeysym(entry.keysym), entry.keyCode);
    if (entry.levelZeroKeysym != 0) {
      EXPECT_EQ(keyCodeForKeysym(entry.levelZeroKeysym), entry.keyCode);
    }
  }
  EXPECT_FALSE(codes.contains(unknownKeyCode));
}

TEST(KeyTable, UsesTheStoredNumbering) {
  EXPECT_EQ(keysymForKeyCode(KeyCode::space), XK_space);
  EXPECT_EQ(keysymForKeyCode(KeyCode::escape), XK_Escape);
  EXPECT_EQ(keysymForKeyCode(0), XK_a);
  EXPECT_EQ(keysymForKeyCode(22), XK_6);  // 6 comes before 5 in this numbering
  EXPECT_EQ(keysymForKeyCode(36), XK_Return);
  EXPECT_EQ(keysymForKeyCode(51), XK_BackSpace);
  EXPECT_EQ(keysymForKeyCode(117), XK_Delete);
  EXPECT_EQ(keysymForKeyCode(122), XK_F1);
  EXPECT_EQ(keysymForKeyCode(99), XK_F3);
  EXPECT_EQ(keysymForKeyCode(123), XK_Left);
  EXPECT_EQ(keysymForKeyCode(126), XK_Up);
  EXPECT_EQ(keysymForKeyCode(82), XK_KP_0);
  EXPECT_EQ(keysymForKeyCode(91), XK_KP_8);  // 90 is F20
}

TEST(KeyTable, CoversTheWholeKeyboardRange) {
  for (unsigned long c = XK_a; c <= XK_z; ++c) EXPECT_TRUE(keyCodeForKeysym(c)) << char(c);
  for (unsigned long c = XK_0; c <= XK_9; ++c) EXPECT_TRUE(keyCodeForKeysym(c)) << char(c);
  for (unsigned long f = XK_F1; f <= XK_F20; ++f) EXPECT_TRUE(keyCodeForKeysym(f)) << "F" << f - XK_F1 + 1;
  for (unsigned long k = XK_KP_0; k <= XK_KP_9; ++k) EXPECT_TRUE(isKeypadKeyCode(*keyCodeForKeysym(k)));
  EXPECT_FALSE(isKeypadKeyCode(49));
  EXPECT_FALSE(isKeypadKeyCode(unknownKeyCode));
}

TEST(KeyTable, UpperCaseLettersAndUnmodifiedKeypadSymbolsFindTheirKey) {
  EXPECT_EQ(keyCodeForKeysym(XK_K), 40);
  EXPECT_EQ(keyCodeForKeysym(XK_KP_End), 83);     // keypad 1 with NumLock off
  EXPECT_EQ(keyCodeForKeysym(XK_KP_Delete), 65);  // keypad decimal with NumLock off
  EXPECT_FALSE(keyCodeForKeysym(XK_Print));
  EXPECT_FALSE(keyCodeForKeysym(XK_VoidSymbol));
  EXPECT_FALSE(keysymForKeyCode(52));
  EXPECT_FALSE(keysymForKeyCode(unknownKeyCode));
}

TEST(KeyTable, ModifiersMapBothWays) {
  EXPECT_EQ(xModifiersForMask(ModifierMask::control), unsigned(ControlMask));
  EXPECT_EQ(xModifiersForMask(ModifierMask::option), unsigned(Mod1Mask));
  EXPECT_EQ(xModifiersForMask(ModifierMask::shift), unsigned(ShiftMask));
  EXPECT_EQ(xModifiersForMask(ModifierMask::command), unsigned(Mod4Mask));
  EXPECT_EQ(xModifiersForMask(0x1B00), unsigned(ControlMask | Mod1Mask | ShiftMask | Mod4Mask));
  EXPECT_EQ(xModifiersForMask(0x00FF), 0u);  // bits outside the four modifiers are ignored
  for (std::uint32_t mask : {0u, 0x100u, 0x300u, 0x1800u, 0x1B00u}) {
    EXPECT_EQ(maskForXModifiers(xModifiersForMask(mask)), mask);
  }
  // Lock, NumLock (Mod2) and AltGr (Mod5) add nothing.
  EXPECT_EQ(maskForXModifiers(LockMask | Mod2Mask | Mod5Mask | ControlMask), ModifierMask::control);
}

// Labels of combinations read through the table, as the recorder builds them.
std::optional<Shortcut> combination(unsigned long keysym, std::optional<std::string> chars, bool control, bool option,
                                    bool shift, bool command) {
  auto code = keyCodeForKeysym(keysym);
  if (!code) return std::nullopt;
  return Shortcut::from(KeyEventRecord{control, option, shift, command, *code, std::move(chars)});
}

TEST(KeyTable, LabelsOfCombinationsReadThroughTheTable) {
  EXPECT_EQ(combination(XK_space, " ", true, true, false, false), Shortcut::standard());
  auto shiftCommandK = combination(XK_k, "K", false, false, true, true);
  ASSERT_TRUE(shiftCommandK);
  EXPECT_EQ(shiftCommandK->label, "⇧⌘ K");
  EXPECT_EQ(shiftCommandK->keyCode, 40u);
  auto commandF1 = combination(XK_F1, std::nullopt, false, false, false, true);
  ASSERT_TRUE(commandF1);
  EXPECT_EQ(commandF1->label, "⌘ Key");
  EXPECT_EQ(commandF1->keyCode, 122u);
  EXPECT_EQ(combination(XK_KP_1, "1", true, false, false, false)->label, "⌃ 1");
}

// The same combination as GNOME's keyboard settings store it and as sway's config binds it.
TEST(KeyTable, CombinationsSpelledForGnomeAndSway) {
  struct Case {
    std::uint32_t keyCode, modifiers;
    std::optional<std::string> gnome, sway;
  } cases[] = {{KeyCode::space, ModifierMask::control | ModifierMask::option, "<Control><Alt>space", "Ctrl+Alt+space"},
               {0, ModifierMask::command | ModifierMask::shift, "<Shift><Super>a", "Shift+Mod4+a"},
               {124, ModifierMask::control, "<Control>Right", "Ctrl+Right"},
               {83, ModifierMask::option, "<Alt>KP_1", "Alt+KP_1"},
               {10, ModifierMask::control, "<Control>less", "Ctrl+less"},  // the ISO key left of Z
               {unknownKeyCode, ModifierMask::control, std::nullopt, std::nullopt}};
  for (const auto& c : cases) {
    EXPECT_EQ(gtkAccelerator(c.keyCode, c.modifiers), c.gnome) << c.keyCode;
    EXPECT_EQ(swayKeys(c.keyCode, c.modifiers), c.sway) << c.keyCode;
  }
}

}  // namespace
}  // namespace vesk
