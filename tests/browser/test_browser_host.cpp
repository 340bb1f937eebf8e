#include <gtest/gtest.h>

#include "browser/browser_view.h"
#include "browser/fakes.h"

namespace vesk {
namespace {

// A container that remembers which page it shows and how often it was refilled.
class FakeHolder : public PageHolder {
 public:
  bool isShowing(const WebPage& page) const override { return child == &page; }
  void show(WebPage& page) override {
    child = &page;
    ++fills;
  }
  const WebPage* child = nullptr;
  int fills = 0;
};

class BrowserHostTest : public ::testing::Test {
 protected:
  BrowserHostTest() {
    activations = store.requiresExternalSignIn.observe([this](bool) { ++activationCount; });
  }

  testing::FakePageFactory factory;
  testing::FakeClipboard clipboard;
  testing::FakeWorkspace workspace;
  BrowserStore store{factory, clipboard, workspace};
  // activate() is the only thing that assigns requiresExternalSignIn in these tests.
  Subscription activations;
  int activationCount = 0;
  FakeHolder holder;
  LinkSite a{"A", "https://a.example/"};
  LinkSite b{"B", "https://b.example/"};
};

TEST_F(BrowserHostTest, FirstUpdateShowsTheSitePageAndActivatesIt) {
  updateBrowserHost(holder, a, store);
  ASSERT_EQ(factory.pages.size(), 1u);
  EXPECT_EQ(holder.child, factory.pages[0]);
  EXPECT_EQ(factory.pages[0]->loads, std::vector<std::string>{"https://a.example/"});
  EXPECT_EQ(store.activeID(), a.id);
  EXPECT_EQ(activationCount, 1);
}

TEST_F(BrowserHostTest, UpdatingTwiceForTheSameSiteNeitherRefillsNorReactivates) {
  updateBrowserHost(holder, a, store);
  updateBrowserHost(holder, a, store);
  EXPECT_EQ(holder.fills, 1);
  EXPECT_EQ(activationCount, 1);
  EXPECT_EQ(factory.pages[0]->loads.size(), 1u);
}

TEST_F(BrowserHostTest, AnotherSiteReplacesThePageAndBecomesActive) {
  updateBrowserHost(holder, a, store);
  updateBrowserHost(holder, b, store);
  ASSERT_EQ(factory.pages.size(), 2u);
  EXPECT_EQ(holder.child, factory.pages[1]);
  EXPECT_EQ(store.activeID(), b.id);
  EXPECT_EQ(activationCount, 2);
  // Back to the first site: its page comes back as it was, without a new load.
  updateBrowserHost(holder, a, store);
  EXPECT_EQ(holder.child, factory.pages[0]);
  EXPECT_EQ(factory.pages[0]->loads.size(), 1u);
}

TEST_F(BrowserHostTest, AnAlreadyActiveSiteIsShownButNotActivatedAgain) {
  store.view(a);
  store.activate(a);
  updateBrowserHost(holder, a, store);
  EXPECT_EQ(holder.child, factory.pages[0]);
  EXPECT_EQ(activationCount, 1);
}

TEST_F(BrowserHostTest, EditedAddressReloadsInTheShownPage) {
  updateBrowserHost(holder, a, store);
  a.address = "https://a.example/edited";
  updateBrowserHost(holder, a, store);
  EXPECT_EQ(holder.fills, 1);
  EXPECT_EQ(factory.pages[0]->loads.back(), "https://a.example/edited");
}

TEST_F(BrowserHostTest, SiteWithAnUnparsableAddressGetsAnEmptyPageAndBecomesActive) {
  LinkSite broken{"Broken", "::not a url::"};
  updateBrowserHost(holder, broken, store);
  ASSERT_EQ(factory.pages.size(), 1u);
  EXPECT_EQ(holder.child, factory.pages[0]);
  EXPECT_TRUE(factory.pages[0]->loads.empty());
  EXPECT_EQ(store.activeID(), broken.id);
}

TEST_F(BrowserHostTest, AHostLeftForARemovedSiteDoesNotBringItsPageBack) {
  updateBrowserHost(holder, a, store);
  store.forgetSites({b});
  updateBrowserHost(holder, a, store);
  EXPECT_EQ(factory.pages.size(), 1u);
  EXPECT_FALSE(store.activeID());
}

}  // namespace
}  // namespace vesk
