// The StatusNotifierItem on a private session bus, read and driven from a second connection the
// way a tray host does; a stand-in watcher checks registration and re-registration.
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "shell/system_tray_item.h"
#include "support/bus_client.h"
#include "support/gtk_test_support.h"

namespace vesk {
namespace {

using testing::waitFor;

// A second connection to the session bus: the tray host's side.
class Host : public testing::BusClient {
 public:
  ~Host() {
    if (ownerId) g_bus_unown_name(ownerId);
    if (watcherObject) g_dbus_connection_unregister_object(connection, watcherObject);
    if (watcherInfo) g_dbus_node_info_unref(watcherInfo);
  }

  GVariant* property(const std::string& name, const char* property) { return itemProperty(name, property); }

  // Becomes the StatusNotifierWatcher and records every registration.
  void becomeWatcher() {
    static const char* xml = R"xml(<node><interface name="org.kde.StatusNotifierWatcher">
      <method name="RegisterStatusNotifierItem"><arg type="s" direction="in"/></method>
    </interface></node>)xml";
    if (!watcherInfo) watcherInfo = g_dbus_node_info_new_for_xml(xml, nullptr);
    static const GDBusInterfaceVTable vtable = {
        [](GDBusConnection*, const char*, const char*, const char*, const char*, GVariant* parameters,
           GDBusMethodInvocation* invocation, gpointer self) {
          const char* service = nullptr;
          g_variant_get(parameters, "(&s)", &service);
          static_cast<Host*>(self)->registrations.emplace_back(service);
          g_dbus_method_invocation_return_value(invocation, nullptr);
        },
        nullptr,
        nullptr,
        {}};
    if (!watcherObject) {
      watcherObject = g_dbus_connection_register_object(connection, "/StatusNotifierWatcher",
                                                        watcherInfo->interfaces[0], &vtable, this, nullptr, nullptr);
    }
    ownerId = g_bus_own_name_on_connection(connection, "org.kde.StatusNotifierWatcher", G_BUS_NAME_OWNER_FLAGS_NONE,
                                           nullptr, nullptr, nullptr, nullptr);
  }
  void stopBeingWatcher() {
    g_bus_unown_name(ownerId);
    ownerId = 0;
  }

  GDBusNodeInfo* watcherInfo = nullptr;
  guint watcherObject = 0;
  guint ownerId = 0;
  std::vector<std::string> registrations;
};

std::string stringOf(GVariant* value) {
  std::string text = value ? g_variant_get_string(value, nullptr) : "";
  if (value) g_variant_unref(value);
  return text;
}

// Counts one of the item's signals on the host's connection while it lives.
class SignalCount {
 public:
  SignalCount(GDBusConnection* connection, const char* signal) : connection_(connection) {
    id_ = g_dbus_connection_signal_subscribe(
        connection, nullptr, "org.kde.StatusNotifierItem", signal, "/StatusNotifierItem", nullptr,
        G_DBUS_SIGNAL_FLAGS_NONE,
        [](GDBusConnection*, const char*, const char*, const char*, const char*, GVariant*, gpointer count) {
          ++*static_cast<int*>(count);
        },
        &count_, nullptr);
  }
  ~SignalCount() { g_dbus_connection_signal_unsubscribe(connection_, id_); }
  SignalCount(const SignalCount&) = delete;
  SignalCount& operator=(const SignalCount&) = delete;
  int value() const { return count_; }

 private:
  GDBusConnection* connection_;
  guint id_ = 0;
  int count_ = 0;
};

// The desktop's settings portal on the test bus: answers the colour-scheme read as the real one
// does (a variant in a variant) and announces changes.
class FakeSettingsPortal {
 public:
  FakeSettingsPortal(GDBusConnection* connection, guint32 colorScheme)
      : connection_(connection), colorScheme_(colorScheme) {
    info_ = g_dbus_node_info_new_for_xml(R"xml(<node><interface name="org.freedesktop.portal.Settings">
      <method name="Read"><arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="v" direction="out"/></method>
      <signal name="SettingChanged"><arg type="s"/><arg type="s"/><arg type="v"/></signal>
    </interface></node>)xml",
                                         nullptr);
    static const GDBusInterfaceVTable vtable = {
        [](GDBusConnection*, const char*, const char*, const char*, const char*, GVariant*,
           GDBusMethodInvocation* invocation, gpointer self) {
          GVariant* value =
              g_variant_new_variant(g_variant_new_uint32(static_cast<FakeSettingsPortal*>(self)->colorScheme_));
          g_dbus_method_invocation_return_value(invocation, g_variant_new("(v)", value));
        },
        nullptr,
        nullptr,
        {}};
    object_ = g_dbus_connection_register_object(connection_, "/org/freedesktop/portal/desktop", info_->interfaces[0],
                                                &vtable, this, nullptr, nullptr);
    GVariant* reply = g_dbus_connection_call_sync(connection_, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                  "org.freedesktop.DBus", "RequestName",
                                                  g_variant_new("(su)", "org.freedesktop.portal.Desktop", 0u), nullptr,
                                                  G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
    if (reply) g_variant_unref(reply);
  }
  ~FakeSettingsPortal() {
    GVariant* reply = g_dbus_connection_call_sync(connection_, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                  "org.freedesktop.DBus", "ReleaseName",
                                                  g_variant_new("(s)", "org.freedesktop.portal.Desktop"), nullptr,
                                                  G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
    if (reply) g_variant_unref(reply);
    g_dbus_connection_unregister_object(connection_, object_);
    g_dbus_node_info_unref(info_);
  }
  void change(guint32 colorScheme) {
    colorScheme_ = colorScheme;
    g_dbus_connection_emit_signal(connection_, nullptr, "/org/freedesktop/portal/desktop",
                                  "org.freedesktop.portal.Settings", "SettingChanged",
                                  g_variant_new("(ss@v)", "org.freedesktop.appearance", "color-scheme",
                                                g_variant_new_variant(g_variant_new_uint32(colorScheme))),
                                  nullptr);
  }

 private:
  GDBusConnection* connection_;
  guint32 colorScheme_;
  GDBusNodeInfo* info_ = nullptr;
  guint object_ = 0;
};

// The brightest colour channel of the opaque pixels of the item's first pixmap; -1 if unreadable.
int glyphBrightness(Host& host, const std::string& name) {
  GVariant* pixmaps = host.property(name, "IconPixmap");
  if (!pixmaps || g_variant_n_children(pixmaps) == 0) return -1;
  GVariant* bytes = nullptr;
  int width = 0, height = 0;
  g_variant_get_child(pixmaps, 0, "(ii@ay)", &width, &height, &bytes);
  gsize length = 0;
  const auto* argb = static_cast<const guint8*>(g_variant_get_fixed_array(bytes, &length, 1));
  int brightest = -1;
  for (gsize i = 0; i + 3 < length; i += 4) {
    if (argb[i] == 255) brightest = std::max({brightest, int{argb[i + 1]}, int{argb[i + 2]}, int{argb[i + 3]}});
  }
  g_variant_unref(bytes);
  g_variant_unref(pixmaps);
  return brightest;
}

class SystemTrayItemTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(gtk_init_check(nullptr, nullptr)); }
};

TEST_F(SystemTrayItemTest, ExportsTheItemAndFallsBackWithoutAWatcher) {
  Host host;
  SystemTrayItem item("/opt/vesk/share/icons");
  item.setToolTip("Vesk — ⌃⌥ Space · Double-click for options");
  const std::string name = item.busName();
  ASSERT_TRUE(waitFor([&] { return item.usesFallbackIcon(); })) << "no watcher: the XEmbed icon is used";

  EXPECT_EQ(stringOf(host.property(name, "Category")), "ApplicationStatus");
  EXPECT_EQ(stringOf(host.property(name, "Id")), "io.github.vesk.Vesk");
  EXPECT_EQ(stringOf(host.property(name, "Title")), "Vesk");
  EXPECT_EQ(stringOf(host.property(name, "Status")), "Active");
  EXPECT_EQ(stringOf(host.property(name, "IconName")), "io.github.vesk.Vesk-symbolic");
  EXPECT_EQ(stringOf(host.property(name, "IconThemePath")), "/opt/vesk/share/icons");
  EXPECT_EQ(stringOf(host.property(name, "Menu")), "/MenuBar");
  GVariant* isMenu = host.property(name, "ItemIsMenu");
  ASSERT_TRUE(isMenu);
  EXPECT_FALSE(g_variant_get_boolean(isMenu));
  g_variant_unref(isMenu);

  GVariant* pixmaps = host.property(name, "IconPixmap");
  ASSERT_TRUE(pixmaps);
  std::vector<int> sizes;
  for (gsize i = 0; i < g_variant_n_children(pixmaps); ++i) {
    int width = 0, height = 0;
    GVariant* bytes = nullptr;
    g_variant_get_child(pixmaps, i, "(ii@ay)", &width, &height, &bytes);
    EXPECT_EQ(width, height);
    EXPECT_EQ(g_variant_n_children(bytes), static_cast<gsize>(width * height * 4));
    sizes.push_back(width);
    g_variant_unref(bytes);
  }
  g_variant_unref(pixmaps);
  EXPECT_EQ(sizes, (std::vector<int>{16, 22, 32, 48}));

  // The tooltip, and the signal that tells hosts it changed.
  SignalCount newToolTips(host.connection, "NewToolTip");
  GVariant* toolTip = host.property(name, "ToolTip");
  ASSERT_TRUE(toolTip);
  const char* title = nullptr;
  g_variant_get_child(toolTip, 2, "&s", &title);
  EXPECT_STREQ(title, "Vesk — ⌃⌥ Space · Double-click for options");
  g_variant_unref(toolTip);
  item.setToolTip("Vesk — ⌃⌥ K · Double-click for options");
  EXPECT_TRUE(waitFor([&] { return newToolTips.value() == 1; }));
}

TEST_F(SystemTrayItemTest, ActivationsCountClicksAndCarryThePointerPosition) {
  Host host;
  SystemTrayItem item("");
  std::vector<TrayClick> clicks;
  item.onClick = [&](const TrayClick& click) { clicks.push_back(click); };
  ASSERT_TRUE(waitFor([&] {
    GVariant* id = host.property(item.busName(), "Id");
    if (id) g_variant_unref(id);
    return id != nullptr;
  }));
  for (int i = 0; i < 2; ++i) {
    GVariant* reply = host.call(item.busName(), "/StatusNotifierItem", "org.kde.StatusNotifierItem", "Activate",
                                g_variant_new("(ii)", 1200, 14));
    ASSERT_TRUE(reply);
    g_variant_unref(reply);
  }
  ASSERT_EQ(clicks.size(), 2u);
  EXPECT_EQ(clicks[0].clickCount, 1);
  EXPECT_EQ(clicks[1].clickCount, 2) << "a second activation within the double-click time";
  EXPECT_EQ(clicks[0].point, (ScreenPoint{1200, 14}));
  ASSERT_TRUE(item.iconArea());
  EXPECT_TRUE(item.iconArea()->contains({1200, 14}));
}

TEST_F(SystemTrayItemTest, RegistersWithEveryWatcherThatAppearsAndDropsTheFallback) {
  Host host;
  SystemTrayItem item("");
  ASSERT_TRUE(waitFor([&] { return item.usesFallbackIcon(); }));
  host.becomeWatcher();
  ASSERT_TRUE(waitFor([&] { return host.registrations.size() == 1; }));
  EXPECT_EQ(host.registrations[0], item.busName());
  EXPECT_FALSE(item.usesFallbackIcon());

  host.stopBeingWatcher();  // the tray host restarts
  ASSERT_TRUE(waitFor([&] { return item.usesFallbackIcon(); }));
  host.becomeWatcher();
  ASSERT_TRUE(waitFor([&] { return host.registrations.size() == 2; }));
  EXPECT_FALSE(item.usesFallbackIcon());

  // A watcher that drops the item while Vesk runs (GNOME Shell's extension does so at times while
  // the shell starts) gets it again, three times at most; a drop of another item changes nothing.
  auto drop = [&](const std::string& service) {
    g_dbus_connection_emit_signal(host.connection, nullptr, "/StatusNotifierWatcher", "org.kde.StatusNotifierWatcher",
                                  "StatusNotifierItemUnregistered", g_variant_new("(s)", service.c_str()), nullptr);
  };
  drop("org.kde.StatusNotifierItem-1-1");
  for (std::size_t expected = 3; expected <= 5; ++expected) {
    drop(item.busName());
    ASSERT_TRUE(waitFor([&] { return host.registrations.size() == expected; }));
  }
  drop(item.busName());
  testing::spinFor(300);
  EXPECT_EQ(host.registrations.size(), 5u) << "a host that keeps dropping the item is left alone";
}

TEST_F(SystemTrayItemTest, ExportedMenuOffersSettingsAndQuit) {
  Host host;
  SystemTrayItem item("");
  int settings = 0, quits = 0;
  item.onSettings = [&] { ++settings; };
  item.onQuit = [&] { ++quits; };
  GVariant* layout = nullptr;
  ASSERT_TRUE(waitFor([&] {
    layout = host.call(item.busName(), "/MenuBar", "com.canonical.dbusmenu", "GetLayout",
                       g_variant_new("(ii@as)", 0, -1, g_variant_new_strv(nullptr, 0)));
    return layout != nullptr;
  }));
  // (u(ia{sv}av)): the root's children, each a (ia{sv}av) in a variant.
  GVariant* root = g_variant_get_child_value(layout, 1);
  GVariant* children = g_variant_get_child_value(root, 2);
  std::vector<std::string> entries;
  std::map<std::string, int> ids;
  for (gsize i = 0; i < g_variant_n_children(children); ++i) {
    GVariant* boxed = g_variant_get_child_value(children, i);
    GVariant* child = g_variant_get_variant(boxed);
    int id = 0;
    GVariant* properties = nullptr;
    g_variant_get_child(child, 0, "i", &id);
    properties = g_variant_get_child_value(child, 1);
    const char* label = nullptr;
    const char* type = nullptr;
    if (g_variant_lookup(properties, "label", "&s", &label)) {
      entries.emplace_back(label);
      ids[label] = id;
    } else if (g_variant_lookup(properties, "type", "&s", &type)) {
      entries.emplace_back(std::string("<") + type + ">");
    }
    g_variant_unref(properties);
    g_variant_unref(child);
    g_variant_unref(boxed);
  }
  g_variant_unref(children);
  g_variant_unref(root);
  g_variant_unref(layout);
  EXPECT_EQ(entries, (std::vector<std::string>{"Settings…", "<separator>", "Quit Vesk"}));

  for (const char* label : {"Settings…", "Quit Vesk"}) {
    GVariant* reply = host.call(item.busName(), "/MenuBar", "com.canonical.dbusmenu", "Event",
                                g_variant_new("(isvu)", ids[label], "clicked", g_variant_new_int32(0), 0u));
    if (reply) g_variant_unref(reply);
  }
  EXPECT_TRUE(waitFor([&] { return settings == 1 && quits == 1; }));
}

TEST_F(SystemTrayItemTest, PixmapsFollowTheDesktopsLightOrDarkPreference) {
  Host host;
  FakeSettingsPortal portal(host.connection, 2);  // prefers light: a light panel
  SystemTrayItem item("");
  EXPECT_TRUE(waitFor([&] {
    const int brightness = glyphBrightness(host, item.busName());
    return brightness >= 0 && brightness < 0x40;
  })) << "a dark glyph on a light desktop, not "
      << glyphBrightness(host, item.busName());
  EXPECT_EQ(stringOf(host.property(item.busName(), "IconName")), "io.github.vesk.Vesk-symbolic")
      << "hosts that recolour icons get the symbolic one";

  SignalCount newIcons(host.connection, "NewIcon");
  portal.change(1);  // the desktop switches to dark
  EXPECT_TRUE(waitFor([&] { return newIcons.value() == 1; })) << "hosts are told to fetch the icon again";
  EXPECT_GT(glyphBrightness(host, item.busName()), 0xc0) << "a light glyph on a dark desktop";
}

// Desktops without the portal set their theme through XSETTINGS (xfsettingsd, gnome-settings-daemon):
// here a real XSETTINGS manager, xsettingsd, names the theme and later changes it.
TEST_F(SystemTrayItemTest, WithoutThePortalPixmapsFollowTheDesktopsGtkTheme) {
  Host host;
  gchar* made = g_dir_make_tmp("vesk-xsettings-XXXXXX", nullptr);
  ASSERT_NE(made, nullptr);
  const std::string config = std::string(made) + "/xsettingsd.conf";
  g_free(made);
  auto setTheme = [&](const char* theme) {
    ASSERT_TRUE(
        g_file_set_contents(config.c_str(), (std::string("Net/ThemeName \"") + theme + "\"\n").c_str(), -1, nullptr));
  };
  setTheme("Adwaita");
  const char* argv[] = {"xsettingsd", "-c", config.c_str(), nullptr};
  GPid manager = 0;
  ASSERT_TRUE(g_spawn_async(nullptr, const_cast<char**>(argv), nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr, &manager,
                            nullptr));
  SystemTrayItem item("");
  EXPECT_TRUE(waitFor([&] {
    const int brightness = glyphBrightness(host, item.busName());
    return brightness >= 0 && brightness < 0x40;
  })) << "a dark glyph with a light theme";
  SignalCount newIcons(host.connection, "NewIcon");
  setTheme("Adwaita-dark");
  // xsettingsd reads its file again on SIGHUP and tells every client, once it catches the signal:
  // sent before, the signal ends it.
  auto catchesHangUp = [&] {
    gchar* raw = nullptr;
    if (!g_file_get_contents(("/proc/" + std::to_string(manager) + "/status").c_str(), &raw, nullptr, nullptr))
      return false;
    const std::string status = GCharPtr(raw).get();
    const auto at = status.find("SigCgt:");
    return at != std::string::npos && (std::stoull(status.substr(at + 7), nullptr, 16) & (1ull << (SIGHUP - 1)));
  };
  ASSERT_TRUE(waitFor(catchesHangUp));
  kill(manager, SIGHUP);
  EXPECT_TRUE(waitFor([&] { return newIcons.value() >= 1; }));
  EXPECT_GT(glyphBrightness(host, item.busName()), 0xc0) << "a light glyph with a dark theme";
  kill(manager, SIGTERM);
  waitpid(manager, nullptr, 0);
  g_spawn_close_pid(manager);
}

// GTK reports a double click on the XEmbed icon as press, press, double-press: the second press
// is the second click, and nothing else follows. A lone click later starts again at one.
TEST_F(SystemTrayItemTest, DoubleClickOnTheXEmbedIconIsOneClickThenASecond) {
  const char* argv[] = {"trayer",  "--edge",   "top", "--align",       "right", "--widthtype",
                        "request", "--height", "28",  "--SetDockType", "true",  nullptr};
  GPid trayer = 0;
  ASSERT_TRUE(g_spawn_async(nullptr, const_cast<char**>(argv), nullptr,
                            static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD), nullptr, nullptr,
                            &trayer, nullptr))
      << "trayer (an XEmbed tray) is needed: bash scripts/install-deps.sh";
  struct Stop {
    GPid pid;
    ~Stop() {
      kill(pid, SIGTERM);
      waitpid(pid, nullptr, 0);
      g_spawn_close_pid(pid);
    }
  } stop{trayer};

  SystemTrayItem item("");
  std::vector<int> counts;
  item.onClick = [&](const TrayClick& click) { counts.push_back(click.clickCount); };
  // The tray lays the icon out after embedding it: aim once its place has stopped changing.
  std::optional<ScreenRect> icon, before;
  for (int tries = 0; tries < 150 && !(icon && icon == before); ++tries) {
    testing::spinFor(200);
    before = icon;
    icon = item.isFallbackIconEmbedded() ? item.iconArea() : std::nullopt;
  }
  ASSERT_TRUE(icon && icon == before) << "the icon was never embedded in the tray";
  const std::string at = std::to_string(icon->x + icon->width / 2) + " " + std::to_string(icon->y + icon->height / 2);

  ASSERT_TRUE(testing::xdotool("mousemove " + at + " click --repeat 2 --delay 80 1"));
  ASSERT_TRUE(waitFor([&] { return counts.size() >= 2; })) << "no clicks at " << at;
  testing::spinFor(300);  // a double-press, had it been taken as a click, would be in by now
  EXPECT_EQ(counts, (std::vector<int>{1, 2}));

  int doubleClickTime = 400;
  g_object_get(gtk_settings_get_default(), "gtk-double-click-time", &doubleClickTime, nullptr);
  testing::spinFor(doubleClickTime + 200);
  const std::size_t clicked = counts.size();
  ASSERT_TRUE(testing::xdotool("click 1"));
  ASSERT_TRUE(waitFor([&] { return counts.size() > clicked; }));
  EXPECT_EQ(counts.back(), 1);
}

}  // namespace
}  // namespace vesk
