// Global hot keys on a real X server: grabs made through GDK, presses sent with xdotool.
#include <gtest/gtest.h>
#include <gtkmm/window.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "hotkeys/hotkey_manager.h"
#include "hotkeys/main_queue.h"
#include "hotkeys/x11_hotkey_service.h"
#include "support/gtk_test_support.h"

// Last: the X headers define macros (None, Bool, Status) that clash with names above.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <gdk/gdkx.h>

namespace vesk {
namespace {

using testing::waitFor;
using testing::xdotool;

const Shortcut controlOptionSpace = Shortcut::standard();
const Shortcut controlShiftSpace{49, ModifierMask::control | ModifierMask::shift, "⌃⇧ Space"};
const Shortcut controlOptionK{40, ModifierMask::control | ModifierMask::option, "⌃⌥ K"};
// Pressed after the keys under test: once it arrives, every earlier press has been handled.
const Shortcut marker{46, ModifierMask::control | ModifierMask::option | ModifierMask::shift, "⌃⌥⇧ M"};
constexpr std::uint32_t markerId = 99;

// A second X client, as another application holding grabs of its own.
class OtherClient {
 public:
  OtherClient() : display_(XOpenDisplay(nullptr)) {}
  ~OtherClient() {
    if (display_) XCloseDisplay(display_);
  }
  bool connected() const { return display_ != nullptr; }
  unsigned int keycode(KeySym keysym) const { return XKeysymToKeycode(display_, keysym); }

  // True when the server accepted the grab.
  bool grab(unsigned int keycode, unsigned int modifiers) {
    return checked([&] {
      XGrabKey(display_, int(keycode), modifiers, DefaultRootWindow(display_), False, GrabModeAsync, GrabModeAsync);
    });
  }
  void ungrab(unsigned int keycode, unsigned int modifiers) {
    checked([&] { XUngrabKey(display_, int(keycode), modifiers, DefaultRootWindow(display_)); });
  }

 private:
  static inline int errors = 0;
  static int recordError(Display*, XErrorEvent*) {
    ++errors;
    return 0;
  }
  template <class F>
  bool checked(F request) {
    // The handler is process-wide: GDK's own is restored right after.
    XErrorHandler previous = XSetErrorHandler(&OtherClient::recordError);
    errors = 0;
    request();
    XSync(display_, False);
    XSetErrorHandler(previous);
    return errors == 0;
  }

  Display* display_;
};

unsigned int lockedModifiers() {
  XkbStateRec state{};
  XkbGetState(GDK_DISPLAY_XDISPLAY(gdk_display_get_default()), XkbUseCoreKbd, &state);
  return state.locked_mods;
}

class X11HotkeyTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(testing::startGtk()) << "no display"; }

  void SetUp() override {
    ASSERT_TRUE(GDK_IS_X11_DISPLAY(gdk_display_get_default()));
    // As the application does when a press shows no window: the keys typed next go on at once.
    manager->action = [this](std::uint32_t id) {
      delivered.push_back(id);
      manager->releaseKeyboard();
    };
    ASSERT_EQ(manager->registerShortcut(marker, markerId), std::nullopt);
  }

  // Presses the marker combination and waits until it arrives; returns the ids delivered
  // before it since the last call.
  std::vector<std::uint32_t> presses() {
    std::size_t markers = std::count(delivered.begin(), delivered.end(), markerId);
    EXPECT_TRUE(xdotool("key ctrl+alt+shift+m"));
    EXPECT_TRUE(waitFor([&] { return std::count(delivered.begin(), delivered.end(), markerId) > long(markers); }))
        << "the marker press never arrived";
    std::vector<std::uint32_t> result;
    std::copy_if(delivered.begin(), delivered.end(), std::back_inserter(result),
                 [](std::uint32_t id) { return id != markerId; });
    delivered.clear();
    return result;
  }

  using Ids = std::vector<std::uint32_t>;
  std::unique_ptr<X11HotkeyService> service = std::make_unique<X11HotkeyService>();
  std::unique_ptr<HotkeyManager> manager = std::make_unique<HotkeyManager>(*service, glibMainQueue());
  std::vector<std::uint32_t> delivered;
};

TEST_F(X11HotkeyTest, EachPressIsDeliveredOnceWithItsId) {
  ASSERT_EQ(manager->registerShortcut(controlOptionSpace, 1), std::nullopt);
  ASSERT_EQ(manager->registerShortcut(controlShiftSpace, 2), std::nullopt);
  ASSERT_TRUE(xdotool("key ctrl+alt+space"));
  EXPECT_EQ(presses(), Ids{1});
  ASSERT_TRUE(xdotool("key ctrl+shift+space ctrl+alt+space ctrl+alt+space"));
  EXPECT_EQ(presses(), (Ids{2, 1, 1}));
}

TEST_F(X11HotkeyTest, APressIsDeliveredOnlyAfterTheEventDispatchReturns) {
  ASSERT_EQ(manager->registerShortcut(controlOptionSpace, 1), std::nullopt);
  int calledWhileHandling = 0;
  service->onPressed = [&, forward = service->onPressed](std::uint32_t id) {
    auto before = delivered.size();
    forward(id);
    if (delivered.size() != before) ++calledWhileHandling;
  };
  ASSERT_TRUE(xdotool("key ctrl+alt+space"));
  EXPECT_EQ(presses(), Ids{1});
  EXPECT_EQ(calledWhileHandling, 0);
}

TEST_F(X11HotkeyTest, HoldingTheKeyDownIsOnePress) {
  ASSERT_EQ(manager->registerShortcut(controlOptionSpace, 1), std::nullopt);
  // Held well past the server's auto-repeat delay, so repeats are generated.
  ASSERT_TRUE(xdotool("keydown ctrl+alt+space sleep 1.5 keyup space alt ctrl"));
  EXPECT_EQ(presses(), Ids{1});
  ASSERT_TRUE(xdotool("key ctrl+alt+space"));
  EXPECT_EQ(presses(), Ids{1});
}

TEST_F(X11HotkeyTest, AWindowShownWhileTheKeyIsDownLeavesTheNextPressDelivered) {
  // As when the panel opens on the press and asks for focus: the release must still count, or
  // every later press of the key would be taken for auto-repeat.
  ASSERT_EQ(manager->registerShortcut(controlOptionSpace, 1), std::nullopt);
  ASSERT_TRUE(xdotool("keydown ctrl+alt+space"));
  ASSERT_TRUE(waitFor([&] { return !delivered.empty(); }));
  Gtk::Window window;
  window.present();
  testing::waitForDraw(window);
  ASSERT_TRUE(xdotool("keyup space alt ctrl"));
  ASSERT_TRUE(xdotool("key ctrl+alt+space"));
  EXPECT_EQ(presses(), (Ids{1, 1}));
}

TEST_F(X11HotkeyTest, StillFiresWithNumLockAndCapsLockOn) {
  ASSERT_EQ(manager->registerShortcut(controlOptionSpace, 1), std::nullopt);
  ASSERT_EQ(lockedModifiers() & (LockMask | Mod2Mask), 0u);
  ASSERT_TRUE(xdotool("key Num_Lock"));
  ASSERT_TRUE(waitFor([] { return (lockedModifiers() & Mod2Mask) != 0; }));
  ASSERT_TRUE(xdotool("key ctrl+alt+space"));
  EXPECT_EQ(presses(), Ids{1});
  ASSERT_TRUE(xdotool("key Caps_Lock"));
  ASSERT_TRUE(waitFor([] { return (lockedModifiers() & LockMask) != 0; }));
  ASSERT_TRUE(xdotool("key ctrl+alt+space"));
  EXPECT_EQ(presses(), Ids{1});
  ASSERT_TRUE(xdotool("key Num_Lock"));
  ASSERT_TRUE(waitFor([] { return (lockedModifiers() & Mod2Mask) == 0; }));
  ASSERT_TRUE(xdotool("key ctrl+alt+space"));
  EXPECT_EQ(presses(), Ids{1});
  ASSERT_TRUE(xdotool("key Caps_Lock"));
  ASSERT_TRUE(waitFor([] { return lockedModifiers() == 0; }));
}

TEST_F(X11HotkeyTest, OtherCombinationsOfTheSameKeyAreNotDelivered) {
  ASSERT_EQ(manager->registerShortcut(controlOptionSpace, 1), std::nullopt);
  ASSERT_TRUE(xdotool("key space ctrl+space alt+space ctrl+alt+shift+space"));
  EXPECT_EQ(presses(), Ids{});
}

TEST_F(X11HotkeyTest, UnregisterStopsDeliveryAndTheSameCombinationCanBeRegisteredAgain) {
  ASSERT_EQ(manager->registerShortcut(controlOptionSpace, 1), std::nullopt);
  ASSERT_EQ(manager->registerShortcut(controlOptionSpace, 1), std::nullopt);
  ASSERT_TRUE(xdotool("key ctrl+alt+space"));
  EXPECT_EQ(presses(), Ids{1});
  manager->unregister(1);
  ASSERT_TRUE(xdotool("key ctrl+alt+space"));
  EXPECT_EQ(presses(), Ids{});
  ASSERT_EQ(manager->registerShortcut(controlOptionSpace, 3), std::nullopt);
  ASSERT_TRUE(xdotool("key ctrl+alt+space"));
  EXPECT_EQ(presses(), Ids{3});
}

TEST_F(X11HotkeyTest, ACombinationHeldByAnotherClientIsRefusedAndLeavesNothingGrabbed) {
  OtherClient other;
  ASSERT_TRUE(other.connected());
  unsigned int k = other.keycode(XK_k);
  unsigned int controlAlt = ControlMask | Mod1Mask;
  // Like most programs, the other client grabs only the exact modifiers, so our lock
  // variants would succeed: those must be released again.
  ASSERT_TRUE(other.grab(k, controlAlt));
  auto message = manager->registerShortcut(controlOptionK, 2);
  ASSERT_TRUE(message);
  EXPECT_EQ(*message, strings::shortcutTaken());

  other.ungrab(k, controlAlt);
  for (unsigned int locks : {0u, unsigned(LockMask), unsigned(Mod2Mask), unsigned(LockMask | Mod2Mask)}) {
    EXPECT_TRUE(other.grab(k, controlAlt | locks)) << "variant with lock state " << locks << " left grabbed";
  }
  // And now that the other client holds every variant, the refusal stays.
  EXPECT_TRUE(manager->registerShortcut(controlOptionK, 2));
  for (unsigned int locks : {0u, unsigned(LockMask), unsigned(Mod2Mask), unsigned(LockMask | Mod2Mask)}) {
    other.ungrab(k, controlAlt | locks);
  }
  EXPECT_EQ(manager->registerShortcut(controlOptionK, 2), std::nullopt);
  ASSERT_TRUE(xdotool("key ctrl+alt+k"));
  EXPECT_EQ(presses(), Ids{2});
}

TEST_F(X11HotkeyTest, TheWindowManagersOwnCombinationsAreRefused) {
  // xfwm4 switches workspaces with Control+Alt+Left (its bindings load when xfconfd can run).
  if (XGetSelectionOwner(GDK_DISPLAY_XDISPLAY(gdk_display_get_default()),
                         XInternAtom(GDK_DISPLAY_XDISPLAY(gdk_display_get_default()), "WM_S0", False)) == None) {
    GTEST_SKIP() << "no window manager on this display";
  }
  Shortcut controlOptionLeft{123, ModifierMask::control | ModifierMask::option, "⌃⌥ Key"};
  EXPECT_EQ(manager->registerShortcut(controlOptionLeft, 1), std::string(strings::shortcutTaken()));
}

TEST_F(X11HotkeyTest, TeardownReleasesEveryGrab) {
  ASSERT_EQ(manager->registerShortcut(controlOptionK, 2), std::nullopt);
  OtherClient other;
  unsigned int k = other.keycode(XK_k);
  unsigned int controlAlt = ControlMask | Mod1Mask;
  EXPECT_FALSE(other.grab(k, controlAlt));
  manager.reset();
  service.reset();
  for (unsigned int locks : {0u, unsigned(LockMask), unsigned(Mod2Mask), unsigned(LockMask | Mod2Mask)}) {
    EXPECT_TRUE(other.grab(k, controlAlt | locks)) << "variant with lock state " << locks << " left grabbed";
    other.ungrab(k, controlAlt | locks);
  }
}

// The key that gives `keysym` unmodified in the first layout.
unsigned int levelZeroKeycode(guint keysym) {
  GdkKeymapKey* keys = nullptr;
  gint count = 0;
  unsigned int keycode = 0;
  if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(gdk_display_get_default()), keysym, &keys, &count)) {
    for (gint i = 0; i < count; ++i) {
      if (keys[i].group == 0 && keys[i].level == 0) keycode = keys[i].keycode;
    }
  }
  g_free(keys);
  return keycode;
}

// Switches the keyboard layout and waits until the keymap change has been handled.
void switchLayout(const std::string& layout) {
  bool changed = false;
  GdkKeymap* keymap = gdk_keymap_get_for_display(gdk_display_get_default());
  // Connected after the service's handler, so it runs after the grabs have moved.
  gulong handler =
      g_signal_connect_swapped(keymap, "keys-changed", G_CALLBACK(+[](bool* flag) { *flag = true; }), &changed);
  ASSERT_EQ(std::system(("setxkbmap -layout " + layout).c_str()), 0);
  EXPECT_TRUE(waitFor([&] { return changed; })) << "no keymap change for " << layout;
  g_signal_handler_disconnect(keymap, handler);
}

TEST_F(X11HotkeyTest, CombinationsFollowTheirSymbolWhenTheLayoutChanges) {
  Shortcut controlOptionZ{6, ModifierMask::control | ModifierMask::option, "⌃⌥ Z"};
  ASSERT_EQ(manager->registerShortcut(controlOptionZ, 1), std::nullopt);
  unsigned int usZ = levelZeroKeycode(GDK_KEY_z);
  switchLayout("de");  // Z and Y swap places
  ASSERT_NE(levelZeroKeycode(GDK_KEY_z), usZ);
  for (const char* layout : {"", "us"}) {
    if (*layout) switchLayout(layout);
    ASSERT_TRUE(xdotool("key ctrl+alt+z"));
    EXPECT_EQ(presses(), Ids{1});
    ASSERT_TRUE(xdotool("key ctrl+alt+y"));
    EXPECT_EQ(presses(), Ids{});
  }
  EXPECT_EQ(levelZeroKeycode(GDK_KEY_z), usZ);
}

TEST_F(X11HotkeyTest, KeysWithoutAKeyAndCombinationsHeldUnderAnotherIdAreRefused) {
  EXPECT_TRUE(manager->registerShortcut(Shortcut{0xFFFF, ModifierMask::command, "⌘ Key"}, 1));
  EXPECT_TRUE(manager->registerShortcut(Shortcut{52, ModifierMask::command, "⌘ Key"}, 1));
  ASSERT_EQ(manager->registerShortcut(controlOptionSpace, 1), std::nullopt);
  EXPECT_TRUE(manager->registerShortcut(controlOptionSpace, 2));
  ASSERT_TRUE(xdotool("key ctrl+alt+space"));
  EXPECT_EQ(presses(), Ids{1});
}

}  // namespace
}  // namespace vesk
