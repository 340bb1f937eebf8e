#include <gtest/gtest.h>

#include "browser/fakes.h"
#include "hotkeys/fake_key_monitor.h"
#include "hotkeys/gnome_hotkey_service.h"
#include "settings/keys_settings.h"
#include "settings/settings_frame.h"
#include "support/memory_settings_store.h"

namespace vesk {
namespace {

using testing::controlOption;
using testing::escapeKey;

class KeysRowsTest : public ::testing::Test {
 protected:
  testing::MemorySettingsStore store;
  AppModel model{store};
  testing::FakeKeyMonitor keys;
  testing::FakePageFactory pages;
  testing::FakeClipboard clipboard;
  testing::FakeWorkspace workspace;
  // The panel's state holds the recorder and the row that asked for it.
  VeskViewState state{model, PanelServices{pages, clipboard, workspace, keys, {}, {}}, {}};
  ShortcutRecorder& recorder = state.recorder;
  const VeskViewState::Field<std::optional<ShortcutAction>>& recordingAction = state.recordingAction;
  const VeskViewState::Field<SettingsTab>& tab = state.settingsTab;
  // The state's own key handlers (Escape, undo in a page): a recording adds one while it runs.
  const std::size_t stateHandlers = keys.installedCount();
  ShortcutRows rows{state};
};

TEST_F(KeysRowsTest, FreshRowsShowLabelsOrSetKeysAndClearOnlyForSetNextAndPrevious) {
  EXPECT_EQ(rows.caption(ShortcutAction::show), "Ctrl+Alt+Space");
  EXPECT_EQ(rows.caption(ShortcutAction::nextSite), "Set keys");
  EXPECT_EQ(rows.caption(ShortcutAction::previousSite), "Set keys");
  EXPECT_FALSE(rows.hasClearButton(ShortcutAction::show));
  EXPECT_FALSE(rows.hasClearButton(ShortcutAction::nextSite));
  EXPECT_EQ(shortcutDescription(ShortcutAction::show), "Open or close the tray panel.");
  EXPECT_EQ(shortcutDescription(ShortcutAction::previousSite), "Switch through your saved websites.");
}

TEST_F(KeysRowsTest, SecondPressCancelsWithoutStoring) {
  rows.pressSetButton(ShortcutAction::nextSite);
  EXPECT_EQ(rows.caption(ShortcutAction::nextSite), "Press keys…");
  EXPECT_TRUE(recorder.isRecording());
  rows.pressSetButton(ShortcutAction::nextSite);
  EXPECT_EQ(rows.caption(ShortcutAction::nextSite), "Set keys");
  EXPECT_FALSE(recorder.isRecording());
  EXPECT_EQ(recordingAction(), std::nullopt);
  EXPECT_FALSE(keys.press(controlOption(40, "k")));  // the press goes on to the panel
  EXPECT_FALSE(model.nextShortcut());
  EXPECT_FALSE(store.has(SettingsKey::nextShortcut));
}

TEST_F(KeysRowsTest, CapturedCombinationIsStoredAndRecordingEnds) {
  rows.pressSetButton(ShortcutAction::nextSite);
  EXPECT_TRUE(keys.press(controlOption(40, "k")));
  ASSERT_TRUE(model.nextShortcut());
  EXPECT_EQ(rows.caption(ShortcutAction::nextSite), model.nextShortcut()->displayText());
  EXPECT_NE(rows.caption(ShortcutAction::nextSite), "Set keys");
  EXPECT_TRUE(rows.hasClearButton(ShortcutAction::nextSite));
  EXPECT_FALSE(recorder.isRecording());
  EXPECT_EQ(recordingAction(), std::nullopt);
  EXPECT_TRUE(store.has(SettingsKey::nextShortcut));
}

TEST_F(KeysRowsTest, DuplicateKeepsThePreviousCaptionAndShowsTheMessage) {
  rows.pressSetButton(ShortcutAction::previousSite);
  EXPECT_TRUE(keys.press(controlOption(KeyCode::space, " ")));  // the show combination
  EXPECT_EQ(model.shortcutError(), std::optional<std::string>("Choose a different key combination for each action."));
  EXPECT_EQ(rows.caption(ShortcutAction::previousSite), "Set keys");
  EXPECT_FALSE(recorder.isRecording());
  // Changing the tab does not clear the model's message.
  state.chooseSettingsTab(SettingsTab::general);
  EXPECT_TRUE(model.shortcutError());
}

TEST_F(KeysRowsTest, RefusalByTheSystemKeepsTheOldLabel) {
  model.onShortcutChange = [](ShortcutAction, const Shortcut&) {
    return std::optional<std::string>("That shortcut is used by another app. Try a different one.");
  };
  rows.pressSetButton(ShortcutAction::show);
  keys.press(controlOption(40, "k"));
  EXPECT_EQ(rows.caption(ShortcutAction::show), "Ctrl+Alt+Space");
  EXPECT_EQ(model.shortcutError(),
            std::optional<std::string>("That shortcut is used by another app. Try a different one."));
}

TEST_F(KeysRowsTest, AnotherRowTakesOverTheRecording) {
  rows.pressSetButton(ShortcutAction::nextSite);
  rows.pressSetButton(ShortcutAction::previousSite);
  EXPECT_EQ(rows.caption(ShortcutAction::nextSite), "Set keys");
  EXPECT_EQ(rows.caption(ShortcutAction::previousSite), "Press keys…");
  keys.press(controlOption(40, "k"));
  EXPECT_FALSE(model.nextShortcut());
  EXPECT_TRUE(model.previousShortcut());
  EXPECT_EQ(keys.installedCount(), stateHandlers);
}

TEST_F(KeysRowsTest, EscapeCancelsAndTheNextPressStartsAgain) {
  rows.pressSetButton(ShortcutAction::nextSite);
  EXPECT_TRUE(keys.press(escapeKey()));  // swallowed: the panel does not see it
  EXPECT_EQ(rows.caption(ShortcutAction::nextSite), "Set keys");
  // recordingAction may still name the row, but the row is not recording.
  rows.pressSetButton(ShortcutAction::nextSite);
  EXPECT_EQ(rows.caption(ShortcutAction::nextSite), "Press keys…");
}

TEST_F(KeysRowsTest, ChoosingAnyTabEndsTheRecording) {
  rows.pressSetButton(ShortcutAction::show);
  state.chooseSettingsTab(SettingsTab::keys);
  EXPECT_EQ(tab(), SettingsTab::keys);
  EXPECT_FALSE(recorder.isRecording());
  EXPECT_EQ(recordingAction(), std::nullopt);
  EXPECT_EQ(rows.caption(ShortcutAction::show), "Ctrl+Alt+Space");
  state.chooseSettingsTab(SettingsTab::panel);
  EXPECT_EQ(tab(), SettingsTab::panel);
}

TEST_F(KeysRowsTest, ClearingRemovesTheCombinationAndTheMessage) {
  rows.pressSetButton(ShortcutAction::previousSite);
  keys.press(controlOption(40, "k"));
  model.changeShortcut(Shortcut::standard(), ShortcutAction::nextSite);  // duplicate: sets the message
  ASSERT_TRUE(model.shortcutError());
  rows.pressClearButton(ShortcutAction::previousSite);
  EXPECT_EQ(rows.caption(ShortcutAction::previousSite), "Set keys");
  EXPECT_FALSE(rows.hasClearButton(ShortcutAction::previousSite));
  EXPECT_FALSE(model.shortcutError());
}

// Without global keys: sway's bindsym lines for the combinations set, elsewhere the commands,
// for the Copy button; on GNOME its switch instead.
TEST_F(KeysRowsTest, WithoutGlobalKeysTheLinesToAddOrGnomesSwitch) {
  ShortcutRows sway{state, true};
  EXPECT_EQ(sway.bindingLines(), std::nullopt);
  model.setGlobalKeysOffered(false);
  model.changeShortcut(Shortcut{45, ModifierMask::control | ModifierMask::option, "n"}, ShortcutAction::nextSite);
  const std::string lines =
      "bindsym Ctrl+Alt+space exec " + veskCommand("toggle") + "\nbindsym Ctrl+Alt+n exec " + veskCommand("next");
  EXPECT_EQ(sway.bindingLines(), lines);
  sway.pressCopyButton();
  EXPECT_EQ(clipboard.texts, std::vector<std::string>{lines});
  EXPECT_EQ(rows.bindingLines(), veskCommand("toggle") + "\n" + veskCommand("next") + "\n" + veskCommand("previous"));
  EXPECT_EQ(rows.desktopBindingsSwitch(), std::nullopt);

  model.setDesktopBindings(false);
  EXPECT_EQ(rows.sessionNotice(), std::nullopt);
  EXPECT_EQ(rows.bindingLines(), std::nullopt);
  EXPECT_EQ(rows.desktopBindingsSwitch(), false);
  EXPECT_EQ(state.headerShortcut(), std::nullopt) << "the header shows no combination that does nothing";
  model.setGlobalKeysOffered(true);
  EXPECT_EQ(state.headerShortcut(), "Ctrl+Alt+Space");
}

TEST_F(KeysRowsTest, CaptureAfterTheRowsAreGoneStillReachesTheModel) {
  {
    ShortcutRows shortLived{state};
    shortLived.pressSetButton(ShortcutAction::nextSite);
  }
  keys.press(controlOption(40, "k"));
  EXPECT_TRUE(model.nextShortcut());
  EXPECT_EQ(recordingAction(), std::nullopt);
}

TEST(SettingsTabValues, TitlesAndStrictParsing) {
  EXPECT_EQ(settingsTabFromRaw("Keys"), SettingsTab::keys);
  EXPECT_EQ(settingsTabFromRaw("keys"), std::nullopt);
  EXPECT_EQ(settingsTabFromRaw("shortcuts"), std::nullopt);
  EXPECT_EQ(settingsTabFromRaw("General "), std::nullopt);
  for (auto tab : allSettingsTabs) EXPECT_EQ(settingsTabFromRaw(rawValue(tab)), tab);
  EXPECT_EQ(rawValue(allSettingsTabs[0]), "General");
  EXPECT_EQ(rawValue(allSettingsTabs[4]), "Appearance");
  EXPECT_EQ(contentSpacing(SettingsTab::keys), 10);
  EXPECT_EQ(contentSpacing(SettingsTab::panel), 16);
  EXPECT_EQ(contentSpacing(SettingsTab::websites), 0);
}

}  // namespace
}  // namespace vesk
