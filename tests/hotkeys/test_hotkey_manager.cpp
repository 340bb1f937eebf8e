#include <gtest/gtest.h>

#include <memory>

#include "hotkeys/fake_hotkey_service.h"
#include "hotkeys/hotkey_manager.h"

namespace vesk {
namespace {

using testing::FakeHotkeyService;
using testing::FakeMainQueue;

const Shortcut showPanel = Shortcut::standard();
const Shortcut commandK{40, ModifierMask::command, "⌘ K"};

struct HotkeyManagerTest : ::testing::Test {
  FakeHotkeyService service;
  FakeMainQueue queue;
  std::unique_ptr<HotkeyManager> manager = std::make_unique<HotkeyManager>(service, queue.queue());
  std::vector<std::uint32_t> delivered;

  void SetUp() override {
    manager->action = [this](std::uint32_t id) { delivered.push_back(id); };
  }
};

TEST_F(HotkeyManagerTest, RegistersTheCombinationAsGiven) {
  EXPECT_EQ(manager->registerShortcut(showPanel, 1), std::nullopt);
  ASSERT_TRUE(service.grabs.contains(1));
  EXPECT_EQ(service.grabs[1].keyCode, 49u);
  EXPECT_EQ(service.grabs[1].modifiers, 6144u);
}

TEST_F(HotkeyManagerTest, RegisteringTheSameCombinationAgainUnderTheSameIdReplacesIt) {
  ASSERT_EQ(manager->registerShortcut(showPanel, 1), std::nullopt);
  service.calls.clear();
  EXPECT_EQ(manager->registerShortcut(showPanel, 1), std::nullopt);
  EXPECT_EQ(service.calls, (std::vector<std::string>{"unregister 1", "register 1"}));
  EXPECT_EQ(service.grabs.size(), 1u);
}

TEST_F(HotkeyManagerTest, ARefusalLeavesTheIdWithoutAnyCombination) {
  ASSERT_EQ(manager->registerShortcut(showPanel, 1), std::nullopt);
  service.refused.insert({40, ModifierMask::command});
  auto message = manager->registerShortcut(commandK, 1);
  ASSERT_TRUE(message);
  EXPECT_EQ(*message, "That shortcut is used by another app. Try a different one.");
  EXPECT_FALSE(service.grabs.contains(1));
  // Nothing is stored: unregistering afterwards does not reach the service.
  service.calls.clear();
  manager->unregister(1);
  EXPECT_TRUE(service.calls.empty());
}

TEST_F(HotkeyManagerTest, UnregisterRemovesOnlyThatIdAndIgnoresUnknownIds) {
  ASSERT_EQ(manager->registerShortcut(showPanel, 1), std::nullopt);
  ASSERT_EQ(manager->registerShortcut(commandK, 2), std::nullopt);
  service.calls.clear();
  manager->unregister(7);
  EXPECT_TRUE(service.calls.empty());
  manager->unregister(2);
  EXPECT_EQ(service.calls, (std::vector<std::string>{"unregister 2"}));
  EXPECT_TRUE(service.grabs.contains(1));
  manager->unregister(2);
  EXPECT_EQ(service.calls.size(), 1u);
}

TEST_F(HotkeyManagerTest, ThePressReachesTheActionOnlyWhenTheQueuedTaskRuns) {
  ASSERT_EQ(manager->registerShortcut(showPanel, 1), std::nullopt);
  service.press(1);
  EXPECT_TRUE(delivered.empty());
  EXPECT_EQ(queue.pending(), 1u);
  queue.runAll();
  EXPECT_EQ(delivered, (std::vector<std::uint32_t>{1}));
}

TEST_F(HotkeyManagerTest, IdsOutsideTheActionsAreDeliveredLikeAnyOther) {
  service.press(0);
  service.press(4);
  service.press(4000000000u);
  queue.runAll();
  EXPECT_EQ(delivered, (std::vector<std::uint32_t>{0, 4, 4000000000u}));
}

TEST_F(HotkeyManagerTest, TheActionIsReadWhenTheTaskRuns) {
  manager->action = nullptr;
  service.press(2);  // queued while unset, delivered to the action set before it runs
  std::vector<std::uint32_t> late;
  manager->action = [&](std::uint32_t id) { late.push_back(id); };
  queue.runAll();
  EXPECT_EQ(late, (std::vector<std::uint32_t>{2}));

  service.press(3);
  manager->action = nullptr;
  EXPECT_NO_THROW(queue.runAll());  // dropped silently
  EXPECT_EQ(late.size(), 1u);
}

TEST_F(HotkeyManagerTest, TeardownReleasesEveryGrabAndLaterTasksDoNothing) {
  ASSERT_EQ(manager->registerShortcut(showPanel, 1), std::nullopt);
  ASSERT_EQ(manager->registerShortcut(commandK, 3), std::nullopt);
  service.press(1);
  manager.reset();
  EXPECT_TRUE(service.grabs.empty());
  EXPECT_FALSE(service.onPressed);
  queue.runAll();  // the task queued before teardown finds no manager
  EXPECT_TRUE(delivered.empty());
}

TEST_F(HotkeyManagerTest, AnActionThatReplacesItselfFinishesSafely) {
  int calls = 0;
  manager->action = [&](std::uint32_t) {
    ++calls;
    manager->action = [](std::uint32_t) {};
  };
  service.press(1);
  service.press(1);
  queue.runAll();
  EXPECT_EQ(calls, 1);
}

TEST_F(HotkeyManagerTest, PauseReleasesEveryGrabAndResumeGrabsTheRegistrationsOfThatTime) {
  const Shortcut commandJ{38, ModifierMask::command, "⌘ J"};
  ASSERT_EQ(manager->registerShortcut(showPanel, 1), std::nullopt);
  ASSERT_EQ(manager->registerShortcut(commandK, 2), std::nullopt);
  ASSERT_EQ(manager->registerShortcut(commandJ, 3), std::nullopt);
  manager->pause();
  manager->pause();
  EXPECT_TRUE(manager->isPaused());
  EXPECT_TRUE(service.grabs.empty());

  // Changes while paused: the desktop is asked, its answer given, and nothing stays grabbed.
  service.refused.insert({52, ModifierMask::command});
  EXPECT_EQ(manager->registerShortcut(Shortcut{52, ModifierMask::command, "⌘ Key"}, 2), strings::shortcutTaken());
  EXPECT_EQ(manager->registerShortcut(showPanel, 3), strings::shortcutTaken()) << "held under id 1";
  EXPECT_EQ(manager->registerShortcut(commandK, 2), std::nullopt);
  manager->unregister(3);
  EXPECT_TRUE(service.grabs.empty());

  // Another application took the show combination meanwhile.
  service.refused.insert({showPanel.keyCode, showPanel.modifiers});
  EXPECT_EQ(manager->resume(), std::vector<std::uint32_t>{1});
  EXPECT_FALSE(manager->isPaused());
  ASSERT_EQ(service.grabs.size(), 1u);
  EXPECT_EQ(service.grabs[2].keyCode, commandK.keyCode);
  EXPECT_EQ(manager->resume(), std::vector<std::uint32_t>{});
  EXPECT_EQ(service.grabs.size(), 1u);
}

}  // namespace
}  // namespace vesk
