#include <gtest/gtest.h>

#include <functional>

#include "model/constants.h"
#include "model/text.h"
#include "panel/search.h"
#include "panel/vesk_view_state.h"
#include "panel_fakes.h"

namespace vesk {
namespace {

using testing::FakeWebPage;
using testing::PanelFixture;

const LinkSite alpha{"Alpha Docs", "https://alpha.example.com/"};
const LinkSite beta{"Beta", "https://beta.example.org/path?q=docs"};
const LinkSite gamma{"Gamma Mail", "https://mail.gamma.net/"};

struct StateTest : ::testing::Test {
  PanelFixture fx{{alpha, beta, gamma}};
  VeskViewState state{*fx.model, fx.services(), [this] { ++fx.closes; }};
};

// Screens and the model's signals

TEST_F(StateTest, StartsOnThePlainBrowsingScreen) {
  EXPECT_EQ(state.screen(), PanelScreen::browsing);
  EXPECT_FALSE(state.showSearch());
  EXPECT_EQ(state.settingsTab(), SettingsTab::general);
  EXPECT_TRUE(state.loginItemEnabled());
  EXPECT_TRUE(state.showsBrowserArea());
}

TEST_F(StateTest, ShowingThePanelResetsSettingsAndSearch) {
  state.openSettings();
  fx.model->notePanelShown();
  EXPECT_EQ(state.screen(), PanelScreen::browsing);

  state.toggleSearch();
  state.setQuery("docs");
  fx.model->notePanelShown();
  EXPECT_FALSE(state.showSearch());
  EXPECT_EQ(state.query(), "");
}

TEST_F(StateTest, SettingsRequestClosesSearchAndOpensSettingsAfterTheShowReset) {
  state.toggleSearch();
  state.setQuery("be");
  fx.model->notePanelShown();
  fx.model->requestSettings();
  EXPECT_EQ(state.screen(), PanelScreen::settings);
  EXPECT_FALSE(state.showSearch());
  EXPECT_EQ(state.query(), "");
}

TEST_F(StateTest, PageZoomFollowsTheModelOnAppearAndOnChange) {
  state.browser.view(alpha);
  fx.model->changePageZoom(1.2);
  EXPECT_DOUBLE_EQ(fx.pages.pages.at(0)->zoom.value_or(0), 1.2);
  state.browser.setZoom(1.0);
  state.appeared();
  EXPECT_DOUBLE_EQ(fx.pages.pages.at(0)->zoom.value_or(0), 1.2);
}

TEST_F(StateTest, RemovingASiteClosesItsPageAndKeepsTheOthers) {
  state.browser.view(alpha);
  state.browser.view(beta);
  state.browser.activate(beta);
  fx.model->remove(beta);
  EXPECT_EQ(fx.pages.closed.size(), 1u);
  EXPECT_FALSE(state.browser.activeID());
  fx.model->update(alpha, "Renamed", alpha.address);
  EXPECT_EQ(fx.pages.closed.size(), 1u);
}

TEST_F(StateTest, DisappearingStopsARecording) {
  state.recorder.start([](const Shortcut&) {});
  ASSERT_TRUE(state.recorder.isRecording());
  state.disappeared();
  EXPECT_FALSE(state.recorder.isRecording());
}

// Escape

TEST_F(StateTest, EscapeClosesSearchThenHidesThePanel) {
  state.toggleSearch();
  state.setQuery("al");
  EXPECT_TRUE(fx.keys.press(testing::escapeKey()));
  EXPECT_FALSE(state.showSearch());
  EXPECT_EQ(state.query(), "");
  EXPECT_EQ(fx.closes, 0);
  fx.keys.press(testing::escapeKey());
  EXPECT_EQ(fx.closes, 1);
}

TEST_F(StateTest, EscapeOnSettingsReturnsToBrowsingWithoutHiding) {
  state.openSettings();
  state.escape();
  EXPECT_EQ(state.screen(), PanelScreen::browsing);
  EXPECT_EQ(fx.closes, 0);
}

TEST_F(StateTest, AddWhileSearchingKeepsTheHiddenSearchRowForTheFirstEscape) {
  state.toggleSearch();
  state.setQuery("zzz");
  state.addWebsite();
  EXPECT_EQ(state.screen(), PanelScreen::settings);
  EXPECT_TRUE(state.showSearch());
  state.escape();
  EXPECT_EQ(state.screen(), PanelScreen::settings);
  EXPECT_FALSE(state.showSearch());
  EXPECT_EQ(state.query(), "");
  state.escape();
  EXPECT_EQ(state.screen(), PanelScreen::browsing);
  EXPECT_EQ(fx.closes, 0);
}

TEST_F(StateTest, BackButtonAfterAddReturnsToAnOpenEmptySearchRow) {
  state.toggleSearch();
  state.setQuery("zzz");
  state.addWebsite();
  state.backToBrowser();
  EXPECT_EQ(state.screen(), PanelScreen::browsing);
  EXPECT_TRUE(state.showSearch());
  EXPECT_EQ(state.query(), "");
}

TEST_F(StateTest, EscapeDuringARecordingIsLeftToTheRecorder) {
  state.openSettings();
  state.recorder.start([](const Shortcut&) {});
  fx.keys.press(testing::escapeKey());
  EXPECT_FALSE(state.recorder.isRecording());
  EXPECT_EQ(state.screen(), PanelScreen::settings);
}

TEST_F(StateTest, EscapeWithCommandModifiersIsNotTheEscapeRule) {
  auto key = testing::escapeKey();
  key.control = true;
  EXPECT_FALSE(fx.keys.press(key));
  EXPECT_EQ(fx.closes, 0);
}

// Site bar

TEST_F(StateTest, MenuTitleFollowsTheActiveSitesAddress) {
  EXPECT_EQ(state.siteMenuTitle(), "Alpha Docs");
  state.browser.view(alpha);
  state.browser.activate(alpha);
  fx.pages.pages[0]->address = "https://alpha.example.com/deep/page";
  state.browser.reload();
  state.browser.activate(alpha);  // republishes the page's address
  EXPECT_EQ(state.siteMenuTitle(), "https://alpha.example.com/deep/page");
  fx.model->select(beta);
  EXPECT_EQ(state.siteMenuTitle(), "Beta");
}

TEST(StateNoSites, TitleAsksToChooseAWebsite) {
  PanelFixture fx;
  VeskViewState state{*fx.model, fx.services(), [] {}};
  EXPECT_EQ(state.siteMenuTitle(), "Choose a website");
  EXPECT_EQ(state.browserContent(), BrowserContentKind::emptyState);
  auto toolbar = state.toolbar();
  EXPECT_FALSE(toolbar.site);
  EXPECT_FALSE(toolbar.backEnabled);
  EXPECT_FALSE(toolbar.forwardEnabled);
  state.addFirstWebsite();
  EXPECT_EQ(state.screen(), PanelScreen::settings);
  EXPECT_EQ(state.settingsTab(), SettingsTab::websites);
  EXPECT_TRUE(state.isAdding());
}

TEST_F(StateTest, ChoosingTheSelectedSiteStillClosesTheSearch) {
  state.toggleSearch();
  state.setQuery("a");
  state.setSearchFocused(true);
  state.chooseSite(alpha);
  EXPECT_EQ(fx.model->selectedID(), alpha.id);
  EXPECT_FALSE(state.showSearch());
  EXPECT_FALSE(state.searchFocused());
  EXPECT_EQ(state.query(), "");
}

TEST_F(StateTest, AddButtonOpensWebsitesTabAndSettingsButtonGeneral) {
  state.chooseSettingsTab(SettingsTab::appearance);
  state.openSiteEditor(beta);
  state.addWebsite();
  EXPECT_EQ(state.settingsTab(), SettingsTab::websites);
  EXPECT_TRUE(state.isAdding());
  EXPECT_FALSE(state.editing());
  state.backToBrowser();
  state.toggleSearch();
  state.setQuery("kept");
  state.openSettings();
  EXPECT_EQ(state.settingsTab(), SettingsTab::general);
  EXPECT_FALSE(state.showSearch());
  EXPECT_EQ(state.query(), "kept");  // cleared by the next opening of the row
}

TEST_F(StateTest, SearchButtonFocusesTheFieldLaterAndTwiceLeavesItClosed) {
  state.toggleSearch();
  ASSERT_EQ(fx.timers.tasks.size(), 1u);
  EXPECT_EQ(fx.timers.tasks[0].first, std::chrono::milliseconds(80));
  EXPECT_FALSE(state.searchFocused());
  state.toggleSearch();
  fx.timers.runAll();
  EXPECT_FALSE(state.showSearch());
  EXPECT_EQ(state.query(), "");
  EXPECT_TRUE(state.searchFocused());  // the hidden field may stay marked focused
}

// Search and quick add

TEST(Matching, FoldsCaseAndCompositionAndKeepsOrder) {
  EXPECT_TRUE(localizedCaseInsensitiveContains("Straße", "STRASSE"));
  EXPECT_TRUE(localizedCaseInsensitiveContains("Caf\u00e9 Noir", "CAFE\u0301"));
  EXPECT_TRUE(localizedCaseInsensitiveContains("ÉCOLE", "école"));
  EXPECT_FALSE(localizedCaseInsensitiveContains("café", "cafe"));
  EXPECT_FALSE(localizedCaseInsensitiveContains("anything", ""));
  EXPECT_TRUE(localizedCaseInsensitiveContains("\xff\xfe Bad", "bad"));
  auto found = matchingSites({gamma, alpha, beta}, "A");
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(found[0].name, "Gamma Mail");
}

TEST_F(StateTest, MatchesNameOrHostButNotPath) {
  state.setQuery("docs");
  ASSERT_EQ(state.matches().size(), 1u);  // beta's path holds "docs" but only its host is searched
  EXPECT_EQ(state.matches()[0].name, "Alpha Docs");
  state.setQuery("GAMMA.NET");
  EXPECT_EQ(state.matches().size(), 1u);
}

TEST_F(StateTest, ASingleSpaceShowsResultsAndNoMatchingSitesWithoutSpacedNames) {
  PanelFixture other{{beta}};
  VeskViewState plain{*other.model, other.services(), [] {}};
  plain.toggleSearch();
  plain.setQuery(" ");
  EXPECT_TRUE(plain.showsResults());
  EXPECT_FALSE(plain.showsBrowserArea());
  EXPECT_TRUE(plain.matches().empty());
  EXPECT_TRUE(plain.showsNoMatches());
  EXPECT_FALSE(plain.offersQuickAdd());

  state.toggleSearch();
  state.setQuery(" ");
  EXPECT_EQ(state.matches().size(), 2u);  // "Alpha Docs" and "Gamma Mail"
}

TEST_F(StateTest, ReturnOpensAMatchBeforeAdding) {
  state.toggleSearch();
  state.setQuery("beta.example.org");
  EXPECT_TRUE(state.offersQuickAdd());
  EXPECT_EQ(state.matches().size(), 1u);
  state.openFirstResult();
  EXPECT_EQ(fx.model->selectedID(), beta.id);
  EXPECT_EQ(fx.model->sites().size(), 3u);
  EXPECT_FALSE(state.showSearch());
}

TEST_F(StateTest, ReturnAddsAnUnmatchedAddressNamedAfterItsHost) {
  state.toggleSearch();
  state.setQuery("news.example.com/today");
  EXPECT_FALSE(state.showsNoMatches());
  state.openFirstResult();
  ASSERT_EQ(fx.model->sites().size(), 4u);
  EXPECT_EQ(fx.model->sites().back().name, "news.example.com");
  EXPECT_EQ(fx.model->selectedID(), fx.model->sites().back().id);
  EXPECT_FALSE(state.showSearch());
  EXPECT_EQ(state.query(), "");
}

TEST_F(StateTest, ReturnWithNeitherMatchNorAddressKeepsTheText) {
  state.toggleSearch();
  state.setQuery("no such thing");
  state.openFirstResult();
  EXPECT_TRUE(state.showSearch());
  EXPECT_EQ(state.query(), "no such thing");
  EXPECT_EQ(fx.model->sites().size(), 3u);
}

TEST_F(StateTest, AddingASavedAddressSelectsItWithoutASecondRecord) {
  state.toggleSearch();
  state.setQuery("https://mail.gamma.net/");
  state.addPastedLink();
  EXPECT_EQ(fx.model->sites().size(), 3u);
  EXPECT_EQ(fx.model->selectedID(), gamma.id);
}

TEST_F(StateTest, PasteOfAPaddedAddressAddsAndCloses) {
  state.toggleSearch();
  fx.clipboard.texts = {"  \n https://pasted.example.com/x \n"};
  state.pasteClipboardLink();
  ASSERT_EQ(fx.model->sites().size(), 4u);
  EXPECT_EQ(fx.model->sites().back().address, "https://pasted.example.com/x");
  EXPECT_EQ(fx.model->sites().back().name, "pasted.example.com");
  EXPECT_FALSE(state.showSearch());
  EXPECT_EQ(state.query(), "");
}

// Whatever reaches the query, typed or pasted, is cut to `searchQueryLimit` characters before it
// is matched, never in the middle of a character; a cut text is never added as an address, while
// an address of the longest accepted length still is.
TEST_F(StateTest, SearchTextIsCutBeforeMatchingAndACutTextIsNeverAdded) {
  const std::string huge(20 * 1024 * 1024, 'a');
  const std::string longest = "https://long.example.org/" + std::string(Address::maxLength - 25, 'p');
  std::string accents;
  for (int i = 0; i < 10000; ++i) accents += "\u00e9";
  const struct {
    const char* name;
    std::string text;
    bool pasted;
    std::size_t kept;  // characters left in the query (0: the address was added and the row closed)
  } cases[] = {
      {"typed 20 MB", huge, false, searchQueryLimit},
      {"pasted 20 MB", huge, true, searchQueryLimit},
      {"pasted address followed by 20 MB", "https://pasted.example.org/" + huge, true, searchQueryLimit},
      {"typed accented letters", accents, false, searchQueryLimit},
      {"pasted longest address", longest, true, 0},
      {"typed longest address", longest, false, longest.size()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    state.toggleSearch();
    if (c.pasted) {
      fx.clipboard.texts = {c.text};
      state.pasteClipboardLink();
    } else {
      state.setQuery(c.text);
    }
    EXPECT_EQ(text::codePointCount(state.query()), c.kept);
    EXPECT_TRUE(text::isValidUtf8(state.query()));
    EXPECT_EQ(state.query(), c.text.substr(0, state.query().size()));
    if (c.kept == 0) {
      EXPECT_EQ(fx.model->sites().back().address, longest);
      fx.model->remove(fx.model->sites().back());
    } else {
      EXPECT_EQ(state.offersQuickAdd(), c.kept <= Address::maxLength);
      if (!state.offersQuickAdd()) {
        state.openFirstResult();  // Return: nothing matches and nothing is added
        EXPECT_EQ(fx.model->sites().size(), 3u);
      }
    }
    state.clearQuery();
    if (state.showSearch()) state.toggleSearch();
  }
}

TEST_F(StateTest, PasteOfPlainTextStaysASearchAndBlankPasteDoesNothing) {
  state.toggleSearch();
  fx.clipboard.texts = {"  gamma mail "};
  state.pasteClipboardLink();
  EXPECT_EQ(state.query(), "gamma mail");
  EXPECT_TRUE(state.showSearch());
  fx.clipboard.texts = {" \n\t"};
  state.pasteClipboardLink();
  EXPECT_EQ(state.query(), "gamma mail");
  fx.clipboard.texts.clear();
  state.pasteClipboardLink();
  EXPECT_EQ(state.query(), "gamma mail");
}

TEST_F(StateTest, ClearKeepsTheRowOpenAndBringsBackTheBrowserArea) {
  state.toggleSearch();
  state.setQuery("x");
  EXPECT_FALSE(state.showsBrowserArea());
  state.clearQuery();
  EXPECT_TRUE(state.showSearch());
  EXPECT_TRUE(state.showsBrowserArea());
}

// Browser area

TEST(BrowserContent, HandoffHostInAnySpellingGetsTheCard) {
  struct Case {
    const char* address;
    BrowserContentKind kind;
  } cases[] = {
      {"https://GEMINI.Google.COM/app", BrowserContentKind::handoff},
      {"https://gemini.google.com./app", BrowserContentKind::handoff},
      {"https://Gemini.Google.Com.:443/", BrowserContentKind::handoff},
      {"https://x.gemini.google.com/", BrowserContentKind::webView},
      {"https://gemini.google.com../", BrowserContentKind::webView},
      {"https://gemini.google.com.example/", BrowserContentKind::webView},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(browserContentKind(LinkSite{"G", c.address}, false, std::nullopt), c.kind) << c.address;
  }
}

TEST_F(StateTest, SignInFlagCountsOnlyForTheActiveSite) {
  state.browser.view(alpha);
  state.browser.activate(alpha);
  // The page tries the sign-in host, which the store refuses.
  static_cast<FakeWebPage&>(state.browser.view(alpha)).navigate("https://accounts.google.com/");
  EXPECT_EQ(state.browserContent(), BrowserContentKind::handoff);
  fx.model->select(beta);  // not yet active: its web view is shown
  EXPECT_EQ(state.browserContent(), BrowserContentKind::webView);
}

TEST_F(StateTest, ToolbarFollowsTheStoreAndOpensTheSavedAddress) {
  state.browser.view(alpha);
  fx.pages.pages[0]->back = true;
  fx.pages.pages[0]->loading = true;
  state.browser.activate(alpha);
  auto toolbar = state.toolbar();
  EXPECT_TRUE(toolbar.backEnabled);
  EXPECT_FALSE(toolbar.forwardEnabled);
  EXPECT_TRUE(toolbar.spinner);
  EXPECT_TRUE(toolbar.reloadEnabled);
  EXPECT_EQ(toolbar.hostText, "alpha.example.com");

  fx.pages.pages[0]->address = "https://alpha.example.com/elsewhere";
  state.openExternally(*toolbar.site);
  EXPECT_EQ(fx.workspace.opened, std::vector<std::string>{"https://alpha.example.com/"});
  state.openExternally(LinkSite{"Bad", "not an address"});
  EXPECT_EQ(fx.workspace.opened.size(), 1u);

  state.copyLink(alpha);
  EXPECT_EQ(fx.clipboard.texts, std::vector<std::string>{"https://alpha.example.com/elsewhere"});
}

// With no page on screen (empty state, hand-off card) the toolbar and site bar show nothing of the
// page that was active last, and the toolbar's buttons reach no page.
TEST(Toolbar, WithoutAPageOnScreenNothingIsEnabledLoadingOrReloaded) {
  const LinkSite gemini{"Gemini", "https://gemini.google.com/app"};
  struct Case {
    const char* name;
    std::vector<LinkSite> sites;
    std::function<void(AppModel&, BrowserStore&)> leavePage;
    BrowserContentKind shown;
    std::string title;
  };
  const std::vector<Case> cases{
      {"no sites", {}, [](AppModel&, BrowserStore&) {}, BrowserContentKind::emptyState, "Choose a website"},
      {"hand-off host selected",
       {alpha, gemini},
       [&](AppModel& m, BrowserStore&) { m.select(gemini); },
       BrowserContentKind::handoff,
       "Gemini"},
      {"sign-in refused",
       {alpha},
       [](AppModel&, BrowserStore& b) {
         // The page tries the sign-in host, which the store refuses.
         static_cast<FakeWebPage&>(b.view(alpha)).navigate("https://accounts.google.com/");
       },
       BrowserContentKind::handoff,
       "Alpha Docs"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PanelFixture fx{c.sites};
    VeskViewState state{*fx.model, fx.services(), [] {}};
    state.browser.view(alpha);
    FakeWebPage& page = *fx.pages.pages.at(0);
    page.back = page.forward = page.loading = true;
    page.address = "https://alpha.example.com/inbox";
    state.browser.activate(alpha);
    ASSERT_TRUE(state.browser.canGoBack() && state.browser.isLoading());

    c.leavePage(*fx.model, state.browser);
    EXPECT_EQ(state.browserContent(), c.shown);
    ToolbarState toolbar = state.toolbar();
    EXPECT_FALSE(toolbar.backEnabled);
    EXPECT_FALSE(toolbar.forwardEnabled);
    EXPECT_FALSE(toolbar.reloadEnabled);
    EXPECT_FALSE(toolbar.spinner);
    EXPECT_FALSE(state.pageLoading());  // the site bar's spinner
    EXPECT_FALSE(state.pageAnswersKeys());
    EXPECT_EQ(state.siteMenuTitle(), c.title);
    state.goBack();
    state.goForward();
    state.reload();
    EXPECT_EQ(page.backCount + page.forwardCount + page.reloadCount, 0);
  }
}

TEST(Toolbar, HostTextOfAnUnparsableAddressIsTheRawAddress) {
  // Loading and adding refuse such an address, and only the model writes its list, so the model
  // never holds one; the toolbar shows the site's host text, which for one is the raw address.
  PanelFixture fx{{alpha}};
  VeskViewState state{*fx.model, fx.services(), [] {}};
  EXPECT_EQ(state.toolbar().hostText, alpha.host());
  EXPECT_EQ(alpha.host(), "alpha.example.com");
  EXPECT_EQ((LinkSite{"Odd", "not a url"}.host()), "not a url");
}

TEST_F(StateTest, SwitchWebsiteCyclesAndKeepsASingleSite) {
  state.switchWebsite();
  EXPECT_EQ(fx.model->selectedID(), beta.id);
  PanelFixture one{{alpha}};
  VeskViewState single{*one.model, one.services(), [] {}};
  single.switchWebsite();
  EXPECT_EQ(one.model->selectedID(), alpha.id);
}

// Keyboard focus: which moments ask for it, and where it then goes.
TEST_F(StateTest, FocusGoesToThePageOnShowSwitchAndClosingSearchOrSettings) {
  state.browser.view(alpha);
  state.browser.activate(alpha);
  struct Case {
    const char* moment;
    std::function<void()> act;
    bool asks;
    FocusTarget target;
  };
  const Case cases[] = {
      {"panel shown", [&] { fx.model->notePanelShown(); }, true, FocusTarget::page},
      {"site chosen from the menu", [&] { state.chooseSite(beta); }, true, FocusTarget::page},
      {"next-site key", [&] { fx.model->cycleSite(1); }, true, FocusTarget::page},
      {"same site chosen again", [&] { fx.model->select(*fx.model->selectedSite()); }, false, FocusTarget::page},
      {"search row opened", [&] { state.toggleSearch(); }, false, FocusTarget::ownRule},
      {"search closed by Escape", [&] { state.escape(); }, true, FocusTarget::page},
      {"search result chosen",
       [&] {
         state.toggleSearch();
         state.setQuery("alpha");
         state.openFirstResult();
       },
       true, FocusTarget::page},
      {"settings opened", [&] { state.openSettings(); }, false, FocusTarget::ownRule},
      {"settings left by the back button", [&] { state.backToBrowser(); }, true, FocusTarget::page},
      {"settings left by Escape",
       [&] {
         state.addWebsite();
         state.escape();
       },
       true, FocusTarget::page},
  };
  int requests = 0;
  auto counting = state.focusRequested.connect([&] { ++requests; });
  for (const Case& c : cases) {
    SCOPED_TRACE(c.moment);
    const int before = requests;
    c.act();
    EXPECT_EQ(requests > before, c.asks);
    EXPECT_EQ(state.focusTarget(), c.target);
  }
}

// What is typed while the selected page cannot take keys yet (just made, its document not there)
// is held for it: handed on once the page takes typing, dropped when anything else happens first.
TEST(StateFocus, TypingWaitsForThePageThatCannotTakeItYet) {
  struct Case {
    const char* moment;
    std::function<void(PanelFixture&, VeskViewState&)> act;
    bool handedOn;
    bool holdsAgain = false;  // for the page that takes the place of the first
  };
  auto page = [](PanelFixture& fx, std::size_t i) -> FakeWebPage& { return *fx.pages.pages.at(i); };
  auto typed = [](const char* letter) { return KeyEventRecord{.charactersIgnoringModifiers = letter}; };
  const Case cases[] = {
      {"the page takes typing", [&](auto& fx, auto&) { page(fx, 0).focusField(); }, true},
      {"the panel hides", [](auto&, auto& state) { state.disappeared(); }, false},
      {"another site is chosen", [](auto&, auto& state) { state.chooseSite(beta); }, false, true},
      {"the search row opens", [](auto&, auto& state) { state.toggleSearch(); }, false},
      {"the load fails", [&](auto& fx, auto&) { page(fx, 0).fail("g-io-error-quark", 39, "Connection refused"); },
       false},
      {"the time limit passes", [](auto& fx, auto&) { fx.timers.runAll(); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.moment);
    PanelFixture fx{{alpha, beta}};
    VeskViewState state{*fx.model, fx.services(), [] {}};
    fx.pages.onCreate = [](FakeWebPage& made) { made.typing = false; };
    state.appeared();
    fx.model->notePanelShown();
    EXPECT_TRUE(fx.keys.press(typed("a"))) << "held before the page is made";
    state.browser.view(alpha);
    state.browser.activate(alpha);
    EXPECT_TRUE(fx.keys.press(typed("b")));
    c.act(fx, state);
    EXPECT_EQ(fx.keys.handedOn.size(), c.handedOn ? 2U : 0U);
    EXPECT_EQ(fx.keys.holdingKeys(), c.holdsAgain);
    EXPECT_TRUE(fx.keys.held.empty());
  }
  PanelFixture ready{{alpha}};
  VeskViewState state{*ready.model, ready.services(), [] {}};
  state.browser.view(alpha);
  state.appeared();
  ready.model->notePanelShown();
  EXPECT_FALSE(ready.keys.holdingKeys()) << "a page that takes typing gets it at once";
}

TEST(StateFocus, CardsAndTheEmptyStateTakeFocusOnTheirButton) {
  PanelFixture none;
  VeskViewState empty{*none.model, none.services(), [] {}};
  EXPECT_EQ(empty.focusTarget(), FocusTarget::cardButton);

  PanelFixture fx{{LinkSite{"Gemini", "https://" + std::string(handoffHost) + "/app"}, alpha}};
  VeskViewState state{*fx.model, fx.services(), [] {}};
  EXPECT_EQ(state.focusTarget(), FocusTarget::cardButton) << "hand-off card";
  fx.model->select(alpha);
  state.browser.view(alpha);
  state.browser.activate(alpha);
  EXPECT_EQ(state.focusTarget(), FocusTarget::page);
  fx.pages.pages.at(0)->fail("g-io-error-quark", 39, "Connection refused");
  EXPECT_EQ(state.focusTarget(), FocusTarget::cardButton) << "error card over the page";
}

// Ctrl+Z, Ctrl+Shift+Z and Ctrl+Y reach the page as its engine's undo and redo, only when the page
// had the press first and left it, and only while it is on screen to answer.
TEST_F(StateTest, EditingKeysLeftByThePageRunItsUndoAndRedo) {
  state.browser.view(alpha);
  state.browser.activate(alpha);
  FakeWebPage& page = *fx.pages.pages.at(0);
  auto key = [](std::uint16_t code, bool shift = false, bool alt = false) {
    KeyEventRecord record;
    record.control = true;
    record.shift = shift;
    record.option = alt;
    record.keyCode = code;
    return record;
  };
  KeyEventRecord plainZ;
  plainZ.keyCode = KeyCode::z;
  struct Case {
    const char* press;
    KeyEventRecord key;
    bool leftByPage;
    std::optional<EditingCommand> runs;
  };
  const Case cases[] = {
      {"Ctrl+Z", key(KeyCode::z), true, EditingCommand::undo},
      {"Ctrl+Shift+Z", key(KeyCode::z, true), true, EditingCommand::redo},
      {"Ctrl+Y", key(KeyCode::y), true, EditingCommand::redo},
      {"Ctrl+Shift+Y", key(KeyCode::y, true), true, std::nullopt},
      {"Ctrl+Alt+Z", key(KeyCode::z, false, true), true, std::nullopt},
      {"Z alone", plainZ, true, std::nullopt},
      {"Ctrl+Z the page handled or never had (search field)", key(KeyCode::z), false, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.press);
    page.edits.clear();
    EXPECT_EQ(fx.keys.press(c.key, c.leftByPage), c.runs.has_value());
    EXPECT_EQ(page.edits, c.runs ? std::vector<EditingCommand>{*c.runs} : std::vector<EditingCommand>{});
  }

  // Behind the error card the page answers nothing.
  page.fail("g-io-error-quark", 39, "Connection refused");
  page.edits.clear();
  EXPECT_FALSE(fx.keys.press(key(KeyCode::z), true));
  EXPECT_TRUE(page.edits.empty());
}

TEST(StateLifetime, DeferredTasksAfterDestructionDoNothing) {
  PanelFixture fx{{alpha}};
  {
    VeskViewState state{*fx.model, fx.services(), [] {}};
    state.toggleSearch();
  }
  fx.timers.runAll();
  EXPECT_EQ(fx.keys.installedCount(), 0u);
}

// Notifications and unread marks

// The notices the model was asked to post and to take back, as "<title>|<body>" and "<page key>".
struct NoticeLog {
  explicit NoticeLog(AppModel& model)
      : posted_(model.siteNoticePosted.connect(
            [this](const SiteNotice& notice) { posted.push_back(notice.title + "|" + notice.body); })),
        withdrawn_(model.siteNoticeWithdrawn.connect(
            [this](const Uuid&, const std::string& key) { withdrawn.push_back(key); })) {}
  std::vector<std::string> posted, withdrawn;

 private:
  Subscription posted_, withdrawn_;
};

TEST_F(StateTest, ASiteNotOnScreenIsMarkedAndItsNotificationsReachTheDesktop) {
  enum class What { notification, countedTitle, plainTitle };
  const struct {
    const char* name;
    bool panelShown;
    bool settingsOpen;
    const LinkSite& site;
    What event;
    bool marked;
    const char* posted;  // empty: nothing posted
  } cases[] = {
      {"selected site on screen notifies", true, false, alpha, What::notification, false, ""},
      {"another site notifies", true, false, beta, What::notification, true, "Beta \u2014 New mail|2 messages"},
      {"selected site notifies, panel hidden", false, false, alpha, What::notification, true,
       "Alpha Docs \u2014 New mail|2 messages"},
      {"selected site notifies behind the settings", true, true, alpha, What::notification, true,
       "Alpha Docs \u2014 New mail|2 messages"},
      {"hidden site's title gets a count", false, false, beta, What::countedTitle, true, ""},
      {"shown site's title gets a count", true, false, alpha, What::countedTitle, false, ""},
      {"hidden site's title without a count", false, false, beta, What::plainTitle, false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PanelFixture fx{{alpha, beta, gamma}};
    VeskViewState state{*fx.model, fx.services(), [] {}};
    NoticeLog log(*fx.model);
    state.browser.view(c.site);
    state.browser.activate(c.site);
    if (c.panelShown) state.appeared();
    if (c.settingsOpen) state.openSettings();
    FakeWebPage& page = *fx.pages.pages.at(0);
    switch (c.event) {
      case What::notification:
        page.notify(PageNotification{"tag:mail", "New mail", "2 messages", std::nullopt});
        break;
      case What::countedTitle:
        page.retitle("(3) Inbox");
        break;
      case What::plainTitle:
        page.retitle("Inbox");
        break;
    }
    EXPECT_EQ(fx.model->unreadSites->count(c.site.id) > 0, c.marked);
    EXPECT_EQ(log.posted,
              std::string(c.posted).empty() ? std::vector<std::string>{} : std::vector<std::string>{c.posted});
  }
}

TEST_F(StateTest, TheMarkLastsUntilTheSiteIsShownAndFollowsTheTitlesCount) {
  state.browser.view(beta);
  FakeWebPage& page = *fx.pages.pages.at(0);
  auto marked = [&] { return fx.model->unreadSites->count(beta.id) > 0; };

  page.retitle("(3) Inbox");
  EXPECT_TRUE(marked());
  state.appeared();
  EXPECT_TRUE(marked()) << "another site is on screen";
  fx.model->select(beta);
  EXPECT_FALSE(marked()) << "shown, so seen";

  fx.model->select(alpha);
  page.retitle("(3) Inbox \u2013 Mail");
  page.retitle("(2) Inbox");
  EXPECT_FALSE(marked()) << "a count that stays or shrinks is nothing new";
  page.retitle("[12] Inbox");
  EXPECT_TRUE(marked()) << "a count that grows is";
  page.retitle("Inbox");
  EXPECT_FALSE(marked()) << "no count left: nothing unread";

  // Marked while the panel is hidden, cleared when the panel shows the site again.
  page.notify(PageNotification{"id:1", "Hello", "", std::nullopt});
  EXPECT_TRUE(marked());
  state.disappeared();
  fx.model->select(beta);
  EXPECT_TRUE(marked()) << "selected while the panel is hidden: not seen yet";
  state.appeared();
  EXPECT_FALSE(marked());
}

TEST_F(StateTest, ANotificationClosedByThePageIsWithdrawnAndAClickReachesThePage) {
  NoticeLog log(*fx.model);
  state.browser.view(beta);
  FakeWebPage& page = *fx.pages.pages.at(0);
  page.notify(PageNotification{"tag:chat", "", "Hi", std::nullopt});
  EXPECT_EQ(log.posted, std::vector<std::string>{"Beta|Hi"}) << "no title: the site's name alone";
  page.closeNotification("tag:chat");
  EXPECT_EQ(log.withdrawn, std::vector<std::string>{"tag:chat"});
  fx.model->noteSiteNoticeOpened(beta.id, "tag:chat");
  EXPECT_EQ(page.clickedNotifications, std::vector<std::string>{"tag:chat"});
}

}  // namespace
}  // namespace vesk
