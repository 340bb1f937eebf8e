#include "browser/browser_store.h"

#include <gtest/gtest.h>

#include "browser/fakes.h"
#include "model/constants.h"

namespace vesk {
namespace {

using testing::FakeWebPage;

class BrowserStoreTest : public ::testing::Test {
 protected:
  FakeWebPage& page(const LinkSite& site) { return static_cast<FakeWebPage&>(store.view(site)); }
  // Shows the site the way the host does: page first, then activation.
  FakeWebPage& show(const LinkSite& site) {
    FakeWebPage& shown = page(site);
    store.activate(site);
    return shown;
  }

  testing::FakePageFactory factory;
  testing::FakeClipboard clipboard;
  testing::FakeWorkspace workspace;
  BrowserStore store{factory, clipboard, workspace};
  LinkSite a{"A", "https://a.example/start"};
  LinkSite b{"B", "https://b.example/"};
};

TEST_F(BrowserStoreTest, StartsEmptyAndCreatesNoPageUntilAsked) {
  EXPECT_FALSE(store.canGoBack());
  EXPECT_FALSE(store.canGoForward());
  EXPECT_FALSE(store.isLoading());
  EXPECT_FALSE(store.errorText());
  EXPECT_FALSE(store.requiresExternalSignIn());
  EXPECT_FALSE(store.currentAddress());
  EXPECT_FALSE(store.activeID());
  EXPECT_TRUE(factory.pages.empty());
}

TEST_F(BrowserStoreTest, ViewTwiceForTheSameSiteReturnsTheSamePageWithoutReloading) {
  FakeWebPage& first = page(a);
  FakeWebPage& second = page(a);
  EXPECT_EQ(&first, &second);
  EXPECT_EQ(factory.pages.size(), 1u);
  EXPECT_EQ(first.loads, std::vector<std::string>{"https://a.example/start"});
}

TEST_F(BrowserStoreTest, EachSiteGetsItsOwnPage) {
  EXPECT_NE(&page(a), &page(b));
  EXPECT_EQ(factory.pages.size(), 2u);
}

TEST_F(BrowserStoreTest, ChangedAddressReloadsTheSamePage) {
  FakeWebPage& original = page(a);
  a.address = "https://a.example/edited";
  FakeWebPage& again = page(a);
  EXPECT_EQ(&original, &again);
  EXPECT_EQ(original.loads, (std::vector<std::string>{"https://a.example/start", "https://a.example/edited"}));
  page(a);
  EXPECT_EQ(original.loads.size(), 2u);
}

TEST_F(BrowserStoreTest, AddressThatDoesNotParseLoadsNothingAndIsNotRetried) {
  LinkSite broken{"Broken", "not an address"};
  FakeWebPage& blank = page(broken);
  EXPECT_TRUE(blank.loads.empty());
  page(broken);
  EXPECT_TRUE(blank.loads.empty());
  // Editing it into a valid address loads it in the same page.
  broken.address = "https://fixed.example/";
  EXPECT_EQ(&page(broken), &blank);
  EXPECT_EQ(blank.loads, std::vector<std::string>{"https://fixed.example/"});
}

TEST_F(BrowserStoreTest, ActivateClearsFlagsAndPublishesThePageState) {
  FakeWebPage& pageA = show(a);
  pageA.fail("g-io-error-quark", 39, "Connection refused");
  pageA.navigate("https://accounts.google.com/signin");
  ASSERT_TRUE(store.requiresExternalSignIn());

  FakeWebPage& pageB = page(b);
  pageB.back = true;
  pageB.loading = true;
  pageB.address = "https://b.example/inner";
  store.activate(b);
  EXPECT_EQ(store.activeID(), b.id);
  EXPECT_FALSE(store.errorText());
  EXPECT_FALSE(store.requiresExternalSignIn());
  EXPECT_TRUE(store.canGoBack());
  EXPECT_FALSE(store.canGoForward());
  EXPECT_TRUE(store.isLoading());
  EXPECT_EQ(store.currentAddress(), "https://b.example/inner");
}

TEST_F(BrowserStoreTest, ActivatingASiteWithoutAPageCreatesNoneAndPublishesNothing) {
  show(a).address = "https://a.example/start";
  store.activate(a);
  ASSERT_TRUE(store.currentAddress());
  store.activate(b);
  EXPECT_EQ(factory.pages.size(), 1u);
  EXPECT_EQ(store.activeID(), b.id);
  EXPECT_FALSE(store.currentAddress());
  EXPECT_FALSE(store.canGoBack());
}

TEST_F(BrowserStoreTest, PublishedFieldsNotifyOnEveryAssignmentEvenWhenUnchanged) {
  int loadingNotices = 0, errorNotices = 0;
  auto loading = store.isLoading.observe([&](bool) { ++loadingNotices; });
  auto error = store.errorText.observe([&](const auto&) { ++errorNotices; });
  show(a);
  store.activate(a);
  EXPECT_EQ(loadingNotices, 2);
  EXPECT_EQ(errorNotices, 2);
}

TEST_F(BrowserStoreTest, StateIsReadOnlyWhenTheActivePageReportsOrTheSiteIsActivated) {
  FakeWebPage& active = show(a);
  active.back = true;
  active.address = "https://a.example/next";
  EXPECT_FALSE(store.canGoBack());  // commands and page changes alone publish nothing
  store.goBack();
  EXPECT_FALSE(store.canGoBack());
  active.start();
  EXPECT_TRUE(store.canGoBack());
  EXPECT_EQ(store.currentAddress(), "https://a.example/next");
}

TEST_F(BrowserStoreTest, CommandsGoToTheActivePageOnly) {
  store.goBack();
  store.goForward();
  store.reload();  // no active site: nothing happens
  FakeWebPage& inactive = page(b);
  FakeWebPage& active = show(a);
  store.goBack();
  store.goForward();
  store.goForward();
  store.reload();
  EXPECT_EQ(active.backCount, 1);
  EXPECT_EQ(active.forwardCount, 2);
  EXPECT_EQ(active.reloadCount, 1);
  EXPECT_EQ(inactive.backCount + inactive.forwardCount + inactive.reloadCount, 0);
}

TEST_F(BrowserStoreTest, ZoomReachesEveryExistingPageAndPagesMadeLater) {
  FakeWebPage& early = page(a);
  EXPECT_EQ(early.zoom, 1.0);
  show(b);
  store.setZoom(1.25);
  EXPECT_EQ(early.zoom, 1.25);  // inactive
  EXPECT_EQ(factory.pages[1]->zoom, 1.25);
  LinkSite later{"C", "https://c.example/"};
  EXPECT_EQ(page(later).zoom, 1.25);
  EXPECT_EQ(store.zoom(), 1.25);
}

TEST_F(BrowserStoreTest, CopyUsesTheLiveAddressOnlyForTheActiveSite) {
  FakeWebPage& active = show(a);
  active.address = "https://a.example/deep/page";
  FakeWebPage& inactive = page(b);
  inactive.address = "https://b.example/somewhere/else";
  LinkSite never{"Never shown", "https://never.example/"};

  store.copyCurrentAddress(a);
  store.copyCurrentAddress(b);
  store.copyCurrentAddress(never);
  active.address.reset();
  store.copyCurrentAddress(a);
  EXPECT_EQ(clipboard.texts, (std::vector<std::string>{"https://a.example/deep/page", "https://b.example/",
                                                       "https://never.example/", "https://a.example/start"}));
}

TEST_F(BrowserStoreTest, StartAndFinishOfTheActivePageClearFlagsAndRefresh) {
  FakeWebPage& active = show(a);
  active.fail("g-io-error-quark", 39, "Could not connect: Connection refused");
  active.navigate("https://accounts.google.com/");
  active.loading = true;
  active.start();
  EXPECT_FALSE(store.errorText());
  EXPECT_FALSE(store.requiresExternalSignIn());
  EXPECT_TRUE(store.isLoading());

  active.fail("g-io-error-quark", 39, "Could not connect: Connection refused");
  active.loading = false;
  active.finish();
  EXPECT_FALSE(store.errorText());
  EXPECT_FALSE(store.isLoading());
}

TEST_F(BrowserStoreTest, ReportsOfInactivePagesAreIgnored) {
  FakeWebPage& inactive = page(b);
  FakeWebPage& active = show(a);
  active.fail("g-io-error-quark", 39, "Connection refused");
  inactive.loading = true;
  inactive.address = "https://b.example/moved";
  inactive.start();
  inactive.finish();
  inactive.fail("g-io-error-quark", 24, "Timed out");
  EXPECT_EQ(store.errorText(), "Connection refused");
  EXPECT_FALSE(store.isLoading());
  EXPECT_FALSE(store.currentAddress());
}

TEST_F(BrowserStoreTest, AWebProcessThatEndedWhileHiddenShowsAsAnErrorWhenTheSiteReturns) {
  FakeWebPage& pageA = show(a);
  show(b);
  LoadError crash{std::string(LoadErrorKind::processDomain), LoadErrorKind::processCrashed,
                  std::string(strings::pageCrashed())};
  pageA.ended = crash;
  pageA.fail(crash.domain, crash.code, crash.message);
  EXPECT_FALSE(store.errorText());  // not the shown site
  store.activate(a);
  EXPECT_EQ(store.errorText(), strings::pageCrashed());
  pageA.ended.reset();  // reloaded
  store.activate(b);
  store.activate(a);
  EXPECT_FALSE(store.errorText());
}

struct FailureCase {
  const char* name;
  std::string domain;
  int code;
  std::string message;
  bool shown;
};

class BrowserStoreFailureTest : public BrowserStoreTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(BrowserStoreFailureTest, OnlyRealFailuresOfTheActivePageBecomeErrorText) {
  const FailureCase& failure = GetParam();
  FakeWebPage& active = show(a);
  active.back = true;
  active.fail(failure.domain, failure.code, failure.message);
  EXPECT_EQ(store.errorText(), failure.shown ? std::optional<std::string>(failure.message) : std::nullopt);
  EXPECT_TRUE(store.canGoBack());  // every failure republishes the state
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, BrowserStoreFailureTest,
    ::testing::Values(FailureCase{"Cancelled", "WebKitNetworkError", 302, "Load request cancelled", false},
                      FailureCase{"InterruptedByPolicy", "WebKitPolicyError", 102, "Frame load was interrupted", false},
                      FailureCase{"ConnectionRefused", "g-io-error-quark", 39, "Could not connect: Connection refused",
                                  true},
                      FailureCase{"TimedOut", std::string(LoadErrorKind::timeoutDomain), LoadErrorKind::timedOut,
                                  std::string(strings::requestTimedOut()), true},
                      FailureCase{"WebProcessEnded", std::string(LoadErrorKind::processDomain),
                                  LoadErrorKind::processCrashed, std::string(strings::pageCrashed()), true},
                      FailureCase{"OtherNetworkError", "WebKitNetworkError", 399, "Load request failed", true},
                      FailureCase{"CancelledCodeInAnotherDomain", "g-io-error-quark", 302, "Something else", true},
                      FailureCase{"PolicyCodeInAnotherDomain", "WebKitNetworkError", 102, "Something else", true}),
    [](const auto& info) { return info.param.name; });

TEST_F(BrowserStoreTest, SignInHostIsRefusedAndFlaggedForTheActiveSite) {
  FakeWebPage& active = show(a);
  active.fail("g-io-error-quark", 39, "Connection refused");
  EXPECT_EQ(active.navigate("https://accounts.google.com/ServiceLogin?continue=x"), PolicyDecision::cancel);
  EXPECT_TRUE(store.requiresExternalSignIn());
  EXPECT_FALSE(store.errorText());
  store.activate(b);
  EXPECT_FALSE(store.requiresExternalSignIn());
}

TEST_F(BrowserStoreTest, SignInHostMatchesIgnoringCaseWithPortOrUserInfo) {
  FakeWebPage& active = show(a);
  for (const char* address :
       {"HTTPS://ACCOUNTS.GOOGLE.COM/", "https://Accounts.Google.com:443/x", "http://user:pw@accounts.google.com/",
        "wss://accounts.google.com/", "https://accounts.google.com./", "HTTPS://Accounts.Google.COM.:443/x"}) {
    store.activate(a);
    EXPECT_EQ(active.navigate(address), PolicyDecision::cancel) << address;
    EXPECT_TRUE(store.requiresExternalSignIn()) << address;
  }
  EXPECT_TRUE(workspace.opened.empty());
}

TEST_F(BrowserStoreTest, OnlyThePageItselfIsKeptOffTheSignInHost) {
  struct Case {
    const char* name;
    NavigationFrame frame;
    bool guarded;  // the engine keeps the page off the sign-in host by itself
    PolicyDecision decision;
  };
  const Case cases[] = {
      {"main frame", NavigationFrame::main, false, PolicyDecision::cancel},
      {"main frame, guarded", NavigationFrame::main, true, PolicyDecision::cancel},
      {"embedded frame", NavigationFrame::sub, false, PolicyDecision::allow},
      {"unknown frame", NavigationFrame::unknown, false, PolicyDecision::cancel},
      {"unknown frame, guarded", NavigationFrame::unknown, true, PolicyDecision::allow},
  };
  for (const Case& c : cases) {
    FakeWebPage& active = show(a);
    active.guardsSignIn = c.guarded;
    EXPECT_EQ(active.navigate("https://accounts.google.com/gsi/button", false, c.frame), c.decision) << c.name;
    EXPECT_EQ(store.requiresExternalSignIn(), c.decision == PolicyDecision::cancel) << c.name;
  }
  // An embedded frame still follows the scheme rules: no desktop program without a click.
  FakeWebPage& active = show(a);
  EXPECT_EQ(active.navigate("mailto:x@example.com", false, NavigationFrame::sub), PolicyDecision::cancel);
  EXPECT_TRUE(workspace.opened.empty());
}

TEST_F(BrowserStoreTest, ALoadTheEngineKeptOffTheSignInHostFlagsOnlyTheActiveSite) {
  FakeWebPage& inactive = page(b);
  FakeWebPage& active = show(a);
  const std::string domain(LoadErrorKind::signInRefusedDomain);
  inactive.fail(domain, LoadErrorKind::signInRefused, "blocked");
  EXPECT_FALSE(store.requiresExternalSignIn());
  active.fail("g-io-error-quark", 39, "Connection refused");
  active.start();
  active.fail(domain, LoadErrorKind::signInRefused, "blocked");
  EXPECT_TRUE(store.requiresExternalSignIn());
  EXPECT_FALSE(store.errorText());
}

TEST_F(BrowserStoreTest, ForgettingSitesClosesTheirPagesForGood) {
  FakeWebPage& pageA = page(a);
  FakeWebPage& pageB = show(b);
  pageB.back = pageB.loading = true;
  pageB.address = b.address;
  pageB.fail("g-io-error-quark", 39, "Connection refused");
  std::vector<bool> loading;
  auto watch = store.isLoading.observe([&](bool value) { loading.push_back(value); });

  store.forgetSites({a});
  EXPECT_TRUE(factory.isClosed(&pageB));
  EXPECT_FALSE(factory.isClosed(&pageA));
  EXPECT_TRUE(store.isForgotten(b.id));
  // The shown site's page is gone: the state is that of no page.
  EXPECT_FALSE(store.activeID());
  EXPECT_EQ(loading, std::vector<bool>{false});
  EXPECT_FALSE(store.canGoBack());
  EXPECT_FALSE(store.currentAddress());
  EXPECT_FALSE(store.errorText());
  store.reload();

  // Forgetting an inactive page leaves the shown one and its state alone.
  show(a);
  LinkSite c{"C", "https://c.example/"};
  FakeWebPage& pageC = page(c);
  loading.clear();
  store.forgetSites({a});
  EXPECT_TRUE(factory.isClosed(&pageC));
  EXPECT_TRUE(loading.empty());
  EXPECT_EQ(store.activeID(), a.id);

  store.forgetSites({a, b});
  EXPECT_FALSE(store.isForgotten(b.id));  // back in the list: a page is made again when asked
  page(b);
  EXPECT_EQ(factory.pages.size(), 4u);
}

TEST_F(BrowserStoreTest, HostsThatOnlyResembleTheSignInHostStayInside) {
  FakeWebPage& active = show(a);
  for (const char* address :
       {"https://mail.accounts.google.com/", "https://myaccounts.google.com/", "https://accounts.google.com.example/",
        "https://google.com/accounts.google.com", "https://accounts.google.com../", "https://.accounts.google.com/"}) {
    EXPECT_EQ(active.navigate(address), PolicyDecision::allow) << address;
  }
  EXPECT_FALSE(store.requiresExternalSignIn());
}

TEST_F(BrowserStoreTest, SignInHostInAnInactivePageIsCancelledWithoutTouchingTheFlags) {
  FakeWebPage& inactive = page(b);
  FakeWebPage& active = show(a);
  active.fail("g-io-error-quark", 39, "Connection refused");
  EXPECT_EQ(inactive.navigate("https://accounts.google.com/", false), PolicyDecision::cancel);
  EXPECT_FALSE(store.requiresExternalSignIn());
  EXPECT_EQ(store.errorText(), "Connection refused");
}

TEST_F(BrowserStoreTest, AllowedSchemesAndAddressesWithoutSchemeStayInside) {
  FakeWebPage& active = show(a);
  for (const char* address : {"http://x.example/", "https://x.example/", "HTTPS://X.EXAMPLE/", "about:blank",
                              "blob:https://x.example/5a1c", "data:text/html,<p>hi there</p>", "relative/path"}) {
    EXPECT_EQ(active.navigate(address, false), PolicyDecision::allow) << address;
  }
  EXPECT_TRUE(workspace.opened.empty());
}

TEST_F(BrowserStoreTest, NavigationWithoutAnAddressIsCancelledSilently) {
  FakeWebPage& active = show(a);
  EXPECT_EQ(active.navigate(std::nullopt), PolicyDecision::cancel);
  EXPECT_FALSE(store.requiresExternalSignIn());
  EXPECT_TRUE(workspace.opened.empty());
}

TEST_F(BrowserStoreTest, OtherSchemesGoToTheDesktopOnlyWhenTheUserStartedThem) {
  FakeWebPage& active = show(a);
  FakeWebPage& inactive = page(b);
  EXPECT_EQ(active.navigate("mailto:someone@example.com", true), PolicyDecision::cancel);
  EXPECT_EQ(active.navigate("mailto:script@example.com", false), PolicyDecision::cancel);
  EXPECT_EQ(active.navigate("zoommtg://zoom.us/join?confno=1", true), PolicyDecision::cancel);
  EXPECT_EQ(active.navigate("steam://run/1", false), PolicyDecision::cancel);
  EXPECT_EQ(inactive.navigate("MAILTO:other@example.com", true), PolicyDecision::cancel);
  EXPECT_EQ(workspace.opened, (std::vector<std::string>{"mailto:someone@example.com", "zoommtg://zoom.us/join?confno=1",
                                                        "MAILTO:other@example.com"}));
}

TEST_F(BrowserStoreTest, LocalFilesAreNeverOpenedNorShown) {
  FakeWebPage& active = show(a);
  EXPECT_EQ(active.navigate("file:///usr/bin/xterm", true), PolicyDecision::cancel);
  EXPECT_EQ(active.navigate("FILE:///etc/passwd", false), PolicyDecision::cancel);
  EXPECT_TRUE(workspace.opened.empty());
}

TEST_F(BrowserStoreTest, NewWindowRequestsLoadInTheRequestingPage) {
  FakeWebPage& inactive = page(b);
  FakeWebPage& active = show(a);
  // Each page shows its site and asks by itself.
  inactive.address = b.address;
  active.address = a.address;
  active.requestNewWindow("https://elsewhere.example/popup");
  inactive.requestNewWindow("https://b.example/popup");
  active.requestNewWindow("");
  EXPECT_EQ(active.loads.back(), "https://elsewhere.example/popup");
  EXPECT_EQ(active.loads.size(), 2u);
  EXPECT_EQ(inactive.loads.back(), "https://b.example/popup");
  EXPECT_EQ(factory.pages.size(), 2u);
}

TEST_F(BrowserStoreTest, NewWindowRequestsAreDecidedWithTheirOwnGesture) {
  FakeWebPage& active = show(a);
  active.requestNewWindow("mailto:script@example.com", false);
  active.requestNewWindow("mailto:clicked@example.com", true);
  active.requestNewWindow("file:///etc/passwd", true);
  active.requestNewWindow("https://accounts.google.com./", true);
  EXPECT_EQ(workspace.opened, std::vector<std::string>{"mailto:clicked@example.com"});
  EXPECT_EQ(active.loads.size(), 1u);  // the site itself: nothing refused was loaded
  EXPECT_TRUE(store.requiresExternalSignIn());
}

TEST_F(BrowserStoreTest, APageThatReportsFromInsideItsFirstLoadIsAlreadyTheActivePage) {
  factory.onCreate = [](FakeWebPage& made) {
    made.onLoad = [&made](const std::string& address) {
      made.loading = true;
      made.address = address;
      made.start();
    };
  };
  store.activate(a);
  page(a);
  EXPECT_TRUE(store.isLoading());
  EXPECT_EQ(store.currentAddress(), "https://a.example/start");
}

TEST(SplitAddressTest, ReadsSchemeAndHostAsThePolicyNeedsThem) {
  auto parts = splitAddress("HTTPS://User:Pw@Sub.Example.COM:8443/a?b#c");
  EXPECT_EQ(parts.scheme, "https");
  EXPECT_EQ(parts.host, "sub.example.com");
  parts = splitAddress("http://[::1]:8080/");
  EXPECT_EQ(parts.host, "[::1]");
  parts = splitAddress("mailto:a@b.example");
  EXPECT_EQ(parts.scheme, "mailto");
  EXPECT_FALSE(parts.host);
  parts = splitAddress("//host.example/path");
  EXPECT_FALSE(parts.scheme);
  EXPECT_EQ(parts.host, "host.example");
  parts = splitAddress("1http://x");
  EXPECT_FALSE(parts.scheme);
  parts = splitAddress("https://x%41.example/");
  EXPECT_EQ(parts.host, "x%41.example");
}

// One download per site at a time, each site on its own; a failure is said until the next
// download, a cancel is not; a removed site's download leaves the list.
TEST_F(BrowserStoreTest, DownloadsRunOnePerSiteAndLeaveTheListWhenTheyEnd) {
  FakeWebPage& pageA = page(a);
  FakeWebPage& pageB = page(b);
  EXPECT_TRUE(pageA.delegate.pageMayDownload(pageA, "one.zip"));
  EXPECT_FALSE(pageA.delegate.pageMayDownload(pageA, "two.zip"));
  ASSERT_TRUE(store.downloadNotice());
  EXPECT_NE(store.downloadNotice()->find("“two.zip” was not downloaded"), std::string::npos);
  EXPECT_TRUE(pageB.delegate.pageMayDownload(pageB, "other.zip"));
  EXPECT_FALSE(store.downloadNotice()) << "a download that starts clears the last notice";
  pageA.delegate.pageDownloadProgressed(pageA, DownloadProgress{"one.zip", 5, 10});
  ASSERT_EQ(store.downloads().size(), 2u);
  EXPECT_EQ(store.downloads()[0].site, a.id);
  EXPECT_EQ(store.downloads()[0].progress.received, 5u);
  EXPECT_EQ(store.downloads()[1].progress.name, "other.zip");

  store.cancelDownload(a.id);
  EXPECT_EQ(pageA.downloadCancels, 1);
  pageA.delegate.pageDownloadEnded(pageA, DownloadReport{"/d/one.zip", false, true, ""});
  EXPECT_FALSE(store.downloadNotice());
  ASSERT_EQ(store.downloads().size(), 1u);
  EXPECT_TRUE(pageA.delegate.pageMayDownload(pageA, "again.zip"));
  pageA.delegate.pageDownloadEnded(pageA, DownloadReport{"/d/again.zip", false, false, "It failed."});
  EXPECT_EQ(store.downloadNotice(), "It failed.");

  store.forgetSites({a});
  EXPECT_TRUE(store.downloads().empty());
}

// Live pages kept to a limit of two, so the third site shown releases one.
class LivePageLimitTest : public ::testing::Test {
 protected:
  FakeWebPage& show(const LinkSite& site) {
    auto& shown = static_cast<FakeWebPage&>(store.view(site));
    store.activate(site);
    return shown;
  }
  FakeWebPage* pageOf(const LinkSite& site) {
    return store.isLive(site.id) ? &static_cast<FakeWebPage&>(store.view(site)) : nullptr;
  }

  testing::FakePageFactory factory;
  testing::FakeClipboard clipboard;
  testing::FakeWorkspace workspace;
  BrowserStore store{factory, clipboard, workspace, 2};
  LinkSite a{"A", "https://a.example/"};
  LinkSite b{"B", "https://b.example/"};
  LinkSite c{"C", "https://c.example/"};
};

TEST(LivePageDefaultTest, EightSitesShownInTurnAllStayAliveAndLoadOnce) {
  testing::FakePageFactory factory;
  testing::FakeClipboard clipboard;
  testing::FakeWorkspace workspace;
  BrowserStore store{factory, clipboard, workspace};
  std::vector<LinkSite> sites;
  for (int i = 0; i < 8; ++i) sites.emplace_back("S", "https://s" + std::to_string(i) + ".example/");
  for (int round = 0; round < 3; ++round) {
    for (const auto& site : sites) {
      store.view(site);
      store.activate(site);
    }
  }
  ASSERT_EQ(factory.pages.size(), 8u);
  for (auto* page : factory.pages) {
    EXPECT_FALSE(factory.isClosed(page));
    EXPECT_EQ(page->loads.size(), 1u);
  }
}

TEST_F(LivePageLimitTest, TheLeastRecentlyShownHiddenPageIsReleasedAndComesBackWithItsHistory) {
  FakeWebPage& pageA = show(a);
  pageA.history = "history of a";
  show(b).history = "history of b";
  show(a);  // b is now the least recently shown
  show(c);
  EXPECT_TRUE(store.isLive(a.id));
  EXPECT_FALSE(store.isLive(b.id));
  EXPECT_TRUE(store.isLive(c.id));

  FakeWebPage& back = show(b);
  EXPECT_EQ(back.restored, std::vector<std::string>{"history of b"});
  EXPECT_TRUE(back.loads.empty());  // the history's own entry loads, not the site's address
  EXPECT_EQ(store.activeID(), b.id);
  EXPECT_FALSE(store.isLive(a.id));  // a was now the least recently shown
  EXPECT_EQ(factory.pages.size(), 4u);
}

TEST_F(LivePageLimitTest, AReleasedPageWithoutHistoryOrWithAnEditedAddressLoadsTheAddress) {
  show(a);  // no history
  show(b).history = "history of b";
  show(c);
  EXPECT_EQ(show(a).loads, std::vector<std::string>{"https://a.example/"});
  b.address = "https://b.example/edited";
  FakeWebPage& edited = show(b);
  EXPECT_EQ(edited.restored, std::vector<std::string>{"history of b"});
  EXPECT_EQ(edited.loads, std::vector<std::string>{"https://b.example/edited"});
}

TEST_F(LivePageLimitTest, TheShownPageAndADownloadingPageAreNeverReleased) {
  FakeWebPage& pageA = show(a);
  ASSERT_TRUE(pageA.delegate.pageMayDownload(pageA, "big.iso"));
  show(b);
  show(c);  // a downloads, so b goes although a is older
  EXPECT_TRUE(store.isLive(a.id));
  EXPECT_FALSE(store.isLive(b.id));
  EXPECT_EQ(pageA.downloadCancels, 0);
  pageA.delegate.pageDownloadEnded(pageA, DownloadReport{"/tmp/big.iso", true, false, "saved"});
  show(b);  // the download ended: a is the oldest hidden page now (and pageA is gone)
  EXPECT_FALSE(store.isLive(a.id));
  EXPECT_TRUE(store.isLive(c.id));
}

// "Use less memory" changed: the hidden pages go (their history kept), so each site's next page is
// made the new way; the shown page and a downloading one stay. Telling the same again releases nothing.
TEST_F(LivePageLimitTest, ChangingProcessSharingReleasesTheHiddenPagesOnly) {
  BrowserStore wide{factory, clipboard, workspace};
  auto showIn = [&](const LinkSite& site) -> FakeWebPage& {
    auto& page = static_cast<FakeWebPage&>(wide.view(site));
    wide.activate(site);
    return page;
  };
  FakeWebPage& pageA = showIn(a);
  ASSERT_TRUE(pageA.delegate.pageMayDownload(pageA, "big.iso"));
  showIn(b).history = "history of b";
  showIn(c);
  for (bool shared : {true, true}) wide.setSharedWebProcess(shared);
  EXPECT_EQ(factory.sharing, (std::vector<bool>{true, true}));
  EXPECT_TRUE(wide.isLive(a.id));
  EXPECT_FALSE(wide.isLive(b.id));
  EXPECT_TRUE(wide.isLive(c.id));
  EXPECT_EQ(showIn(b).restored, std::vector<std::string>{"history of b"});
}

// "Try again" on a page whose web process ended: reloaded in place, except while sharing, where
// the page is made again from its history (a page reloaded in place gets a process of its own).
TEST_F(LivePageLimitTest, TryAgainAfterTheProcessEndedMakesThePageAgainOnlyWhileSharing) {
  for (bool shared : {false, true}) {
    SCOPED_TRACE(shared);
    BrowserStore own{factory, clipboard, workspace};
    own.setSharedWebProcess(shared);
    auto& page = static_cast<FakeWebPage&>(own.view(a));
    own.activate(a);
    page.history = "history of a";
    page.ended = LoadError{std::string(LoadErrorKind::processDomain), LoadErrorKind::processCrashed, "crashed"};
    own.reload();
    auto& now = static_cast<FakeWebPage&>(own.view(a));
    EXPECT_EQ(&now != &page, shared);
    EXPECT_EQ(now.restored, shared ? std::vector<std::string>{"history of a"} : std::vector<std::string>{});
    EXPECT_EQ(factory.isClosed(&page), shared);
    if (!shared) {
      EXPECT_EQ(page.reloadCount, 1);  // (a closed page is not read)
    }
  }
}

TEST_F(LivePageLimitTest, ARemovedSiteWhosePageWasReleasedIsForgotten) {
  show(a).history = "history of a";
  show(b);
  show(c);
  ASSERT_FALSE(store.isLive(a.id));
  store.forgetSites({b, c});
  EXPECT_TRUE(store.isForgotten(a.id));
}

}  // namespace
}  // namespace vesk

namespace vesk {
namespace {

// A page's permission request: answered from the stored answers, else it waits, shown only while
// its site is active, until the user answers or its page goes away, which refuses it.
TEST(BrowserStorePermissions, RequestsWaitForTheirSiteAndAreRefusedWhenTheirPageGoes) {
  enum class End { allow, block, siteRemoved, pageReleased, processEnded, newDocument, storeClosed };
  const std::vector<std::pair<End, std::optional<bool>>> cases{
      {End::allow, true},         {End::block, false},       {End::siteRemoved, false}, {End::pageReleased, false},
      {End::processEnded, false}, {End::newDocument, false}, {End::storeClosed, false},
  };
  for (const auto& [end, expected] : cases) {
    testing::FakePageFactory factory;
    testing::FakeClipboard clipboard;
    testing::FakeWorkspace workspace;
    auto store = std::make_unique<BrowserStore>(factory, clipboard, workspace, 1);
    LinkSite a{"A", "https://a.example/"}, b{"B", "http://127.0.0.1:8080/"};
    store->view(a);
    store->activate(a);
    auto& pageB = static_cast<FakeWebPage&>(store->view(b));  // made, not shown: stays alive while A is
    std::optional<bool> answer;
    auto ask = [&](FakeWebPage& page, std::string origin, std::vector<PermissionKind> kinds) {
      page.delegate.pageRequestsPermission(
          page, {kinds, origin, origin.substr(origin.find("//") + 2), [&answer](bool allow) { answer = allow; }});
    };
    ask(pageB, "http://127.0.0.1:8080", {PermissionKind::microphone, PermissionKind::camera});
    EXPECT_FALSE(store->permissionPrompt()) << "a hidden site's request waits unseen";
    EXPECT_EQ(store->waitingPermissions(b.id), 1u);
    store->view(b);
    store->activate(b);
    ASSERT_TRUE(store->permissionPrompt());
    EXPECT_EQ(store->permissionPrompt()->host, "127.0.0.1:8080");
    EXPECT_FALSE(answer) << "nothing is granted before the user answers";
    switch (end) {
      case End::allow:
      case End::block:
        EXPECT_EQ(
            store->answerPermission(end == End::allow ? PermissionAnswer::allow : PermissionAnswer::block)->origin,
            "http://127.0.0.1:8080");
        break;
      case End::siteRemoved:
        store->forgetSites({a});
        break;
      case End::pageReleased:
        store->view(a);
        store->activate(a);  // the limit of one live page releases B
        break;
      case End::processEnded:
        pageB.fail(std::string(LoadErrorKind::processDomain), LoadErrorKind::processCrashed, "ended");
        break;
      case End::newDocument:
        pageB.start();
        break;
      case End::storeClosed:
        store.reset();
        break;
    }
    EXPECT_EQ(answer, expected) << static_cast<int>(end);
    if (store) {
      EXPECT_FALSE(store->permissionPrompt()) << static_cast<int>(end);
      EXPECT_EQ(store->waitingPermissions(b.id), 0u) << static_cast<int>(end);
    }
  }

  // A stored answer is given at once; no origin, no question: refused.
  testing::FakePageFactory factory;
  testing::FakeClipboard clipboard;
  testing::FakeWorkspace workspace;
  BrowserStore store(factory, clipboard, workspace);
  LinkSite a{"A", "https://a.example/"};
  auto& page = static_cast<FakeWebPage&>(store.view(a));
  store.activate(a);
  SitePermissions stored;
  stored.remember("https://a.example", {PermissionKind::notifications}, PermissionAnswer::allow);
  store.setPermissions(stored);
  std::vector<bool> answers;
  for (const char* origin : {"https://a.example", ""}) {
    page.delegate.pageRequestsPermission(
        page, {{PermissionKind::notifications}, origin, "a.example", [&](bool allow) { answers.push_back(allow); }});
  }
  EXPECT_EQ(answers, (std::vector<bool>{true, false}));
  EXPECT_FALSE(store.permissionPrompt());
}

}  // namespace
}  // namespace vesk
