#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "hotkeys/fake_key_monitor.h"
#include "hotkeys/shortcut_recorder.h"

namespace vesk {
namespace {

using testing::FakeKeyMonitor;

KeyEventRecord key(std::uint16_t code, std::optional<std::string> chars, bool control = false, bool option = false,
                   bool shift = false, bool command = false) {
  return KeyEventRecord{control, option, shift, command, code, std::move(chars)};
}

const KeyEventRecord escape = key(53, "\x1b");
const KeyEventRecord commandEscape = key(53, "\x1b", false, false, false, true);
const KeyEventRecord plainK = key(40, "k");
const KeyEventRecord shiftK = key(40, "K", false, false, true);
const KeyEventRecord shiftCommandK = key(40, "K", false, false, true, true);
const KeyEventRecord controlOptionSpace = key(49, " ", true, true);

struct ShortcutRecorderTest : ::testing::Test {
  FakeKeyMonitor monitor;
  std::unique_ptr<ShortcutRecorder> recorder = std::make_unique<ShortcutRecorder>(monitor);
  std::vector<bool> notified;
  Subscription observation = recorder->isRecording.observe([this](const bool& value) { notified.push_back(value); });
  std::vector<Shortcut> captured;

  void record() {
    recorder->start([this](const Shortcut& s) { captured.push_back(s); });
  }
};

TEST_F(ShortcutRecorderTest, TheFirstAcceptedCombinationIsDeliveredOnceAndRecordingEnds) {
  record();
  EXPECT_TRUE(recorder->isRecording());
  bool recordingDuringCapture = false;
  recorder->start([&](const Shortcut& s) {
    recordingDuringCapture = recorder->isRecording();
    captured.push_back(s);
  });
  EXPECT_TRUE(monitor.press(shiftCommandK));
  ASSERT_EQ(captured.size(), 1u);
  EXPECT_EQ(captured[0], (Shortcut{40, 0x300, "⇧⌘ K"}));
  EXPECT_TRUE(recordingDuringCapture);
  EXPECT_FALSE(recorder->isRecording());
  EXPECT_EQ(monitor.installedCount(), 0u);
  // The next press goes to the focused control again.
  EXPECT_FALSE(monitor.press(controlOptionSpace));
  EXPECT_EQ(captured.size(), 1u);
}

TEST_F(ShortcutRecorderTest, EscapeCancelsAndIsSwallowed) {
  record();
  EXPECT_TRUE(monitor.press(escape));
  EXPECT_FALSE(recorder->isRecording());
  EXPECT_TRUE(captured.empty());
  EXPECT_FALSE(monitor.press(escape));  // not recording: Escape reaches the panel again

  // Escape cancels whatever modifiers are held.
  record();
  EXPECT_TRUE(monitor.press(commandEscape));
  EXPECT_TRUE(captured.empty());
  EXPECT_FALSE(recorder->isRecording());
}

TEST_F(ShortcutRecorderTest, UnacceptablePressesAreSwallowedAndRecordingContinues) {
  record();
  EXPECT_TRUE(monitor.press(plainK));
  EXPECT_TRUE(monitor.press(shiftK));
  EXPECT_TRUE(monitor.press(key(40, "", false, false, false, true)));  // empty key name
  EXPECT_TRUE(recorder->isRecording());
  EXPECT_TRUE(captured.empty());
  EXPECT_TRUE(monitor.press(controlOptionSpace));
  ASSERT_EQ(captured.size(), 1u);
  EXPECT_EQ(captured[0], Shortcut::standard());
}

TEST_F(ShortcutRecorderTest, StopAlwaysNotifiesAndIsSafeWhenIdle) {
  recorder->stop();
  EXPECT_EQ(notified, (std::vector<bool>{false}));
  record();  // start ends any earlier recording first, which notifies again
  recorder->stop();
  EXPECT_EQ(notified, (std::vector<bool>{false, false, true, false}));
  EXPECT_EQ(monitor.installedCount(), 0u);
  EXPECT_FALSE(monitor.press(shiftCommandK));
  EXPECT_TRUE(captured.empty());
}

TEST_F(ShortcutRecorderTest, ASecondStartSilentlyReplacesTheFirst) {
  std::vector<Shortcut> first;
  recorder->start([&](const Shortcut& s) { first.push_back(s); });
  record();
  EXPECT_EQ(monitor.installedCount(), 1u);
  EXPECT_TRUE(monitor.press(shiftCommandK));
  EXPECT_TRUE(first.empty());
  EXPECT_EQ(captured.size(), 1u);
}

TEST_F(ShortcutRecorderTest, TheHandlerOutlivingTheRecorderLetsPressesThrough) {
  KeyMonitor::Handler kept;
  struct Spy final : KeyMonitor {
    KeyMonitor::Handler* out;
    Token install(Handler handler) override {
      *out = std::move(handler);
      return 1;
    }
    void remove(Token) override {}
  } spy;
  spy.out = &kept;
  {
    ShortcutRecorder shortLived(spy);
    shortLived.start([](const Shortcut&) { FAIL() << "captured after the recorder was destroyed"; });
  }
  ASSERT_TRUE(kept);
  EXPECT_FALSE(kept(MonitoredKeyPress{shiftCommandK, 0}));
}

TEST_F(ShortcutRecorderTest, ACaptureThatDestroysTheRecorderIsSafe) {
  recorder->start([&](const Shortcut& s) {
    captured.push_back(s);
    observation.reset();
    recorder.reset();
  });
  EXPECT_TRUE(monitor.press(shiftCommandK));
  EXPECT_EQ(captured.size(), 1u);
  EXPECT_EQ(monitor.installedCount(), 0u);
}

}  // namespace
}  // namespace vesk
