#include <gtest/gtest.h>

#include "model/app_model.h"
#include "support/memory_settings_store.h"

namespace vesk {
namespace {

using testing::MemorySettingsStore;

TEST(AppModelLoading, FirstLaunchSeedsTheDefaultSitesOnce) {
  MemorySettingsStore store;
  AppModel model(store);
  ASSERT_EQ(model.sites().size(), 3u);
  EXPECT_EQ(model.sites()[0].name, "ChatGPT");
  EXPECT_EQ(model.sites()[1].name, "Claude");
  EXPECT_EQ(model.sites()[2].name, "Gemini");
  EXPECT_EQ(model.sites()[2].host(), "gemini.google.com");
  EXPECT_EQ(model.selectedID(), model.sites()[0].id);
  EXPECT_EQ(store.writes.size(), 1u);
  EXPECT_EQ(store.writes[0].key, "vesk.sites.v1");
  EXPECT_FALSE(store.has("vesk.selected.v1"));
  EXPECT_EQ(decodeSites(*store.data("vesk.sites.v1")), model.sites());
  EXPECT_EQ(model.shortcut(), Shortcut::standard());
  EXPECT_FALSE(model.nextShortcut());
  EXPECT_FALSE(model.previousShortcut());
  EXPECT_FALSE(model.shortcutError());
  EXPECT_EQ(model.theme(), LinkTheme::graphite);
  EXPECT_EQ(model.panelWidth(), 500);
  EXPECT_EQ(model.panelHeight(), 700);
  EXPECT_EQ(model.pageZoom(), 1.0);
  EXPECT_TRUE(store.keptAside.empty());
}

TEST(AppModelLoading, AStoredEmptyListStaysEmpty) {
  MemorySettingsStore store;
  store.seed("vesk.sites.v1", "[]");
  AppModel model(store);
  EXPECT_TRUE(model.sites().empty());
  EXPECT_FALSE(model.selectedID());
  EXPECT_TRUE(store.writes.empty());
}

TEST(AppModelLoading, UnreadableSiteDataIsKeptAsideThenReplacedByDefaults) {
  MemorySettingsStore store;
  std::string bad =
      R"([{"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","name":"Mine","address":"https://mine.org"},{"id":"x"}])";
  store.seed("vesk.sites.v1", bad);
  AppModel model(store);
  ASSERT_EQ(model.sites().size(), 3u);
  EXPECT_EQ(model.sites()[0].name, "ChatGPT");
  ASSERT_EQ(store.keptAside.size(), 1u);
  EXPECT_EQ(store.keptAside[0], std::make_pair(std::string("vesk.sites.v1"), bad));
  EXPECT_EQ(store.writesTo("vesk.sites.v1"), 1u);
  EXPECT_EQ(decodeSites(*store.data("vesk.sites.v1")), model.sites());
}

TEST(AppModelLoading, SelectionFallsBackToTheFirstRecordWithoutRewriting) {
  std::vector<LinkSite> sites{LinkSite("A", "https://a.com"), LinkSite("B", "https://b.com")};
  for (std::string stored : {Uuid::random().toString(), std::string("garbage"), std::string("")}) {
    MemorySettingsStore store;
    store.seed("vesk.sites.v1", *encodeSites(sites));
    store.seed("vesk.selected.v1", stored);
    AppModel model(store);
    EXPECT_EQ(model.selectedID(), sites[0].id) << stored;
    EXPECT_EQ(store.string("vesk.selected.v1"), stored);
    EXPECT_TRUE(store.writes.empty());
  }
  MemorySettingsStore store;
  store.seed("vesk.sites.v1", *encodeSites(sites));
  std::string lower = sites[1].id.toString();
  for (auto& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  store.seed("vesk.selected.v1", lower);
  EXPECT_EQ(AppModel(store).selectedID(), sites[1].id);
}

TEST(AppModelLoading, ShortcutsFallBackIndividually) {
  MemorySettingsStore store;
  store.seed("vesk.shortcut.v1", R"({"keyCode":40,"modifiers":256})");  // label missing
  store.seed("vesk.shortcut.next.v1", R"({"keyCode":45,"modifiers":6144,"label":"⌃⌥ N"})");
  store.seed("vesk.shortcut.previous.v1", "not json");
  AppModel model(store);
  EXPECT_EQ(model.shortcut(), Shortcut::standard());
  EXPECT_EQ(model.nextShortcut(), (Shortcut{45, 6144, "⌃⌥ N"}));
  EXPECT_FALSE(model.previousShortcut());
}

TEST(AppModelLoading, ThemeMustMatchARawValueExactly) {
  for (auto [stored, expected] : std::vector<std::pair<std::string, LinkTheme>>{{"midnight", LinkTheme::midnight},
                                                                                {"obsidian", LinkTheme::obsidian},
                                                                                {"Midnight", LinkTheme::graphite},
                                                                                {"", LinkTheme::graphite},
                                                                                {"sepia", LinkTheme::graphite}}) {
    MemorySettingsStore store;
    store.seed("vesk.theme.v1", stored);
    EXPECT_EQ(AppModel(store).theme(), expected) << stored;
  }
}

TEST(AppModelLoading, LessMemoryTakesOnlyTheTwoStoredWords) {
  for (auto [stored, expected] :
       std::vector<std::pair<std::optional<std::string>, bool>>{{"true", true},
                                                                {"false", false},
                                                                {std::nullopt, defaultLessMemory},
                                                                {"TRUE", defaultLessMemory},
                                                                {"1", defaultLessMemory},
                                                                {"", defaultLessMemory}}) {
    MemorySettingsStore store;
    if (stored) store.seed("vesk.panel.lessMemory.v1", *stored);
    EXPECT_EQ(AppModel(store).lessMemory(), expected) << stored.value_or("(absent)");
    EXPECT_EQ(store.string("vesk.panel.lessMemory.v1"), stored) << "loading never rewrites it";
  }
}

TEST(AppModelLoading, SizesAndZoomAreClampedInMemoryOnly) {
  struct Case {
    const char* width;
    const char* height;
    const char* zoom;
    double panelWidth, panelHeight, pageZoom;
  };
  for (const Case& c : {Case{"1000", "300", "2", 680, 500, 1.25}, Case{"450.5", "-20", "0.5", 450.5, 700, 0.75},
                        Case{"wide", nullptr, "0", 500, 700, 1.0}}) {
    MemorySettingsStore store;
    store.seed("vesk.panel.width.v1", c.width);
    if (c.height) store.seed("vesk.panel.height.v1", c.height);
    store.seed("vesk.panel.zoom.v1", c.zoom);
    AppModel model(store);
    EXPECT_EQ(model.panelWidth(), c.panelWidth) << c.width;
    EXPECT_EQ(model.panelHeight(), c.panelHeight) << c.height;
    EXPECT_EQ(model.pageZoom(), c.pageZoom) << c.zoom;
    EXPECT_EQ(store.string("vesk.panel.width.v1"), c.width);
  }
}

}  // namespace
}  // namespace vesk
