#include <gtest/gtest.h>

#include "model/app_model.h"
#include "support/memory_settings_store.h"

namespace vesk {
namespace {

using testing::MemorySettingsStore;

class AppModelSites : public ::testing::Test {
 protected:
  void SetUp() override {
    store.seed("vesk.sites.v1", *encodeSites({a, b, c}));
    model = std::make_unique<AppModel>(store);
    store.writes.clear();
    siteNotes = model->sites.observe([this](const auto&) { ++sitesNotifications; });
    selectionNotes = model->selectedID.observe([this](const auto&) { ++selectionNotifications; });
  }
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const auto& s : model->sites()) out.push_back(s.name);
    return out;
  }
  std::vector<LinkSite> storedSites() const { return *decodeSites(*store.data("vesk.sites.v1")); }

  LinkSite a{"A", "https://a.com"}, b{"B", "https://b.com"}, c{"C", "https://c.com"};
  MemorySettingsStore store;
  std::unique_ptr<AppModel> model;
  int sitesNotifications = 0, selectionNotifications = 0;
  Subscription siteNotes, selectionNotes;
};

TEST_F(AppModelSites, SelectStoresTheUpperCaseId) {
  model->select(b);
  EXPECT_EQ(model->selectedID(), b.id);
  EXPECT_EQ(model->selectedSite(), b);
  EXPECT_EQ(store.string("vesk.selected.v1"), b.id.toString());
  EXPECT_EQ(selectionNotifications, 1);
}

TEST_F(AppModelSites, AddAppendsSavesAndSelects) {
  EXPECT_EQ(model->add("  Docs \n", " docs.example.org/x "), std::nullopt);
  ASSERT_EQ(model->sites().size(), 4u);
  const auto& added = model->sites().back();
  EXPECT_EQ(added.name, "Docs");
  EXPECT_EQ(added.address, "https://docs.example.org/x");
  EXPECT_EQ(model->selectedID(), added.id);
  EXPECT_EQ(storedSites(), model->sites());
  EXPECT_EQ(store.string("vesk.selected.v1"), added.id.toString());
  // The list is saved before the selection.
  ASSERT_EQ(store.writes.size(), 2u);
  EXPECT_EQ(store.writes[0].key, "vesk.sites.v1");
  EXPECT_EQ(store.writes[1].key, "vesk.selected.v1");
  EXPECT_EQ(sitesNotifications, 1);
}

TEST_F(AppModelSites, AddNamesBlankSitesAfterTheHost) {
  EXPECT_EQ(model->add(" \t", "news.example.com/today"), std::nullopt);
  EXPECT_EQ(model->sites().back().name, "news.example.com");
}

TEST_F(AppModelSites, AddOfAKnownAddressSelectsItInstead) {
  EXPECT_EQ(model->add("Other name", "b.com"), std::nullopt);  // normalises to https://b.com
  EXPECT_EQ(model->sites().size(), 3u);
  EXPECT_EQ(model->selectedID(), b.id);
  EXPECT_EQ(model->sites()[1].name, "B");
  EXPECT_EQ(store.writesTo("vesk.sites.v1"), 0u);
  // A trailing slash or different case is a different address.
  EXPECT_EQ(model->add("", "https://b.com/"), std::nullopt);
  EXPECT_EQ(model->add("", "https://B.com"), std::nullopt);
  EXPECT_EQ(model->sites().size(), 5u);
}

TEST_F(AppModelSites, AddRejectsInvalidAddressesWithoutChanges) {
  EXPECT_EQ(model->add("X", "ftp://a.com"), "Enter a valid web address.");
  EXPECT_EQ(model->add("X", "   "), "Enter a valid web address.");
  EXPECT_EQ(model->sites().size(), 3u);
  EXPECT_TRUE(store.writes.empty());
  EXPECT_EQ(sitesNotifications, 0);
}

TEST_F(AppModelSites, UpdateChangesNameAndAddressInPlaceAndPublishesOnce) {
  model->select(c);
  store.writes.clear();
  selectionNotifications = 0;
  EXPECT_EQ(model->update(b, " Bee ", "bee.org"), std::nullopt);
  EXPECT_EQ(names(), (std::vector<std::string>{"A", "Bee", "C"}));
  EXPECT_EQ(model->sites()[1].address, "https://bee.org");
  EXPECT_EQ(model->sites()[1].id, b.id);
  EXPECT_EQ(sitesNotifications, 1);  // name and address together
  EXPECT_EQ(selectionNotifications, 0);
  EXPECT_EQ(model->selectedID(), c.id);
  EXPECT_EQ(storedSites(), model->sites());
  // The same address as another record is allowed.
  EXPECT_EQ(model->update(b, "", "https://a.com"), std::nullopt);
  EXPECT_EQ(model->sites()[1].name, "a.com");
}

TEST_F(AppModelSites, UpdateReportsBadAddressesBeforeMissingSites) {
  LinkSite gone("Gone", "https://gone.com");
  EXPECT_EQ(model->update(gone, "X", "https://x.com"), "Site not found.");
  EXPECT_EQ(model->update(gone, "X", "nope"), "Enter a valid web address.");
  EXPECT_EQ(model->update(a, "X", "nope"), "Enter a valid web address.");
  EXPECT_TRUE(store.writes.empty());
}

TEST_F(AppModelSites, RemoveRepointsTheSelectionOnlyWhenItWasRemoved) {
  model->select(b);
  store.writes.clear();
  model->remove(c);
  EXPECT_EQ(model->selectedID(), b.id);
  model->remove(b);
  EXPECT_EQ(model->selectedID(), a.id);
  // The stored selection is not rewritten by remove.
  EXPECT_EQ(store.string("vesk.selected.v1"), b.id.toString());
  model->remove(a);
  EXPECT_FALSE(model->selectedID());
  EXPECT_TRUE(model->sites().empty());
  EXPECT_EQ(store.data("vesk.sites.v1"), "[]");
  // Removing an unknown record still saves.
  model->remove(LinkSite("X", "https://x.com"));
  EXPECT_EQ(store.writesTo("vesk.sites.v1"), 4u);
}

// Callers may hand the actions an element of the model's own list, which the action replaces:
// each must keep what it needs first (the sanitizer build sees a read of the freed list).
TEST_F(AppModelSites, ActionsTakeAnElementOfTheModelsOwnList) {
  model->select(model->sites()[2]);
  EXPECT_EQ(model->selectedID(), c.id);
  model->remove(model->sites()[2]);
  EXPECT_EQ(names(), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(model->selectedID(), a.id);
  model->move(model->sites()[0], 1);
  EXPECT_EQ(names(), (std::vector<std::string>{"B", "A"}));
  EXPECT_EQ(model->update(model->sites()[0], "Bee", "https://b.com"), std::nullopt);
  EXPECT_EQ(names(), (std::vector<std::string>{"Bee", "A"}));
}

TEST_F(AppModelSites, MoveSwapsNeighboursAndIgnoresTheEnds) {
  model->move(a, -1);
  model->move(c, +1);
  model->move(LinkSite("X", "https://x.com"), 1);
  EXPECT_TRUE(store.writes.empty());
  EXPECT_EQ(sitesNotifications, 0);
  model->move(a, 1);
  EXPECT_EQ(names(), (std::vector<std::string>{"B", "A", "C"}));
  model->move(c, -2);  // a swap, not a shift
  EXPECT_EQ(names(), (std::vector<std::string>{"C", "A", "B"}));
  EXPECT_EQ(storedSites(), model->sites());
}

TEST_F(AppModelSites, CycleWrapsBothWaysAndStoresTheSelection) {
  model->select(b);
  model->cycleSite(1);
  EXPECT_EQ(model->selectedID(), c.id);
  model->cycleSite(1);
  EXPECT_EQ(model->selectedID(), a.id);
  model->cycleSite(-1);
  EXPECT_EQ(model->selectedID(), c.id);
  EXPECT_EQ(store.string("vesk.selected.v1"), c.id.toString());
  model->cycleSite(7);  // larger steps wrap as often as needed
  EXPECT_EQ(model->selectedID(), a.id);
  model->cycleSite(-5);
  EXPECT_EQ(model->selectedID(), b.id);
}

// Only the model writes the selection, so it always names a record once loaded: a stored one that
// names none (or none stored) starts from the first record, and cycling counts from there.
TEST_F(AppModelSites, CycleWithoutAMatchingSelectionCountsFromTheFirst) {
  store.seed("vesk.selected.v1", Uuid::random().toString());
  AppModel unknown(store);
  unknown.cycleSite(1);
  EXPECT_EQ(unknown.selectedID(), b.id);
  store.remove("vesk.selected.v1");
  AppModel none(store);
  none.cycleSite(-1);
  EXPECT_EQ(none.selectedID(), c.id);
}

TEST(AppModelCycle, SingleRecordReselectsItAndEmptyListDoesNothing) {
  MemorySettingsStore store;
  LinkSite only("Only", "https://only.com");
  store.seed("vesk.sites.v1", *encodeSites({only}));
  AppModel model(store);
  model.cycleSite(1);
  EXPECT_EQ(model.selectedID(), only.id);
  EXPECT_EQ(store.string("vesk.selected.v1"), only.id.toString());

  MemorySettingsStore empty;
  empty.seed("vesk.sites.v1", "[]");
  AppModel emptyModel(empty);
  emptyModel.cycleSite(1);
  EXPECT_FALSE(emptyModel.selectedID());
  EXPECT_TRUE(empty.writes.empty());
}

TEST_F(AppModelSites, UnreadMarksAreKeptForSavedSitesOnlyAndNeverStored) {
  int published = 0;
  Subscription marks = model->unreadSites.observe([&](const auto&) { ++published; });
  model->markUnread(b.id);
  model->markUnread(b.id);
  model->markUnread(Uuid::random());
  EXPECT_EQ(model->unreadSites(), std::set<Uuid>{b.id});
  EXPECT_EQ(published, 1) << "a site already marked, or not saved, changes nothing";
  model->markUnread(c.id);
  model->markRead(c.id);
  model->remove(b);
  EXPECT_TRUE(model->unreadSites().empty()) << "a removed site takes its mark with it";
  EXPECT_EQ(published, 4);
  for (const auto& write : store.writes) EXPECT_EQ(write.key, "vesk.sites.v1") << "only the removal is stored";
}

}  // namespace
}  // namespace vesk
