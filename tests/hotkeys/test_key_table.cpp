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
  struct Known {
    std::uint16_t code;
    unsigned long keysym;
  };
  const Known known[] = {
      {0, XK_a},
      {1, XK_s},
      {11, XK_b},
      {18, XK_1},
      {22, XK_6},
      {23, XK_5},
      {29, XK_0},
      {24, XK_equal},
      {27, XK_minus},
      {30, XK_bracketright},
      {33, XK_bracketleft},
      {39, XK_apostrophe},
      {41, XK_semicolon},
      {42, XK_backslash},
      {43, XK_comma},
      {44, XK_slash},
      {47, XK_period},
      {50, XK_grave},
      {36, XK_Return},
      {48, XK_Tab},
      {49, XK_space},
      {51, XK_BackSpace},
      {53, XK_Escape},
      {117, XK_Delete},
      {115, XK_Home},
      {119, XK_End},
      {116, XK_Prior},
      {121, XK_Next},
      {123, XK_Left},
      {124, XK_Right},
      {125, XK_Down},
      {126, XK_Up},
      {122, XK_F1},
      {120, XK_F2},
      {99, XK_F3},
      {118, XK_F4},
      {111, XK_F12},
      {105, XK_F13},
      {64, XK_F17},
      {90, XK_F20},
      {82, XK_KP_0},
      {92, XK_KP_9},
      {65, XK_KP_Decimal},
      {67, XK_KP_Multiply},
      {69, XK_KP_Add},
      {75, XK_KP_Divide},
      {76, XK_KP_Enter},
      {78, XK_KP_Subtract},
      {81, XK_KP_Equal},
  };
  for (const auto& k : known) EXPECT_EQ(keysymForKeyCode(k.code), k.keysym) << "key code " << k.code;
  EXPECT_EQ(KeyCode::space, 49);
  EXPECT_EQ(KeyCode::escape, 53);
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

}  // namespace
}  // namespace vesk
