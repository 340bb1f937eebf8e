#include <gtkmm/clipboard.h>
#include <gtkmm/menuitem.h>
#include <webkit2/webkit2.h>

#include "model/constants.h"
#include "panel/vesk_view.h"
#include "panel_fakes.h"
#include "shell/gtk_panel_window.h"
#include "support/gtk_test_support.h"
#include "support/loopback_server.h"
#include "support/named_widgets.h"
#include "webkit/web_engine.h"
#include "webkit/webkit_page.h"
#include "webkit/webkit_services.h"

namespace vesk {
namespace {

using testing::PanelFixture;

const LinkSite alpha{"Alpha Docs", "https://alpha.example.com/"};
const LinkSite beta{"Beta", "https://beta.example.org/"};
const LinkSite gemini{"Gemini", "https://GEMINI.google.com/app"};

// The panel view in a 500 by 700 window on fake services.
struct PanelWindowTest : ::testing::Test {
  explicit PanelWindowTest(std::vector<LinkSite> sites = {alpha, beta}) : fx(std::move(sites)) {}

  void SetUp() override {
    ASSERT_TRUE(testing::startGtk()) << "no display";
    window = std::make_unique<Gtk::Window>();
    window->set_default_size(500, 700);
    view = Gtk::make_managed<VeskView>(*fx.model, fx.services(), [this] { ++fx.closes; });
    window->add(*view);
    window->show_all();
    testing::waitFor([&] { return view->get_mapped(); });
    testing::waitForDraw(*window);  // the first page is made after the first frame
  }
  void TearDown() override { window.reset(); }

  void refresh() {
    testing::settle();
    view->render();
  }

  PanelFixture fx;
  std::unique_ptr<Gtk::Window> window;
  VeskView* view = nullptr;
};

struct EmptyPanelTest : PanelWindowTest {
  EmptyPanelTest() : PanelWindowTest({}) {}
};

struct HandoffPanelTest : PanelWindowTest {
  HandoffPanelTest() : PanelWindowTest({gemini, alpha}) {}
};

std::string tooltip(Gtk::Widget& widget) { return widget.get_tooltip_text(); }

using Search = SearchRow::WidgetName;
using Results = SearchResults::WidgetName;

Gtk::Entry& searchField(Gtk::Widget& view) { return testing::named<Gtk::Entry>(view, Search::field); }

// The rows the search results show now, in order.
std::vector<Gtk::Widget*> resultRows(Gtk::Widget& view) {
  return testing::named<Gtk::Box>(view, Results::rows).get_children();
}
Gtk::Button* quickAddRow(Gtk::Widget& view) { return testing::findNamed<Gtk::Button>(view, Results::quickAddRow); }

using Area = BrowserContent::WidgetName;
BrowserContent& browserContent(Gtk::Widget& view) { return testing::named<BrowserContent>(view, Area::content); }
// The host of the page placed in the browser area, or null while none is.
BrowserView* pageHost(Gtk::Widget& view) { return testing::findNamed<BrowserView>(browserContent(view), Area::page); }
// Whether `widget` and every container between it and `root` are visible.
bool shownIn(Gtk::Widget& widget, Gtk::Widget& root) {
  for (Gtk::Widget* at = &widget; at != nullptr && at != &root; at = at->get_parent()) {
    if (!at->get_visible()) return false;
  }
  return root.get_visible();
}
// What the browser area shows: the hand-off card, the empty state, or else the page.
BrowserContentKind shownKind(Gtk::Widget& view) {
  BrowserContent& content = browserContent(view);
  if (shownIn(testing::named(content, Area::handoffCard), content)) return BrowserContentKind::handoff;
  if (shownIn(testing::named(content, Area::emptyState), content)) return BrowserContentKind::emptyState;
  return BrowserContentKind::webView;
}

TEST_F(PanelWindowTest, PlainBrowsingScreenShowsSiteBarBrowserAreaAndToolbar) {
  EXPECT_TRUE(testing::named(*view, VeskView::WidgetName::browsingScreen).is_visible());
  EXPECT_FALSE(testing::named(*view, VeskView::WidgetName::settingsScreen).is_visible());
  using Name = SiteBar::WidgetName;
  Gtk::Widget& bar = testing::named(*view, Name::siteBar);
  EXPECT_EQ(testing::named<Gtk::Label>(bar, Name::title).get_text(), "Alpha Docs");
  EXPECT_EQ(tooltip(testing::named<Gtk::MenuButton>(bar, Name::menuButton)), "Switch website");
  EXPECT_EQ(tooltip(testing::named<Gtk::Button>(bar, Name::addButton)), "Add a website");
  EXPECT_EQ(tooltip(testing::named<Gtk::Button>(bar, Name::searchButton)), "Find a site or paste a link");
  EXPECT_EQ(tooltip(testing::named<Gtk::Button>(bar, Name::settingsButton)), "Settings");
  EXPECT_TRUE(testing::named<Gtk::Image>(bar, Name::linkSymbol).is_visible());
  EXPECT_FALSE(testing::named<Gtk::Spinner>(bar, Name::spinner).is_visible());
  EXPECT_FALSE(testing::named(*view, Search::row).is_visible());
  EXPECT_FALSE(testing::named(*view, Results::results).is_visible());
  EXPECT_EQ(shownKind(*view), BrowserContentKind::webView);
  ASSERT_NE(pageHost(*view), nullptr);
  EXPECT_EQ(pageHost(*view)->site().id, alpha.id);
  EXPECT_FALSE(testing::named(browserContent(*view), BrowserContent::WidgetName::errorLayer).is_visible());

  using Toolbar = BrowserToolbar::WidgetName;
  auto& toolbar = testing::named<BrowserToolbar>(*view, Toolbar::toolbar);
  EXPECT_FALSE(testing::named<Gtk::Button>(toolbar, Toolbar::backButton).is_sensitive());
  EXPECT_FALSE(testing::named<Gtk::Button>(toolbar, Toolbar::forwardButton).is_sensitive());
  EXPECT_TRUE(testing::named<Gtk::Button>(toolbar, Toolbar::reloadButton).is_sensitive());
  EXPECT_EQ(testing::named<Gtk::Label>(toolbar, Toolbar::host).get_text(), "alpha.example.com");
  EXPECT_EQ(tooltip(testing::named<Gtk::Button>(toolbar, Toolbar::copyButton)), "Copy current page link");
  EXPECT_EQ(tooltip(testing::named<Gtk::Button>(toolbar, Toolbar::openButton)),
            "Open in default browser if sign-in is blocked here");
  EXPECT_EQ(testing::named<Gtk::Button>(toolbar, Toolbar::reloadButton).get_allocated_width(), 27);
  EXPECT_EQ(testing::named<Gtk::Button>(toolbar, Toolbar::reloadButton).get_allocated_height(), 27);
  EXPECT_EQ(bar.get_allocated_height(), 43);
  EXPECT_EQ(toolbar.get_allocated_height(), 40);

  // Toolbar buttons act on the store.
  fx.pages.pages.at(0)->back = true;
  view->state().browser.activate(alpha);
  refresh();
  EXPECT_TRUE(testing::named<Gtk::Button>(toolbar, Toolbar::backButton).is_sensitive());
  gtk_button_clicked(testing::named<Gtk::Button>(toolbar, Toolbar::backButton).gobj());
  gtk_button_clicked(testing::named<Gtk::Button>(toolbar, Toolbar::reloadButton).gobj());
  EXPECT_EQ(fx.pages.pages[0]->backCount, 1);
  EXPECT_EQ(fx.pages.pages[0]->reloadCount, 1);
  gtk_button_clicked(testing::named<Gtk::Button>(toolbar, Toolbar::openButton).gobj());
  EXPECT_EQ(fx.workspace.opened, std::vector<std::string>{"https://alpha.example.com/"});
  gtk_button_clicked(testing::named<Gtk::Button>(toolbar, Toolbar::copyButton).gobj());
  EXPECT_EQ(fx.clipboard.texts, std::vector<std::string>{"https://alpha.example.com/"});
}

TEST_F(PanelWindowTest, LoadingShowsSpinnersInsteadOfTheLinkSymbol) {
  fx.pages.pages.at(0)->loading = true;
  view->state().browser.activate(alpha);
  refresh();
  EXPECT_TRUE(testing::named<Gtk::Spinner>(*view, SiteBar::WidgetName::spinner).is_visible());
  EXPECT_FALSE(testing::named<Gtk::Image>(*view, SiteBar::WidgetName::linkSymbol).is_visible());
  EXPECT_TRUE(testing::named<Gtk::Spinner>(*view, BrowserToolbar::WidgetName::spinner).is_visible());
}

TEST_F(PanelWindowTest, SiteMenuListsSitesWithMarksAndSwitches) {
  std::vector<std::string> labels;
  std::vector<Gtk::MenuItem*> items;
  for (Gtk::Widget* child :
       testing::named<Gtk::MenuButton>(*view, SiteBar::WidgetName::menuButton).get_popup()->get_children()) {
    auto* item = dynamic_cast<Gtk::MenuItem*>(child);
    ASSERT_NE(item, nullptr);
    items.push_back(item);
    std::string text;
    std::string icon;
    if (auto* row = dynamic_cast<Gtk::Box*>(item->get_child())) {
      for (Gtk::Widget* part : row->get_children()) {
        if (auto* label = dynamic_cast<Gtk::Label*>(part)) text = label->get_text();
        if (auto* image = dynamic_cast<Gtk::Image*>(part)) icon = image->get_icon_name();
      }
    }
    labels.push_back(icon + "|" + text);
  }
  EXPECT_EQ(labels, (std::vector<std::string>{"object-select-symbolic|Alpha Docs", "web-browser-symbolic|Beta", "|",
                                              "|Add website\u2026"}));
  items[1]->activate();
  refresh();
  EXPECT_EQ(fx.model->selectedID(), beta.id);
  EXPECT_EQ(testing::named<Gtk::Label>(*view, SiteBar::WidgetName::title).get_text(), "Beta");
  // The menu was rebuilt for the new selection.
  auto children = testing::named<Gtk::MenuButton>(*view, SiteBar::WidgetName::menuButton).get_popup()->get_children();
  ASSERT_EQ(children.size(), 4u);
  dynamic_cast<Gtk::MenuItem*>(children.back())->activate();
  refresh();
  EXPECT_TRUE(testing::named(*view, VeskView::WidgetName::settingsScreen).is_visible());
  EXPECT_EQ(view->state().settingsTab(), SettingsTab::websites);
}

// The labels shown inside `root`, visible ones only.
void shownLabels(Gtk::Widget& root, std::vector<Gtk::Label*>& labels) {
  if (!root.get_visible()) return;
  if (auto* label = dynamic_cast<Gtk::Label*>(&root)) labels.push_back(label);
  if (auto* container = dynamic_cast<Gtk::Container*>(&root)) {
    for (Gtk::Widget* child : container->get_children()) shownLabels(*child, labels);
  }
}

// With many sites the drop-down builds only the rows in view, and a long stored name is shown on
// one line, cut, in the small menu as in the long list; choosing a row still selects its site. A
// site with something unread has a dot beside its name, which a screen reader hears of, until the
// site is shown.
TEST(SiteDropDown, BuildsOnlyTheRowsInViewAndCutsLongNamesAndMarksUnreadSites) {
  ASSERT_TRUE(testing::startGtk()) << "no display";
  for (std::size_t count : {3u, 10000u}) {
    SCOPED_TRACE(count);
    std::vector<LinkSite> sites;
    for (std::size_t i = 0; i < count; ++i) {
      sites.emplace_back("Site " + std::to_string(i + 1), "https://s" + std::to_string(i + 1) + ".example.com/");
    }
    sites[0].name += std::string(10000, 'W');
    PanelFixture fx(sites);
    Gtk::Window window;
    window.set_default_size(500, 700);
    auto* view = Gtk::make_managed<VeskView>(*fx.model, fx.services(), [] {});
    window.add(*view);
    window.show_all();
    ASSERT_TRUE(testing::waitFor([&] { return view->get_mapped(); }));
    fx.model->markUnread(sites[1].id);
    testing::settle();
    Gtk::Label& otherUnread = testing::named<Gtk::Label>(*view, SiteBar::WidgetName::otherUnreadDot);
    EXPECT_TRUE(otherUnread.get_visible()) << "another site has something unread";
    Gtk::MenuButton& button = testing::named<Gtk::MenuButton>(*view, SiteBar::WidgetName::menuButton);
    button.clicked();
    testing::settle();
    ASSERT_TRUE(testing::waitFor([&] { return button.get_active(); }));
    testing::waitForDraw(window);

    std::vector<Gtk::Label*> labels;
    for (Gtk::Widget* root : std::initializer_list<Gtk::Widget*>{button.get_popup(), button.get_popover()}) {
      if (root) shownLabels(*root, labels);
    }
    std::size_t siteRows = 0;
    Gtk::Label* second = nullptr;
    Gtk::Label* third = nullptr;
    for (Gtk::Label* label : labels) {
      const std::string text = label->get_text();
      EXPECT_LE(g_utf8_strlen(text.c_str(), -1), 201) << text.substr(0, 40);
      EXPECT_EQ(text.find('\n'), std::string::npos);
      if (text.rfind("Site ", 0) == 0) ++siteRows;
      if (text == "Site 2") second = label;
      if (text == "Site 3") third = label;
    }
    EXPECT_GE(siteRows, std::min<std::size_t>(count, 10));
    EXPECT_LE(siteRows, 40u);
    ASSERT_NE(second, nullptr);
    Gtk::Widget* row = second;
    while (row && !dynamic_cast<Gtk::MenuItem*>(row) && !dynamic_cast<Gtk::Button*>(row)) row = row->get_parent();
    ASSERT_NE(row, nullptr);
    EXPECT_TRUE(testing::findNamed<Gtk::Label>(*row, SiteBar::WidgetName::unreadDot)) << "the unread site's dot";
    EXPECT_STREQ(atk_object_get_description(row->get_accessible()->gobj()), "unread");
    ASSERT_NE(third, nullptr);
    Gtk::Widget* other = third;
    while (other && !dynamic_cast<Gtk::MenuItem*>(other) && !dynamic_cast<Gtk::Button*>(other))
      other = other->get_parent();
    ASSERT_NE(other, nullptr);
    EXPECT_FALSE(testing::findNamed<Gtk::Label>(*other, SiteBar::WidgetName::unreadDot)) << "only that site's";
    if (auto* item = dynamic_cast<Gtk::MenuItem*>(row)) item->activate();
    if (auto* choice = dynamic_cast<Gtk::Button*>(row)) choice->clicked();
    testing::settle();
    EXPECT_EQ(fx.model->selectedID(), sites[1].id);
    EXPECT_TRUE(fx.model->unreadSites().empty()) << "shown, so seen";
    button.set_active(false);
    testing::settle();
    EXPECT_FALSE(otherUnread.get_visible());
    if (count > 3) continue;
    // The search results show the long name cut as well.
    gtk_button_clicked(testing::named<Gtk::Button>(*view, SiteBar::WidgetName::searchButton).gobj());
    testing::settle();
    searchField(*view).set_text("Site");
    testing::settle();
    view->render();
    ASSERT_EQ(resultRows(*view).size(), 3u);
    for (const auto& text : testing::shownTexts(testing::named(*view, Results::results))) {
      EXPECT_LE(g_utf8_strlen(text.c_str(), -1), 201) << text.substr(0, 40);
    }
  }
}

TEST_F(PanelWindowTest, SearchRowResultsAndQuickAdd) {
  gtk_button_clicked(testing::named<Gtk::Button>(*view, SiteBar::WidgetName::searchButton).gobj());
  refresh();
  Gtk::Widget& row = testing::named(*view, Search::row);
  Gtk::Entry& field = searchField(row);
  Gtk::Button& clear = testing::named<Gtk::Button>(row, Search::clearButton);
  ASSERT_TRUE(row.is_visible());
  EXPECT_EQ(field.get_placeholder_text(), "Find a site or paste a link");
  EXPECT_EQ(tooltip(testing::named<Gtk::Button>(row, Search::pasteButton)), "Add a link from your clipboard");
  EXPECT_FALSE(clear.is_visible());
  EXPECT_TRUE(browserContent(*view).is_visible());
  // The field takes focus a moment after the row opens.
  EXPECT_EQ(fx.timers.tasks.size(), 1u);
  fx.timers.runAll();
  refresh();
  EXPECT_TRUE(field.is_focus());

  field.set_text("example");
  refresh();
  Gtk::Widget& results = testing::named(*view, Results::results);
  EXPECT_TRUE(results.is_visible());
  EXPECT_FALSE(browserContent(*view).is_visible());
  EXPECT_FALSE(testing::named(*view, BrowserToolbar::WidgetName::toolbar).is_visible());
  EXPECT_EQ(testing::named<Gtk::Label>(results, Results::heading).get_text(), "SITES");
  EXPECT_EQ(resultRows(*view).size(), 2u);
  EXPECT_EQ(quickAddRow(*view), nullptr);
  EXPECT_FALSE(testing::named(results, Results::noMatches).is_visible());
  EXPECT_TRUE(clear.is_visible());
  testing::saveScreenshot(*window, "panel", "search-results");
  // Measures: the field sits 14 below the bar's rule, 16 from the sides, 39 high; rows are 48 high.
  Gtk::Allocation frame = testing::named(row, Search::fieldFrame).get_allocation();
  EXPECT_EQ(frame.get_y(), 43 + 1 + 14);
  EXPECT_EQ(frame.get_x(), 16);
  EXPECT_EQ(frame.get_height(), 39);
  EXPECT_EQ(frame.get_width(), 500 - 32);
  EXPECT_EQ(resultRows(*view)[0]->get_allocated_height(), 48);
  EXPECT_EQ(resultRows(*view)[0]->get_allocated_width(), 500 - 32);

  field.set_text("beta.example.org");
  refresh();
  ASSERT_EQ(resultRows(*view).size(), 2u);  // Beta's row, then the quick-add row
  ASSERT_NE(quickAddRow(*view), nullptr);
  EXPECT_EQ(resultRows(*view)[1], quickAddRow(*view));
  // Return opens the match instead of adding.
  field.activate();
  refresh();
  EXPECT_EQ(fx.model->selectedID(), beta.id);
  EXPECT_EQ(fx.model->sites().size(), 2u);
  EXPECT_FALSE(row.is_visible());
  EXPECT_EQ(field.get_text(), "");
}

// The real field cuts a pasted 20 MB text (from the real clipboard, with the field's own paste
// key) to the search limit before it lays it out or the panel matches it.
TEST_F(PanelWindowTest, APastedHugeTextIsCutByTheFieldItself) {
  gtk_button_clicked(testing::named<Gtk::Button>(*view, SiteBar::WidgetName::searchButton).gobj());
  fx.timers.runAll();
  refresh();
  Gtk::Entry& field = searchField(*view);
  ASSERT_TRUE(testing::waitFor([&] { return field.is_focus(); }));
  const std::string huge = "https://pasted.example.org/" + std::string(20 * 1024 * 1024, 'x');
  Gtk::Clipboard::get()->set_text(huge);
  g_signal_emit_by_name(field.gobj(), "paste-clipboard");  // what Ctrl+V does
  ASSERT_TRUE(testing::waitFor([&] { return !field.get_text().empty(); })) << "nothing was pasted";
  refresh();
  EXPECT_EQ(field.get_text().size(), searchQueryLimit);
  EXPECT_EQ(field.get_text(), huge.substr(0, searchQueryLimit));
  EXPECT_TRUE(testing::named(*view, Results::results).is_visible());
  EXPECT_EQ(quickAddRow(*view), nullptr);  // a cut text is no address
  EXPECT_TRUE(testing::named(*view, Results::noMatches).is_visible());
  testing::saveScreenshot(*window, "panel", "search-cut-paste");
  field.activate();
  refresh();
  EXPECT_EQ(fx.model->sites().size(), 2u);
}

TEST_F(PanelWindowTest, QuickAddRowAndNoMatchingSites) {
  gtk_button_clicked(testing::named<Gtk::Button>(*view, SiteBar::WidgetName::searchButton).gobj());
  refresh();
  searchField(*view).set_text("news.example.net");
  refresh();
  Gtk::Widget& results = testing::named(*view, Results::results);
  Gtk::Label& noMatches = testing::named<Gtk::Label>(results, Results::noMatches);
  EXPECT_TRUE(resultRows(*view).size() == 1u && quickAddRow(*view) == resultRows(*view)[0]);
  EXPECT_FALSE(noMatches.is_visible());
  testing::saveScreenshot(*window, "panel", "quick-add");
  ASSERT_NE(quickAddRow(*view), nullptr);
  EXPECT_EQ(quickAddRow(*view)->get_allocated_height(), 43);
  gtk_button_clicked(quickAddRow(*view)->gobj());
  refresh();
  ASSERT_EQ(fx.model->sites().size(), 3u);
  EXPECT_EQ(fx.model->sites().back().name, "news.example.net");
  Gtk::Widget& row = testing::named(*view, Search::row);
  EXPECT_FALSE(row.is_visible());

  gtk_button_clicked(testing::named<Gtk::Button>(*view, SiteBar::WidgetName::searchButton).gobj());
  refresh();
  searchField(*view).set_text("qq zz");
  refresh();
  EXPECT_TRUE(results.is_visible());
  EXPECT_TRUE(resultRows(*view).empty());
  EXPECT_TRUE(noMatches.is_visible());
  EXPECT_EQ(noMatches.get_text(), "No matching sites");
  gtk_button_clicked(testing::named<Gtk::Button>(row, Search::clearButton).gobj());
  refresh();
  EXPECT_TRUE(row.is_visible());
  EXPECT_TRUE(browserContent(*view).is_visible());
}

TEST_F(PanelWindowTest, ErrorCardCoversTheWebViewButNotTheToolbar) {
  fx.pages.pages.at(0)->fail("g-io-error-quark", 39, "Could not connect: Connection refused");
  refresh();
  BrowserContent& content = browserContent(*view);
  EXPECT_TRUE(testing::named(content, BrowserContent::WidgetName::errorLayer).is_visible());
  EXPECT_EQ(testing::named<Gtk::Label>(content, BrowserContent::WidgetName::errorText).get_text(),
            "Could not connect: Connection refused");
  EXPECT_EQ(testing::named<Gtk::Button>(content, BrowserContent::WidgetName::tryAgainButton).get_label(), "Try again");
  EXPECT_EQ(testing::named<Gtk::Button>(content, BrowserContent::WidgetName::openInBrowserButton).get_label(),
            "Open in browser");
  EXPECT_TRUE(testing::named(*view, BrowserToolbar::WidgetName::toolbar).is_visible());
  testing::saveScreenshot(*window, "panel", "error-card");
  EXPECT_LE(testing::named(content, BrowserContent::WidgetName::errorCard).get_allocated_width(), 360 + 2 * 25);
  // A long description wraps inside the card's maximum width of 360, which its padding of 25
  // (the outline included) surrounds.
  fx.pages.pages.at(0)->fail("g-io-error-quark", 39, std::string(400, 'x').replace(50, 1, " ").replace(120, 1, " "));
  refresh();
  testing::waitForDraw(*window);
  EXPECT_EQ(testing::named(content, BrowserContent::WidgetName::errorCard).get_allocated_width(), 360 + 2 * 25);
  EXPECT_EQ(testing::named<Gtk::Label>(content, BrowserContent::WidgetName::errorText).get_allocated_width(), 360);
  gtk_button_clicked(testing::named<Gtk::Button>(content, BrowserContent::WidgetName::tryAgainButton).gobj());
  EXPECT_EQ(fx.pages.pages.at(0)->reloadCount, 1);
  gtk_button_clicked(testing::named<Gtk::Button>(content, BrowserContent::WidgetName::openInBrowserButton).gobj());
  EXPECT_EQ(fx.workspace.opened, std::vector<std::string>{"https://alpha.example.com/"});
}

TEST_F(HandoffPanelTest, HandoffCardForTheProviderHostInAnyCase) {
  BrowserContent& content = browserContent(*view);
  EXPECT_EQ(shownKind(*view), BrowserContentKind::handoff);
  EXPECT_TRUE(testing::named(content, BrowserContent::WidgetName::handoffCard).is_visible());
  EXPECT_EQ(pageHost(*view), nullptr);  // no web view is made for the hand-off host
  EXPECT_TRUE(fx.pages.pages.empty());
  EXPECT_EQ(testing::named<Gtk::Button>(content, BrowserContent::WidgetName::handoffOpenButton).get_label(),
            "Open Gemini");
  testing::saveScreenshot(*window, "panel", "handoff-card");
  // The card's text wraps at its maximum width of 350, padded 28 on each side.
  EXPECT_EQ(testing::named(content, BrowserContent::WidgetName::handoffCard).get_allocated_width(), 350 + 2 * 28);
  gtk_button_clicked(testing::named<Gtk::Button>(content, BrowserContent::WidgetName::handoffOpenButton).gobj());
  EXPECT_EQ(fx.workspace.opened, std::vector<std::string>{"https://GEMINI.google.com/app"});
  gtk_button_clicked(testing::named<Gtk::Button>(content, BrowserContent::WidgetName::switchWebsiteButton).gobj());
  refresh();
  EXPECT_EQ(fx.model->selectedID(), alpha.id);
  EXPECT_EQ(shownKind(*view), BrowserContentKind::webView);
}

TEST_F(EmptyPanelTest, NoSitesShowsTheEmptyStateAndOnlyThreeToolbarButtons) {
  EXPECT_EQ(testing::named<Gtk::Label>(*view, SiteBar::WidgetName::title).get_text(), "Choose a website");
  BrowserContent& content = browserContent(*view);
  EXPECT_TRUE(testing::named(content, BrowserContent::WidgetName::emptyState).is_visible());
  using Toolbar = BrowserToolbar::WidgetName;
  auto& toolbar = testing::named<BrowserToolbar>(*view, Toolbar::toolbar);
  EXPECT_TRUE(testing::named<Gtk::Button>(toolbar, Toolbar::backButton).is_visible());
  EXPECT_TRUE(testing::named<Gtk::Button>(toolbar, Toolbar::forwardButton).is_visible());
  EXPECT_TRUE(testing::named<Gtk::Button>(toolbar, Toolbar::reloadButton).is_visible());
  EXPECT_FALSE(testing::named<Gtk::Button>(toolbar, Toolbar::backButton).is_sensitive());
  EXPECT_FALSE(testing::named<Gtk::Button>(toolbar, Toolbar::forwardButton).is_sensitive());
  EXPECT_FALSE(testing::named<Gtk::Label>(toolbar, Toolbar::host).is_visible());
  EXPECT_FALSE(testing::named<Gtk::Button>(toolbar, Toolbar::copyButton).is_visible());
  EXPECT_FALSE(testing::named<Gtk::Button>(toolbar, Toolbar::openButton).is_visible());
  EXPECT_EQ(testing::named<Gtk::Button>(content, BrowserContent::WidgetName::addWebsiteButton).get_label(),
            "Add website");
  testing::saveScreenshot(*window, "panel", "empty-state");

  gtk_button_clicked(testing::named<Gtk::Button>(content, BrowserContent::WidgetName::addWebsiteButton).gobj());
  refresh();
  EXPECT_TRUE(testing::named(*view, VeskView::WidgetName::settingsScreen).is_visible());
  EXPECT_EQ(view->state().settingsTab(), SettingsTab::websites);
  EXPECT_TRUE(view->state().isAdding());
}

// A save that fails shows one line under either screen until a write succeeds.
TEST_F(PanelWindowTest, FailedSaveShowsOneLineOnBothScreensUntilAWriteSucceeds) {
  Gtk::Label& line = testing::named<Gtk::Label>(*view, VeskView::WidgetName::saveError);
  EXPECT_FALSE(line.is_visible());
  fx.store.failWrites = "No space left on device (/home/u/.config/vesk/settings.ini)";
  EXPECT_EQ(fx.model->add("", "news.example.com"), std::nullopt);
  refresh();
  const std::string text = "Settings can't be saved: No space left on device (/home/u/.config/vesk/settings.ini)";
  EXPECT_TRUE(line.is_visible());
  EXPECT_EQ(line.get_text(), text);
  EXPECT_EQ(tooltip(line), text);
  EXPECT_EQ(testing::named<Gtk::Label>(*view, SiteBar::WidgetName::title).get_text(), "news.example.com")
      << "the change stays in memory";
  const int oneLine = line.get_allocated_height();
  EXPECT_GT(oneLine, 0);
  EXPECT_LT(oneLine, 40);
  EXPECT_LE(line.get_allocated_width(), 500);
  testing::saveScreenshot(*window, "panel", "save-error");

  view->state().openSettings();
  refresh();
  EXPECT_TRUE(testing::named(*view, VeskView::WidgetName::settingsScreen).is_visible());
  EXPECT_TRUE(line.is_visible());
  EXPECT_EQ(line.get_allocated_height(), oneLine);

  fx.store.failWrites.reset();
  fx.model->changeTheme(LinkTheme::midnight);
  refresh();
  EXPECT_FALSE(line.is_visible());
}

// Every running download has one line (name cut in the middle, progress, cancel) under both
// screens, drawn from the engine's progress without a render call; a refused second download of a
// site is said until dismissed.
TEST_F(PanelWindowTest, RunningDownloadsShowOneLineEachWithProgressAndCancel) {
  using Download = DownloadList::WidgetName;
  Gtk::Widget& list = testing::named(*view, Download::list);
  auto lines = [&] { return testing::allNamed(list, Download::line); };
  EXPECT_FALSE(list.is_visible());
  ASSERT_FALSE(fx.pages.pages.empty());
  testing::FakeWebPage& page = *fx.pages.pages[0];
  const std::string name = "quarterly-report-with-a-name-much-too-long-for-one-line-of-the-panel-final.pdf";
  ASSERT_TRUE(page.delegate.pageMayDownload(page, name));
  for (std::uint64_t received = 0; received <= 3'000'000; received += 1000) {
    page.delegate.pageDownloadProgressed(page, DownloadProgress{name, received, 10'000'000});
  }
  ASSERT_TRUE(testing::waitFor([&] {
    return !lines().empty() && testing::named<Gtk::ProgressBar>(*lines()[0], Download::bar).get_fraction() > 0.29;
  }));
  ASSERT_EQ(lines().size(), 1u);
  Gtk::Widget& line = *lines()[0];
  Gtk::Label& lineName = testing::named<Gtk::Label>(line, Download::name);
  EXPECT_EQ(lineName.get_text(), name);
  EXPECT_EQ(lineName.get_ellipsize(), Pango::ELLIPSIZE_MIDDLE);
  EXPECT_EQ(testing::named<Gtk::Label>(line, Download::progress).get_text(), "3.0 MB of 10.0 MB");
  EXPECT_EQ(tooltip(testing::named<Gtk::Button>(line, Download::cancelButton)), "Cancel download");
  refresh();
  EXPECT_GT(line.get_allocated_height(), 0);
  EXPECT_LT(line.get_allocated_height(), 40);
  EXPECT_LE(line.get_allocated_width(), 500);
  testing::saveScreenshot(*window, "panel", "download");

  // A second download of the same site is refused and said; dismissing the notice hides it.
  EXPECT_FALSE(page.delegate.pageMayDownload(page, "second.zip"));
  refresh();
  Gtk::Widget& notice = testing::named(list, Download::notice);
  EXPECT_TRUE(notice.is_visible());
  EXPECT_NE(testing::named<Gtk::Label>(notice, Download::noticeText).get_text().find("second.zip"), std::string::npos);
  gtk_button_clicked(testing::named<Gtk::Button>(notice, Download::dismissButton).gobj());
  refresh();
  EXPECT_FALSE(notice.is_visible());

  view->state().openSettings();
  refresh();
  EXPECT_TRUE(lines()[0]->is_visible());
  gtk_button_clicked(testing::named<Gtk::Button>(*lines()[0], Download::cancelButton).gobj());
  EXPECT_EQ(page.downloadCancels, 1);
  page.delegate.pageDownloadEnded(page, DownloadReport{"", false, true, ""});
  refresh();
  EXPECT_TRUE(lines().empty());
  EXPECT_FALSE(list.is_visible());
}

TEST_F(PanelWindowTest, SettingsHeaderBadgeButtonsAndEscape) {
  gtk_button_clicked(testing::named<Gtk::Button>(*view, SiteBar::WidgetName::settingsButton).gobj());
  refresh();
  EXPECT_TRUE(testing::named(*view, VeskView::WidgetName::settingsScreen).is_visible());
  EXPECT_FALSE(testing::named(*view, VeskView::WidgetName::browsingScreen).is_visible());
  EXPECT_EQ(testing::named<Gtk::Label>(*view, VeskView::WidgetName::shortcutBadge).get_text(), "Ctrl+Alt+Space");
  EXPECT_EQ(tooltip(testing::named<Gtk::Button>(*view, VeskView::WidgetName::backButton)), "Back to browser");
  EXPECT_EQ(tooltip(testing::named<Gtk::Button>(*view, VeskView::WidgetName::closeButton)), "Close panel");
  EXPECT_EQ(pageHost(*view), nullptr);  // the web view host goes with the browsing screen
  testing::saveScreenshot(*window, "panel", "settings-header");
  EXPECT_EQ(testing::named<Gtk::Widget>(*view, VeskView::WidgetName::header).get_allocated_height(), 51);
  EXPECT_EQ(testing::named<Gtk::Button>(*view, VeskView::WidgetName::backButton).get_allocated_width(), 27);

  gtk_button_clicked(testing::named<Gtk::Button>(*view, VeskView::WidgetName::backButton).gobj());
  refresh();
  EXPECT_TRUE(testing::named(*view, VeskView::WidgetName::browsingScreen).is_visible());
  ASSERT_NE(pageHost(*view), nullptr);

  gtk_button_clicked(testing::named<Gtk::Button>(*view, SiteBar::WidgetName::settingsButton).gobj());
  refresh();
  gtk_button_clicked(testing::named<Gtk::Button>(*view, VeskView::WidgetName::closeButton).gobj());
  EXPECT_EQ(fx.closes, 1);
  fx.keys.press(testing::escapeKey());
  refresh();
  EXPECT_TRUE(testing::named(*view, VeskView::WidgetName::browsingScreen).is_visible());
  fx.keys.press(testing::escapeKey());
  EXPECT_EQ(fx.closes, 2);
}

TEST_F(PanelWindowTest, SettingsContentComesFromTheFactoryOnce) {
  int built = 0;
  auto* other = Gtk::make_managed<VeskView>(
      *fx.model, fx.services(), [] {},
      [&built](VeskViewState&) {
        ++built;
        return Gtk::make_managed<Gtk::Label>("settings content");
      });
  window->remove();
  window->add(*other);
  other->show();
  testing::settle();
  EXPECT_EQ(built, 0);
  other->state().openSettings();
  other->render();
  other->state().backToBrowser();
  other->state().openSettings();
  other->render();
  EXPECT_EQ(built, 1);
  EXPECT_EQ(testing::named<Gtk::Box>(*other, VeskView::WidgetName::settingsSlot).get_children().size(), 1u);
  view = nullptr;
}

// The background colour GTK computed for a widget.
GdkRGBA backgroundOf(Gtk::Widget& widget) {
  GdkRGBA* color = nullptr;
  GtkStyleContext* context = gtk_widget_get_style_context(widget.gobj());
  gtk_style_context_get(context, gtk_style_context_get_state(context), "background-color", &color, nullptr);
  GdkRGBA result = *color;
  gdk_rgba_free(color);
  return result;
}

TEST_F(PanelWindowTest, ThemeChangeRepaintsTheBackground) {
  GdkRGBA graphite = backgroundOf(*view);
  EXPECT_NEAR(graphite.red, 0.075, 0.002);
  EXPECT_NEAR(graphite.blue, 0.105, 0.002);
  fx.model->changeTheme(LinkTheme::obsidian);
  testing::settle();
  GdkRGBA obsidian = backgroundOf(*view);
  EXPECT_NEAR(obsidian.red, 0.035, 0.002);
  EXPECT_NEAR(obsidian.green, 0.039, 0.002);
  EXPECT_NEAR(obsidian.blue, 0.043, 0.002);
  GdkRGBA bar = backgroundOf(testing::named(*view, SiteBar::WidgetName::siteBar));
  EXPECT_NEAR(bar.red, 0.085, 0.002);
  fx.pages.pages.at(0)->fail("g-io-error-quark", 24, "The server stopped answering.");
  refresh();
  testing::saveScreenshot(*window, "panel", "theme-obsidian");
  GdkRGBA prominent =
      backgroundOf(testing::named<Gtk::Button>(browserContent(*view), BrowserContent::WidgetName::openInBrowserButton));
  EXPECT_NEAR(prominent.red, 0.81, 0.002);
  EXPECT_NEAR(prominent.blue, 0.88, 0.002);
}

TEST_F(PanelWindowTest, PressedIconButtonShowsTheSurfaceFill) {
  Gtk::Button& button = testing::named<Gtk::Button>(*view, SiteBar::WidgetName::addButton);
  GdkRGBA idle = backgroundOf(button);
  EXPECT_EQ(idle.alpha, 0);
  button.set_state_flags(Gtk::STATE_FLAG_ACTIVE, false);
  GdkRGBA pressed = backgroundOf(button);
  EXPECT_NEAR(pressed.red, 0.125, 0.002);
  EXPECT_NEAR(pressed.green, 0.112, 0.002);
  EXPECT_NEAR(pressed.blue, 0.17, 0.002);
  EXPECT_EQ(pressed.alpha, 1);
  button.unset_state_flags(Gtk::STATE_FLAG_ACTIVE);
  EXPECT_EQ(backgroundOf(button).alpha, 0);
  // Hovering draws nothing of its own.
  button.set_state_flags(Gtk::STATE_FLAG_PRELIGHT, false);
  EXPECT_EQ(backgroundOf(button).alpha, 0);
}

TEST_F(PanelWindowTest, ShowingThePanelAgainClosesSearchAndSettings) {
  gtk_button_clicked(testing::named<Gtk::Button>(*view, SiteBar::WidgetName::searchButton).gobj());
  view->state().setQuery("alp");
  fx.model->notePanelShown();
  refresh();
  EXPECT_FALSE(testing::named(*view, Search::row).is_visible());
  EXPECT_TRUE(browserContent(*view).is_visible());
}

// The plain browsing screen on the real web engine with a page served on loopback.
TEST(PanelWebView, LoadedLoopbackPage) {
  ASSERT_TRUE(testing::startGtk()) << "no display";
  testing::LoopbackServer page;
  testing::Reply home;
  home.body =
      "<!doctype html><html><head><title>Loopback</title></head>"
      "<body style='font-family:sans-serif;background:#f6f4fb;color:#222;margin:24px'>"
      "<h1>Loopback page</h1><p>Served on 127.0.0.1 for the panel test.</p></body></html>";
  page.route("/", home);
  const char* tmp = std::getenv("VESK_TEST_TMP");
  std::string base = tmp ? tmp : "/tmp";
  WebEngine engine(WebEngine::Paths{base + "/panel-web-data", base + "/panel-web-cache"});
  WebKitPageFactory factory(engine);
  PanelFixture fx{{LinkSite{"Loopback", page.url("/")}, alpha}};
  PanelServices services{factory, fx.clipboard, fx.workspace, fx.keys, fx.timers.runAfter(), {}};
  {
    Gtk::Window window;
    window.set_default_size(500, 700);
    auto* view = Gtk::make_managed<VeskView>(*fx.model, services, [] {});
    window.add(*view);
    window.show_all();
    BrowserStore& store = view->state().browser;
    ASSERT_TRUE(testing::waitFor(
        [&] { return store.currentAddress() == page.url("/") && !store.isLoading() && !store.errorText(); }, 60));
    testing::settle();
    EXPECT_EQ(testing::named<Gtk::Label>(*view, SiteBar::WidgetName::title).get_text(), page.url("/"));
    EXPECT_EQ(testing::named<Gtk::Label>(*view, BrowserToolbar::WidgetName::host).get_text(), "127.0.0.1");
    // Give the web process a moment to paint its first frame.
    gint64 until = g_get_monotonic_time() + G_USEC_PER_SEC;
    testing::waitFor([&] { return g_get_monotonic_time() > until; });
    testing::saveScreenshot(window, "panel", "browsing");
  }
  testing::settle();
}

}  // namespace
}  // namespace vesk

namespace vesk {
namespace {

// Real pointer and key input through the X server.
void xdotool(const std::string& arguments) { ASSERT_EQ(std::system(("xdotool " + arguments).c_str()), 0); }

// Where a widget's corner is on the screen.
std::pair<int, int> screenOrigin(Gtk::Widget& widget) {
  int x = 0, y = 0;
  widget.get_window()->get_origin(x, y);
  Gtk::Allocation allocation = widget.get_allocation();
  return {x + allocation.get_x(), y + allocation.get_y()};
}

TEST(PanelInput, IconButtonReactsAnywhereInItsSquareAndEscapeHidesThePanel) {
  ASSERT_TRUE(testing::startGtk()) << "no display";
  PanelFixture fx;  // no sites: nothing starts the web engine
  int closes = 0;
  Gtk::Window window;
  window.set_default_size(500, 700);
  window.move(0, 0);
  auto* view = makeVeskView(
      *fx.model, [&closes] { ++closes; }, provideWebKitServices);
  window.add(*view);
  window.show_all();
  auto& panel = dynamic_cast<VeskView&>(*view);
  ASSERT_TRUE(testing::waitFor(
      [&] { return testing::named<Gtk::Button>(panel, SiteBar::WidgetName::settingsButton).get_mapped(); }));
  testing::waitForDraw(window);

  // A click in the corner of the settings button's square, away from its symbol.
  auto [x, y] = screenOrigin(testing::named<Gtk::Button>(panel, SiteBar::WidgetName::settingsButton));
  xdotool("mousemove " + std::to_string(x + 2) + " " + std::to_string(y + 2) + " click 1");
  ASSERT_TRUE(testing::waitFor([&] { return panel.state().showSettings(); }));

  // Escape typed into the panel's window: first back to browsing, then the panel hides.
  window.present();
  xdotool("key Escape");
  ASSERT_TRUE(testing::waitFor([&] { return !panel.state().showSettings(); }));
  xdotool("key Escape");
  EXPECT_TRUE(testing::waitFor([&] { return closes == 1; }));
}

// Escape typed into a focused page goes to the page first; only an Escape the page leaves
// unhandled runs the panel's Escape rule.
TEST(PanelInput, EscapeReachesAFocusedPageFirst) {
  ASSERT_TRUE(testing::startGtk()) << "no display";
  testing::LoopbackServer server;
  testing::Reply field;
  // The field takes the first Escape (as a picker or chat box does) and leaves the second alone.
  field.body =
      "<!doctype html><title>ready</title><body style='margin:0'>"
      "<input id=f autofocus style='position:fixed;left:0;top:0;width:100%;height:300px'>"
      "<script>let seen = 0;"
      "f.addEventListener('keydown', e => { if (e.key !== 'Escape') return;"
      "  seen += 1; document.title = 'escape ' + seen; if (seen === 1) e.preventDefault(); });"
      "</script>";
  server.route("/field", field);
  PanelFixture fx{{LinkSite{"Field", server.url("/field")}}};
  int closes = 0;
  Gtk::Window window;
  window.set_default_size(500, 700);
  window.move(0, 0);
  auto* widget = makeVeskView(
      *fx.model, [&closes] { ++closes; }, provideWebKitServices);
  window.add(*widget);
  window.show_all();
  auto& panel = dynamic_cast<VeskView&>(*widget);
  BrowserStore& store = panel.state().browser;
  ASSERT_TRUE(testing::waitFor([&] { return store.currentAddress() && !store.isLoading(); }, 60));
  ASSERT_NE(pageHost(panel), nullptr);
  auto* page = WEBKIT_WEB_VIEW(pageHost(panel)->get_child()->gobj());
  auto title = [page] { return std::string(webkit_web_view_get_title(page) ? webkit_web_view_get_title(page) : ""); };
  ASSERT_TRUE(testing::waitFor([&] { return title() == "ready"; }));
  testing::waitForDraw(window);

  // A real click into the field gives the page keyboard focus.
  window.present();
  auto [x, y] = screenOrigin(*pageHost(panel));
  xdotool("mousemove " + std::to_string(x + 40) + " " + std::to_string(y + 40) + " click 1");
  ASSERT_TRUE(testing::waitFor([&] { return gtk_widget_has_focus(GTK_WIDGET(page)); }));

  xdotool("key Escape");
  ASSERT_TRUE(testing::waitFor([&] { return title() == "escape 1" || closes > 0; }));
  EXPECT_EQ(title(), "escape 1");
  EXPECT_EQ(closes, 0);

  // The page leaves this one unhandled: the Escape rule hides the panel, once. Presses are
  // answered in order, so a first Escape wrongly handed back would have counted before this one.
  xdotool("key Escape");
  ASSERT_TRUE(testing::waitFor([&] { return closes > 0; }));
  EXPECT_EQ(closes, 1);
  EXPECT_TRUE(testing::waitFor([&] { return title() == "escape 2"; })) << "the page never saw it";

  // A page whose web process ended answers nothing: Escape is the panel's at once, though the
  // page keeps the focus behind the error card.
  webkit_web_view_terminate_web_process(page);
  ASSERT_TRUE(testing::waitFor([&] { return store.errorText().has_value(); }));
  ASSERT_TRUE(gtk_widget_has_focus(GTK_WIDGET(page)));
  xdotool("key Escape");
  EXPECT_TRUE(testing::waitFor([&] { return closes == 2; }));
}

// Keyboard first: real key presses go straight into the selected page's focused field when the
// panel is shown, after a site switch and after the search row or the settings close, and the
// engine's undo and redo answer Ctrl+Z, Ctrl+Shift+Z and Ctrl+Y.
TEST(PanelInput, TypingGoesStraightIntoTheSelectedPage) {
  ASSERT_TRUE(testing::startGtk()) << "no display";
  testing::LoopbackServer server;
  testing::Reply field;
  // The field takes focus on load; its text is in the title after every change.
  field.body =
      "<!doctype html><title>ready</title><body style='margin:0'>"
      "<textarea id=t autofocus style='position:fixed;left:0;top:0;width:100%;height:300px'></textarea>"
      "<script>t.addEventListener('input', () => { document.title = 'text:' + t.value; });</script>";
  server.route("/a", field);
  server.route("/b", field);
  const LinkSite siteA{"Field A", server.url("/a")};
  const LinkSite siteB{"Field B", server.url("/b")};
  PanelFixture fx{{siteA, siteB}};
  Gtk::Window window;
  window.set_default_size(500, 700);
  window.move(0, 0);
  auto* widget = makeVeskView(
      *fx.model, [] {}, provideWebKitServices);
  window.add(*widget);
  window.show_all();
  auto& panel = dynamic_cast<VeskView&>(*widget);
  auto title = [&]() -> std::string {
    BrowserView* host = pageHost(panel);
    if (!host || !host->get_child()) return "";
    const gchar* text = webkit_web_view_get_title(WEBKIT_WEB_VIEW(host->get_child()->gobj()));
    return text ? text : "";
  };
  auto shows = [&](const LinkSite& site) { return pageHost(panel) && pageHost(panel)->site().id == site.id; };
  ASSERT_TRUE(testing::waitFor([&] { return shows(siteA) && title() == "ready"; }, 60));
  // No window manager here: the keyboard goes where the pointer is. It rests on the toolbar's host
  // text, which takes no focus itself.
  auto [hostX, hostY] = screenOrigin(testing::named<Gtk::Label>(panel, BrowserToolbar::WidgetName::host));
  xdotool("mousemove " + std::to_string(hostX + 2) + " " + std::to_string(hostY + 2));
  ASSERT_TRUE(testing::waitFor([&] { return window.is_active(); }, 20));
  Gtk::Clipboard::get()->set_text("pasted");

  struct Step {
    const char* what;
    std::function<void()> act;  // what the user did before typing
    std::string input;          // typed text, or key names for xdotool key when it starts with "key "
    const LinkSite& site;       // the page that must have the text
    std::string text;
  };
  auto typeInSearch = [&](const std::string& text) {
    panel.state().toggleSearch();
    ASSERT_TRUE(testing::waitFor([&] { return searchField(panel).has_focus(); }, 20));
    xdotool("type --delay 30 '" + text + "'");
    xdotool("key Return");
  };
  const Step steps[] = {
      {"the panel shown", [&] { fx.model->notePanelShown(); }, "hello world", siteA, "hello world"},
      {"the next-site key", [&] { fx.model->cycleSite(1); }, "second", siteB, "second"},
      {"a paste", [] {}, "key ctrl+v", siteB, "secondpasted"},
      {"Ctrl+Z undoes it", [] {}, "key ctrl+z", siteB, "second"},
      {"Ctrl+Shift+Z redoes it", [] {}, "key ctrl+shift+z", siteB, "secondpasted"},
      {"Ctrl+Z again", [] {}, "key ctrl+z", siteB, "second"},
      {"Ctrl+Y redoes it", [] {}, "key ctrl+y", siteB, "secondpasted"},
      {"a site chosen in the search row", [&] { typeInSearch("field a"); }, "!", siteA, "hello world!"},
      {"settings left with Escape",
       [&] {
         panel.state().openSettings();
         xdotool("key Escape");
         ASSERT_TRUE(testing::waitFor([&] { return !panel.state().showSettings(); }, 20));
       },
       "?", siteA, "hello world!?"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    step.act();
    testing::settle();
    ASSERT_TRUE(testing::waitFor([&] { return shows(step.site) && !panel.state().browser.isLoading(); }, 60));
    if (step.input.rfind("key ", 0) == 0) {
      xdotool(step.input);
    } else {
      xdotool("type --delay 30 '" + step.input + "'");
    }
    EXPECT_TRUE(testing::waitFor([&] { return title() == "text:" + step.text; }, 20)) << "the page has " << title();

    EXPECT_EQ(fx.model->selectedID(), step.site.id) << "typing changed the site";
  }
}

TEST(PanelFirstShow, TheFirstFrameDrawsTheChromeBeforeThePageIsMadeAndThePageFollows) {
  ASSERT_TRUE(testing::startGtk()) << "no display";
  PanelFixture fx{{alpha, beta}};
  Gtk::Window window;
  window.set_default_size(500, 700);
  auto* view = Gtk::make_managed<VeskView>(*fx.model, fx.services(), [] {});
  window.add(*view);
  std::optional<std::size_t> pagesAtFirstFrame;
  testing::named(*view, SiteBar::WidgetName::siteBar)
      .signal_draw()
      .connect(
          [&](const Cairo::RefPtr<Cairo::Context>&) {
            if (!pagesAtFirstFrame) pagesAtFirstFrame = fx.pages.pages.size();
            return false;
          },
          true);
  window.show_all();
  ASSERT_TRUE(testing::waitFor([&] { return pagesAtFirstFrame.has_value(); }));
  EXPECT_EQ(*pagesAtFirstFrame, 0u);
  ASSERT_TRUE(testing::waitFor([&] { return pageHost(*view) != nullptr; }));
  EXPECT_EQ(pageHost(*view)->site().id, alpha.id);
  EXPECT_EQ(fx.pages.pages.size(), 1u);
}

// The web engine's services arrive after the panel's first frame (their module loads meanwhile):
// the page waits for them, and an engine that cannot be loaded is said where the page would be.
TEST(PanelFirstShow, ThePageWaitsForTheWebEngineAndAMissingEngineIsSaid) {
  ASSERT_TRUE(testing::startGtk()) << "no display";
  struct FakeWebServices final : WebServices {
    explicit FakeWebServices(WebPageFactory& pages) : made(pages) {}
    WebPageFactory& pages() override { return made; }
    bool answersKeysFirst(GtkWidget*) const override { return false; }
    WebPageFactory& made;
  };
  for (const bool arrives : {true, false}) {
    SCOPED_TRACE(arrives ? "the services arrive" : "the module is missing");
    PanelFixture fx{{alpha, beta}};
    WebServicesReceiver receive;
    Gtk::Window window;
    window.set_default_size(500, 700);
    auto* widget = makeVeskView(
        *fx.model, [] {}, [&receive](WebServicesReceiver r) { receive = std::move(r); });
    window.add(*widget);
    window.show_all();
    auto& view = dynamic_cast<VeskView&>(*widget);
    testing::waitForDraw(window);
    testing::waitForDraw(window);
    ASSERT_TRUE(receive);
    EXPECT_EQ(pageHost(view), nullptr);
    EXPECT_FALSE(testing::named(browserContent(view), BrowserContent::WidgetName::errorLayer).get_visible());

    if (arrives) {
      receive(std::make_unique<FakeWebServices>(fx.pages), {});
      ASSERT_TRUE(testing::waitFor([&] { return pageHost(view) != nullptr; }));
      EXPECT_EQ(pageHost(view)->site().id, alpha.id);
      EXPECT_EQ(fx.pages.pages.size(), 1u);
    } else {
      receive(nullptr, "libvesk-web.so is missing");
      ASSERT_TRUE(testing::waitFor(
          [&] { return testing::named(browserContent(view), BrowserContent::WidgetName::errorLayer).get_visible(); }));
      EXPECT_EQ(testing::named<Gtk::Label>(browserContent(view), BrowserContent::WidgetName::errorText).get_text(),
                "libvesk-web.so is missing");
      EXPECT_EQ(pageHost(view), nullptr);
    }
  }
}

// A site switch must reach the screen in the frame that follows it: the new selection's page is
// in place when GTK draws next, even when a frame was already asked for (a key press does).
TEST_F(PanelWindowTest, ASiteSwitchIsInPlaceForTheNextFrame) {
  ASSERT_EQ(pageHost(*view)->site().id, alpha.id);
  // Let the frame clock fall quiet so that the next frame may start at once.
  GdkFrameClock* clock = gtk_widget_get_frame_clock(GTK_WIDGET(window->gobj()));
  gint64 lastPaint = g_get_monotonic_time();
  gulong painted = g_signal_connect(
      clock, "after-paint",
      G_CALLBACK(+[](GdkFrameClock*, gpointer at) { *static_cast<gint64*>(at) = g_get_monotonic_time(); }), &lastPaint);
  ASSERT_TRUE(testing::waitFor([&] { return g_get_monotonic_time() - lastPaint > 100000; }));
  g_signal_handler_disconnect(clock, painted);

  std::optional<Uuid> drawnSite;
  auto drawn = view->signal_draw().connect(
      [&](const Cairo::RefPtr<Cairo::Context>&) {
        if (!drawnSite) drawnSite = pageHost(*view) ? pageHost(*view)->site().id : Uuid{};
        return false;
      },
      false);
  window->queue_draw();
  fx.model->select(beta);
  ASSERT_TRUE(testing::waitFor([&] { return drawnSite.has_value(); }));
  drawn.disconnect();
  EXPECT_EQ(*drawnSite, beta.id);
}

// The panel window keeps the stored size whatever its content asks for: a long page address in
// the site bar, or wide settings content.
TEST(PanelWindowSize, ContentNeverWidensTheWindow) {
  ASSERT_TRUE(testing::startGtk()) << "no display";
  PanelFixture fx{{alpha, beta}};
  GtkPanelWindow panelWindow;
  panelWindow.setContentSize(500, 700);
  auto* view = Gtk::make_managed<VeskView>(
      *fx.model, fx.services(), [] {},
      [](VeskViewState&) {
        auto* wide = Gtk::make_managed<Gtk::Label>(std::string(300, 'W'));
        return wide;
      });
  panelWindow.setContent(view);
  panelWindow.showUnder(std::nullopt);
  Gtk::Window& window = panelWindow.window();
  auto windowWidth = [&] { return window.get_window() ? window.get_window()->get_width() : 0; };
  ASSERT_TRUE(testing::waitFor([&] { return window.get_mapped() && windowWidth() > 0; }));
  // The page comes right after the panel's first frame.
  ASSERT_TRUE(testing::waitFor([&] { return !fx.pages.pages.empty(); }));

  for (std::size_t length : {60u, 120u, 400u}) {
    SCOPED_TRACE(length);
    const std::string address = "https://alpha.example.com/" + std::string(length, 'a');
    fx.pages.pages.at(0)->address = address;
    view->state().browser.activate(alpha);
    view->render();
    testing::waitForDraw(window);
    ASSERT_EQ(testing::named<Gtk::Label>(*view, SiteBar::WidgetName::title).get_text(), address);
    EXPECT_EQ(windowWidth(), 500);
    EXPECT_EQ(view->get_allocated_width(), 500);
    // The rightmost button of the site bar stays inside the window.
    Gtk::Button& settings = testing::named<Gtk::Button>(*view, SiteBar::WidgetName::settingsButton);
    int right = 0, top = 0;
    ASSERT_TRUE(settings.translate_coordinates(*view, settings.get_allocated_width(), 0, right, top));
    EXPECT_LE(right, 500);
    EXPECT_GT(settings.get_allocated_width(), 0);
  }

  view->state().openSettings();
  view->render();
  testing::waitForDraw(window);
  EXPECT_EQ(windowWidth(), 500);
  EXPECT_EQ(window.get_window()->get_height(), 700);

  // A new stored size still applies.
  panelWindow.setContentSize(620, 640);
  ASSERT_TRUE(testing::waitFor([&] { return windowWidth() == 620 && window.get_window()->get_height() == 640; }));
}

}  // namespace
}  // namespace vesk
