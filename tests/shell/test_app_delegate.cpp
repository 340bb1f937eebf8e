#include <gtest/gtest.h>

#include "shell/app_delegate.h"
#include "shell_fakes.h"
#include "support/memory_settings_store.h"

namespace vesk {
namespace {

using testing::FakeClickMonitors;
using testing::FakeHotkeyService;
using testing::FakeMainQueue;
using testing::FakePanelWindow;
using testing::FakeTrayItem;
using testing::Journal;
using namespace std::chrono_literals;

constexpr std::uint32_t keyN = 45, keyP = 35, keyK = 40;

class AppDelegateTest : public ::testing::Test {
 protected:
  void launch() {
    ShellPlatform platform;
    platform.makeTrayItem = [this] {
      journal.push_back("make tray");
      auto item = std::make_unique<FakeTrayItem>(journal);
      tray = item.get();
      return item;
    };
    platform.makePanelWindow = [this] {
      journal.push_back("make panel");
      auto window = std::make_unique<FakePanelWindow>(journal);
      if (panelScreen) window->screen = panelScreen;
      panel = window.get();
      return window;
    };
    auto monitors = std::make_unique<FakeClickMonitors>();
    clicks = monitors.get();
    platform.clickMonitors = std::move(monitors);
    platform.makePanelContent = [this](AppModel&, std::function<void()> close) -> Gtk::Widget* {
      ++contentBuilt;
      closePanel = std::move(close);
      return nullptr;
    };
    platform.mainQueue = queue.queue();
    platform.quit = [this] { ++quits; };
    platform.now = [this] { return clock; };
    platform.report = [this](const std::string& line) { reported.push_back(line); };
    platform.notify = [this](const std::string& title, const std::string& body) {
      notifications.push_back(title + ": " + body);
    };
    auto siteNotices = std::make_unique<testing::FakeDesktopNotices>();
    notices = siteNotices.get();
    platform.notices = std::move(siteNotices);
    delegate = std::make_unique<AppDelegate>(store, hotkeys, std::move(platform));
    delegate->applicationDidFinishLaunching();
  }

  AppModel& model() { return delegate->model(); }
  void pressHotkey(std::uint32_t id) {
    hotkeys.press(id);
    queue.runAll();
  }
  void click(int count = 1, ScreenPoint at = {1210, 14}) { tray->onClick(TrayClick{count, at, std::nullopt}); }
  static std::string shortcutJson(std::uint32_t key, const char* label) {
    return Shortcut{key, ModifierMask::control | ModifierMask::option, label}.encode().value();
  }

  testing::MemorySettingsStore store;
  Journal journal;
  FakeHotkeyService hotkeys{journal};
  FakeMainQueue queue;
  FakeTrayItem* tray = nullptr;
  FakePanelWindow* panel = nullptr;       // made with the first show
  std::optional<ScreenRect> panelScreen;  // the work area the panel's window will report
  FakeClickMonitors* clicks = nullptr;
  int contentBuilt = 0, quits = 0;
  std::function<void()> closePanel;
  std::chrono::steady_clock::time_point clock{std::chrono::seconds(1000)};
  std::unique_ptr<AppDelegate> delegate;
  std::vector<std::string> reported;
  std::vector<std::string> notifications;
  testing::FakeDesktopNotices* notices = nullptr;
};

TEST_F(AppDelegateTest, NoTrayHostIsSaidOnceOnStandardErrorAndInANotification) {
  launch();
  tray->onNoTrayHost();
  tray->onNoTrayHost();
  ASSERT_EQ(reported.size(), 1u);
  EXPECT_NE(reported[0].find("vesk --toggle"), std::string::npos) << reported[0];
  ASSERT_EQ(notifications.size(), 1u);
  EXPECT_NE(notifications[0].find("vesk --toggle"), std::string::npos) << notifications[0];
  pressHotkey(1);
  EXPECT_TRUE(panel->shown) << "everything else keeps working";
}

TEST_F(AppDelegateTest, LosingTheKeyboardClosesTheShownPanelAndTheNextClickOpensIt) {
  launch();
  click(1);
  ASSERT_TRUE(panel->onFocusLost);
  panel->onFocusLost();
  EXPECT_FALSE(panel->shown);
  EXPECT_EQ(panel->closes, 1);
  panel->onFocusLost();
  EXPECT_EQ(panel->closes, 1) << "nothing to close";
  clock += 3ms;
  click(1);
  EXPECT_TRUE(panel->shown);
}

TEST_F(AppDelegateTest, LaunchCreatesIconThenPanelAndInstallsCallbacksBeforeRegistering) {
  hotkeys.beforeRegister = [this](std::uint32_t) {
    EXPECT_TRUE(model().onShortcutChange);
    EXPECT_TRUE(model().onShortcutRemoval);
    EXPECT_TRUE(model().onPanelSizeChange);
    EXPECT_TRUE(delegate->hotkey().action);
  };
  store.setData("vesk.shortcut.next.v1", shortcutJson(keyN, "⌃⌥ N"));
  store.setData("vesk.shortcut.previous.v1", shortcutJson(keyP, "⌃⌥ P"));
  launch();
  EXPECT_EQ(journal, (Journal{"make tray", "tooltip", "register 1", "register 2", "register 3"}));
  EXPECT_EQ(tray->toolTip, "Vesk — Ctrl+Alt+Space · Double-click for options");
  EXPECT_EQ(model().shortcutError(), std::nullopt);
  EXPECT_EQ(panel, nullptr) << "the panel's window waits for the first show";
  EXPECT_EQ(contentBuilt, 0) << "the panel content waits for the first show";
  click(1);
  ASSERT_NE(panel, nullptr);
  EXPECT_TRUE(panel->shown);
  EXPECT_EQ(contentBuilt, 1);
  EXPECT_EQ(panel->size, std::make_pair(500, 700)) << "the stored size";
}

// Standard error hears of a failed save once per failure streak, also when it began at launch.
TEST_F(AppDelegateTest, FailedSavesAreReportedOncePerStreak) {
  store.failWrites = "Read-only file system (/ro/vesk/settings.ini)";
  launch();
  EXPECT_EQ(reported, std::vector<std::string>{"vesk: settings can't be saved: Read-only file system "
                                               "(/ro/vesk/settings.ini)"});
  model().changeTheme(LinkTheme::midnight);
  model().changePageZoom(1.1);
  EXPECT_EQ(reported.size(), 1u);
  store.failWrites.reset();
  model().changeTheme(LinkTheme::graphite);
  store.failWrites = "No space left on device (/ro/vesk/settings.ini)";
  model().changeTheme(LinkTheme::midnight);
  ASSERT_EQ(reported.size(), 2u);
  EXPECT_EQ(reported[1], "vesk: settings can't be saved: No space left on device (/ro/vesk/settings.ini)");
}

// What the settings store has to say once (sites left out at loading, another program's edit
// kept aside) is said once on standard error and once as a notification, each time there is
// something new, and never again for the same thing.
TEST_F(AppDelegateTest, SettingsNoticesAreSaidOnceEach) {
  store.seed(
      "vesk.sites.v1",
      R"json([{"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","name":"Bad","address":"javascript:alert(1)"},)json"
      R"json({"id":"7C9E6679-7425-40DE-944B-E07FC1F90AE7","name":"Good","address":"https://good.example.org/"}])json");
  launch();
  ASSERT_EQ(reported.size(), 1u);
  EXPECT_EQ(reported[0].rfind("vesk: 1 saved site was left out", 0), 0u) << reported[0];
  ASSERT_EQ(notifications.size(), 1u);
  EXPECT_EQ(notifications[0], "Vesk settings: " + reported[0].substr(6));
  model().changeTheme(LinkTheme::midnight);
  EXPECT_EQ(reported.size(), 1u) << "nothing new: nothing said";
  store.notice = "settings.ini was changed by another program";
  model().changeTheme(LinkTheme::obsidian);
  ASSERT_EQ(reported.size(), 2u);
  EXPECT_EQ(reported[1], "vesk: settings.ini was changed by another program");
  EXPECT_EQ(notifications.size(), 2u);
  model().changeTheme(LinkTheme::graphite);
  EXPECT_EQ(reported.size(), 2u);
}

TEST_F(AppDelegateTest, LaunchRefusalsCarryPrefixesAndTheLastOneWins) {
  store.setData("vesk.shortcut.next.v1", shortcutJson(keyN, "⌃⌥ N"));
  hotkeys.refusedKeys = {keyN};
  launch();
  EXPECT_EQ(model().shortcutError(), "Next website: " + std::string(strings::shortcutTaken()));

  delegate.reset();
  journal.clear();
  store.setData("vesk.shortcut.previous.v1", shortcutJson(keyP, "⌃⌥ P"));
  hotkeys.refusedKeys = {keyN, keyP, KeyCode::space};
  launch();
  EXPECT_EQ(model().shortcutError(), "Previous website: " + std::string(strings::shortcutTaken()));

  delegate.reset();
  store.remove("vesk.shortcut.next.v1");
  store.remove("vesk.shortcut.previous.v1");
  launch();
  EXPECT_EQ(model().shortcutError(), std::string(strings::shortcutTaken())) << "no prefix for the show combination";
}

TEST_F(AppDelegateTest, ShowCombinationTogglesAndEveryShowCountsAndBuildsContentOnce) {
  launch();
  int shows = 0;
  auto counting = model().panelShown.connect([&] { ++shows; });
  pressHotkey(1);
  EXPECT_TRUE(panel->shown);
  EXPECT_EQ(shows, 1);
  EXPECT_TRUE(clicks->global && clicks->local) << "monitors exist while shown";
  pressHotkey(1);
  EXPECT_FALSE(panel->shown);
  EXPECT_FALSE(clicks->global || clicks->local) << "hide removes the monitors";
  pressHotkey(1);
  EXPECT_EQ(shows, 2);
  EXPECT_EQ(contentBuilt, 1);
  EXPECT_EQ(panel->lastAnchor, tray->area) << "the panel opens under the icon";
  pressHotkey(99);
  EXPECT_TRUE(panel->shown) << "unknown ids do nothing";
}

TEST_F(AppDelegateTest, NextSiteOpensClosedPanelOnTheNextSiteAndOnlySwitchesWhenOpen) {
  launch();
  ASSERT_EQ(model().sites().size(), 3u);
  const auto first = model().selectedID();
  std::optional<Uuid> selectedWhenShown;
  auto watch = model().panelShown.connect([&] { selectedWhenShown = model().selectedID(); });

  pressHotkey(2);
  EXPECT_TRUE(panel->shown);
  EXPECT_NE(model().selectedID(), first);
  EXPECT_EQ(selectedWhenShown, model().selectedID()) << "the site changes before the panel opens";
  EXPECT_EQ(store.data("vesk.selected.v1").value_or(""), model().selectedID()->toString());

  pressHotkey(2);
  EXPECT_TRUE(panel->shown);
  EXPECT_EQ(panel->shows, 1) << "with the panel open only the site switches";
  EXPECT_EQ(model().selectedID(), model().sites()[2].id);

  pressHotkey(3);
  pressHotkey(3);
  EXPECT_EQ(model().selectedID(), first);
  EXPECT_EQ(panel->shows, 1);
}

TEST_F(AppDelegateTest, SingleClickTogglesAndDoubleClickEndsClosedWithTheMenuOpen) {
  launch();
  click(1);
  EXPECT_TRUE(panel->shown);
  click(1);
  EXPECT_FALSE(panel->shown);

  // Double click with the panel closed: the first click opens it, the second closes it again.
  click(1);
  click(2);
  EXPECT_FALSE(panel->shown);
  EXPECT_EQ(tray->menuPopUps, 1);
}

TEST_F(AppDelegateTest, IconClickWhileOpenClosesOnceThoughTheOutsideMonitorSeesItFirst) {
  launch();
  click(1);
  ASSERT_TRUE(panel->shown);
  // The press on the icon reaches the outside-click monitor a few milliseconds before the activation.
  clicks->global({1210, 14});
  EXPECT_FALSE(panel->shown);
  clock += 3ms;
  click(1, {1210, 14});
  EXPECT_FALSE(panel->shown) << "the same click must not reopen the panel";
  EXPECT_EQ(panel->closes, 1);

  // The guard is used up: the next click on the icon opens the panel again.
  clock += 50ms;
  click(1, {1210, 14});
  EXPECT_TRUE(panel->shown);
}

TEST_F(AppDelegateTest, OutsideCloseDoesNotSwallowALaterOrDistantIconClick) {
  launch();
  click(1);
  clicks->global({300, 400});  // a click into another application
  EXPECT_FALSE(panel->shown);
  clock += 3ms;
  click(1, {1210, 14});
  EXPECT_TRUE(panel->shown) << "the outside click was elsewhere";

  clicks->global({1210, 14});
  clock += 2s;
  click(1, {1210, 14});
  EXPECT_TRUE(panel->shown) << "too long ago to be the same click";
}

TEST_F(AppDelegateTest, DoubleClickWhileOpenEndsClosedWithTheMenuOpen) {
  launch();
  click(1);
  clicks->global({1210, 14});
  click(1);
  clock += 100ms;
  click(2);
  EXPECT_FALSE(panel->shown);
  EXPECT_EQ(tray->menuPopUps, 1);
}

TEST_F(AppDelegateTest, LocalClicksCloseOnlyForWindowsThatAreNotThePanels) {
  launch();
  click(1);
  clicks->local(ClickTarget::panel);
  clicks->local(ClickTarget::ownTransient);  // a drop-down menu or a file chooser of the page
  clicks->local(ClickTarget::trayIcon);
  EXPECT_TRUE(panel->shown);
  clicks->local(ClickTarget::other);
  EXPECT_FALSE(panel->shown);
}

TEST_F(AppDelegateTest, OversizePanelIsClampedToTheScreenAndTheStoredSizeKept) {
  store.setDouble("vesk.panel.width.v1", 680);
  store.setDouble("vesk.panel.height.v1", 900);
  panelScreen = ScreenRect{0, 28, 600, 700};
  launch();
  click(1);
  EXPECT_EQ(panel->size, std::make_pair(592, 680));
  EXPECT_EQ(model().panelWidth(), 680);
  EXPECT_EQ(store.doubleValue("vesk.panel.height.v1"), 900);

  panel->screen.reset();
  model().changePanelSize(680, 900);
  EXPECT_EQ(panel->size, std::make_pair(680, 780)) << "a 1000 x 800 area without screen information";
  model().changePanelSize(450, 520);
  EXPECT_EQ(panel->size, std::make_pair(450, 520)) << "size changes apply at once";
}

TEST_F(AppDelegateTest, ChangingTheShowCombinationUpdatesTheTooltip) {
  launch();
  model().changeShortcut(Shortcut{keyK, ModifierMask::control | ModifierMask::option, "⌃⌥ K"}, ShortcutAction::show);
  EXPECT_EQ(tray->toolTip, "Vesk — Ctrl+Alt+K · Double-click for options");
  EXPECT_EQ(hotkeys.grabs.at(1).keyCode, keyK);
  EXPECT_EQ(model().shortcutError(), std::nullopt);
}

TEST_F(AppDelegateTest, RefusedChangeKeepsTheOldCombinationRegisteredAndTheOldTooltip) {
  launch();
  hotkeys.refusedKeys = {keyK};
  model().changeShortcut(Shortcut{keyK, ModifierMask::control, "⌃ K"}, ShortcutAction::show);
  EXPECT_EQ(model().shortcutError(), std::string(strings::shortcutTaken()));
  ASSERT_TRUE(hotkeys.grabs.count(1));
  EXPECT_EQ(hotkeys.grabs.at(1).keyCode, KeyCode::space);
  EXPECT_EQ(tray->toolTip, "Vesk — Ctrl+Alt+Space · Double-click for options");
  EXPECT_EQ(model().shortcut().label, "⌃⌥ Space");

  // An action without an old combination is simply left unregistered.
  model().changeShortcut(Shortcut{keyK, ModifierMask::control, "⌃ K"}, ShortcutAction::nextSite);
  EXPECT_FALSE(hotkeys.grabs.count(2));
  model().changeShortcut(Shortcut{keyN, ModifierMask::control, "⌃ N"}, ShortcutAction::nextSite);
  EXPECT_TRUE(hotkeys.grabs.count(2));
  model().removeShortcut(ShortcutAction::nextSite);
  EXPECT_FALSE(hotkeys.grabs.count(2));
}

TEST_F(AppDelegateTest, GrabsAreReleasedWhileRecordingAndACombinationTakenMeanwhileIsReported) {
  store.setData("vesk.shortcut.next.v1", shortcutJson(keyN, "⌃⌥ N"));
  launch();
  model().setRecordingShortcut(true);
  EXPECT_TRUE(hotkeys.grabs.empty());
  hotkeys.refusedKeys = {keyN};
  model().setRecordingShortcut(false);
  EXPECT_EQ(hotkeys.grabs.count(1), 1u);
  EXPECT_EQ(hotkeys.grabs.count(2), 0u);
  EXPECT_EQ(model().shortcutError(), "Next website: " + std::string(strings::shortcutTaken()));
}

TEST_F(AppDelegateTest, SettingsWhileHiddenOpensThePanelThenRequestsSettingsOneHopLater) {
  launch();
  std::vector<std::string> order;
  int shows = 0, settingsRequests = 0;
  auto a = model().panelShown.connect([&] {
    ++shows;
    order.push_back("shown");
  });
  auto b = model().settingsRequested.connect([&] {
    ++settingsRequests;
    order.push_back("settings");
  });
  tray->onSettings();
  EXPECT_TRUE(panel->shown);
  EXPECT_EQ(settingsRequests, 0) << "not before the queued hop";
  queue.runAll();
  EXPECT_EQ(settingsRequests, 1);
  EXPECT_EQ(order, (std::vector<std::string>{"shown", "settings"}));

  tray->onSettings();  // already open: no second show
  queue.runAll();
  EXPECT_EQ(shows, 1);
  EXPECT_EQ(settingsRequests, 2);
}

TEST_F(AppDelegateTest, QuitAndThePanelsCloseAction) {
  launch();
  click(1);
  ASSERT_TRUE(closePanel);
  closePanel();
  EXPECT_FALSE(panel->shown);
  tray->onQuit();
  EXPECT_EQ(quits, 1);
}

TEST_F(AppDelegateTest, ClosuresDoNothingOnceTheDelegateIsGone) {
  launch();
  auto onChange = model().onShortcutChange;
  click(1);
  auto close = closePanel;
  tray->onSettings();  // leaves a queued task behind
  auto trayItemKeepsNothing = tray->onClick;
  delegate.reset();
  EXPECT_EQ(onChange(ShortcutAction::show, Shortcut::standard()), std::string(strings::shortcutUpdateFailed()));
  close();
  queue.runAll();
  trayItemKeepsNothing(TrayClick{});
  SUCCEED();
}

TEST_F(AppDelegateTest, ASitesNotificationShowsOnTheDesktopAndItsClickOpensThePanelOnTheSite) {
  const LinkSite mail{"Mail", "https://mail.example.com/"}, chat{"Chat", "https://chat.example.com/"};
  store.seed(SettingsKey::sites, encodeSites({mail, chat}).value());
  launch();
  std::vector<std::string> opened;
  Subscription openings = model().siteNoticeOpened.connect(
      [&](const Uuid& site, const std::string& key) { opened.push_back(site.toString() + " " + key); });
  const NoticeImage icon{1, 1, {255, 0, 0, 255}};
  model().postSiteNotice(SiteNotice{chat.id, "tag:a", "Chat \u2014 Hi", "Hello", icon});
  model().postSiteNotice(SiteNotice{chat.id, "id:7", "Chat", "", std::nullopt});
  const std::string key = chat.id.toString() + "/tag:a";
  ASSERT_EQ(notices->shown.size(), 2u);
  EXPECT_EQ(notices->shown.at(key).title, "Chat \u2014 Hi");
  EXPECT_EQ(notices->shown.at(key).image, icon);
  EXPECT_EQ(notices->shown.at(chat.id.toString() + "/id:7").iconName, "io.github.vesk.Vesk") << "Vesk's own icon";

  // The page took one back; the other is clicked while the panel is hidden.
  model().withdrawSiteNotice(chat.id, "id:7");
  EXPECT_EQ(notices->withdrawn, std::vector<std::string>{chat.id.toString() + "/id:7"});
  ASSERT_FALSE(delegate->isPanelShown());
  notices->click(key);
  EXPECT_EQ(model().selectedID(), chat.id);
  EXPECT_TRUE(delegate->isPanelShown());
  EXPECT_EQ(opened, std::vector<std::string>{chat.id.toString() + " tag:a"});
  notices->click(key);
  EXPECT_EQ(opened.size(), 1u) << "a notice is opened once";
}

TEST_F(AppDelegateTest, TheTrayIconCarriesADotWhileAnySiteIsUnread) {
  const LinkSite mail{"Mail", "https://mail.example.com/"}, chat{"Chat", "https://chat.example.com/"};
  store.seed(SettingsKey::sites, encodeSites({mail, chat}).value());
  launch();
  EXPECT_FALSE(tray->unread);
  model().markUnread(mail.id);
  model().markUnread(chat.id);
  EXPECT_TRUE(tray->unread);
  model().markRead(mail.id);
  EXPECT_TRUE(tray->unread);
  model().markRead(chat.id);
  EXPECT_FALSE(tray->unread);
}

}  // namespace
}  // namespace vesk
