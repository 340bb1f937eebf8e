#include <gtest/gtest.h>

#include "model/shortcut.h"

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
