// What Vesk shows on a real desktop speaks the desktop's language: the tray tooltip read over
// D-Bus from the real tray item, the panel's badge, the Keys rows, every settings tab and both
// kinds of refused combination name no other platform and draw no other platform's key symbols,
// while a recorded combination keeps its stored label in settings.ini.
#include <gio/gio.h>
#include <glib/gstdio.h>
#include <gtest/gtest.h>
#include <gtkmm/window.h>

#include <filesystem>
#include <map>
#include <memory>
#include <regex>

#include "hotkeys/gtk_key_monitor.h"
#include "hotkeys/main_queue.h"
#include "hotkeys/x11_hotkey_service.h"
#include "model/file_settings_store.h"
#include "panel/panel_fakes.h"
#include "panel/vesk_view.h"
#include "settings/fake_login_items.h"
#include "settings/settings_screen.h"
#include "settings/settings_widgets.h"
#include "shell/shell_fakes.h"
#include "shell/system_tray_item.h"
#include "support/gtk_test_support.h"

// Last: the X headers define macros (None, Bool, Status) that clash with names above.
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <gdk/gdkx.h>

namespace vesk {
namespace {

using testing::settle;
using testing::shownTexts;
using testing::waitFor;
using testing::xdotool;

// The first word or symbol of another platform in `text`, or empty.
std::string otherPlatformWord(const std::string& text) {
  static const std::regex words(R"(macOS|\bMac\b|menu bar|⌃|⌥|⇧|⌘)", std::regex::icase);
  std::smatch match;
  return std::regex_search(text, match, words) ? match.str() : std::string();
}

// The item's tooltip title, read from a second bus connection as a tray host reads it.
std::string toolTipOverDBus(const std::string& busName) {
  gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  GDBusConnection* host = g_dbus_connection_new_for_address_sync(
      address,
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, nullptr);
  g_free(address);
  struct Pending {
    GVariant* reply = nullptr;
    bool done = false;
  } pending;
  g_dbus_connection_call(
      host, busName.c_str(), "/StatusNotifierItem", "org.freedesktop.DBus.Properties", "Get",
      g_variant_new("(ss)", "org.kde.StatusNotifierItem", "ToolTip"), nullptr, G_DBUS_CALL_FLAGS_NONE, 5000, nullptr,
      [](GObject* source, GAsyncResult* result, gpointer data) {
        auto* p = static_cast<Pending*>(data);
        p->reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr);
        p->done = true;
      },
      &pending);
  waitFor([&] { return pending.done; });
  std::string title;
  if (pending.reply) {
    GVariant* toolTip = nullptr;
    g_variant_get(pending.reply, "(v)", &toolTip);
    const char* text = nullptr;
    g_variant_get_child(toolTip, 2, "&s", &text);
    title = text ? text : "";
    g_variant_unref(toolTip);
    g_variant_unref(pending.reply);
  }
  g_object_unref(host);
  return title;
}

class ShownTextsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testing::startGtk()) << "no display";
    gchar* dir = g_dir_make_tmp("vesk-texts-XXXXXX", nullptr);
    folder = dir;
    g_free(dir);
    settingsFile = folder / "settings.ini";
    // A next-website combination with shift and command, as a settings file holds it.
    ASSERT_TRUE(g_file_set_contents(settingsFile.c_str(),
                                    "[vesk]\nvesk.sites.v1=[]\n"
                                    "vesk.shortcut.next.v1={\"keyCode\":40,\"modifiers\":768,\"label\":\"⇧⌘ K\"}\n",
                                    -1, nullptr));
    store = std::make_unique<FileSettingsStore>(settingsFile);
    hotkeys = std::make_unique<X11HotkeyService>();
    ShellPlatform platform;
    platform.makeTrayItem = [this] {
      auto item = std::make_unique<SystemTrayItem>("");
      tray = item.get();
      return item;
    };
    platform.makePanelWindow = [this] { return std::make_unique<testing::FakePanelWindow>(journal); };
    platform.mainQueue = glibMainQueue();
    delegate = std::make_unique<AppDelegate>(*store, *hotkeys, std::move(platform));
    delegate->applicationDidFinishLaunching();
    ASSERT_NE(tray, nullptr);

    window = std::make_unique<Gtk::Window>();
    window->set_default_size(500, 700);
    view = Gtk::manage(new VeskView(
        delegate->model(), PanelServices{pages, clipboard, workspace, keys, timers.runAfter(), [] { return false; }},
        [] {},
        [this](VeskViewState& state) {
          return Gtk::manage(new SettingsScreen(state, SettingsServices{login, [] {}}));
        }));
    window->add(*view);
    keys.attach(*window);
    window->show_all();
    window->present();
    ASSERT_TRUE(waitFor([&] { return window->is_active(); }, 20)) << "the panel never got focus";
  }

  void TearDown() override {
    window.reset();
    delegate.reset();
    hotkeys.reset();
    store.reset();
    settle();
    std::filesystem::remove_all(folder);
  }

  SettingsScreen& screen() { return dynamic_cast<SettingsScreen&>(*view->settingsSlot().get_children().front()); }
  SettingsTabView& showTab(SettingsTab tab) {
    view->state().openSettings();
    view->state().settingsTab.set(tab);
    view->render();
    settle();
    return *screen().content();
  }

  // The Keys tab, shown and up to date (each tab's content is built anew when it is chosen).
  KeysTab& keysTab() { return dynamic_cast<KeysTab&>(showTab(SettingsTab::keys)); }

  std::filesystem::path folder, settingsFile;
  std::unique_ptr<FileSettingsStore> store;
  std::unique_ptr<X11HotkeyService> hotkeys;
  SystemTrayItem* tray = nullptr;
  testing::Journal journal;
  std::unique_ptr<AppDelegate> delegate;
  testing::FakePageFactory pages;
  testing::FakeClipboard clipboard;
  testing::FakeWorkspace workspace;
  testing::FakeTimers timers;
  testing::FakeLoginItems login;
  GtkKeyMonitor keys;
  std::unique_ptr<Gtk::Window> window;
  VeskView* view = nullptr;
};

TEST_F(ShownTextsTest, EveryShownTextIsInTheDesktopsWordsAndStoredLabelsKeepTheirForm) {
  AppModel& model = delegate->model();
  struct Shown {
    std::string where;
    std::string text;
  };
  std::vector<Shown> shown;

  shown.push_back({"tray tooltip over D-Bus", toolTipOverDBus(tray->busName())});
  for (SettingsTab tab : allSettingsTabs) {
    for (const auto& text : shownTexts(showTab(tab)))
      shown.push_back({"settings tab " + std::string(rawValue(tab)), text});
  }
  for (const auto& text : shownTexts(screen())) shown.push_back({"settings header", text});
  shown.push_back({"header badge", view->shortcutBadge().get_text()});
  for (const auto& row : keysTab().rows) shown.push_back({"Keys row", row.setButton->get_label()});

  // Another client holds Control+Alt+K: the refusal says who.
  Display* other = XOpenDisplay(DisplayString(GDK_DISPLAY_XDISPLAY(gdk_display_get_default())));
  ASSERT_NE(other, nullptr);
  const int k = XKeysymToKeycode(other, XK_k);
  XGrabKey(other, k, ControlMask | Mod1Mask, DefaultRootWindow(other), False, GrabModeAsync, GrabModeAsync);
  XSync(other, False);
  model.changeShortcut(Shortcut{40, 0x1800, "⌃⌥ K"}, ShortcutAction::previousSite);
  XCloseDisplay(other);
  ASSERT_TRUE(model.shortcutError().has_value()) << "the held combination was not refused";
  const std::string taken = *model.shortcutError();
  EXPECT_TRUE(keysTab().error->get_visible());
  shown.push_back({"refusal by another application", keysTab().error->get_text()});

  // A session without an X11 display offers no global keys at all.
  X11HotkeyService noDisplay(nullptr);
  HotkeyManager manager(noDisplay, glibMainQueue());
  const std::string impossible = manager.registerShortcut(Shortcut::standard(), 1).value_or("");
  shown.push_back({"refusal without global keys", impossible});
  EXPECT_NE(impossible, taken) << "both refusals say the same";

  std::map<std::string, std::string> expected{
      {"tray tooltip over D-Bus", "Vesk — Ctrl+Alt+Space · Double-click for options"},
      {"header badge", "Ctrl+Alt+Space"},
  };
  std::vector<std::string> rows;
  for (const auto& [where, text] : shown) {
    EXPECT_FALSE(text.empty() && where.starts_with("refusal")) << where;
    EXPECT_EQ(otherPlatformWord(text), "") << where << ": \"" << text << "\"";
    if (expected.contains(where)) {
      EXPECT_EQ(text, expected[where]);
    }
    if (where == "Keys row") rows.push_back(text);
  }
  EXPECT_EQ(rows, (std::vector<std::string>{"Ctrl+Alt+Space", "Shift+Super+K", "Set keys"}));

  // Recording a combination stores its label in the stored form, as before.
  keysTab().rows[2].setButton->clicked();
  ASSERT_TRUE(view->state().recorder.isRecording());
  ASSERT_TRUE(xdotool("key ctrl+alt+p"));
  ASSERT_TRUE(waitFor([&] { return model.previousShortcut().has_value(); }, 20)) << "the recorder never saw the press";
  EXPECT_EQ(keysTab().rows[2].setButton->get_label(), "Ctrl+Alt+P");
  store->flush();  // the file is written behind the change
  gchar* contents = nullptr;
  ASSERT_TRUE(g_file_get_contents(settingsFile.c_str(), &contents, nullptr, nullptr));
  const std::string file(contents);
  g_free(contents);
  EXPECT_NE(file.find(R"(vesk.shortcut.previous.v1={"keyCode":35,"modifiers":6144,"label":"⌃⌥ P"})"), std::string::npos)
      << file;
  EXPECT_NE(file.find(R"("label":"⇧⌘ K")"), std::string::npos) << "the stored next combination changed:\n" << file;
}

}  // namespace
}  // namespace vesk
