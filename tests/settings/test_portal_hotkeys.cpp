// Global keys through the desktop portal, against a portal of the test's own on the private
// session bus: what Vesk asks the desktop to bind, what an activation does, and what the Keys tab
// says when the desktop refuses.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "hotkeys/main_queue.h"
#include "hotkeys/portal_hotkey_service.h"
#include "model/glib_handles.h"
#include "settings/panel_with_settings.h"
#include "settings/settings_parts.h"
#include "settings/settings_widgets.h"
#include "shell/shell_fakes.h"
#include "support/gtk_test_support.h"

namespace vesk {
namespace {

using testing::waitFor;

constexpr const char* portalXml = R"xml(<node>
  <interface name="org.freedesktop.portal.GlobalShortcuts">
    <method name="CreateSession"><arg type="a{sv}" direction="in"/><arg type="o" direction="out"/></method>
    <method name="BindShortcuts">
      <arg type="o" direction="in"/><arg type="a(sa{sv})" direction="in"/><arg type="s" direction="in"/>
      <arg type="a{sv}" direction="in"/><arg type="o" direction="out"/>
    </method>
    <method name="ListShortcuts">
      <arg type="o" direction="in"/><arg type="a{sv}" direction="in"/><arg type="o" direction="out"/>
    </method>
    <signal name="Activated"><arg type="o"/><arg type="s"/><arg type="t"/><arg type="a{sv}"/></signal>
    <property name="version" type="u" access="read"/>
  </interface>
</node>)xml";

// org.freedesktop.portal.Desktop on its own connection to the session bus: answers each request
// with a Response signal carrying the code the test chose, records every binding, and sends
// activations.
class FakePortal {
 public:
  struct Bound {
    std::string id, description, trigger;
    bool operator==(const Bound&) const = default;
  };

  // What a successful BindShortcuts lists: every shortcut asked for (as the documented portal
  // does), none (as KDE Plasma 5.27's does), or only the first.
  enum class Listed { all, none, first };

  FakePortal(std::uint32_t createAnswer, std::uint32_t bindAnswer, Listed listed = Listed::all)
      : createAnswer_(createAnswer),
        bindAnswer_(bindAnswer),
        listed_(listed),
        info_(g_dbus_node_info_new_for_xml(portalXml, nullptr)) {
    GCharPtr address(g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
    bus_.reset(
        g_dbus_connection_new_for_address_sync(address.get(),
                                               GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                                                    G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
                                               nullptr, nullptr, nullptr));
    static const GDBusInterfaceVTable vtable{&FakePortal::call, &FakePortal::property, nullptr, {}};
    object_ = g_dbus_connection_register_object(bus_.get(), "/org/freedesktop/portal/desktop", info_->interfaces[0],
                                                &vtable, this, nullptr, nullptr);
    GVariantPtr owned(g_dbus_connection_call_sync(bus_.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                  "org.freedesktop.DBus", "RequestName",
                                                  g_variant_new("(su)", "org.freedesktop.portal.Desktop", 4u),
                                                  G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr));
    named = owned != nullptr;
  }
  ~FakePortal() {
    g_dbus_connection_unregister_object(bus_.get(), object_);
    g_dbus_connection_close_sync(bus_.get(), nullptr, nullptr);
  }

  void activate(const std::string& shortcut, const std::string& session) {
    g_dbus_connection_emit_signal(bus_.get(), nullptr, "/org/freedesktop/portal/desktop",
                                  "org.freedesktop.portal.GlobalShortcuts", "Activated",
                                  g_variant_new("(ost@a{sv})", session.c_str(), shortcut.c_str(), guint64(0),
                                                g_variant_new_array(G_VARIANT_TYPE("{sv}"), nullptr, 0)),
                                  nullptr);
  }

  bool named = false;
  int sessions = 0;                       // CreateSession calls
  std::string session;                    // the last session's path
  std::vector<std::vector<Bound>> binds;  // every BindShortcuts call

 private:
  static GVariant* property(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GError**,
                            gpointer) {
    return g_variant_new_uint32(1);
  }

  static void call(GDBusConnection* bus, const gchar* sender, const gchar*, const gchar*, const gchar* method,
                   GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data) {
    auto& self = *static_cast<FakePortal*>(data);
    std::string element = sender + 1;  // ":1.5" → "1_5"
    for (char& c : element) c = c == '.' ? '_' : c;
    const std::string base = "/org/freedesktop/portal/desktop/";
    auto token = [&](GVariant* options, const char* key) {
      const gchar* value = "unnamed";
      g_variant_lookup(options, key, "&s", &value);
      return std::string(value);
    };
    GVariantBuilder results;
    g_variant_builder_init(&results, G_VARIANT_TYPE_VARDICT);
    std::uint32_t answer = 0;
    std::string request;
    if (std::string_view(method) == "CreateSession") {
      GVariantPtr options(g_variant_get_child_value(parameters, 0));
      request = base + "request/" + element + "/" + token(options.get(), "handle_token");
      self.session = base + "session/" + element + "/" + token(options.get(), "session_handle_token");
      ++self.sessions;
      answer = self.createAnswer_;
      if (answer == 0)
        g_variant_builder_add(&results, "{sv}", "session_handle", g_variant_new_string(self.session.c_str()));
    } else if (std::string_view(method) == "BindShortcuts") {
      GVariantPtr options(g_variant_get_child_value(parameters, 3));
      request = base + "request/" + element + "/" + token(options.get(), "handle_token");
      GVariantPtr shortcuts(g_variant_get_child_value(parameters, 1));
      GVariantBuilder listed;
      g_variant_builder_init(&listed, G_VARIANT_TYPE("a(sa{sv})"));
      std::vector<Bound> bound;
      for (gsize i = 0; i < g_variant_n_children(shortcuts.get()); ++i) {
        const gchar* id = nullptr;
        GVariant* raw = nullptr;
        g_variant_get_child(shortcuts.get(), i, "(&s@a{sv})", &id, &raw);
        GVariantPtr properties(raw);
        const gchar *description = "", *trigger = "";
        g_variant_lookup(properties.get(), "description", "&s", &description);
        g_variant_lookup(properties.get(), "preferred_trigger", "&s", &trigger);
        bound.push_back({id, description, trigger});
        if (self.listed_ == Listed::all || (self.listed_ == Listed::first && i == 0))
          g_variant_builder_add(&listed, "(s@a{sv})", id, g_variant_new_array(G_VARIANT_TYPE("{sv}"), nullptr, 0));
      }
      self.binds.push_back(bound);
      answer = self.bindAnswer_;
      g_variant_builder_add(&results, "{sv}", "shortcuts", g_variant_builder_end(&listed));
    } else {
      GVariantPtr options(g_variant_get_child_value(parameters, 1));
      request = base + "request/" + element + "/" + token(options.get(), "handle_token");
    }
    g_dbus_method_invocation_return_value(invocation, g_variant_new("(o)", request.c_str()));
    g_dbus_connection_emit_signal(bus, sender, request.c_str(), "org.freedesktop.portal.Request", "Response",
                                  g_variant_new("(ua{sv})", answer, &results), nullptr);
  }

  std::uint32_t createAnswer_, bindAnswer_;
  Listed listed_;
  GDBusNodeInfoPtr info_;
  GObjectPtr<GDBusConnection> bus_;
  guint object_ = 0;
};

class PortalHotkeysTest : public ::testing::Test {
 protected:
  void launch(std::uint32_t createAnswer, std::uint32_t bindAnswer,
              FakePortal::Listed listed = FakePortal::Listed::all) {
    ASSERT_TRUE(testing::startGtk()) << "no display";
    portal = std::make_unique<FakePortal>(createAnswer, bindAnswer, listed);
    ASSERT_TRUE(portal->named) << "the fake portal could not take its name";
    store.seed(SettingsKey::sites, encodeSites({}).value());  // no pages to load
    store.seed(SettingsKey::nextShortcut, Shortcut{124, ModifierMask::control, "⌃ →"}.encode().value());
    store.seed(SettingsKey::previousShortcut,
               Shortcut{0, ModifierMask::command | ModifierMask::shift, "⇧⌘ A"}.encode().value());
    bus.reset(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
    ASSERT_TRUE(bus);
    hotkeys = std::make_unique<PortalHotkeyService>(bus.get());
    ShellPlatform platform;
    platform.makeTrayItem = [this] { return std::make_unique<testing::FakeTrayItem>(journal); };
    platform.makePanelWindow = [this] { return std::make_unique<testing::FakePanelWindow>(journal); };
    platform.mainQueue = glibMainQueue();
    delegate = std::make_unique<AppDelegate>(store, *hotkeys, std::move(platform));
    delegate->applicationDidFinishLaunching();
  }

  // Counts activations as they reach Vesk's bus connection. Subscribed after the service, so when
  // an activation is counted, the service has already handled it.
  void countActivations() {
    counter = g_dbus_connection_signal_subscribe(
        bus.get(), nullptr, "org.freedesktop.portal.GlobalShortcuts", "Activated", nullptr, nullptr,
        G_DBUS_SIGNAL_FLAGS_NONE,
        [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant*, gpointer data) {
          ++*static_cast<int*>(data);
        },
        &delivered, nullptr);
  }
  // Waits until `count` activations have been handled, and the actions they queued have run.
  bool delivery(int count) {
    bool arrived = waitFor([&] { return delivered >= count; });
    testing::settle();
    return arrived;
  }

  void TearDown() override {
    if (counter != 0) g_dbus_connection_signal_unsubscribe(bus.get(), counter);
    counter = 0;
    delivered = 0;
    panel.reset();
    delegate.reset();
    hotkeys.reset();
    portal.reset();
    bus.reset();
    testing::settle();
  }

  // The Keys tab as the panel shows it.
  KeysTab& keysTab() {
    panel = std::make_unique<testing::PanelWithSettings>(delegate->model());
    return dynamic_cast<KeysTab&>(panel->showTab(SettingsTab::keys));
  }

  testing::MemorySettingsStore store;
  testing::Journal journal;
  std::unique_ptr<FakePortal> portal;
  GObjectPtr<GDBusConnection> bus;
  guint counter = 0;
  int delivered = 0;
  std::unique_ptr<PortalHotkeyService> hotkeys;
  std::unique_ptr<AppDelegate> delegate;
  std::unique_ptr<testing::PanelWithSettings> panel;
};

TEST_F(PortalHotkeysTest, TheThreeActionsAreBoundOnceAndEachActivationRunsItsActionOnce) {
  launch(0, 0);
  ASSERT_TRUE(waitFor([&] { return !portal->binds.empty(); })) << "nothing was bound";
  const std::vector<FakePortal::Bound> expected{{"toggle", std::string(strings::optionToggle()), "CTRL+ALT+space"},
                                                {"next", std::string(strings::optionNext()), "CTRL+Right"},
                                                {"previous", std::string(strings::optionPrevious()), "SHIFT+LOGO+a"}};
  EXPECT_EQ(portal->binds, std::vector<std::vector<FakePortal::Bound>>{expected}) << "one binding of all three";
  EXPECT_TRUE(delegate->model().globalKeysOffered());
  EXPECT_EQ(delegate->model().shortcutError(), std::nullopt);
  // The same session token at every start, so the desktop finds what it remembers of it.
  EXPECT_TRUE(portal->session.ends_with("/vesk")) << portal->session;

  std::vector<std::uint32_t> ran;
  delegate->hotkey().action = [&](std::uint32_t id) { ran.push_back(id); };
  countActivations();
  portal->activate("next", portal->session);
  portal->activate("previous", "/org/freedesktop/portal/desktop/session/1_1/another");  // not Vesk's session
  portal->activate("toggle", portal->session);
  ASSERT_TRUE(delivery(3));
  EXPECT_EQ(ran, (std::vector<std::uint32_t>{rawValue(ShortcutAction::nextSite), rawValue(ShortcutAction::show)}));

  // Recording releases the keys and takes them back: nothing new for the desktop to bind, and
  // activations meanwhile are not acted on.
  delegate->model().setRecordingShortcut(true);
  portal->activate("toggle", portal->session);
  ASSERT_TRUE(delivery(4));
  EXPECT_EQ(ran.size(), 2u) << "an activation while recording was acted on";
  delegate->model().setRecordingShortcut(false);
  // A changed combination is bound anew, in a new session, with all three.
  delegate->model().changeShortcut(Shortcut{49, ModifierMask::command, "⌘ Space"}, ShortcutAction::show);
  ASSERT_TRUE(waitFor([&] { return portal->binds.size() >= 2; }));
  testing::settle();
  EXPECT_EQ(portal->binds.size(), 2u);
  EXPECT_EQ(portal->sessions, 2);
  EXPECT_TRUE(portal->session.ends_with("/vesk")) << portal->session;
  EXPECT_EQ(portal->binds.back().front(), (FakePortal::Bound{"toggle", expected[0].description, "LOGO+space"}));
  portal->activate("toggle", portal->session);
  ASSERT_TRUE(delivery(5));
  EXPECT_EQ(ran.size(), 3u) << "the new session's activation was not acted on";
}

// The user declines in the desktop's dialog (1) or the desktop fails (2): no refusal message,
// but the one line with the commands to bind; a recorded combination is still stored.
TEST_F(PortalHotkeysTest, ARefusalShowsThePlainLineAndCombinationsAreStillStored) {
  struct Case {
    std::uint32_t createAnswer, bindAnswer;
  } cases[] = {{1, 0}, {0, 1}, {2, 0}, {0, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "CreateSession " << c.createAnswer << ", BindShortcuts " << c.bindAnswer);
    launch(c.createAnswer, c.bindAnswer);
    ASSERT_TRUE(waitFor([&] { return portal->sessions > 0 && (c.createAnswer != 0 || !portal->binds.empty()); }));
    ASSERT_TRUE(waitFor([&] { return !delegate->model().globalKeysOffered(); }));
    KeysTab& tab = keysTab();
    EXPECT_TRUE(testing::sessionNotice(tab).get_visible());
    EXPECT_EQ(testing::sessionNotice(tab).get_text(), strings::globalKeysUnavailable());
    EXPECT_FALSE(testing::shortcutError(tab).get_visible()) << testing::shortcutError(tab).get_text();

    const Shortcut changed{49, ModifierMask::command, "⌘ Space"};
    delegate->model().changeShortcut(changed, ShortcutAction::show);
    EXPECT_EQ(delegate->model().shortcutError(), std::nullopt);
    EXPECT_EQ(store.values[std::string(SettingsKey::shortcut)], changed.encode().value());
    TearDown();
    store = testing::MemorySettingsStore();
  }
}

// The desktop says success but binds fewer shortcuts than asked, or none (KDE Plasma 5.27's
// portal): those keys would never fire, so the Keys tab shows the line with the commands to bind.
TEST_F(PortalHotkeysTest, ABindingThatListsFewerShortcutsThanAskedCountsAsNone) {
  for (auto listed : {FakePortal::Listed::none, FakePortal::Listed::first}) {
    SCOPED_TRACE(listed == FakePortal::Listed::none ? "none listed" : "only the first listed");
    launch(0, 0, listed);
    ASSERT_TRUE(waitFor([&] { return !portal->binds.empty(); }, 20)) << "nothing was bound";
    ASSERT_TRUE(waitFor([&] { return !delegate->model().globalKeysOffered(); }, 20)) << "the keys count as bound";
    KeysTab& tab = keysTab();
    EXPECT_TRUE(testing::sessionNotice(tab).get_visible());
    EXPECT_EQ(testing::sessionNotice(tab).get_text(), strings::globalKeysUnavailable());
    EXPECT_FALSE(testing::shortcutError(tab).get_visible()) << testing::shortcutError(tab).get_text();
    TearDown();
    store = testing::MemorySettingsStore();
  }
}

}  // namespace
}  // namespace vesk
