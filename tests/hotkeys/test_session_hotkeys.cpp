#include <gtest/gtest.h>

#include "hotkeys/fake_hotkey_service.h"
#include "hotkeys/gnome_hotkey_service.h"
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

TEST(SessionHotkeys, PlasmaAndGnomeOnWaylandUseTheirOwnShortcutServicesOtherWaylandDesktopsThePortal) {
  struct Case {
    bool wayland, x11;
    const char* desktop;
    HotkeyBackend backend;
  } cases[] = {{true, true, "KDE", HotkeyBackend::kglobalaccel},
               {true, false, "KDE", HotkeyBackend::kglobalaccel},
               {true, true, "ubuntu:KDE", HotkeyBackend::kglobalaccel},  // a list of names
               {false, true, "KDE", HotkeyBackend::x11Grabs},            // Plasma on X11
               {true, true, "ubuntu:GNOME", HotkeyBackend::gnome},       // the portal, else GNOME's shortcuts
               {true, false, "GNOME", HotkeyBackend::gnome},
               {false, true, "GNOME", HotkeyBackend::x11Grabs},
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

// Vesk's entries join GNOME's custom-keybindings list at its end and leave it again without
// touching the user's; accelerators compare by keys, not spelling.
TEST(SessionHotkeys, GnomeCustomShortcutListAndAccelerators) {
  const std::string folder(gnomeKeys::entryFolder);
  const std::string toggle = folder + "vesk-toggle/", next = folder + "vesk-next/",
                    previous = folder + "vesk-previous/";
  EXPECT_EQ(gnomeEntryPath(rawValue(ShortcutAction::show)), toggle);
  const std::vector<std::string> users{folder + "custom0/", folder + "custom1/"};
  const std::vector<std::string> withVesk{users[0], users[1], toggle, next, previous};
  EXPECT_EQ(withVeskEntries(users), withVesk);
  EXPECT_EQ(withVeskEntries({next, users[0]}), (std::vector<std::string>{users[0], toggle, next, previous}));
  EXPECT_EQ(withoutVeskEntries(withVesk), users);
  EXPECT_FALSE(holdsVeskEntries(users));
  EXPECT_TRUE(holdsVeskEntries({users[0], previous}));

  struct Case {
    const char *a, *b;
    bool same;
  } cases[] = {{"<Control><Alt>space", "<Alt><Control>space", true},
               {"<Primary><Alt>t", "<Ctrl><Alt>T", true},
               {"<Super>l", "<Super>l", true},
               {"<Control><Alt>space", "<Control>space", false},
               {"<Control><Alt>space", "<Control><Alt><Shift>space", false},
               {"", "", false},  // a disabled shortcut holds no keys
               {"/org/gnome/settings-daemon/", "/org/gnome/settings-daemon/", false}};
  for (const auto& c : cases) EXPECT_EQ(sameAccelerator(c.a, c.b), c.same) << c.a << " " << c.b;
}

// Against real GSettings (the memory backend, with GNOME's installed schemas): the user's own
// shortcut and GNOME's lock-screen key are never taken over, the switch leaves other entries
// alone, and whether it is on is read back from GNOME's list.
TEST(SessionHotkeys, GnomeCustomShortcutsOnTheUsersWord) {
  GSettingsSchemaSource* source = g_settings_schema_source_get_default();
  GSettingsSchemaPtr schema(source ? g_settings_schema_source_lookup(source, gnomeKeys::mediaKeysSchema, TRUE)
                                   : nullptr);
  if (!schema) GTEST_SKIP() << "gnome-settings-daemon's schemas are not installed";
  g_setenv("GSETTINGS_BACKEND", "memory", TRUE);
  const std::string users = std::string(gnomeKeys::entryFolder) + "custom0/";
  GObjectPtr<GSettings> mediaKeys(g_settings_new(gnomeKeys::mediaKeysSchema));
  const gchar* list[] = {users.c_str(), nullptr};
  g_settings_set_strv(mediaKeys.get(), gnomeKeys::listKey, list);
  GObjectPtr<GSettings> usersEntry(g_settings_new_with_path(gnomeKeys::entrySchema, users.c_str()));
  g_settings_set_string(usersEntry.get(), "binding", "<Primary><Alt>j");
  auto binding = [](ShortcutAction action) {
    GObjectPtr<GSettings> entry(
        g_settings_new_with_path(gnomeKeys::entrySchema, gnomeEntryPath(rawValue(action)).c_str()));
    return std::string(GCharPtr(g_settings_get_string(entry.get(), "binding")).get());
  };
  auto currentList = [&] {
    GStrvPtr strv(g_settings_get_strv(mediaKeys.get(), gnomeKeys::listKey));
    return std::vector<std::string>(strv.get(), strv.get() + g_strv_length(strv.get()));
  };

  testing::FakeMainQueue queue;
  auto service = std::make_unique<GnomeHotkeyService>(nullptr);
  HotkeyManager manager(*service, queue.queue());
  std::vector<std::vector<std::uint32_t>> refusals;
  manager.offerChanged = [&](const std::vector<std::uint32_t>& refused) { refusals.push_back(refused); };
  EXPECT_EQ(manager.desktopBindings(), false);
  const auto show = rawValue(ShortcutAction::show), next = rawValue(ShortcutAction::nextSite),
             previous = rawValue(ShortcutAction::previousSite);
  EXPECT_EQ(manager.registerShortcut(Shortcut::standard(), show), std::nullopt) << "kept until the user says";
  EXPECT_EQ(manager.registerShortcut(Shortcut{38, ModifierMask::control | ModifierMask::option, "j"}, next),
            std::nullopt);
  EXPECT_EQ(binding(ShortcutAction::show), "");

  EXPECT_EQ(manager.setDesktopBindings(true), std::nullopt);
  EXPECT_TRUE(manager.offersGlobalKeys());
  EXPECT_EQ(refusals, (std::vector<std::vector<std::uint32_t>>{{next}})) << "Ctrl+Alt+J is the user's";
  EXPECT_EQ(binding(ShortcutAction::show), "<Control><Alt>space");
  EXPECT_EQ(binding(ShortcutAction::nextSite), "");
  EXPECT_EQ(currentList(), withVeskEntries({users}));
  EXPECT_TRUE(manager.registerShortcut(Shortcut{37, ModifierMask::command, "l"}, previous)) << "GNOME's lock key";
  EXPECT_EQ(manager.registerShortcut(Shortcut{45, ModifierMask::control | ModifierMask::option, "n"}, previous),
            std::nullopt);
  EXPECT_EQ(binding(ShortcutAction::previousSite), "<Control><Alt>n");
  manager.unregister(previous);
  EXPECT_EQ(binding(ShortcutAction::previousSite), "") << "a cleared combination is disabled there";
  EXPECT_EQ(GnomeHotkeyService(nullptr).desktopBindings(), true) << "read back from GNOME's settings";

  EXPECT_EQ(manager.setDesktopBindings(false), std::nullopt);
  EXPECT_FALSE(manager.offersGlobalKeys());
  EXPECT_EQ(currentList(), std::vector<std::string>{users});
  EXPECT_EQ(binding(ShortcutAction::show), "");
  EXPECT_EQ(std::string(GCharPtr(g_settings_get_string(usersEntry.get(), "binding")).get()), "<Primary><Alt>j");
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
