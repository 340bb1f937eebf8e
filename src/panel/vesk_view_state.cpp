#include "panel/vesk_view_state.h"

#include <glib.h>

#include <algorithm>
#include <cstdint>
#include <utility>

#include "model/constants.h"
#include "model/glib_handles.h"
#include "model/strings.h"
#include "model/text.h"
#include "model/unread_count.h"
#include "model/url.h"
#include "panel/search.h"

namespace vesk {

BrowserContentKind browserContentKind(const std::optional<LinkSite>& site, bool requiresExternalSignIn,
                                      const std::optional<Uuid>& activeID) {
  if (!site) return BrowserContentKind::emptyState;
  if (isSameHost(site->host(), handoffHost)) return BrowserContentKind::handoff;
  if (requiresExternalSignIn && activeID == site->id) return BrowserContentKind::handoff;
  return BrowserContentKind::webView;
}

std::optional<EditingCommand> editingCommandFor(const KeyEventRecord& key) {
  if (!key.control || key.option || key.command) return std::nullopt;
  if (key.keyCode == KeyCode::z) return key.shift ? EditingCommand::redo : EditingCommand::undo;
  if (key.keyCode == KeyCode::y && !key.shift) return EditingCommand::redo;
  return std::nullopt;
}

VeskViewState::VeskViewState(AppModel& model, PanelServices services, std::function<void()> close)
    : model(model),
      browser(services.pages, services.clipboard, services.workspace),
      recorder(services.keyMonitor),
      services_(std::move(services)),
      close_(std::move(close)) {
  loginItemEnabled.set(services_.loginItemEnabled ? services_.loginItemEnabled() : false);

  // The pages' permission requests are answered from the stored answers where there is one.
  browser.setPermissions(model.permissions());
  subscriptions_.push_back(
      model.permissions.observe([this](const SitePermissions& permissions) { browser.setPermissions(permissions); }));

  // "Use less memory": the pages made from the start follow the stored choice, and a change
  // reaches the pages at once (see BrowserStore::setSharedWebProcess).
  browser.setSharedWebProcess(model.lessMemory());
  subscriptions_.push_back(model.lessMemory.observe([this](const bool& on) { browser.setSharedWebProcess(on); }));

  // The panel shown starts on the browsing screen, the search closed, the page focused.
  subscriptions_.push_back(model.panelShown.connect([this] {
    showSettings.set(false);
    showSearch.set(false);
    query.set("");
    requestFocus();
    markShownSiteRead();
    holdTypingForPage();
  }));
  // A new site's page takes the typing; so does the page again once the search row or the
  // settings screen closes, whichever way it closes.
  subscriptions_.push_back(
      model.selectedID.observeChange([this](const std::optional<Uuid>& previous, const std::optional<Uuid>& id) {
        if (id != previous) {
          requestFocus();
          dropHeldTyping();
          if (panelVisible_) holdTypingForPage();
        }
        markShownSiteRead();
      }));
  subscriptions_.push_back(showSearch.observeChange([this](const bool& was, const bool& shown) {
    if (was && !shown) requestFocus();
    if (shown) dropHeldTyping();
    markShownSiteRead();
  }));
  subscriptions_.push_back(showSettings.observeChange([this](const bool& was, const bool& shown) {
    if (was && !shown) requestFocus();
    if (shown) dropHeldTyping();
    markShownSiteRead();
  }));
  subscriptions_.push_back(browser.errorText.observe([this](const std::optional<std::string>& error) {
    if (error) dropHeldTyping();
  }));
  subscriptions_.push_back(browser.typingTaken.connect([this](const Uuid& site) {
    if (services_.keyMonitor.holdingKeys() && this->model.selectedID() == site && focusTarget() == FocusTarget::page) {
      services_.keyMonitor.releaseHeldKeys();
    }
  }));
  subscriptions_.push_back(query.observe([this](const std::string&) { markShownSiteRead(); }));
  // What pages tell of new things: notifications for the desktop and counts in their titles.
  subscriptions_.push_back(browser.notified.connect(
      [this](const Uuid& site, const PageNotification& notification) { siteNotified(site, notification); }));
  subscriptions_.push_back(browser.notificationClosed.connect(
      [this](const Uuid& site, const std::string& key) { this->model.withdrawSiteNotice(site, key); }));
  subscriptions_.push_back(
      browser.titleChanged.connect([this](const Uuid& site, const std::string& title) { siteRetitled(site, title); }));
  // A notification clicked on the desktop: the shell has shown its site, its page hears of the click.
  subscriptions_.push_back(model.siteNoticeOpened.connect(
      [this](const Uuid& site, const std::string& key) { browser.notificationClicked(site, key); }));
  subscriptions_.push_back(model.settingsRequested.connect([this] {
    showSettings.set(true);
    showSearch.set(false);
    query.set("");
  }));
  subscriptions_.push_back(model.pageZoom.observeChange([this](const double& previous, const double& zoom) {
    if (zoom != previous) browser.setZoom(zoom);
  }));
  // A removed site never comes back (adding it again makes a new site): its page is closed.
  subscriptions_.push_back(
      model.sites.observe([this](const std::vector<LinkSite>& sites) { browser.forgetSites(sites); }));

  // Escape pressed in the panel. A shortcut recording in progress sees it first (it cancels the
  // recording), so the press is left alone then.
  escapeHandler_.emplace(services_.keyMonitor, [weak = lifetime_.handle()](const MonitoredKeyPress& press) {
    VeskViewState* self = weak.get();
    if (!self) return false;
    const KeyEventRecord& key = press.record;
    if (key.keyCode != KeyCode::escape || key.control || key.option || key.command) return false;
    if (self->recorder.isRecording()) return false;
    self->escape();
    return true;
  });
  // Undo and redo in a page's field. The engine binds no keys for them; a page that handles the
  // press itself (an editor with its own undo) keeps it, as only presses it left unhandled come here.
  editingHandler_.emplace(services_.keyMonitor, [weak = lifetime_.handle()](const MonitoredKeyPress& press) {
    VeskViewState* self = weak.get();
    if (!self || !press.leftByFocus || !self->pageAnswersKeys()) return false;
    const auto command = editingCommandFor(press.record);
    if (!command) return false;
    self->browser.runEditingCommand(*command);
    return true;
  });
}

void VeskViewState::appeared() {
  browser.setZoom(model.pageZoom());
  panelVisible_ = true;
  markShownSiteRead();
}

void VeskViewState::disappeared() {
  panelVisible_ = false;
  recorder.stop();
  dropHeldTyping();
}

void VeskViewState::holdTypingForPage() {
  const auto& site = model.selectedID();
  if (!site || focusTarget() != FocusTarget::page || browser.takesTyping(*site)) return;
  services_.keyMonitor.holdKeys();
  if (!services_.runAfter) return;
  services_.runAfter(typingHoldLimit, [weak = lifetime_.handle(), hold = ++typingHolds_] {
    if (VeskViewState* self = weak.get(); self && self->typingHolds_ == hold) self->dropHeldTyping();
  });
}

void VeskViewState::dropHeldTyping() {
  ++typingHolds_;
  if (services_.keyMonitor.holdingKeys()) services_.keyMonitor.dropHeldKeys();
}

bool VeskViewState::siteOnScreen(const Uuid& site) const {
  return panelVisible_ && showsBrowserArea() && showsPage() && model.selectedID() == site;
}

void VeskViewState::markShownSiteRead() {
  if (const auto& selected = model.selectedID(); selected && siteOnScreen(*selected)) model.markRead(*selected);
}

void VeskViewState::siteNotified(const Uuid& site, const PageNotification& notification) {
  // The user is looking at the site: the page shows what it has to say itself.
  if (siteOnScreen(site)) return;
  const auto& sites = model.sites();
  auto found = std::find_if(sites.begin(), sites.end(), [&](const LinkSite& s) { return s.id == site; });
  if (found == sites.end()) return;
  model.markUnread(site);
  model.postSiteNotice(SiteNotice{site, notification.key,
                                  strings::siteNoticeTitle(found->shownName(), notification.title), notification.body,
                                  notification.icon});
}

void VeskViewState::siteRetitled(const Uuid& site, const std::string& title) {
  const std::optional<unsigned> count = unreadCount(title);
  std::optional<unsigned> previous;
  if (auto found = titleCounts_.find(site); found != titleCounts_.end()) previous = found->second;
  if (count) {
    titleCounts_[site] = *count;
  } else {
    titleCounts_.erase(site);
  }
  // A count that appears or grows is news; one that stays or shrinks is not (the user may have
  // read some elsewhere). A count that is gone means the site has nothing unread any more.
  if (count && (!previous || *count > *previous)) {
    if (!siteOnScreen(site)) model.markUnread(site);
  } else if (!count && previous) {
    model.markRead(site);
  }
}

void VeskViewState::escape() {
  if (showSearch()) {
    showSearch.set(false);
    query.set("");
    return;
  }
  if (showSettings()) {
    showSettings.set(false);
    return;
  }
  close();
}

void VeskViewState::close() {
  if (close_) close_();
}

void VeskViewState::backToBrowser() {
  showSettings.set(false);
  query.set("");
}

std::string VeskViewState::siteMenuTitle() const {
  if (showsPage() && browser.activeID() == model.selectedID() && browser.currentAddress()) {
    return *browser.currentAddress();
  }
  if (auto site = model.selectedSite()) return site->name;
  return std::string(strings::chooseWebsite());
}

bool VeskViewState::pageLoading() const { return showsPage() && browser.isLoading(); }

void VeskViewState::chooseSite(const LinkSite& site) {
  model.select(site);
  searchFocused.set(false);
  showSearch.set(false);
  query.set("");
}

void VeskViewState::addWebsite() {
  editing.set(std::nullopt);
  isAdding.set(true);
  settingsTab.set(SettingsTab::websites);
  showSettings.set(true);
}

void VeskViewState::toggleSearch() {
  showSearch.set(!showSearch());
  query.set("");
  if (!showSearch() || !services_.runAfter) return;
  // The field exists only once the row is on screen; it is not cancelled if the row closes meanwhile.
  services_.runAfter(searchFocusDelay, [weak = lifetime_.handle()] {
    if (VeskViewState* self = weak.get()) self->searchFocused.set(true);
  });
}

void VeskViewState::openSettings() {
  settingsTab.set(SettingsTab::general);
  showSettings.set(true);
  showSearch.set(false);
}

void VeskViewState::setQuery(std::string text) {
  text.resize(text::firstCodePoints(text, searchQueryLimit).size());
  if (text != query()) query.set(std::move(text));
}

void VeskViewState::clearQuery() { query.set(""); }

void VeskViewState::setSearchFocused(bool focused) {
  if (focused != searchFocused()) searchFocused.set(focused);
}

void VeskViewState::loginItemChanged(bool enabled, std::optional<std::string> error) {
  loginItemEnabled.set(enabled);
  loginItemError.set(std::move(error));
}

void VeskViewState::chooseSettingsTab(SettingsTab tab) {
  settingsTab.set(tab);
  stopRecordingShortcut();
}

void VeskViewState::recordShortcut(ShortcutAction action) {
  recordingAction.set(action);
  // The recorder is the state's own, so its handler never outlives the state.
  recorder.start([this, action](const Shortcut& shortcut) {
    model.changeShortcut(shortcut, action);
    recordingAction.set(std::nullopt);
  });
}

void VeskViewState::stopRecordingShortcut() {
  recorder.stop();
  recordingAction.set(std::nullopt);
}

void VeskViewState::openSiteEditor(std::optional<LinkSite> site) {
  const bool adding = !site;
  editing.set(std::move(site));
  isAdding.set(adding);
}

void VeskViewState::closeSiteEditor() {
  isAdding.set(false);
  editing.set(std::nullopt);
}

void VeskViewState::siteSaved() {
  closeSiteEditor();
  leaveSettings();
}

std::vector<LinkSite> VeskViewState::matches() const { return matchingSites(model.sites(), query()); }

bool VeskViewState::offersQuickAdd() const { return Address::normalized(query()).has_value(); }

bool VeskViewState::showsNoMatches() const { return matches().empty() && !offersQuickAdd(); }

void VeskViewState::finishSearch() {
  query.set("");
  searchFocused.set(false);
  showSearch.set(false);
}

void VeskViewState::chooseResult(const LinkSite& site) {
  model.select(site);
  finishSearch();
}

void VeskViewState::openFirstResult() {
  auto found = matches();
  if (!found.empty()) {
    model.select(found.front());
    finishSearch();
    return;
  }
  if (offersQuickAdd()) addPastedLink();
}

void VeskViewState::pasteClipboardLink() {
  services_.clipboard.requestText([weak = lifetime_.handle()](std::optional<std::string> pasted) {
    VeskViewState* self = weak.get();
    if (!self || !pasted) return;
    std::string trimmed = text::trimmed(*pasted);
    if (trimmed.empty()) return;
    VeskViewState& state = *self;
    // A pasted text longer than any address stays a (cut) search and is never added.
    state.setQuery(std::move(trimmed));
    if (Address::normalized(state.query())) state.addPastedLink();
  });
}

void VeskViewState::addPastedLink() {
  const std::string text = query();
  std::string name(strings::defaultSiteName());
  if (auto normalized = Address::normalized(text)) {
    if (auto parsed = parseUrl(*normalized); parsed && parsed->host) name = *parsed->host;
  }
  if (model.add(name, text)) return;
  finishSearch();
}

BrowserContentKind VeskViewState::browserContent() const {
  return browserContentKind(model.selectedSite(), browser.requiresExternalSignIn(), browser.activeID());
}

FocusTarget VeskViewState::focusTarget() const {
  if (showSettings() || showSearch()) return FocusTarget::ownRule;
  if (!showsPage() || browser.errorText() || !webProblem().empty()) return FocusTarget::cardButton;
  return FocusTarget::page;
}

void VeskViewState::addFirstWebsite() {
  isAdding.set(true);
  settingsTab.set(SettingsTab::websites);
  showSettings.set(true);
}

void VeskViewState::switchWebsite() { model.cycleSite(1); }

ToolbarState VeskViewState::toolbar() const {
  ToolbarState state;
  const bool page = showsPage();
  state.backEnabled = page && browser.canGoBack();
  state.forwardEnabled = page && browser.canGoForward();
  state.reloadEnabled = page;
  state.spinner = page && browser.isLoading();
  state.site = model.selectedSite();
  if (state.site) state.hostText = state.site->host();
  return state;
}

void VeskViewState::answerPermission(PermissionAnswer answer) {
  // The page hears the answer first; remembering it then answers the same origin's other requests.
  if (auto answered = browser.answerPermission(answer)) {
    model.rememberPermission(answered->origin, answered->kinds, answer);
  }
  // The page keeps the typing: the bar's buttons never take it from the page for long.
  requestFocus();
}

void VeskViewState::goBack() {
  if (showsPage()) browser.goBack();
}

void VeskViewState::goForward() {
  if (showsPage()) browser.goForward();
}

void VeskViewState::reload() {
  if (showsPage()) browser.reload();
}

void VeskViewState::openExternally(const LinkSite& site) {
  // The saved address, not the page the web view is on; an address that does not parse is ignored.
  if (auto address = site.url()) services_.workspace.openAddress(*address);
}

void VeskViewState::copyLink(const LinkSite& site) { browser.copyCurrentAddress(site); }

std::vector<DownloadRow> VeskViewState::downloadRows() const {
  auto size = [](std::uint64_t bytes) { return std::string(GCharPtr(g_format_size(bytes)).get()); };
  std::vector<DownloadRow> rows;
  for (const auto& download : browser.downloads()) {
    DownloadRow row{download.site, download.progress.name, {}, size(download.progress.received), std::nullopt};
    for (const auto& site : model.sites()) {
      if (site.id == download.site) row.siteName = site.name;
    }
    if (const auto& total = download.progress.total; total && *total > 0) {
      row.progressText = strings::downloadProgress(row.progressText, size(*total));
      row.fraction = std::min(1.0, static_cast<double>(download.progress.received) / static_cast<double>(*total));
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace vesk
