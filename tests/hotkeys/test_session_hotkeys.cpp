#include <gtest/gtest.h>

#include "hotkeys/fake_hotkey_service.h"
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
