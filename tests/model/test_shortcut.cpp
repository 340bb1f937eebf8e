#include <gtest/gtest.h>

#include "model/shortcut.h"
#include "model/strings.h"

namespace vesk {
namespace {

KeyEventRecord press(std::uint16_t code, std::optional<std::string> chars, bool control = false, bool option = false,
                     bool shift = false, bool command = false) {
  return KeyEventRecord{control, option, shift, command, code, std::move(chars)};
}

TEST(ShortcutFrom, ControlOptionSpaceIsTheStandardCombination) {
  auto s = Shortcut::from(press(49, " ", true, true));
  ASSERT_TRUE(s);
  EXPECT_EQ(*s, Shortcut::standard());
  EXPECT_EQ(s->keyCode, 49u);
  EXPECT_EQ(s->modifiers, 6144u);
  EXPECT_EQ(s->label, "⌃⌥ Space");
}

TEST(ShortcutFrom, SymbolsFollowAFixedOrderAndKeyNamesAreUpperCased) {
  auto s = Shortcut::from(press(40, "k", false, false, true, true));
  ASSERT_TRUE(s);
  EXPECT_EQ(s->modifiers, 0x300u);
  EXPECT_EQ(s->label, "⇧⌘ K");
  auto all = Shortcut::from(press(0, "a", true, true, true, true));
  ASSERT_TRUE(all);
  EXPECT_EQ(all->modifiers, 0x1B00u);
  EXPECT_EQ(all->label, "⌃⌥⇧⌘ A");
  // Full Unicode upper-casing.
  EXPECT_EQ(Shortcut::from(press(1, "ß", true))->label, "⌃ SS");
  EXPECT_EQ(Shortcut::from(press(1, "é", false, true))->label, "⌥ É");
}

TEST(ShortcutFrom, NeedsControlOptionOrCommand) {
  EXPECT_FALSE(Shortcut::from(press(0, "a")));
  EXPECT_FALSE(Shortcut::from(press(0, "a", false, false, true)));
  EXPECT_FALSE(Shortcut::from(press(49, " ", false, false, true)));
}

TEST(ShortcutFrom, KeysWithoutCharactersAreNamedKeyAndEmptyCharactersGiveNothing) {
  EXPECT_EQ(Shortcut::from(press(122, std::nullopt, false, false, false, true))->label, "⌘ Key");
  EXPECT_FALSE(Shortcut::from(press(122, "", false, false, false, true)));
  // Space is always "Space", whatever the characters.
  EXPECT_EQ(Shortcut::from(press(49, std::nullopt, false, false, false, true))->label, "⌘ Space");
}

// What the desktop is shown: modifiers from the mask in the order Ctrl, Alt, Shift, Super, the key
// name from the stored label; a label not in the stored form is shown as it stands.
TEST(ShortcutDisplay, ShowsCombinationsInTheDesktopsForm) {
  struct Case {
    Shortcut shortcut;
    std::string shown;
  } cases[] = {
      {Shortcut::standard(), "Ctrl+Alt+Space"},
      {{45, 0x1800, "⌃⌥ N"}, "Ctrl+Alt+N"},
      {{40, 0x300, "⇧⌘ K"}, "Shift+Super+K"},
      {{0, 0x1B00, "⌃⌥⇧⌘ A"}, "Ctrl+Alt+Shift+Super+A"},
      {{122, 0x100, "⌘ Key"}, "Super+Key"},
      {{24, 0x1000, "⌃ ="}, "Ctrl+="},
      {{27, 0x1800, "⌃⌥ +"}, "Ctrl+Alt++"},
      // The mask is what is grabbed, so it names the modifiers even when the symbols disagree.
      {{45, 0x100, "⌃⌥ N"}, "Super+N"},
      {{45, 0x1800, "Ctrl+Alt+N"}, "Ctrl+Alt+N"},
      {{45, 0x1800, "⌃⌥N"}, "⌃⌥N"},
      {{45, 0x1800, ""}, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.shortcut.displayText(), c.shown) << c.shortcut.label;
  }
  auto recorded = Shortcut::from(press(40, "k", true, true));
  ASSERT_TRUE(recorded);
  EXPECT_EQ(recorded->displayText(), "Ctrl+Alt+K");
  EXPECT_EQ(recorded->label, "⌃⌥ K") << "the stored label keeps its form";
}

TEST(Strings, TemplatesFillNamedPlaceholdersInAnyOrder) {
  EXPECT_EQ(strings::format("{b} then {a}", {{"a", "1"}, {"b", "2"}}), "2 then 1");
  EXPECT_EQ(strings::format("{a}{a} {unknown} {", {{"a", "x"}}), "xx {unknown} {");
  EXPECT_EQ(strings::format("{a}", {{"a", "{b}"}, {"b", "no"}}), "{b}") << "values are not read as templates";
  EXPECT_EQ(strings::trayToolTip("Ctrl+Alt+Space"), "Vesk — Ctrl+Alt+Space · Double-click for options");
}

TEST(ShortcutEquality, IncludesTheLabel) {
  EXPECT_NE((Shortcut{40, 256, "⌘ K"}), (Shortcut{40, 256, "⌘ k"}));
  EXPECT_EQ((Shortcut{40, 256, "⌘ \u00c9"}), (Shortcut{40, 256, "⌘ E\u0301"}));
}

TEST(ShortcutJson, RoundTripsInMemberOrder) {
  auto json = Shortcut::standard().encode();
  ASSERT_TRUE(json);
  EXPECT_EQ(*json, R"({"keyCode":49,"modifiers":6144,"label":"⌃⌥ Space"})");
  EXPECT_EQ(Shortcut::decode(*json), Shortcut::standard());
  Shortcut big{4294967295u, 4294967295u, ""};
  EXPECT_EQ(Shortcut::decode(*big.encode()), big);
}

TEST(ShortcutJson, DecodingIsStrict) {
  EXPECT_TRUE(Shortcut::decode(R"({"label":"x","extra":true,"modifiers":1,"keyCode":2})"));
  EXPECT_TRUE(Shortcut::decode(R"( {"keyCode":2.0,"modifiers":1,"label":"\/"} )"));
  const char* bad[] = {
      R"({"keyCode":49,"modifiers":6144})",
      R"({"keyCode":"49","modifiers":6144,"label":"x"})",
      R"({"keyCode":-1,"modifiers":6144,"label":"x"})",
      R"({"keyCode":4294967296,"modifiers":6144,"label":"x"})",
      R"({"keyCode":49,"modifiers":1e20,"label":"x"})",
      R"({"keyCode":49.5,"modifiers":6144,"label":"x"})",
      R"({"keyCode":49,"modifiers":6144,"label":7})",
      R"({"keyCode":null,"modifiers":6144,"label":"x"})",
      R"([49,6144,"x"])",
      "",
      "nonsense",
  };
  for (const char* text : bad) EXPECT_FALSE(Shortcut::decode(text)) << text;
}

TEST(ShortcutActions, RawValuesTitlesAndOrder) {
  EXPECT_EQ(shortcutActionFromRaw(1), ShortcutAction::show);
  EXPECT_EQ(shortcutActionFromRaw(3), ShortcutAction::previousSite);
  EXPECT_FALSE(shortcutActionFromRaw(0));
  EXPECT_FALSE(shortcutActionFromRaw(4));
  EXPECT_EQ(title(ShortcutAction::show), "Show Vesk");
  EXPECT_EQ(title(ShortcutAction::nextSite), "Next website");
  EXPECT_EQ(title(ShortcutAction::previousSite), "Previous website");
  EXPECT_EQ(allShortcutActions[0], ShortcutAction::show);
}

TEST(LinkThemes, RawValuesTitlesAndDetails) {
  EXPECT_EQ(linkThemeFromRaw("midnight"), LinkTheme::midnight);
  EXPECT_FALSE(linkThemeFromRaw("Midnight"));
  EXPECT_FALSE(linkThemeFromRaw(""));
  EXPECT_EQ(title(LinkTheme::graphite), "Graphite");
  EXPECT_EQ(title(LinkTheme::obsidian), "Obsidian");
  EXPECT_EQ(detail(LinkTheme::midnight), "Cool blue-black");
  EXPECT_EQ(detail(LinkTheme::obsidian), "Deep near-black");
  EXPECT_EQ(detail(LinkTheme::graphite), "Soft charcoal");
}

}  // namespace
}  // namespace vesk
