#include "shell/app_delegate.h"

#include <gtkmm/window.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "model/constants.h"

namespace vesk {

std::string trayToolTip(const Shortcut& showShortcut) { return strings::trayToolTip(showShortcut.displayText()); }

AppDelegate::AppDelegate(SettingsStore& store, HotkeyService& hotkeyService, ShellPlatform platform)
    : model_(store), hotkey_(hotkeyService, platform.mainQueue), platform_(std::move(platform)) {}

// The members go in reverse order: the lifetime first, so no deferred callback reaches the rest.
AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching() {
  auto weak = lifetime_.handle();
  auto withSelf = [weak](auto&& body) {
    if (AppDelegate* self = weak.get()) body(*self);
  };

  // Vesk has no main window and no taskbar entry: there is nothing to switch off here.

  // The tray icon, its tooltip and its click action.
  statusItem_ = platform_.makeTrayItem();
  if (statusItem_) {
    statusItem_->setToolTip(trayToolTip(model_.shortcut()));
    statusItem_->onClick = [withSelf](const TrayClick& click) {
      withSelf([&](AppDelegate& self) { self.toggleFromMenuBar(click); });
    };
    statusItem_->onOpen = [withSelf] { withSelf([](AppDelegate& self) { self.reveal(); }); };
    statusItem_->onSettings = [withSelf] { withSelf([](AppDelegate& self) { self.openSettings(); }); };
    statusItem_->onQuit = [withSelf] { withSelf([](AppDelegate& self) { self.quitVesk(); }); };
    statusItem_->onNoTrayHost = [withSelf] { withSelf([](AppDelegate& self) { self.noTrayHost(); }); };
  }

  // The panel window is made the first time the panel is shown (panelWindow()): a window makes
  // GTK load its theme, which is most of what a start would otherwise cost.

  hotkey_.action = [withSelf](std::uint32_t id) { withSelf([id](AppDelegate& self) { self.hotkeyPressed(id); }); };

  model_.onShortcutChange = [weak](ShortcutAction action, const Shortcut& shortcut) -> std::optional<std::string> {
    AppDelegate* self = weak.get();
    if (!self) return std::string(strings::shortcutUpdateFailed());
    return self->shortcutChanged(action, shortcut);
  };
  model_.onShortcutRemoval = [withSelf](ShortcutAction action) {
    withSelf([action](AppDelegate& self) { self.hotkey_.unregister(rawValue(action)); });
  };
  model_.onDesktopBindingsChange = [weak](bool on) -> std::optional<std::string> {
    AppDelegate* self = weak.get();
    return self ? self->hotkey_.setDesktopBindings(on) : std::nullopt;
  };
  model_.onPanelSizeChange = [withSelf] { withSelf([](AppDelegate& self) { self.updatePopoverSize(); }); };
  // Standard error hears of settings that cannot be written once per failure streak: at launch
  // when the first write already failed, else when a write fails after one that succeeded.
  if (model_.saveError()) platform_.report(strings::saveErrorReport(*model_.saveError()));
  saveFailures_ = model_.saveError.observeChange(
      [withSelf](const std::optional<std::string>& previous, const std::optional<std::string>& error) {
        withSelf([&](AppDelegate& self) {
          if (error && !previous) self.platform_.report(strings::saveErrorReport(*error));
        });
      });
  // What the user should hear of once about the settings file (sites left out at loading, a file
  // another program changed): one line on standard error and one desktop notification each.
  auto tellOnce = [this](const std::string& notice) {
    platform_.report(strings::errorLine(notice));
    if (platform_.notify) platform_.notify(std::string(strings::settingsNoticeTitle()), notice);
  };
  if (model_.settingsNotice()) tellOnce(*model_.settingsNotice());
  settingsNotices_ = model_.settingsNotice.observe([withSelf, tellOnce](const std::optional<std::string>& notice) {
    withSelf([&](AppDelegate&) {
      if (notice) tellOnce(*notice);
    });
  });
  followSiteNotices();
  recording_ = model_.isRecordingShortcut.observe(
      [withSelf](const bool& recording) { withSelf([&](AppDelegate& self) { self.recordingChanged(recording); }); });

  // A session whose service answers later (the desktop portal) grabs the kept combinations then.
  hotkey_.offerChanged = [withSelf](const std::vector<std::uint32_t>& refused) {
    withSelf([&](AppDelegate& self) {
      self.model_.setGlobalKeysOffered(self.hotkey_.offersGlobalKeys());
      self.model_.setDesktopBindings(self.hotkey_.desktopBindings());
      self.reportRefused(refused);
    });
  };
  model_.setGlobalKeysOffered(hotkey_.offersGlobalKeys());
  model_.setDesktopBindings(hotkey_.desktopBindings());
  model_.reportShortcutError(hotkey_.registerShortcut(model_.shortcut(), rawValue(ShortcutAction::show)));
  if (const auto& next = model_.nextShortcut()) {
    if (auto message = hotkey_.registerShortcut(*next, rawValue(ShortcutAction::nextSite))) {
      model_.reportShortcutError(strings::actionError(title(ShortcutAction::nextSite), *message));
    }
  }
  if (const auto& previous = model_.previousShortcut()) {
    if (auto message = hotkey_.registerShortcut(*previous, rawValue(ShortcutAction::previousSite))) {
      model_.reportShortcutError(strings::actionError(title(ShortcutAction::previousSite), *message));
    }
  }
}

void AppDelegate::toggleFromMenuBar(const TrayClick& click) {
  if (click.clickCount >= 2) {
    lastOutsideClose_.reset();
    hide();
    if (statusItem_) statusItem_->popUpMenu();
    return;
  }
  if (isPanelShown()) {
    hide();
    return;
  }
  // The outside-click monitor sees a press on the icon just before the tray reports it. If that
  // press already closed the panel, this activation is the same click: leave the panel closed.
  if (auto closed = std::exchange(lastOutsideClose_, std::nullopt)) {
    const bool recent = platform_.now() - closed->time <= iconClickWindow;
    std::optional<ScreenRect> icon = click.iconArea;
    if (!icon && click.point) icon = ScreenRect{click.point->x - 12, click.point->y - 12, 24, 24};
    if (recent && (!icon || icon->contains(closed->point))) return;
  }
  show();
}

void AppDelegate::performAction(std::uint32_t id) {
  switch (id) {
    case rawValue(ShortcutAction::show):
      if (isPanelShown()) {
        hide();
      } else {
        show();
      }
      break;
    case rawValue(ShortcutAction::nextSite):
    case rawValue(ShortcutAction::previousSite):
      model_.cycleSite(id == rawValue(ShortcutAction::nextSite) ? 1 : -1);
      if (!isPanelShown()) show();
      break;
    default:
      break;
  }
}

void AppDelegate::hotkeyPressed(std::uint32_t id) {
  const bool wasShown = isPanelShown();
  performAction(id);
  keyboardWaitsForPanel_ = !wasShown && isPanelShown();
  if (!keyboardWaitsForPanel_) hotkey_.releaseKeyboard();
}

void AppDelegate::releaseKeyboard() {
  if (std::exchange(keyboardWaitsForPanel_, false)) hotkey_.releaseKeyboard();
}

void AppDelegate::reveal() {
  if (!isPanelShown()) show();
}

bool AppDelegate::isPanelShown() const { return popover_ && popover_->isShown(); }

PanelWindow* AppDelegate::panelWindow() {
  if (popover_ || !platform_.makePanelWindow) return popover_.get();
  popover_ = platform_.makePanelWindow();
  if (popover_) {
    popover_->onFocusLost = [weak = lifetime_.handle()] {
      if (AppDelegate* self = weak.get()) self->panelLostFocus();
    };
    popover_->onFocused = [weak = lifetime_.handle()] {
      if (AppDelegate* self = weak.get()) self->releaseKeyboard();
    };
  }
  return popover_.get();
}

void AppDelegate::show() {
  if (!statusItem_ || !panelWindow()) return;
  updatePopoverSize();
  // The window goes up before its first content is made (which takes tens of milliseconds): the
  // desktop maps it and gives it the keyboard meanwhile, and what is typed then waits in Vesk's
  // queue for the content instead of going to the window that had the keyboard.
  popover_->showUnder(statusItem_->iconArea());
  if (!popover_->hasContent() && platform_.makePanelContent) {
    Gtk::Widget* content = platform_.makePanelContent(model_, [weak = lifetime_.handle()] {
      if (AppDelegate* self = weak.get()) self->hide();
    });
    popover_->setContent(content);
    if (content) followPanelWindow(*content);
  }
  model_.notePanelShown();
  beginOutsideClickMonitoring();
}

void AppDelegate::followPanelWindow(Gtk::Widget& content) {
  // The window manager may close the panel's window itself (Alt+F4): the click monitors, which
  // exist only while the panel is shown, go with it.
  auto* window = dynamic_cast<Gtk::Window*>(content.get_toplevel());
  if (!window) return;
  window->signal_hide().connect([weak = lifetime_.handle()] {
    if (AppDelegate* self = weak.get(); self && !self->isPanelShown()) self->hide();
  });
}

void AppDelegate::hide() {
  releaseKeyboard();
  if (popover_ && popover_->isShown()) popover_->close();
  outsideClickMonitor_.reset();
  localClickMonitor_.reset();
}

void AppDelegate::updatePopoverSize() {
  if (!popover_) return;
  std::optional<ScreenRect> area = popover_->workArea(statusItem_ ? statusItem_->iconArea() : std::nullopt);
  const double visibleWidth = area ? area->width : fallbackScreenWidth;
  const double visibleHeight = area ? area->height : fallbackScreenHeight;
  const double width = std::min(model_.panelWidth(), visibleWidth - 8);
  const double height = std::min(model_.panelHeight(), visibleHeight - 20);
  popover_->setContentSize(static_cast<int>(std::lround(width)), static_cast<int>(std::lround(height)));
}

void AppDelegate::beginOutsideClickMonitoring() {
  if (!platform_.clickMonitors) return;
  auto weak = lifetime_.handle();
  if (!outsideClickMonitor_) {
    outsideClickMonitor_ = platform_.clickMonitors->addGlobalMonitor([weak](ScreenPoint point) {
      AppDelegate* self = weak.get();
      if (!self) return;
      AppDelegate& delegate = *self;
      if (delegate.isPanelShown()) delegate.lastOutsideClose_ = OutsideClose{point, delegate.platform_.now()};
      delegate.hide();
    });
  }
  if (!localClickMonitor_) {
    localClickMonitor_ = platform_.clickMonitors->addLocalMonitor([weak](ClickTarget target) {
      AppDelegate* self = weak.get();
      if (!self) return;
      // Presses in the panel, on the icon (its own action decides) and in the panel's menus,
      // drop-downs and dialogs keep the panel open.
      if (self->isPanelShown() && target == ClickTarget::other) self->hide();
    });
  }
}

std::optional<std::string> AppDelegate::shortcutChanged(ShortcutAction action, const Shortcut& shortcut) {
  auto message = hotkey_.registerShortcut(shortcut, rawValue(action));
  if (message) {
    if (auto previous = model_.shortcutFor(action)) hotkey_.registerShortcut(*previous, rawValue(action));
    return message;
  }
  if (action == ShortcutAction::show && statusItem_) statusItem_->setToolTip(trayToolTip(shortcut));
  return std::nullopt;
}

void AppDelegate::recordingChanged(bool recording) {
  // While the panel records a key combination, presses of the registered ones must reach it
  // instead of acting (another action's combination is then refused there as a duplicate).
  if (recording) {
    hotkey_.pause();
    return;
  }
  // A combination another application took meanwhile is reported as at launch.
  reportRefused(hotkey_.resume());
}

void AppDelegate::reportRefused(const std::vector<std::uint32_t>& refused) {
  for (std::uint32_t id : refused) {
    auto action = shortcutActionFromRaw(id);
    model_.reportShortcutError(action && action != ShortcutAction::show
                                   ? strings::actionError(title(*action), strings::shortcutTaken())
                                   : std::string(strings::shortcutTaken()));
  }
}

void AppDelegate::panelLostFocus() {
  // What a click outside the panel does where such clicks cannot be seen.
  if (isPanelShown()) hide();
}

void AppDelegate::noTrayHost() {
  if (std::exchange(saidNoTrayHost_, true)) return;
  platform_.report(std::string(strings::noTrayHostReport()));
  if (platform_.notify)
    platform_.notify(std::string(strings::noTrayHostTitle()), std::string(strings::noTrayHostBody()));
}

void AppDelegate::followSiteNotices() {
  auto weak = lifetime_.handle();
  // The tray icon carries a dot while any site has something unread.
  if (statusItem_) {
    statusItem_->setUnread(!model_.unreadSites().empty());
    unreadSites_ = model_.unreadSites.observe([weak](const std::set<Uuid>& unread) {
      if (AppDelegate* self = weak.get(); self && self->statusItem_) self->statusItem_->setUnread(!unread.empty());
    });
  }
  if (!platform_.notices) return;
  platform_.notices->onActivated = [weak](const std::string& key) {
    if (AppDelegate* self = weak.get()) self->openSiteNotice(key);
  };
  // A notice that expired or was dismissed is forgotten (a click closes it too, after opening it).
  platform_.notices->onClosed = [weak](const std::string& key) {
    if (AppDelegate* self = weak.get()) self->siteNotices_.erase(key);
  };
  siteNoticeEvents_.push_back(model_.siteNoticePosted.connect([weak](const SiteNotice& notice) {
    AppDelegate* self = weak.get();
    if (!self) return;
    const std::string key = notice.desktopKey();
    self->siteNotices_.insert_or_assign(key, std::make_pair(notice.site, notice.pageKey));
    // Without an icon of the site's own, Vesk's.
    self->platform_.notices->show(
        DesktopNotice{key, notice.title, notice.body, notice.icon, std::string(applicationId)});
  }));
  siteNoticeEvents_.push_back(model_.siteNoticeWithdrawn.connect([weak](const Uuid& site, const std::string& pageKey) {
    AppDelegate* self = weak.get();
    if (!self) return;
    const std::string key = SiteNotice{site, pageKey, {}, {}, {}}.desktopKey();
    if (self->siteNotices_.erase(key)) self->platform_.notices->withdraw(key);
  }));
}

void AppDelegate::openSiteNotice(const std::string& key) {
  auto found = siteNotices_.find(key);
  if (found == siteNotices_.end()) return;
  const auto [site, pageKey] = found->second;
  siteNotices_.erase(found);
  const auto& sites = model_.sites();
  auto saved = std::find_if(sites.begin(), sites.end(), [&](const LinkSite& s) { return s.id == site; });
  // A site removed since only opens the panel.
  if (saved != sites.end()) model_.select(*saved);
  reveal();
  if (saved != sites.end()) model_.noteSiteNoticeOpened(site, pageKey);
}

void AppDelegate::openSettings() {
  if (!isPanelShown()) show();
  if (platform_.mainQueue) {
    platform_.mainQueue([weak = lifetime_.handle()] {
      if (AppDelegate* self = weak.get()) self->model_.requestSettings();
    });
  }
}

void AppDelegate::quitVesk() {
  if (platform_.quit) platform_.quit();
}

}  // namespace vesk
