// The settings screen in its place: the panel's root view builds it into its settings slot, below
// the panel's own header.
#include <gtest/gtest.h>
#include <gtkmm/window.h>

#include "hotkeys/hotkey_manager.h"
#include "panel/panel_fakes.h"
#include "panel/vesk_view.h"
#include "settings/fake_login_items.h"
#include "settings/settings_parts.h"
#include "settings/settings_screen.h"
#include "settings/settings_widgets.h"
#include "settings/shown_tab.h"
#include "support/gtk_test_support.h"
#include "support/named_widgets.h"

namespace vesk {
namespace {

using testing::settle;

TEST(SettingsInPanel, FillsTheSlotAndStartsAgainEachTimeItIsShown) {
  ASSERT_TRUE(testing::startGtk()) << "no display";
  testing::PanelFixture fx;
  testing::FakeLoginItems login;
  int quits = 0;
  SettingsScreen* screen = nullptr;
  Gtk::Window window;
  window.set_default_size(500, 700);
  auto* view = Gtk::manage(new VeskView(
      *fx.model, fx.services(), [] {},
      [&](VeskViewState& state) {
        screen = Gtk::manage(new SettingsScreen(state, SettingsServices{login, [&] { ++quits; }}));
        return screen;
      }));
  window.add(*view);
  window.show_all();
  settle();
  EXPECT_EQ(screen, nullptr);  // built only when first needed

  VeskViewState& state = view->state();
  state.openSettings();
  view->render();
  settle();
  ASSERT_NE(screen, nullptr);
  EXPECT_TRUE(screen->is_ancestor(testing::named(*view, VeskView::WidgetName::settingsSlot)));
  EXPECT_EQ(testing::shownTab(*screen), SettingsTab::general);
  testing::saveScreenshot(window, "settings", "in-panel-general");

  // The add action opens the form on the Websites tab; typed text does not outlive the screen.
  fx.model->add("Docs", "https://docs.example.com/");
  fx.model->add("Mail", "https://mail.example.com/");
  state.addWebsite();
  view->render();
  settle();
  ASSERT_EQ(testing::shownTab(*screen), SettingsTab::websites);
  auto* sites =
      dynamic_cast<WebsitesTab*>(testing::findNamed<SettingsTabView>(*screen, SettingsScreen::WidgetName::content));
  ASSERT_NE(sites, nullptr);
  ASSERT_NE(testing::siteEditor(*sites), nullptr);
  testing::nameField(*testing::siteEditor(*sites)).set_text("Half typed");
  testing::saveScreenshot(window, "settings", "in-panel-websites");

  testing::named<Gtk::Button>(*view, VeskView::WidgetName::backButton).clicked();
  view->render();
  settle();
  EXPECT_FALSE(state.showSettings());
  EXPECT_TRUE(state.isAdding());  // the form stays open for next time

  fx.model->requestSettings();  // the tray menu's way back: the tab and the form stay as they were
  view->render();
  testing::waitFor([&] {
    auto* tab =
        dynamic_cast<WebsitesTab*>(testing::findNamed<SettingsTabView>(*screen, SettingsScreen::WidgetName::content));
    return tab && testing::siteEditor(*tab) && testing::nameField(*testing::siteEditor(*tab)).get_text().empty();
  });
  sites = dynamic_cast<WebsitesTab*>(testing::findNamed<SettingsTabView>(*screen, SettingsScreen::WidgetName::content));
  ASSERT_NE(sites, nullptr);
  ASSERT_NE(testing::siteEditor(*sites), nullptr);
  EXPECT_EQ(testing::nameField(*testing::siteEditor(*sites)).get_text(), "");
  EXPECT_EQ(testing::editorTitle(*testing::siteEditor(*sites)).get_text(), "Add website");

  // A theme picked here repaints the panel's header too.
  state.chooseSettingsTab(SettingsTab::appearance);
  settle();
  auto* appearance =
      dynamic_cast<AppearanceTab*>(testing::findNamed<SettingsTabView>(*screen, SettingsScreen::WidgetName::content));
  ASSERT_NE(appearance, nullptr);
  testing::themeCard(*appearance, 1).clicked();
  view->render();
  settle();
  testing::saveScreenshot(window, "settings", "in-panel-appearance-midnight");
  EXPECT_EQ(fx.model->theme(), LinkTheme::midnight);
}

// At the smallest panel width every tab fits: nothing makes the window wider, and the header's
// close button stays inside it. Long data texts (names, addresses, messages) are shown too.
TEST(SettingsInPanel, EveryTabFitsTheSmallestPanelWidth) {
  ASSERT_TRUE(testing::startGtk()) << "no display";
  const int width = static_cast<int>(PanelLimits::minWidth);
  testing::PanelFixture fx({LinkSite{"A site with a rather long name that goes on and on",
                                     "https://averyveryveryverylongsubdomainname.example-with-a-long-domain.com/"},
                            LinkSite{"Short", "https://short.example.com/"}});
  // A next-site combination whose label was edited by hand in the settings file.
  fx.store.seed(SettingsKey::nextShortcut,
                *Shortcut{40, ModifierMask::control, "⌃ A label edited by hand in the settings file"}.encode());
  fx.model = std::make_unique<AppModel>(fx.store);
  testing::FakeLoginItems login;
  Gtk::Window window;
  window.set_default_size(width, 700);
  auto* view = Gtk::manage(new VeskView(
      *fx.model, fx.services(), [] {},
      [&](VeskViewState& state) {
        return Gtk::manage(new SettingsScreen(state, SettingsServices{login, [] {}}));
      }));
  window.add(*view);
  window.show_all();
  VeskViewState& state = view->state();
  state.loginItemChanged(
      state.loginItemEnabled(),
      "Could not change login setting: Could not create the folder “/home/someone/.config/autostart”: Not a directory");
  fx.model->reportShortcutError(std::string(strings::shortcutTaken()));
  state.openSiteEditor(fx.model->sites()[0]);
  state.openSettings();
  view->render();
  settle();

  for (SettingsTab tab : allSettingsTabs) {
    state.chooseSettingsTab(tab);
    view->render();
    settle();
    int minimum = 0, natural = 0;
    view->get_preferred_width(minimum, natural);
    EXPECT_LE(minimum, width) << rawValue(tab);
    testing::waitForDraw(window);
    EXPECT_EQ(window.get_allocated_width(), width) << rawValue(tab);
    int x = 0, y = 0;
    ASSERT_TRUE(testing::named<Gtk::Button>(*view, VeskView::WidgetName::closeButton)
                    .translate_coordinates(window, 0, 0, x, y));
    EXPECT_LE(x + testing::named<Gtk::Button>(*view, VeskView::WidgetName::closeButton).get_allocated_width(), width)
        << rawValue(tab);
    testing::saveScreenshot(window, "settings", "narrow-" + std::string(rawValue(tab)));
  }
}

}  // namespace
}  // namespace vesk
