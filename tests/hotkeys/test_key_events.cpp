// Key presses typed into a real GTK window: how they are read, passed on or swallowed before
// the focused widget, and recorded as combinations.
#include <gtest/gtest.h>
#include <gtkmm/entry.h>
#include <gtkmm/window.h>

#include <vector>

#include "hotkeys/gtk_key_monitor.h"
#include "hotkeys/shortcut_recorder.h"
#include "support/gtk_test_support.h"

namespace vesk {
namespace {

using testing::waitFor;
using testing::xdotool;

class KeyEventTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(testing::startGtk()) << "no display"; }

  void SetUp() override {
    window = std::make_unique<Gtk::Window>();
    window->set_default_size(300, 80);
    window->add(entry);
    // The window's own key handling, after its widgets: what the panel would see.
    window->signal_key_press_event().connect(
        [this](GdkEventKey* event) {
          windowKeyvals.push_back(event->keyval);
          return false;
        },
        true);
    monitor.attach(*window);
    window->show_all();
    window->present();
    ASSERT_TRUE(waitFor([&] { return window->is_active() && entry.has_focus(); })) << "the window never got focus";
  }

  void TearDown() override {
    monitor.detach(*window);
    window.reset();
  }

  // Types `keys` and waits until `count` presses reached the monitor.
  void type(const std::string& keys, std::size_t count) {
    ASSERT_TRUE(xdotool("key " + keys));
    ASSERT_TRUE(waitFor([&] { return seen.size() >= count; })) << "presses of " << keys << " never arrived";
  }

  KeyMonitor::Token recordPresses(bool swallow) {
    return monitor.install([this, swallow](const MonitoredKeyPress& press) {
      seen.push_back(press);
      return swallow;
    });
  }

  GtkKeyMonitor monitor;
  Gtk::Entry entry;
  std::unique_ptr<Gtk::Window> window;
  std::vector<MonitoredKeyPress> seen;
  std::vector<guint> windowKeyvals;
};

TEST_F(KeyEventTest, ReadsKeyCodeModifiersAndCharactersIgnoringModifiers) {
  recordPresses(true);
  type("alt+a", 1);
  EXPECT_EQ(seen[0].record.keyCode, 0);
  EXPECT_TRUE(seen[0].record.option);
  EXPECT_FALSE(seen[0].record.control || seen[0].record.shift || seen[0].record.command);
  EXPECT_EQ(seen[0].record.charactersIgnoringModifiers, "a");
  EXPECT_NE(seen[0].hardwareKeycode, 0u);

  type("shift+super+k", 2);
  auto shiftCommandK = Shortcut::from(seen[1].record);
  ASSERT_TRUE(shiftCommandK);
  EXPECT_EQ(*shiftCommandK, (Shortcut{40, 0x300, "⇧⌘ K"}));
  EXPECT_EQ(seen[1].record.charactersIgnoringModifiers, "K");

  type("ctrl+alt+space", 3);
  EXPECT_EQ(Shortcut::from(seen[2].record), Shortcut::standard());

  type("super+F1", 4);
  EXPECT_EQ(seen[3].record.keyCode, 122);
  EXPECT_EQ(seen[3].record.charactersIgnoringModifiers, std::nullopt);
  EXPECT_EQ(Shortcut::from(seen[3].record)->label, "⌘ Key");

  type("ctrl+shift+2", 5);  // shift applies: the key name is what shift gives
  EXPECT_EQ(seen[4].record.keyCode, 19);
  EXPECT_EQ(Shortcut::from(seen[4].record)->label, "⌃⇧ @");

  type("ctrl+Left", 6);
  EXPECT_EQ(seen[5].record.keyCode, 123);
}

TEST_F(KeyEventTest, LocksDoNotChangeTheCombination) {
  recordPresses(true);
  type("Caps_Lock ctrl+k", 1);  // lock keys are modifier presses and are not shown
  type("Caps_Lock Num_Lock super+KP_1", 2);
  type("Num_Lock super+KP_1", 3);
  EXPECT_EQ(Shortcut::from(seen[0].record), (Shortcut{40, ModifierMask::control, "⌃ K"}));
  for (std::size_t i : {1u, 2u}) {
    EXPECT_EQ(Shortcut::from(seen[i].record), (Shortcut{83, ModifierMask::command, "⌘ 1"})) << i;
  }
  EXPECT_EQ(seen.size(), 3u);
}

TEST_F(KeyEventTest, CharactersComeFromTheUnmodifiedKeyNotFromWhatAModifierComposes) {
  ASSERT_EQ(std::system("setxkbmap -layout us -variant altgr-intl"), 0);
  ASSERT_TRUE(waitFor([] {
    guint keyval = 0;
    gdk_keymap_translate_keyboard_state(gdk_keymap_get_for_display(gdk_display_get_default()), 38,
                                        GdkModifierType(GDK_MOD5_MASK), 0, &keyval, nullptr, nullptr, nullptr);
    return keyval == GDK_KEY_aacute;
  })) << "the keymap change never reached GDK";
  recordPresses(false);
  type("ctrl+ISO_Level3_Shift+a", 1);
  EXPECT_EQ(windowKeyvals.back(), guint(GDK_KEY_aacute));  // what the layout composes
  EXPECT_EQ(seen[0].record.charactersIgnoringModifiers, "a");
  EXPECT_EQ(Shortcut::from(seen[0].record), (Shortcut{0, ModifierMask::control, "⌃ A"}));
  ASSERT_EQ(std::system("setxkbmap -layout us"), 0);
}

TEST_F(KeyEventTest, TheKeyCodeComesFromTheFirstLayoutWhateverLayoutIsActive) {
  ASSERT_EQ(std::system("setxkbmap -layout us,ru"), 0);
  ASSERT_TRUE(waitFor([] {
    GdkKeymapKey* keys = nullptr;
    gint count = 0;
    bool found = gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(gdk_display_get_default()),
                                                   GDK_KEY_Cyrillic_el, &keys, &count);
    g_free(keys);
    return found;
  })) << "the keymap change never reached GDK";
  recordPresses(true);
  ASSERT_TRUE(xdotool("key ctrl+Cyrillic_el"));  // the K key in the second layout
  ASSERT_TRUE(waitFor([&] { return seen.size() >= 1; }));
  EXPECT_EQ(seen[0].record.keyCode, 40);
  EXPECT_EQ(seen[0].record.charactersIgnoringModifiers, "л");
  EXPECT_EQ(Shortcut::from(seen[0].record)->label, "⌃ Л");
  ASSERT_EQ(std::system("setxkbmap -layout us"), 0);
}

TEST_F(KeyEventTest, PressesPassOnOrAreSwallowedBeforeTheFocusedWidget) {
  auto passing = recordPresses(false);
  type("shift+a ctrl shift+b", 2);  // modifier keys pressed alone are not key presses
  EXPECT_EQ(seen.size(), 2u);
  EXPECT_EQ(entry.get_text(), "AB");

  monitor.remove(passing);
  auto swallowing = recordPresses(true);
  type("c", 3);
  EXPECT_EQ(entry.get_text(), "AB");
  EXPECT_TRUE(windowKeyvals.empty() || windowKeyvals.back() != GDK_KEY_c);

  monitor.remove(swallowing);
  ASSERT_TRUE(xdotool("key d"));
  ASSERT_TRUE(waitFor([&] { return entry.get_text() == "ABd"; }));
  EXPECT_EQ(seen.size(), 3u);
}

TEST_F(KeyEventTest, TheRecorderCapturesOneCombinationAndSwallowsWhatItSees) {
  ShortcutRecorder recorder(monitor);
  std::vector<Shortcut> captured;
  recorder.start([&](const Shortcut& s) { captured.push_back(s); });
  recordPresses(false);  // installed after the recorder's handler: sees only what it lets through

  ASSERT_TRUE(xdotool("key a shift+b ctrl+shift+k"));
  ASSERT_TRUE(waitFor([&] { return !captured.empty(); }));
  EXPECT_EQ(captured, (std::vector<Shortcut>{Shortcut{40, 0x1200, "⌃⇧ K"}}));
  EXPECT_FALSE(recorder.isRecording());
  EXPECT_TRUE(seen.empty());
  EXPECT_EQ(entry.get_text(), "");

  type("x", 1);
  ASSERT_TRUE(waitFor([&] { return entry.get_text() == "x"; }));

  // Escape cancels, and the window never sees it.
  recorder.start([&](const Shortcut& s) { captured.push_back(s); });
  windowKeyvals.clear();
  ASSERT_TRUE(xdotool("key Escape"));
  ASSERT_TRUE(waitFor([&] { return !recorder.isRecording(); }));
  type("y", 2);
  EXPECT_EQ(captured.size(), 1u);
  for (guint keyval : windowKeyvals) EXPECT_NE(keyval, guint(GDK_KEY_Escape));
}

}  // namespace
}  // namespace vesk
