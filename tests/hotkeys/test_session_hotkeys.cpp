#include <gtest/gtest.h>

#include "hotkeys/fake_hotkey_service.h"
#include "hotkeys/kglobalaccel_hotkey_service.h"
#include "hotkeys/portal_hotkey_service.h"
#include "hotkeys/session_hotkeys.h"

namespace vesk {
namespace {

TEST(SessionHotkeys, X11GrabsOnlyOnAnX11SessionElseThePortal) {
  struct Case {
    bool wayland, x11;
    HotkeyBackend backend;
  } cases[] = {{false, true, HotkeyBackend::x11Grabs},
               {true, true, HotkeyBackend::portal},  // Xwayland: grabs see keys only over X11 windows
               {true, false, HotkeyBackend::portal},
               {false, false, HotkeyBackend::portal}};
  for (const auto& c : cases) EXPECT_EQ(hotkeyBackendFor(c.wayland, c.x11), c.backend) << c.wayland << c.x11;
}

TEST(SessionHotkeys, PlasmaOnWaylandUsesItsOwnShortcutServiceEveryOtherWaylandDesktopThePortal) {
  struct Case {
    bool wayland, x11;
    const char* desktop;
    HotkeyBackend backend;
  } cases[] = {{true, true, "KDE", HotkeyBackend::kglobalaccel},
               {true, false, "KDE", HotkeyBackend::kglobalaccel},
               {true, true, "ubuntu:KDE", HotkeyBackend::kglobalaccel},  // a list of names
               {false, true, "KDE", HotkeyBackend::x11Grabs},            // Plasma on X11
               {true, true, "GNOME", HotkeyBackend::portal},
               {true, true, "KDEX", HotkeyBackend::portal},  // only the whole name counts
               {true, true, "", HotkeyBackend::portal}};
  for (const auto& c : cases)
    EXPECT_EQ(hotkeyBackendFor(c.wayland, c.x11, c.desktop), c.backend) << c.desktop << c.wayland << c.x11;
}

// What the desktop's shortcut service stores for a combination: Qt's key code with its modifier
// bits, keypad keys with the keypad bit.
TEST(SessionHotkeys, KGlobalAccelKeysAreQtKeyCodes) {
  constexpr int ctrl = 0x04000000, alt = 0x08000000, shift = 0x02000000, meta = 0x10000000, keypad = 0x20000000;
  struct Case {
    std::uint32_t keyCode, modifiers;
    std::optional<int> key;
  } cases[] = {{KeyCode::space, ModifierMask::control | ModifierMask::option, ctrl | alt | 0x20},
               {0, ModifierMask::command | ModifierMask::shift, meta | shift | 'A'},  // letters upper case
               {124, ModifierMask::control, ctrl | 0x01000014},                       // Right
               {122, 0, 0x01000030},                                                  // F1
               {90, ModifierMask::option, alt | 0x01000043},                          // F20
               {83, ModifierMask::control, ctrl | keypad | '1'},                      // keypad 1
               {76, 0, keypad | 0x01000005},                                          // keypad Enter
               {44, ModifierMask::control, ctrl | '/'},
               {59, ModifierMask::control, std::nullopt},  // Control alone is no key
               {0xFFFF, ModifierMask::control, std::nullopt}};
  for (const auto& c : cases) EXPECT_EQ(qtKeyCode(c.keyCode, c.modifiers), c.key) << c.keyCode;
}

// A combination Vesk registered before keeps what the desktop stored (the user may have chosen
// another key in System Settings); a new one replaces it and must come back to count as held.
TEST(SessionHotkeys, KGlobalAccelKeepsTheUsersKeysUntilVeskChangesTheCombination) {
  using namespace KGlobalAccelFlag;
  constexpr int mine = 0x0C000020, theirs = 0x10000041;
  struct Case {
    std::vector<int> previousDefault;
    std::uint32_t flags;
    std::vector<int> answered;
    bool holds;
  } cases[] = {
      {{}, setPresent | noAutoloading, {mine}, true},              // first start
      {{}, setPresent | noAutoloading, {}, false},                 // another component holds the key
      {{theirs}, setPresent | noAutoloading, {mine}, true},        // changed in the Keys tab
      {{mine}, setPresent, {theirs}, true},                        // the user's choice is kept
      {{mine}, setPresent, {}, true},                              // the user removed the key there
      {{mine, theirs}, setPresent | noAutoloading, {mine}, true},  // not a default Vesk set
  };
  for (const auto& c : cases) {
    const auto flags = kglobalaccelSetFlags(mine, c.previousDefault);
    EXPECT_EQ(flags, c.flags) << c.previousDefault.size();
    EXPECT_EQ(kglobalaccelHolds(flags, mine, c.answered), c.holds) << c.previousDefault.size() << c.answered.size();
  }
}

// A binding holds only when the desktop says success and lists every shortcut asked for.
TEST(SessionHotkeys, APortalBindingHoldsOnlyWhenEveryShortcutComesBack) {
  const std::set<std::string> all{"next", "previous", "toggle"};
  struct Case {
    std::uint32_t response;
    std::optional<std::set<std::string>> bound;
    bool holds;
  } cases[] = {{0, all, true},
               {0, std::set<std::string>{"toggle", "next", "previous", "other"}, true},
               {0, std::set<std::string>{}, false},  // Plasma 5.27: success, nothing bound
               {0, std::set<std::string>{"toggle"}, false},
               {0, std::nullopt, false},  // no list at all
               {1, all, false},           // the user declined
               {2, all, false}};
  for (const auto& c : cases)
    EXPECT_EQ(portalBindingHolds(c.response, all, c.bound), c.holds) << c.response << c.bound.has_value();

  GVariantBuilder shortcuts;
  g_variant_builder_init(&shortcuts, G_VARIANT_TYPE("a(sa{sv})"));
  g_variant_builder_add(&shortcuts, "(s@a{sv})", "toggle", g_variant_new_array(G_VARIANT_TYPE("{sv}"), nullptr, 0));
  GVariantBuilder results;
  g_variant_builder_init(&results, G_VARIANT_TYPE_VARDICT);
  g_variant_builder_add(&results, "{sv}", "shortcuts", g_variant_builder_end(&shortcuts));
  GVariantPtr answer(g_variant_ref_sink(g_variant_builder_end(&results)));
  EXPECT_EQ(portalBoundIds(answer.get()), (std::set<std::string>{"toggle"}));
  GVariantPtr empty(g_variant_ref_sink(g_variant_new_array(G_VARIANT_TYPE("{sv}"), nullptr, 0)));
  EXPECT_EQ(portalBoundIds(empty.get()), std::nullopt);
  EXPECT_EQ(portalBoundIds(nullptr), std::nullopt);
}

TEST(SessionHotkeys, PortalTriggersAreInTheXdgShortcutsFormat) {
  struct Case {
    std::uint32_t keyCode, modifiers;
    std::optional<std::string> trigger;
  } cases[] = {{KeyCode::space, ModifierMask::control | ModifierMask::option, "CTRL+ALT+space"},
               {0, ModifierMask::command | ModifierMask::shift, "SHIFT+LOGO+a"},
               {124, ModifierMask::control, "CTRL+Right"},
               {0xFFFF, ModifierMask::control, std::nullopt}};
  for (const auto& c : cases) EXPECT_EQ(portalTrigger(c.keyCode, c.modifiers), c.trigger) << c.keyCode;
  for (auto action : allShortcutActions) {
    auto id = portalShortcutId(rawValue(action));
    ASSERT_TRUE(id);
    EXPECT_EQ(idForPortalShortcut(*id), rawValue(action));
  }
  EXPECT_FALSE(idForPortalShortcut("other"));
}

// Where nothing can be grabbed, a combination is kept without a refusal and grabbed once the
// session offers global keys; presses then reach the action.
TEST(SessionHotkeys, CombinationsAreKeptUntilTheSessionOffersGlobalKeys) {
  testing::FakeHotkeyService service;
  testing::FakeMainQueue queue;
  service.offers = false;
  HotkeyManager manager(service, queue.queue());
  std::vector<std::vector<std::uint32_t>> changes;
  manager.offerChanged = [&](const std::vector<std::uint32_t>& refused) { changes.push_back(refused); };
  EXPECT_EQ(manager.registerShortcut(Shortcut::standard(), 1), std::nullopt);
  EXPECT_EQ(manager.registerShortcut(Shortcut{0, ModifierMask::command, "⌘ A"}, 2), std::nullopt);
  EXPECT_TRUE(service.grabs.empty());
  manager.pause();
  EXPECT_TRUE(manager.resume().empty()) << "nothing taken: the session offers nothing";

  service.refused.insert({0, ModifierMask::command});
  service.changeOffer(true);
  EXPECT_EQ(changes, (std::vector<std::vector<std::uint32_t>>{{2}}));
  EXPECT_EQ(service.grabs.size(), 1u);
  EXPECT_TRUE(service.grabs.contains(1));
  manager.unregister(2);
  EXPECT_EQ(service.grabs.size(), 1u) << "the refused one is left without a hot key";

  std::vector<std::uint32_t> pressed;
  manager.action = [&](std::uint32_t id) { pressed.push_back(id); };
  service.press(1);
  queue.runAll();
  EXPECT_EQ(pressed, std::vector<std::uint32_t>{1});
}

}  // namespace
}  // namespace vesk
