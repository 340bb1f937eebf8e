// The settings screen on a real display: texts, enabled states and actions of every tab, clicked
// through GTK, with a screenshot of each tab.
#include <gtest/gtest.h>
#include <gtkmm/window.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "panel/palette.h"
#include "panel/panel_fakes.h"
#include "settings/fake_login_items.h"
#include "settings/settings_parts.h"
#include "settings/settings_screen.h"
#include "settings/settings_widgets.h"
#include "settings/shown_tab.h"
#include "support/gtk_test_support.h"
#include "support/named_widgets.h"

namespace vesk {
namespace {

using testing::controlOption;
using testing::settle;
using testing::showsText;

// The strip's button for `tab`.
Gtk::Button& tabButton(Gtk::Widget& screen, SettingsTab tab) {
  return testing::named<Gtk::Button>(screen, SettingsScreen::tabButtonName(tab));
}

const LinkSite alpha{"Alpha Docs", "https://alpha.example.com/"};
const LinkSite beta{"Beta", "https://beta.example.org/path"};
const LinkSite gamma{"Gamma Mail", "https://mail.gamma.net/"};

class SettingsUiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testing::startGtk()) << "no display";
    build({alpha, beta, gamma});
  }
  void TearDown() override {
    window.reset();
    state.reset();
    fx.reset();
    settle();
  }

  void build(std::vector<LinkSite> sites) {
    window.reset();
    state.reset();
    fx = std::make_unique<testing::PanelFixture>(std::move(sites));
    fx->model->onPanelSizeChange = [this] { ++resizes; };
    state = std::make_unique<VeskViewState>(*fx->model, fx->services(), [this] { ++fx->closes; });
    fx->model->requestSettings();
    window = std::make_unique<Gtk::Window>();
    window->set_default_size(500, 760);
    screen = Gtk::manage(new SettingsScreen(*state, SettingsServices{login, [this] { ++quits; }}));
    window->add(*screen);
    window->show_all();
    settle();
  }

  void choose(SettingsTab tab) {
    tabButton(*screen, tab).clicked();
    settle();
    ASSERT_EQ(testing::shownTab(*screen), tab);
  }
  template <class Tab>
  Tab& tab() {
    auto* content =
        dynamic_cast<Tab*>(testing::findNamed<SettingsTabView>(*screen, SettingsScreen::WidgetName::content));
    EXPECT_NE(content, nullptr);
    return *content;
  }

  testing::FakeLoginItems login;
  int quits = 0;
  int resizes = 0;
  std::unique_ptr<testing::PanelFixture> fx;
  std::unique_ptr<VeskViewState> state;
  std::unique_ptr<Gtk::Window> window;
  SettingsScreen* screen = nullptr;
};

TEST_F(SettingsUiTest, FrameShowsTitleAndFiveEqualTabsWithGeneralSelected) {
  EXPECT_TRUE(showsText(*screen, "Settings"));
  EXPECT_TRUE(showsText(*screen, "Make the tray panel yours."));
  const char* titles[] = {"General", "Websites", "Keys", "Panel", "Appearance"};
  int width = tabButton(*screen, SettingsTab::general).get_allocated_width();
  EXPECT_GT(width, 40);
  for (std::size_t i = 0; i < 5; ++i) {
    auto& button = tabButton(*screen, allSettingsTabs[i]);
    EXPECT_EQ(button.get_label(), titles[i]);
    EXPECT_EQ(button.get_style_context()->has_class("selected"), i == 0);
    EXPECT_NEAR(button.get_allocated_width(), width, 1) << titles[i];
    EXPECT_EQ(button.get_allocated_height(), 31);
  }
  window->resize(640, 760);
  testing::waitFor([&] { return tabButton(*screen, SettingsTab::general).get_allocated_width() != width; });
  int wider = tabButton(*screen, SettingsTab::general).get_allocated_width();
  for (auto tab : allSettingsTabs) EXPECT_NEAR(tabButton(*screen, tab).get_allocated_width(), wider, 1);
}

TEST_F(SettingsUiTest, TallContentScrollsWithTheTitleAndTheStrip) {
  window->resize(500, 300);
  choose(SettingsTab::websites);
  ASSERT_TRUE(testing::waitFor([&] { return screen->get_allocated_height() <= 300; }));
  settle();
  auto adjustment = screen->get_vadjustment();
  EXPECT_GT(adjustment->get_upper(), adjustment->get_page_size() + 100);
  adjustment->set_value(adjustment->get_upper());
  settle();
  // The title and the strip are inside the scrolled column, so they have moved out of view.
  int x = 0, y = 0;
  tabButton(*screen, SettingsTab::general).translate_coordinates(*screen, 0, 0, x, y);
  EXPECT_LT(y, 0);
}

TEST_F(SettingsUiTest, ChoosingATabReplacesTheContentAndStopsARecording) {
  choose(SettingsTab::keys);
  EXPECT_TRUE(tabButton(*screen, SettingsTab::keys).get_style_context()->has_class("selected"));
  EXPECT_FALSE(tabButton(*screen, SettingsTab::general).get_style_context()->has_class("selected"));
  EXPECT_EQ(testing::named<SettingsTabView>(*screen, SettingsScreen::WidgetName::content).get_spacing(), 10);
  testing::setButton(tab<KeysTab>(), 1).clicked();
  settle();
  EXPECT_EQ(testing::setButton(tab<KeysTab>(), 1).get_label(), "Press keys…");
  // The tab that is already selected still ends the recording.
  choose(SettingsTab::keys);
  EXPECT_FALSE(state->recorder.isRecording());
  EXPECT_EQ(state->recordingAction(), std::nullopt);
  EXPECT_EQ(testing::setButton(tab<KeysTab>(), 1).get_label(), "Set keys");
  choose(SettingsTab::panel);
  EXPECT_EQ(state->settingsTab(), SettingsTab::panel);
  EXPECT_EQ(testing::named<SettingsTabView>(*screen, SettingsScreen::WidgetName::content).get_spacing(), 16);
}

TEST_F(SettingsUiTest, GeneralSwitchShowsWhatTheServiceReportsAndQuitQuits) {
  auto& general = tab<GeneralTab>();
  EXPECT_TRUE(showsText(*screen, "STARTUP"));
  EXPECT_TRUE(showsText(*screen, "Launch at login"));
  EXPECT_TRUE(showsText(*screen, "Keep Vesk ready in your tray."));
  EXPECT_TRUE(showsText(
      *screen,
      "Works while your computer is unlocked. The desktop does not show third-party panels on its lock screen."));
  EXPECT_EQ(testing::quitButton(general).get_label(), "Quit Vesk");
  // The fixture's panel started with the item enabled.
  EXPECT_TRUE(testing::loginSwitch(general).get_active());
  EXPECT_FALSE(testing::loginMessage(general).get_visible());

  // Off, but the service fails and the item stays enabled: the switch stays on.
  login.statusAfter = LoginItemStatus::enabled;
  login.failure = "Permission denied";
  testing::loginSwitch(general).set_active(false);
  settle();
  EXPECT_EQ(login.unregisterCalls, 1);
  EXPECT_TRUE(testing::loginSwitch(general).get_active());
  EXPECT_TRUE(testing::loginMessage(general).get_visible());
  EXPECT_EQ(testing::loginMessage(general).get_text(), "Could not change login setting: Permission denied");

  // The message survives a trip to another tab.
  choose(SettingsTab::appearance);
  choose(SettingsTab::general);
  EXPECT_EQ(testing::loginMessage(tab<GeneralTab>()).get_text(), "Could not change login setting: Permission denied");
  EXPECT_TRUE(testing::loginMessage(tab<GeneralTab>()).get_visible());
  testing::saveScreenshot(*window, "settings", "general-failure");

  // Off succeeds now.
  login.failure.reset();
  login.statusAfter = LoginItemStatus::notRegistered;
  testing::loginSwitch(tab<GeneralTab>()).activate();  // as a click or the keyboard would
  settle();
  EXPECT_FALSE(testing::loginSwitch(tab<GeneralTab>()).get_active());
  EXPECT_FALSE(testing::loginMessage(tab<GeneralTab>()).get_visible());

  // On, and the service wants approval: on, with the approval message.
  login.statusAfter = LoginItemStatus::requiresApproval;
  testing::loginSwitch(tab<GeneralTab>()).activate();
  settle();
  EXPECT_TRUE(testing::loginSwitch(tab<GeneralTab>()).get_active());
  EXPECT_EQ(testing::loginMessage(tab<GeneralTab>()).get_text(),
            "Allow Vesk to start at login in your desktop's settings.");

  // On fails with nothing registered: the switch springs back.
  login.statusAfter = LoginItemStatus::notRegistered;
  login.failure = "No such file";
  testing::loginSwitch(tab<GeneralTab>()).set_active(false);
  settle();
  testing::loginSwitch(tab<GeneralTab>()).set_active(true);
  settle();
  EXPECT_FALSE(testing::loginSwitch(tab<GeneralTab>()).get_active());
  EXPECT_FALSE(state->loginItemEnabled());

  testing::quitButton(tab<GeneralTab>()).clicked();
  EXPECT_EQ(quits, 1);
}

TEST_F(SettingsUiTest, KeysRowsRecordClearAndShowTheModelsMessage) {
  choose(SettingsTab::keys);
  auto& keys = tab<KeysTab>();
  EXPECT_TRUE(showsText(*screen, "GLOBAL SHORTCUTS"));
  EXPECT_TRUE(showsText(*screen, "Show Vesk") || showsText(*screen, std::string(title(ShortcutAction::show))));
  EXPECT_TRUE(showsText(*screen, "Open or close the tray panel."));
  EXPECT_TRUE(showsText(*screen, std::string(strings::keysHelp())));
  EXPECT_EQ(testing::setButton(keys, 0).get_label(), "Ctrl+Alt+Space");
  EXPECT_EQ(testing::setButton(keys, 1).get_label(), "Set keys");
  EXPECT_EQ(testing::clearButton(keys, 0), nullptr);
  EXPECT_FALSE(testing::clearButton(keys, 1)->get_visible());
  EXPECT_FALSE(testing::shortcutError(keys).get_visible());

  testing::setButton(keys, 1).clicked();
  settle();
  EXPECT_EQ(testing::setButton(keys, 1).get_label(), "Press keys…");
  testing::setButton(keys, 2).clicked();  // the recording moves to the other row
  settle();
  EXPECT_EQ(testing::setButton(keys, 1).get_label(), "Set keys");
  EXPECT_EQ(testing::setButton(keys, 2).get_label(), "Press keys…");
  fx->keys.press(controlOption(40, "k"));
  settle();
  ASSERT_TRUE(fx->model->previousShortcut());
  EXPECT_EQ(testing::setButton(keys, 2).get_label(), fx->model->previousShortcut()->displayText());
  EXPECT_TRUE(testing::clearButton(keys, 2)->get_visible());
  EXPECT_EQ(testing::clearButton(keys, 2)->get_tooltip_text(), "Clear shortcut");

  // A duplicate: the message appears in orange under the rows, the row keeps its caption.
  testing::setButton(keys, 1).clicked();
  fx->keys.press(controlOption(40, "k"));
  settle();
  EXPECT_TRUE(testing::shortcutError(keys).get_visible());
  EXPECT_EQ(testing::shortcutError(keys).get_text(), "Choose a different key combination for each action.");
  EXPECT_EQ(testing::setButton(keys, 1).get_label(), "Set keys");
  testing::saveScreenshot(*window, "settings", "keys-duplicate");

  testing::clearButton(keys, 2)->clicked();
  settle();
  EXPECT_EQ(testing::setButton(keys, 2).get_label(), "Set keys");
  EXPECT_FALSE(testing::clearButton(keys, 2)->get_visible());
  EXPECT_FALSE(testing::shortcutError(keys).get_visible());
}

TEST_F(SettingsUiTest, PanelSlidersSnapApplyWhileMovingAndReset) {
  choose(SettingsTab::panel);
  auto& panel = tab<PanelTab>();
  EXPECT_TRUE(showsText(*screen, "PANEL SIZE"));
  EXPECT_TRUE(showsText(*screen, "Website zoom"));
  EXPECT_TRUE(showsText(*screen, std::string(strings::panelNote())));
  EXPECT_EQ(testing::panelValue(panel, 0).get_text(), "500 pt");
  EXPECT_EQ(testing::panelValue(panel, 1).get_text(), "700 pt");
  EXPECT_EQ(testing::panelValue(panel, 2).get_text(), "100%");
  EXPECT_EQ(testing::resetButton(panel).get_label(), "Reset panel");

  // Each movement reaches the model at once, on the step grid.
  testing::panelScale(panel, 0).set_value(611);
  EXPECT_EQ(fx->model->panelWidth(), 620);
  EXPECT_EQ(resizes, 1);
  testing::panelScale(panel, 0).set_value(679);
  EXPECT_EQ(fx->model->panelWidth(), 680);
  EXPECT_EQ(resizes, 2);
  EXPECT_EQ(testing::panelValue(panel, 0).get_text(), "680 pt");
  testing::panelScale(panel, 2).set_value(1.16);
  EXPECT_DOUBLE_EQ(fx->model->pageZoom(), 1.15);
  settle();
  EXPECT_EQ(testing::panelValue(panel, 2).get_text(), "115%");
  EXPECT_EQ(resizes, 2);
  testing::panelScale(panel, 1).set_value(9999);
  EXPECT_EQ(fx->model->panelHeight(), 900);
  testing::saveScreenshot(*window, "settings", "panel");

  // Values set elsewhere move the sliders; the texts cut toward zero.
  fx->model->changePanelSize(501.5, std::nullopt);
  fx->model->changePageZoom(0.999);
  settle();
  EXPECT_EQ(testing::panelValue(panel, 0).get_text(), "501 pt");
  EXPECT_EQ(testing::panelValue(panel, 2).get_text(), "99%");
  EXPECT_DOUBLE_EQ(testing::panelScale(panel, 0).get_value(), 501.5);
  EXPECT_EQ(fx->model->panelWidth(), 501.5);  // showing a value does not send it back

  resizes = 0;
  testing::resetButton(panel).clicked();
  settle();
  EXPECT_EQ(fx->model->panelWidth(), 500);
  EXPECT_EQ(fx->model->panelHeight(), 700);
  EXPECT_EQ(fx->model->pageZoom(), 1.0);
  EXPECT_EQ(resizes, 1);
  EXPECT_EQ(testing::panelValue(panel, 1).get_text(), "700 pt");
  EXPECT_EQ(testing::panelScale(panel, 1).get_value(), 700);
}

TEST_F(SettingsUiTest, WebsitesListRowsAndFormFollowTheModel) {
  choose(SettingsTab::websites);
  auto& sites = tab<WebsitesTab>();
  EXPECT_TRUE(showsText(*screen, "YOUR WEBSITES"));
  EXPECT_TRUE(showsText(*screen, "alpha.example.com"));
  EXPECT_TRUE(showsText(*screen, std::string(strings::websitesNote())));
  ASSERT_EQ(testing::siteRows(sites).size(), 3u);
  EXPECT_EQ(testing::siteDividers(sites), 2u);
  EXPECT_FALSE(testing::siteRows(sites)[0].up->get_sensitive());
  EXPECT_TRUE(testing::siteRows(sites)[0].down->get_sensitive());
  EXPECT_TRUE(testing::siteRows(sites)[1].up->get_sensitive());
  EXPECT_FALSE(testing::siteRows(sites)[2].down->get_sensitive());
  EXPECT_EQ(testing::siteRows(sites)[1].edit->get_tooltip_text(), "Edit Beta");
  EXPECT_EQ(testing::siteRows(sites)[1].remove->get_tooltip_text(), "Remove Beta");
  EXPECT_EQ(testing::siteRows(sites)[0].up->get_tooltip_text(), "Move up");
  EXPECT_EQ(testing::siteEditor(sites), nullptr);

  testing::siteRows(sites)[0].down->clicked();
  settle();
  EXPECT_EQ(fx->model->sites()[1].id, alpha.id);
  EXPECT_EQ(testing::siteRows(sites)[0].name, beta.name);
  EXPECT_FALSE(testing::siteRows(sites)[0].up->get_sensitive());
  EXPECT_TRUE(testing::siteRows(sites)[1].up->get_sensitive());

  // Add form, rejected address.
  testing::addSiteButton(sites).clicked();
  settle();
  ASSERT_NE(testing::siteEditor(sites), nullptr);
  EXPECT_EQ(testing::editorTitle(*testing::siteEditor(sites)).get_text(), "Add website");
  EXPECT_EQ(testing::saveButton(*testing::siteEditor(sites)).get_label(), "Add site");
  EXPECT_EQ(testing::nameField(*testing::siteEditor(sites)).get_text(), "");
  testing::nameField(*testing::siteEditor(sites)).set_text("Docs");
  testing::addressField(*testing::siteEditor(sites)).set_text("not an address");
  testing::saveButton(*testing::siteEditor(sites)).clicked();
  settle();
  EXPECT_TRUE(testing::editorError(*testing::siteEditor(sites)).get_visible());
  EXPECT_EQ(testing::editorError(*testing::siteEditor(sites)).get_text(), "Enter a valid web address.");
  EXPECT_TRUE(state->showSettings());
  // The add button again changes nothing.
  testing::addSiteButton(sites).clicked();
  settle();
  EXPECT_EQ(testing::addressField(*testing::siteEditor(sites)).get_text(), "not an address");
  testing::saveScreenshot(*window, "settings", "websites-add-error");

  // The pencil of a site refills the form and removes the message.
  testing::siteRows(sites)[2].edit->clicked();
  settle();
  EXPECT_EQ(testing::editorTitle(*testing::siteEditor(sites)).get_text(), "Edit website");
  EXPECT_EQ(testing::saveButton(*testing::siteEditor(sites)).get_label(), "Save changes");
  EXPECT_EQ(testing::nameField(*testing::siteEditor(sites)).get_text(), "Gamma Mail");
  EXPECT_EQ(testing::addressField(*testing::siteEditor(sites)).get_text(), gamma.address);
  EXPECT_FALSE(testing::editorError(*testing::siteEditor(sites)).get_visible());
  testing::saveScreenshot(*window, "settings", "websites-edit");

  // Typed text does not survive leaving the tab; the form itself stays open.
  testing::nameField(*testing::siteEditor(sites)).set_text("Typed");
  choose(SettingsTab::keys);
  choose(SettingsTab::websites);
  auto& again = tab<WebsitesTab>();
  ASSERT_NE(testing::siteEditor(again), nullptr);
  EXPECT_EQ(testing::nameField(*testing::siteEditor(again)).get_text(), "Gamma Mail");

  // Removing the edited site asks nothing; saving then reports it.
  testing::siteRows(again)[2].remove->clicked();
  settle();
  EXPECT_EQ(testing::siteRows(again).size(), 2u);
  EXPECT_EQ(testing::siteDividers(again), 1u);
  testing::saveButton(*testing::siteEditor(again)).clicked();
  settle();
  EXPECT_EQ(testing::editorError(*testing::siteEditor(again)).get_text(), "Site not found.");

  // Cancel closes the form only.
  testing::cancelButton(*testing::siteEditor(again)).clicked();
  settle();
  EXPECT_EQ(testing::siteEditor(again), nullptr);
  EXPECT_TRUE(state->showSettings());

  // A good save closes the form and the settings screen.
  testing::addSiteButton(again).clicked();
  settle();
  testing::addressField(*testing::siteEditor(again)).set_text("example.org");
  testing::saveButton(*testing::siteEditor(again)).clicked();
  settle();
  EXPECT_FALSE(state->showSettings());
  EXPECT_FALSE(state->isAdding());
  EXPECT_EQ(fx->model->sites().size(), 3u);
  EXPECT_EQ(fx->model->selectedSite()->address, fx->model->sites().back().address);
}

TEST_F(SettingsUiTest, WebsitesWithNoSitesShowsNoListCard) {
  build(std::vector<LinkSite>{});
  choose(SettingsTab::websites);
  auto& sites = tab<WebsitesTab>();
  EXPECT_TRUE(testing::siteRows(sites).empty());
  EXPECT_EQ(testing::siteDividers(sites), 0u);
  EXPECT_FALSE(testing::siteList(sites).get_visible());
}

// A long stored name is shown on one line, cut, in a row as high as any other.
TEST_F(SettingsUiTest, WebsitesRowShowsALongStoredNameOnOneLineCut) {
  LinkSite long_{"Long " + std::string(10000, 'W'), "https://long.example.com/"};
  build({alpha, long_, gamma});
  choose(SettingsTab::websites);
  testing::waitForDraw(*window);
  auto& sites = tab<WebsitesTab>();
  ASSERT_EQ(testing::siteRows(sites).size(), 3u);
  for (const auto& text : testing::shownTexts(testing::siteList(sites))) {
    EXPECT_LE(g_utf8_strlen(text.c_str(), -1), 201) << text.substr(0, 40);
  }
  auto rowHeight = [&](std::size_t i) {
    return testing::siteRows(sites)[i].edit->get_parent()->get_allocated_height();
  };
  EXPECT_EQ(rowHeight(1), rowHeight(0));
  EXPECT_EQ(rowHeight(1), 51);
  EXPECT_EQ(testing::siteRows(sites)[1].edit->get_tooltip_text(), "Edit Long " + std::string(195, 'W') + "\u2026");
  // The stored name is untouched, and the editor shows it whole.
  EXPECT_EQ(fx->model->sites()[1].name, long_.name);
  testing::siteRows(sites)[1].edit->clicked();
  settle();
  ASSERT_NE(testing::siteEditor(sites), nullptr);
  EXPECT_EQ(testing::nameField(*testing::siteEditor(sites)).get_text(), long_.name);
}

// With 10,000 sites only the rows in view (and a few beyond) exist, wherever the list is
// scrolled; the list keeps its full height, and the rows built act on their own sites.
TEST_F(SettingsUiTest, WebsitesListBuildsOnlyTheRowsInView) {
  std::vector<LinkSite> many;
  for (int i = 0; i < 10000; ++i)
    many.emplace_back("Site " + std::to_string(i), "https://s" + std::to_string(i) + ".example.com/");
  build(many);
  choose(SettingsTab::websites);
  testing::waitForDraw(*window);
  auto& sites = tab<WebsitesTab>();
  EXPECT_EQ(testing::siteList(sites).get_allocated_height(), 10000 * 52 - 1);
  // A row's site, by the name it shows (each is another).
  auto indexOf = [&](const std::string& name) {
    return static_cast<std::size_t>(
        std::find_if(many.begin(), many.end(), [&](const LinkSite& s) { return s.name == name; }) - many.begin());
  };
  auto adjustment = screen->get_vadjustment();
  int x = 0, listTop = 0;
  ASSERT_TRUE(testing::siteList(sites).translate_coordinates(*screen, 0, 0, x, listTop));
  for (std::size_t target : {0u, 5000u, 9999u}) {
    SCOPED_TRACE(target);
    adjustment->set_value(adjustment->get_value() + listTop + static_cast<int>(target) * 52);
    settle();
    testing::waitForDraw(*window);
    ASSERT_TRUE(testing::siteList(sites).translate_coordinates(*screen, 0, 0, x, listTop));
    ASSERT_FALSE(testing::siteRows(sites).empty());
    EXPECT_LE(testing::siteRows(sites).size(), 30u);
    EXPECT_LE(indexOf(testing::siteRows(sites).front().name), target);
    EXPECT_GE(indexOf(testing::siteRows(sites).back().name), std::min<std::size_t>(target + 10, 9999));
    for (const auto& row : testing::siteRows(sites)) {
      // Each built row sits where its site's place in the list says.
      int rowX = 0, rowY = 0;
      ASSERT_TRUE(row.edit->get_parent()->translate_coordinates(testing::siteList(sites), 0, 0, rowX, rowY));
      EXPECT_EQ(rowY, static_cast<int>(indexOf(row.name)) * 52);
    }
  }
  // The last row has no divider and cannot move down; removing it removes that site.
  EXPECT_EQ(indexOf(testing::siteRows(sites).back().name), 9999u);
  EXPECT_FALSE(testing::siteRows(sites).back().down->get_sensitive());
  EXPECT_EQ(testing::siteDividers(sites), testing::siteRows(sites).size() - 1);
  testing::siteRows(sites).back().remove->clicked();
  settle();
  EXPECT_EQ(fx->model->sites().size(), 9999u);
  EXPECT_EQ(fx->model->sites().back().id, many[9998].id);
}

TEST_F(SettingsUiTest, AppearanceCardsMoveTheCheckAndRepaint) {
  choose(SettingsTab::appearance);
  auto& appearance = tab<AppearanceTab>();
  EXPECT_TRUE(showsText(*screen, "DARK THEMES"));
  EXPECT_TRUE(showsText(*screen, "Theme changes are saved automatically."));
  for (auto theme : allLinkThemes) EXPECT_TRUE(showsText(*screen, title(theme)));
  EXPECT_TRUE(testing::themeCheck(appearance, 0).get_visible());
  EXPECT_FALSE(testing::themeCheck(appearance, 2).get_visible());
  testing::saveScreenshot(*window, "settings", "appearance-graphite");

  auto cardColor = [&](int index) {
    int x = 0, y = 0;
    testing::themeCard(appearance, index).translate_coordinates(*window, 200, 4, x, y);
    return testing::pixelAt(*window, x, y);
  };
  auto expect = [](Color c) {
    return testing::Pixel{int(std::lround(c.red * 255)), int(std::lround(c.green * 255)),
                          int(std::lround(c.blue * 255))};
  };
  auto near = [](testing::Pixel a, testing::Pixel b) {
    return std::abs(a.red - b.red) <= 2 && std::abs(a.green - b.green) <= 2 && std::abs(a.blue - b.blue) <= 2;
  };
  testing::saveScreenshot(*window, "settings", "appearance-graphite");
  EXPECT_TRUE(near(cardColor(2), expect(Palette::colors(LinkTheme::graphite).surface)));

  testing::themeCard(appearance, 2).clicked();
  settle();
  EXPECT_EQ(fx->model->theme(), LinkTheme::obsidian);
  EXPECT_FALSE(testing::themeCheck(appearance, 0).get_visible());
  EXPECT_TRUE(testing::themeCheck(appearance, 2).get_visible());
  testing::saveScreenshot(*window, "settings", "appearance-obsidian");
  EXPECT_TRUE(near(cardColor(0), expect(Palette::colors(LinkTheme::obsidian).surface)));

  testing::themeCard(appearance, 2).clicked();  // the current theme again: nothing visible changes
  settle();
  EXPECT_TRUE(testing::themeCheck(appearance, 2).get_visible());
}

TEST_F(SettingsUiTest, ScreenshotsOfGeneralAndKeys) {
  testing::saveScreenshot(*window, "settings", "general");
  choose(SettingsTab::keys);
  testing::saveScreenshot(*window, "settings", "keys");
  choose(SettingsTab::websites);
  testing::saveScreenshot(*window, "settings", "websites");
}

// A real click (through the X server) in the middle of `widget`.
void clickCentre(Gtk::Widget& widget) {
  int x = 0, y = 0;
  widget.get_window()->get_origin(x, y);
  Gtk::Allocation allocation = widget.get_allocation();
  x += allocation.get_x() + allocation.get_width() / 2;
  y += allocation.get_y() + allocation.get_height() / 2;
  ASSERT_TRUE(testing::xdotool("mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 1"));
}

// One click on the switch asks the service once, for the requested change only, also with the
// switch's slide animation on (as on a desktop).
TEST_F(SettingsUiTest, OneClickOnTheLoginSwitchMakesOneRequest) {
  for (bool animations : {true, false}) {
    Gtk::Settings::get_default()->property_gtk_enable_animations() = animations;
    build({alpha});
    login.registerCalls = login.unregisterCalls = 0;
    login.failure = "Not a directory";
    login.statusAfter = LoginItemStatus::notRegistered;
    state->loginItemChanged(false, std::nullopt);
    settle();
    auto& general = tab<GeneralTab>();
    testing::waitForDraw(*window);
    clickCentre(testing::loginSwitch(general));
    ASSERT_TRUE(testing::waitFor([&] { return login.registerCalls + login.unregisterCalls > 0; }));
    testing::spinFor(600);  // past the end of the slide
    EXPECT_EQ(login.registerCalls, 1) << "animations " << animations;
    EXPECT_EQ(login.unregisterCalls, 0) << "animations " << animations;
    EXPECT_FALSE(testing::loginSwitch(general).get_active());
    EXPECT_EQ(testing::loginMessage(general).get_text(), "Could not change login setting: Not a directory");
  }
  Gtk::Settings::get_default()->property_gtk_enable_animations() = false;
}

// "Use less memory": a real click stores the choice and reaches the page factory; a change made
// elsewhere moves the switch.
TEST_F(SettingsUiTest, TheLessMemorySwitchStoresTheChoiceAndTellsThePages) {
  choose(SettingsTab::panel);
  window->resize(500, 780);
  auto& panel = tab<PanelTab>();
  EXPECT_TRUE(showsText(*screen, "Use less memory"));
  EXPECT_TRUE(showsText(*screen, std::string(strings::lessMemoryDetail())));
  EXPECT_EQ(testing::lessMemorySwitch(panel).get_active(), defaultLessMemory);
  testing::waitForDraw(*window);
  for (bool expected : {!defaultLessMemory, defaultLessMemory}) {
    clickCentre(testing::lessMemorySwitch(panel));
    ASSERT_TRUE(testing::waitFor([&] { return fx->model->lessMemory() == expected; }));
    EXPECT_EQ(fx->store.string("vesk.panel.lessMemory.v1"), expected ? "true" : "false");
    EXPECT_EQ(fx->pages.sharing.back(), expected);
  }
  testing::saveScreenshot(*window, "settings", "panel-memory");
  fx->model->changeLessMemory(!defaultLessMemory);
  settle();
  EXPECT_EQ(testing::lessMemorySwitch(panel).get_active(), !defaultLessMemory);
}

// The mouse wheel over a slider of a tab that scrolls moves the tab, never the slider.
TEST_F(SettingsUiTest, TheWheelOverASliderScrollsTheTab) {
  window->resize(500, 300);
  choose(SettingsTab::panel);
  ASSERT_TRUE(testing::waitFor([&] { return screen->get_allocated_height() <= 300; }));
  testing::waitForDraw(*window);
  auto adjustment = screen->get_vadjustment();
  ASSERT_GT(adjustment->get_upper(), adjustment->get_page_size());
  for (std::size_t i : {0u, 2u}) {
    Gtk::Scale& scale = testing::panelScale(tab<PanelTab>(), i);
    int x = 0, y = 0;
    // Near the top of the view, with room to scroll on.
    ASSERT_TRUE(scale.translate_coordinates(*screen->get_child(), 0, 0, x, y));
    adjustment->set_value(y - 60);
    testing::waitForDraw(*window);
    ASSERT_TRUE(
        scale.translate_coordinates(*window, scale.get_allocated_width() / 3, scale.get_allocated_height() / 2, x, y));
    ASSERT_GT(y, 0);
    ASSERT_LT(y, 300);
    int originX = 0, originY = 0;
    window->get_window()->get_origin(originX, originY);
    const double before = adjustment->get_value();
    ASSERT_TRUE(
        testing::xdotool("mousemove " + std::to_string(originX + x) + " " + std::to_string(originY + y) + " click 5"));
    EXPECT_TRUE(testing::waitFor([&] { return adjustment->get_value() > before; })) << "slider " << i;
  }
  EXPECT_EQ(fx->model->panelWidth(), 500);
  EXPECT_EQ(fx->model->pageZoom(), 1.0);
  EXPECT_EQ(resizes, 0);
}

// The row's buttons stand apart like every child of the row, and "Cancel" is in the body size.
TEST_F(SettingsUiTest, SiteRowButtonsAreSpacedAndCancelIsBodySized) {
  choose(SettingsTab::websites);
  auto& sites = tab<WebsitesTab>();
  testing::addSiteButton(sites).clicked();
  settle();
  testing::waitForDraw(*window);
  for (const auto& row : testing::siteRows(sites)) {
    Gtk::Button* buttons[] = {row.up, row.down, row.edit, row.remove};
    for (std::size_t i = 1; i < 4; ++i) {
      int left = 0, right = 0, y = 0;
      ASSERT_TRUE(buttons[i - 1]->translate_coordinates(*window, buttons[i - 1]->get_allocated_width(), 0, left, y));
      ASSERT_TRUE(buttons[i]->translate_coordinates(*window, 0, 0, right, y));
      EXPECT_EQ(right - left, 11) << "between buttons " << i - 1 << " and " << i;
    }
  }
  auto fontSize = [](Gtk::Widget& widget) {
    double size = 0;
    auto* context = widget.get_style_context()->gobj();
    gtk_style_context_get(context, gtk_style_context_get_state(context), "font-size", &size, nullptr);
    return size;
  };
  ASSERT_NE(testing::siteEditor(sites), nullptr);
  EXPECT_EQ(fontSize(testing::cancelButton(*testing::siteEditor(sites))), 13);
  EXPECT_EQ(fontSize(testing::editorTitle(*testing::siteEditor(sites))), 13);
}

}  // namespace
}  // namespace vesk
