// Recording a key combination while Vesk's own global combinations are grabbed on a real X
// server: the shell with its real hot-key grabs, the panel with its settings in a focused window,
// and key presses sent with xdotool.
#include <gtest/gtest.h>
#include <gtkmm/window.h>

#include <algorithm>
#include <memory>

#include "hotkeys/gtk_key_monitor.h"
#include "hotkeys/main_queue.h"
#include "hotkeys/x11_hotkey_service.h"
#include "panel/panel_fakes.h"
#include "panel/vesk_view.h"
#include "settings/fake_login_items.h"
#include "settings/panel_with_settings.h"
#include "settings/settings_parts.h"
#include "settings/settings_screen.h"
#include "settings/settings_widgets.h"
#include "shell/shell_fakes.h"
#include "support/gtk_test_support.h"
#include "support/named_widgets.h"

namespace vesk {
namespace {

using testing::settle;
using testing::waitFor;
using testing::xdotool;

class RecordingWithGrabsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testing::startGtk()) << "no display";
    hotkeys = std::make_unique<X11HotkeyService>();
    store.seed(SettingsKey::sites, encodeSites({}).value());  // no pages to load
    ShellPlatform platform;
    platform.makeTrayItem = [this] { return std::make_unique<testing::FakeTrayItem>(journal); };
    platform.makePanelWindow = [this] {
      auto window = std::make_unique<testing::FakePanelWindow>(journal);
      shell = window.get();
      return window;
    };
    platform.mainQueue = glibMainQueue();
    delegate = std::make_unique<AppDelegate>(store, *hotkeys, std::move(platform));
    delegate->applicationDidFinishLaunching();
    ASSERT_EQ(delegate->model().shortcutError(), std::nullopt) << "Ctrl+Alt+Space could not be grabbed";

    panel = std::make_unique<testing::PanelWithSettings>(delegate->model());
    view = panel->view;
    window = panel->window.get();
  }

  void TearDown() override {
    panel.reset();
    delegate.reset();
    hotkeys.reset();
    settle();
  }

  // The Keys tab in the focused panel, with the next-website row recording.
  void startRecording() {
    ASSERT_TRUE(panel->focus()) << "the panel never got focus";
    auto* keysTab = dynamic_cast<KeysTab*>(&panel->showTab(SettingsTab::keys));
    ASSERT_NE(keysTab, nullptr);
    testing::setButton(*keysTab, 1).clicked();
    ASSERT_TRUE(view->state().recorder.isRecording());
  }
  SettingsScreen& screen() { return panel->screen(); }

  // Presses Ctrl+Alt+Space; true when Vesk's own grab got it (the panel was toggled).
  bool showCombinationToggles() {
    // The shell's window is made with the first show.
    auto toggles = [&] { return shell ? shell->shows + shell->closes : 0; };
    const int before = toggles();
    EXPECT_TRUE(xdotool("key ctrl+alt+space"));
    return waitFor([&] { return toggles() > before; });
  }

  testing::MemorySettingsStore store;
  testing::Journal journal;
  std::unique_ptr<X11HotkeyService> hotkeys;
  testing::FakePanelWindow* shell = nullptr;
  std::unique_ptr<AppDelegate> delegate;

  std::unique_ptr<testing::PanelWithSettings> panel;
  Gtk::Window* window = nullptr;
  VeskView* view = nullptr;
};

TEST_F(RecordingWithGrabsTest, AnotherActionsCombinationReachesTheRecorderAndTheGrabsComeBackAfterwards) {
  AppModel& model = delegate->model();
  ASSERT_TRUE(showCombinationToggles());

  // Captured: the show combination pressed for the next-website row is refused as a duplicate.
  startRecording();
  const int toggles = shell->shows + shell->closes;
  ASSERT_TRUE(xdotool("key ctrl+alt+space"));
  ASSERT_TRUE(waitFor([&] { return model.shortcutError().has_value(); })) << "the recorder never saw the press";
  EXPECT_EQ(model.shortcutError(), std::string(strings::duplicateShortcut()));
  EXPECT_EQ(shell->shows + shell->closes, toggles);
  EXPECT_FALSE(view->state().recorder.isRecording());
  EXPECT_EQ(model.nextShortcut(), std::nullopt);
  EXPECT_TRUE(showCombinationToggles());

  // Captured: a new combination is accepted while the grabs are released and grabbed with them.
  startRecording();
  ASSERT_TRUE(xdotool("key ctrl+alt+k"));
  ASSERT_TRUE(waitFor([&] { return model.nextShortcut().has_value(); }));
  EXPECT_EQ(model.shortcutError(), std::nullopt);
  ASSERT_FALSE(shell->shown);
  const int shows = shell->shows;
  ASSERT_TRUE(xdotool("key ctrl+alt+k"));
  EXPECT_TRUE(waitFor([&] { return shell->shows > shows; })) << "the new combination is not grabbed";
  EXPECT_TRUE(showCombinationToggles());

  // Escape.
  startRecording();
  ASSERT_TRUE(xdotool("key Escape"));
  ASSERT_TRUE(waitFor([&] { return !view->state().recorder.isRecording(); }));
  EXPECT_TRUE(showCombinationToggles());

  // A tab button.
  startRecording();
  testing::named<Gtk::Button>(screen(), SettingsScreen::tabButtonName(SettingsTab::panel)).clicked();
  EXPECT_FALSE(view->state().recorder.isRecording());
  EXPECT_TRUE(showCombinationToggles());

  // The panel hidden.
  startRecording();
  window->hide();
  EXPECT_FALSE(view->state().recorder.isRecording());
  EXPECT_TRUE(showCombinationToggles());
}

// The Websites tab builds only the rows in view; Tab still walks on through the rows after them,
// scrolling them into view as a user presses it.
TEST(WebsitesKeyboard, TabReachesRowsThatWereNotBuiltYet) {
  ASSERT_TRUE(testing::startGtk()) << "no display";
  std::vector<LinkSite> many;
  for (int i = 0; i < 1000; ++i) {
    many.emplace_back("Site " + std::to_string(i), "https://s" + std::to_string(i) + ".example.com/");
  }
  testing::PanelFixture fx(many);
  testing::FakeLoginItems login;
  VeskViewState state(*fx.model, fx.services(), [] {});
  Gtk::Window window;
  window.set_default_size(500, 700);
  auto* screen = Gtk::manage(new SettingsScreen(state, SettingsServices{login, [] {}}));
  window.add(*screen);
  window.show_all();
  window.present();
  ASSERT_TRUE(waitFor([&] { return window.is_active(); })) << "the window never got focus";
  testing::named<Gtk::Button>(*screen, SettingsScreen::tabButtonName(SettingsTab::websites)).clicked();
  settle();
  auto* tab =
      dynamic_cast<WebsitesTab*>(testing::findNamed<SettingsTabView>(*screen, SettingsScreen::WidgetName::content));
  ASSERT_NE(tab, nullptr);
  ASSERT_LT(testing::siteRows(*tab).size(), 40u);
  testing::siteRows(*tab)[1].remove->grab_focus();
  for (int press = 0; press < 4 * 60; ++press) {  // four buttons a row: on to row 61
    ASSERT_TRUE(xdotool("key Tab"));
    settle();
  }
  ASSERT_TRUE(waitFor(
      [&] {
        const auto rows = testing::siteRows(*tab);
        return std::any_of(rows.begin(), rows.end(), [&](const testing::SiteRow& row) {
          return row.remove == window.get_focus() && row.name == many[61].name;
        });
      },
      10));
  EXPECT_GT(screen->get_vadjustment()->get_value(), 50 * 52);
}

}  // namespace
}  // namespace vesk
