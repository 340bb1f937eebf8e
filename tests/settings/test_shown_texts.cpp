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
#include "settings/panel_with_settings.h"
#include "settings/settings_parts.h"
#include "settings/settings_screen.h"
#include "settings/settings_widgets.h"
#include "shell/shell_fakes.h"
#include "shell/system_tray_item.h"
#include "support/bus_client.h"
#include "support/gtk_test_support.h"
#include "support/named_widgets.h"

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
  testing::BusClient host;
  GVariant* toolTip = host.itemProperty(busName, "ToolTip");
  if (!toolTip) return "";
  const char* text = nullptr;
  g_variant_get_child(toolTip, 2, "&s", &text);
  std::string title = text ? text : "";
  g_variant_unref(toolTip);
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

    panel = std::make_unique<testing::PanelWithSettings>(delegate->model());
    view = panel->view;
    ASSERT_TRUE(panel->focus()) << "the panel never got focus";
  }

  void TearDown() override {
    panel.reset();
    delegate.reset();
    hotkeys.reset();
    store.reset();
    settle();
    std::filesystem::remove_all(folder);
  }

  SettingsScreen& screen() { return panel->screen(); }
  SettingsTabView& showTab(SettingsTab tab) { return panel->showTab(tab); }

  // The Keys tab, shown and up to date (each tab's content is built anew when it is chosen).
  KeysTab& keysTab() { return dynamic_cast<KeysTab&>(showTab(SettingsTab::keys)); }

  std::filesystem::path folder, settingsFile;
  std::unique_ptr<FileSettingsStore> store;
  std::unique_ptr<X11HotkeyService> hotkeys;
  SystemTrayItem* tray = nullptr;
  testing::Journal journal;
  std::unique_ptr<AppDelegate> delegate;
  std::unique_ptr<testing::PanelWithSettings> panel;
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
  shown.push_back({"header badge", testing::named<Gtk::Label>(*view, VeskView::WidgetName::shortcutBadge).get_text()});
  for (std::size_t row = 0; row < allShortcutActions.size(); ++row)
    shown.push_back({"Keys row", testing::setButton(keysTab(), row).get_label()});

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
  EXPECT_TRUE(testing::shortcutError(keysTab()).get_visible());
  shown.push_back({"refusal by another application", testing::shortcutError(keysTab()).get_text()});

  // A session without an X11 display offers no global keys at all: nothing is refused, and the
  // Keys tab says so in one line.
  X11HotkeyService noDisplay(nullptr);
  HotkeyManager manager(noDisplay, glibMainQueue());
  EXPECT_EQ(manager.registerShortcut(Shortcut::standard(), 1), std::nullopt);
  model.setGlobalKeysOffered(false);
  const std::string impossible = testing::sessionNotice(keysTab()).get_text();
  EXPECT_FALSE(impossible.empty());
  EXPECT_EQ(impossible.find('\n'), std::string::npos) << "more than one line";
  shown.push_back({"Keys tab without global keys", impossible});
  EXPECT_NE(impossible, taken) << "the line and the refusal say the same";

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
  testing::setButton(keysTab(), 2).clicked();
  ASSERT_TRUE(view->state().recorder.isRecording());
  ASSERT_TRUE(xdotool("key ctrl+alt+p"));
  ASSERT_TRUE(waitFor([&] { return model.previousShortcut().has_value(); })) << "the recorder never saw the press";
  EXPECT_EQ(testing::setButton(keysTab(), 2).get_label(), "Ctrl+Alt+P");
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
