#include <gtest/gtest.h>
#include <cmath>

#include "model/app_model.h"
#include "support/memory_settings_store.h"

namespace vesk {
namespace {

using testing::MemorySettingsStore;

class AppModelSettings : public ::testing::Test {
 protected:
  void SetUp() override {
    store.seed("vesk.sites.v1", "[]");
    model = std::make_unique<AppModel>(store);
  }
  Shortcut cmdK{40, ModifierMask::command, "⌘ K"};
  Shortcut cmdN{45, ModifierMask::command, "⌘ N"};
  MemorySettingsStore store;
  std::unique_ptr<AppModel> model;
};

TEST_F(AppModelSettings, ChangeShortcutWithoutCallbackStoresAndClearsTheError) {
  model->reportShortcutError(std::string("old"));
  model->changeShortcut(cmdK, ShortcutAction::nextSite);
  EXPECT_EQ(model->nextShortcut(), cmdK);
  EXPECT_EQ(store.data("vesk.shortcut.next.v1"), R"({"keyCode":40,"modifiers":256,"label":"⌘ K"})");
  EXPECT_FALSE(model->shortcutError());
  model->changeShortcut(cmdN, ShortcutAction::show);
  EXPECT_EQ(model->shortcut(), cmdN);
  EXPECT_EQ(Shortcut::decode(*store.data("vesk.shortcut.v1")), cmdN);
}

TEST_F(AppModelSettings, DuplicatesAreRefusedBeforeTheCallback) {
  int calls = 0;
  model->onShortcutChange = [&](ShortcutAction, const Shortcut&) {
    ++calls;
    return std::optional<std::string>();
  };
  model->changeShortcut(Shortcut::standard(), ShortcutAction::nextSite);
  EXPECT_EQ(model->shortcutError(), "Choose a different key combination for each action.");
  EXPECT_EQ(calls, 0);
  EXPECT_FALSE(model->nextShortcut());
  EXPECT_TRUE(store.writes.empty());
  // Same key and modifiers but a different label is not a duplicate.
  Shortcut relabelled = Shortcut::standard();
  relabelled.label = "⌃⌥ Spacebar";
  model->changeShortcut(relabelled, ShortcutAction::nextSite);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(model->nextShortcut(), relabelled);
  // Giving an action the combination it already has goes through again.
  model->changeShortcut(Shortcut::standard(), ShortcutAction::show);
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(store.writesTo("vesk.shortcut.v1"), 1u);
}

TEST_F(AppModelSettings, ACallbackMessageLeavesEverythingAsItWas) {
  std::vector<std::pair<ShortcutAction, Shortcut>> seen;
  std::optional<std::string> answer = "That shortcut is used by macOS or another app. Try a different one.";
  model->onShortcutChange = [&](ShortcutAction action, const Shortcut& s) {
    seen.emplace_back(action, s);
    return answer;
  };
  model->changeShortcut(cmdK, ShortcutAction::show);
  EXPECT_EQ(model->shortcutError(), answer);
  EXPECT_EQ(model->shortcut(), Shortcut::standard());
  EXPECT_FALSE(store.has("vesk.shortcut.v1"));
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].first, ShortcutAction::show);
  // A later success clears the message.
  answer.reset();
  model->changeShortcut(cmdK, ShortcutAction::show);
  EXPECT_FALSE(model->shortcutError());
  EXPECT_EQ(model->shortcut(), cmdK);
}

TEST_F(AppModelSettings, TheCallbackRunsBeforeTheFieldChanges) {
  std::optional<Shortcut> seenField = cmdN;
  model->onShortcutChange = [&](ShortcutAction, const Shortcut&) {
    seenField = model->nextShortcut();
    return std::optional<std::string>();
  };
  model->changeShortcut(cmdK, ShortcutAction::nextSite);
  EXPECT_FALSE(seenField);
}

TEST_F(AppModelSettings, RemoveShortcut) {
  std::vector<ShortcutAction> removed;
  model->onShortcutRemoval = [&](ShortcutAction action) { removed.push_back(action); };
  model->reportShortcutError(std::string("kept"));
  model->removeShortcut(ShortcutAction::show);
  EXPECT_EQ(model->shortcutError(), "kept");
  EXPECT_TRUE(removed.empty());
  EXPECT_TRUE(store.writes.empty());

  model->removeShortcut(ShortcutAction::nextSite);  // none set: still runs through
  EXPECT_EQ(removed, std::vector<ShortcutAction>{ShortcutAction::nextSite});
  EXPECT_FALSE(model->shortcutError());
  ASSERT_EQ(store.writes.size(), 1u);
  EXPECT_FALSE(store.writes[0].value);

  model->changeShortcut(cmdK, ShortcutAction::previousSite);
  model->removeShortcut(ShortcutAction::previousSite);
  EXPECT_FALSE(model->previousShortcut());
  EXPECT_FALSE(store.has("vesk.shortcut.previous.v1"));
}

TEST_F(AppModelSettings, PanelSizeIsClampedStoredAndAlwaysCallsBack) {
  int callbacks = 0;
  model->onPanelSizeChange = [&] { ++callbacks; };
  model->changePanelSize(300, std::nullopt);
  EXPECT_EQ(model->panelWidth(), 400);
  EXPECT_EQ(model->panelHeight(), 700);
  EXPECT_EQ(store.doubleValue("vesk.panel.width.v1"), 400);
  EXPECT_FALSE(store.has("vesk.panel.height.v1"));
  EXPECT_EQ(callbacks, 1);
  model->changePanelSize(1000, 1000);
  EXPECT_EQ(model->panelWidth(), 680);
  EXPECT_EQ(model->panelHeight(), 900);
  model->changePanelSize(std::nullopt, std::nullopt);
  EXPECT_EQ(callbacks, 3);
  EXPECT_EQ(store.writes.size(), 3u);
  model->changePanelSize(501.5, 640.25);  // fractions survive
  EXPECT_EQ(model->panelWidth(), 501.5);
  EXPECT_EQ(store.doubleValue("vesk.panel.height.v1"), 640.25);
  model->changePanelSize(std::nan(""), std::nullopt);
  EXPECT_EQ(model->panelWidth(), 400);
}

TEST_F(AppModelSettings, PageZoomIsClampedAndStored) {
  model->changePageZoom(0.5);
  EXPECT_EQ(model->pageZoom(), 0.75);
  model->changePageZoom(2);
  EXPECT_EQ(model->pageZoom(), 1.25);
  model->changePageZoom(1.1);
  EXPECT_EQ(model->pageZoom(), 1.1);
  EXPECT_EQ(store.doubleValue("vesk.panel.zoom.v1"), 1.1);
}

TEST_F(AppModelSettings, ThemeIsStoredBeforeObserversHear) {
  std::optional<std::string> storedAtNotification;
  auto sub = model->theme.observe([&](const LinkTheme&) { storedAtNotification = store.string("vesk.theme.v1"); });
  model->changeTheme(LinkTheme::midnight);
  EXPECT_EQ(storedAtNotification, "midnight");
  EXPECT_EQ(model->theme(), LinkTheme::midnight);
}

// A failed write is published until a write succeeds; the change stays in memory, and each
// observer hears of a failure streak once, however many writes fail in it.
TEST_F(AppModelSettings, FailedWritesArePublishedUntilOneSucceeds) {
  std::vector<std::optional<std::string>> published;
  auto watch = model->saveError.observe([&](const auto& error) { published.push_back(error); });

  store.failWrites = "No space left on device";
  EXPECT_EQ(model->add("News", "news.example.com"), std::nullopt);
  EXPECT_EQ(model->saveError(), "No space left on device");
  model->changeTheme(LinkTheme::midnight);
  model->changePageZoom(1.1);
  EXPECT_EQ(model->sites().size(), 1u) << "the change stays in memory";
  EXPECT_EQ(published.size(), 1u) << "one notice per failure streak";

  store.failWrites.reset();
  model->changePanelSize(520, std::nullopt);
  EXPECT_EQ(model->saveError(), std::nullopt);
  EXPECT_EQ(published.size(), 2u);
  EXPECT_EQ(store.string("vesk.theme.v1"), "midnight");

  // A failure while loading (the default sites cannot be written) is there from the start.
  MemorySettingsStore full;
  full.failWrites = "Read-only file system";
  AppModel loaded(full);
  EXPECT_EQ(loaded.saveError(), "Read-only file system");
}

}  // namespace
}  // namespace vesk
