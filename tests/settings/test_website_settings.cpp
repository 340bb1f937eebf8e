#include <gtest/gtest.h>

#include "browser/fakes.h"
#include "hotkeys/fake_key_monitor.h"
#include "panel/vesk_view_state.h"
#include "settings/website_settings.h"
#include "support/memory_settings_store.h"

namespace vesk {
namespace {

class WebsitesTest : public ::testing::Test {
 protected:
  testing::MemorySettingsStore store;
  AppModel model{store};
  testing::FakePageFactory pages;
  testing::FakeClipboard clipboard;
  testing::FakeWorkspace workspace;
  testing::FakeKeyMonitor keys;
  // The panel's state holds whether the editor is open and for which site.
  VeskViewState state{model, PanelServices{pages, clipboard, workspace, keys, {}, {}}, {}};
  const VeskViewState::Field<std::optional<LinkSite>>& editing = state.editing;
  const VeskViewState::Field<bool>& isAdding = state.isAdding;

  const LinkSite& site(std::size_t index) const { return model.sites->at(index); }
};

TEST_F(WebsitesTest, TransitionsBetweenListAddingAndEditing) {
  model.requestSettings();
  EXPECT_FALSE(state.siteEditorOpen());
  state.openSiteEditor(std::nullopt);
  EXPECT_TRUE(isAdding());
  EXPECT_FALSE(editing());
  EXPECT_TRUE(state.siteEditorOpen());

  state.openSiteEditor(site(1));
  EXPECT_FALSE(isAdding());
  EXPECT_EQ(editing()->id, site(1).id);

  state.openSiteEditor(site(2));
  EXPECT_EQ(editing()->id, site(2).id);

  state.closeSiteEditor();
  EXPECT_FALSE(state.siteEditorOpen());
  EXPECT_EQ(state.screen(), PanelScreen::settings);  // cancel keeps the settings screen

  state.openSiteEditor(std::nullopt);
  state.siteSaved();
  EXPECT_FALSE(state.siteEditorOpen());
  EXPECT_EQ(state.screen(), PanelScreen::browsing);  // a save leaves it
}

TEST_F(WebsitesTest, EditorFillsOnAppearAndRefillsOnlyWhenTheSiteChanges) {
  SiteEditorState editor(model, site(0));
  EXPECT_EQ(editor.title(), "Edit website");
  EXPECT_EQ(editor.saveCaption(), "Save changes");
  EXPECT_EQ(editor.name, "");
  editor.appear();
  EXPECT_EQ(editor.name, "ChatGPT");
  EXPECT_EQ(editor.address, site(0).address);

  editor.address = "not an address";
  EXPECT_FALSE(editor.save());
  EXPECT_EQ(editor.error, std::optional<std::string>("Enter a valid web address."));

  // The same site again (a copy with another name) is no change: typed text and message stay.
  LinkSite renamed = site(0);
  renamed.name = "Other";
  editor.setExisting(renamed);
  EXPECT_EQ(editor.address, "not an address");
  EXPECT_TRUE(editor.error);

  editor.setExisting(site(1));
  EXPECT_EQ(editor.name, "Claude");
  EXPECT_EQ(editor.address, site(1).address);
  EXPECT_FALSE(editor.error);

  editor.setExisting(std::nullopt);
  EXPECT_EQ(editor.title(), "Add website");
  EXPECT_EQ(editor.saveCaption(), "Add site");
  EXPECT_EQ(editor.name, "");
  EXPECT_EQ(editor.address, "");
}

TEST_F(WebsitesTest, SavingANewSiteAddsAndSelectsIt) {
  SiteEditorState editor(model, std::nullopt);
  editor.appear();
  editor.name = "  Docs ";
  editor.address = "example.org/docs";
  EXPECT_TRUE(editor.save());
  EXPECT_FALSE(editor.error);
  ASSERT_EQ(model.sites->size(), 4u);
  EXPECT_EQ(site(3).name, "Docs");
  EXPECT_EQ(model.selectedID(), site(3).id);
}

TEST_F(WebsitesTest, SavingARemovedSiteReportsSiteNotFound) {
  LinkSite gone = site(1);
  SiteEditorState editor(model, gone);
  editor.appear();
  model.remove(gone);
  EXPECT_FALSE(editor.save());
  EXPECT_EQ(editor.error, std::optional<std::string>("Site not found."));
  EXPECT_EQ(editor.title(), "Edit website");
}

TEST_F(WebsitesTest, SavingAnEditUpdatesInPlace) {
  SiteEditorState editor(model, site(2));
  editor.appear();
  editor.name = "Mail";
  editor.address = "https://mail.example.com";
  EXPECT_TRUE(editor.save());
  EXPECT_EQ(site(2).name, "Mail");
  EXPECT_EQ(site(2).address, "https://mail.example.com");
  EXPECT_EQ(model.sites->size(), 3u);
}

// The editor lists the site's stored answers, and notifications always; each choice is stored at
// once, Ask forgets the answer, and a site left without answers leaves nothing stored.
TEST_F(WebsitesTest, EditorSetsEachStoredAnswerToAllowBlockOrAsk) {
  SiteEditorState editor(model, site(0));
  const std::string origin = *originOf(site(0).address);
  using Choices = std::vector<SitePermissionChoice>;
  EXPECT_EQ(editor.permissionChoices(), (Choices{{"notifications", "Notifications", std::nullopt}}));
  model.rememberPermission(origin, {PermissionKind::camera}, PermissionAnswer::block);
  editor.choosePermission("notifications", PermissionAnswer::allow);
  EXPECT_EQ(editor.permissionChoices(), (Choices{{"notifications", "Notifications", PermissionAnswer::allow},
                                                 {"camera", "Camera", PermissionAnswer::block}}));
  EXPECT_EQ(store.data(SettingsKey::permissions),
            "{\"" + origin + "\":{\"camera\":\"block\",\"notifications\":\"allow\"}}");
  editor.choosePermission("camera", std::nullopt);
  editor.choosePermission("notifications", PermissionAnswer::block);
  EXPECT_EQ(model.permissions().answersOf(origin),
            (SitePermissions::Answers{{"notifications", PermissionAnswer::block}}));
  editor.choosePermission("notifications", std::nullopt);
  EXPECT_TRUE(model.permissions().empty());
  EXPECT_FALSE(store.data(SettingsKey::permissions));
}

// Names are counted in code points after trimming; a refused name stores nothing, adding or editing.
TEST_F(WebsitesTest, NamesOverTwoHundredCharactersAreRefused) {
  auto repeat = [](std::string_view piece, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i) out += piece;
    return out;
  };
  const struct {
    std::string name;
    bool accepted;
  } cases[] = {
      {repeat("a", 200), true},
      {repeat("a", 201), false},
      {" \t" + repeat("a", 200) + "\n ", true},  // blanks around are trimmed first
      {repeat("\u00e9", 200), true},             // two bytes each, one character each
      {repeat("\u00e9", 201), false},
      {repeat("\U0001F600", 201), false},
      {repeat("a", 100000), false},
  };
  for (bool editing : {false, true}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(::testing::Message() << (editing ? "edit " : "add ") << c.name.size() << " bytes");
      const auto before = model.sites();
      SiteEditorState editor(model, editing ? std::optional<LinkSite>(site(0)) : std::nullopt);
      editor.appear();
      editor.name = c.name;
      editor.address = "https://long-names.example.com/";
      EXPECT_EQ(editor.save(), c.accepted);
      if (c.accepted) {
        EXPECT_FALSE(editor.error);
        EXPECT_NE(model.sites(), before);
        // Back to the list as it was, through the model's own actions.
        if (editing) {
          model.update(before[0], before[0].name, before[0].address);
        } else {
          model.remove(model.sites().back());
        }
        ASSERT_EQ(model.sites(), before);
      } else {
        EXPECT_EQ(editor.error, std::optional<std::string>("Enter a name of at most 200 characters."));
        EXPECT_EQ(model.sites(), before);
      }
    }
  }
}

TEST_F(WebsitesTest, RowRulesFollowTheListOrder) {
  EXPECT_TRUE(isFirstSite(model, site(0)));
  EXPECT_FALSE(isLastSite(model, site(0)));
  EXPECT_TRUE(isLastSite(model, site(2)));
  LinkSite first = site(0);
  model.move(first, 1);
  EXPECT_FALSE(isFirstSite(model, first));
  EXPECT_EQ(site(1).id, first.id);
  EXPECT_EQ(editTooltip(first), "Edit ChatGPT");
  EXPECT_EQ(removeTooltip(first), "Remove ChatGPT");

  EXPECT_EQ(siteRowHost(LinkSite("A", "https://example.com/path")), "example.com");
  EXPECT_EQ(siteRowHost(LinkSite("B", "no host here")), "no host here");
  EXPECT_EQ(siteRowHost(LinkSite("C", "file:///tmp/x")), "file:///tmp/x");
}

}  // namespace
}  // namespace vesk
