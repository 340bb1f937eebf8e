#include "browser/browser_store.h"

#include <algorithm>

#include "browser/gestures.h"
#include "model/constants.h"
#include "model/strings.h"
#include "model/text.h"
#include "model/url.h"

namespace vesk {

AddressParts splitAddress(std::string_view address) {
  ParsedUrl parsed = splitUrl(address);
  AddressParts parts{std::move(parsed.scheme), std::nullopt};
  if (parsed.host) parts.host = text::asciiLowercased(*parsed.host);
  return parts;
}

BrowserStore::BrowserStore(WebPageFactory& factory, Clipboard& clipboard, Workspace& workspace,
                           std::size_t livePageLimit)
    : factory_(factory),
      clipboard_(clipboard),
      workspace_(workspace),
      livePageLimit_(std::max<std::size_t>(livePageLimit, 1)) {}

// Waiting permission requests are refused while their pages still live; the pages then go first,
// as the last member (see the header).
BrowserStore::~BrowserStore() {
  while (!waiting_.empty()) refuseWaiting(waiting_.begin()->first);
}

WebPage* BrowserStore::activePage() const {
  if (!activeID_) return nullptr;
  auto found = views_.find(*activeID_);
  return found == views_.end() ? nullptr : found->second.get();
}

WebPage& BrowserStore::view(const LinkSite& site) {
  if (auto found = views_.find(site.id); found != views_.end()) {
    WebPage& page = *found->second;
    auto address = addresses_.find(site.id);
    if (address != addresses_.end() && address->second == site.address) return page;
    addresses_[site.id] = site.address;
    if (auto url = site.url()) page.load(*url);
    return page;
  }
  // Record the page before loading: the load may report back synchronously.
  WebPage& page = *views_.emplace(site.id, factory_.createPage(*this)).first->second;
  page.setZoom(zoom_);
  // A released page comes back where it was, with its history. When the site's address was edited
  // meanwhile, the new address loads on top of that history, as it would have on the live page.
  bool restored = false;
  if (auto saved = released_.find(site.id); saved != released_.end()) {
    std::string history = std::move(saved->second);
    released_.erase(saved);
    restored = page.restoreHistory(history);
  }
  auto address = addresses_.find(site.id);
  bool sameAddress = address != addresses_.end() && address->second == site.address;
  addresses_[site.id] = site.address;
  if (restored && sameAddress) return page;
  if (auto url = site.url()) page.load(*url);
  return page;
}

void BrowserStore::activate(const LinkSite& site) {
  activeID_ = site.id;
  recent_.remove(site.id);
  recent_.push_front(site.id);
  errorText.set(std::nullopt);
  requiresExternalSignIn.set(false);
  refreshState();
  showPrompt();
  // A page whose web process ended while another site was shown is blank: say so, so the user
  // knows to reload it.
  if (WebPage* page = activePage()) {
    if (auto failure = page->processFailure()) {
      errorText.set(failure->message);
    } else if (!page->responding()) {
      errorText.set(std::string(strings::pageNotResponding()));
    }
  }
  releaseBeyondLimit();
}

bool BrowserStore::isDownloading(const Uuid& id) const {
  const auto& running = downloads();
  return std::any_of(running.begin(), running.end(), [&](const RunningDownload& d) { return d.site == id; });
}

void BrowserStore::releaseBeyondLimit() {
  if (views_.size() <= livePageLimit_) return;
  // Candidates, least recently shown first: pages never shown, then shown ones from the oldest.
  std::vector<Uuid> order;
  for (const auto& [id, page] : views_) {
    if (std::find(recent_.begin(), recent_.end(), id) == recent_.end()) order.push_back(id);
  }
  order.insert(order.end(), recent_.rbegin(), recent_.rend());
  std::vector<std::unique_ptr<WebPage>> closing;
  for (const Uuid& id : order) {
    if (views_.size() <= livePageLimit_) break;
    auto found = views_.find(id);
    // The shown page stays, and so does a page whose download would end with it.
    if (found == views_.end() || id == activeID_ || isDownloading(id)) continue;
    release(id, closing);
  }
  // The pages leave the map before they close, so nothing they report on the way reaches the state.
  closing.clear();
}

void BrowserStore::release(const Uuid& id, std::vector<std::unique_ptr<WebPage>>& closing) {
  auto found = views_.find(id);
  released_[id] = found->second->savedHistory();
  refuseWaiting(id);
  closing.push_back(std::move(found->second));
  views_.erase(found);
}

void BrowserStore::setSharedWebProcess(bool shared) {
  const bool changed = shared != sharedWebProcess_;
  sharedWebProcess_ = shared;
  factory_.setSharedWebProcess(shared);
  if (!changed) return;
  std::vector<Uuid> hidden;
  for (const auto& [id, page] : views_) {
    if (id != activeID_ && !isDownloading(id)) hidden.push_back(id);
  }
  std::vector<std::unique_ptr<WebPage>> closing;
  for (const Uuid& id : hidden) release(id, closing);
  // The pages leave the map before they close, so nothing they report on the way reaches the state.
  closing.clear();
}

void BrowserStore::remake(const Uuid& id) {
  auto found = views_.find(id);
  std::string history = found->second->savedHistory();
  // The new page is made while the old one still stands, so the two never share an address, and
  // the host sees another page and shows it. The old one's process is gone: nothing to wait for.
  std::unique_ptr<WebPage> old = std::move(found->second);
  found->second = factory_.createPage(*this);
  WebPage& page = *found->second;
  page.setZoom(zoom_);
  if (!page.restoreHistory(history)) {
    if (auto address = addresses_.find(id); address != addresses_.end()) {
      if (auto url = LinkSite("", address->second).url()) page.load(*url);
    }
  }
  old.reset();
  refreshState();
}

void BrowserStore::forgetSites(const std::vector<LinkSite>& current) {
  std::set<Uuid> kept;
  for (const auto& site : current) kept.insert(site.id);
  for (const auto& id : kept) forgotten_.erase(id);
  std::vector<std::unique_ptr<WebPage>> closing;
  bool activeClosed = false;
  auto forget = [&](const Uuid& id) {
    forgotten_.insert(id);
    addresses_.erase(id);
    recent_.remove(id);
  };
  for (auto it = views_.begin(); it != views_.end();) {
    if (kept.count(it->first)) {
      ++it;
      continue;
    }
    forget(it->first);
    refuseWaiting(it->first);
    if (activeID_ == it->first) {
      activeID_.reset();
      activeClosed = true;
    }
    closing.push_back(std::move(it->second));
    it = views_.erase(it);
  }
  // A released page of a removed site is gone already: only its history is left to drop.
  std::erase_if(released_, [&](const auto& entry) {
    if (kept.count(entry.first)) return false;
    forget(entry.first);
    return true;
  });
  // The pages leave the map before they close, so nothing they report on the way reaches the state.
  // Closing a page stops its download.
  std::vector<RunningDownload> running = downloads();
  if (std::erase_if(running, [&](const RunningDownload& download) { return !kept.count(download.site); }) > 0) {
    downloads.set(std::move(running));
  }
  closing.clear();
  if (activeClosed) {
    errorText.set(std::nullopt);
    requiresExternalSignIn.set(false);
    refreshState();
    showPrompt();
  }
}

void BrowserStore::goBack() {
  if (auto* page = activePage()) page->goBack();
}

void BrowserStore::goForward() {
  if (auto* page = activePage()) page->goForward();
}

void BrowserStore::reload() {
  WebPage* page = activePage();
  if (!page) return;
  if (sharedWebProcess_ && page->processFailure() && !isDownloading(*activeID_)) {
    remake(*activeID_);
    return;
  }
  page->reload();
}

void BrowserStore::runEditingCommand(EditingCommand command) {
  if (auto* page = activePage()) page->runEditingCommand(command);
}

void BrowserStore::setZoom(double zoom) {
  zoom_ = zoom;
  for (auto& [id, page] : views_) page->setZoom(zoom);
}

void BrowserStore::copyCurrentAddress(const LinkSite& site) {
  std::string text = site.address;
  if (activeID_ == site.id) {
    if (auto* page = activePage()) {
      if (auto address = page->currentAddress()) text = *address;
    }
  }
  clipboard_.setText(text);
}

void BrowserStore::refreshState() {
  WebPage* page = activePage();
  canGoBack.set(page && page->canGoBack());
  canGoForward.set(page && page->canGoForward());
  isLoading.set(page && page->isLoading());
  currentAddress.set(page ? page->currentAddress() : std::nullopt);
}

void BrowserStore::pageDidStartLoading(WebPage& page) {
  // The document that asked is being replaced: its questions go with it.
  if (auto site = siteOf(page); site && waiting_.count(*site)) refuseWaiting(*site);
  pageLoadChanged(page);
}

void BrowserStore::pageLoadChanged(WebPage& page) {
  if (&page != activePage()) return;
  errorText.set(std::nullopt);
  requiresExternalSignIn.set(false);
  refreshState();
}

void BrowserStore::pageDidFinishLoading(WebPage& page) { pageLoadChanged(page); }

void BrowserStore::pageDidFailLoading(WebPage& page, const LoadError& error) {
  // A page whose web process ended can no longer be answered.
  if (error.domain == LoadErrorKind::processDomain) {
    if (auto site = siteOf(page)) refuseWaiting(*site);
  }
  showNavigationError(error, page);
}

void BrowserStore::showNavigationError(const LoadError& error, WebPage& page) {
  if (&page != activePage()) return;
  bool cancelled = error.domain == LoadErrorKind::networkDomain && error.code == LoadErrorKind::cancelled;
  bool interrupted = error.domain == LoadErrorKind::policyDomain && error.code == LoadErrorKind::interruptedByPolicy;
  if (error.domain == LoadErrorKind::signInRefusedDomain && error.code == LoadErrorKind::signInRefused) {
    // The engine kept the page off the sign-in host: the same outcome as a refused navigation.
    requiresExternalSignIn.set(true);
    errorText.set(std::nullopt);
  } else if (!cancelled && !interrupted) {
    errorText.set(error.message);
  }
  refreshState();
}

PolicyDecision BrowserStore::pageDecidePolicy(WebPage& page, const NavigationRequest& request) {
  if (!request.address) return PolicyDecision::cancel;
  AddressParts parts = splitAddress(*request.address);
  // Only the page itself is kept off the sign-in host: sign-in pages embed frames of that host
  // ("sign in with" buttons, one-tap prompts), which belong to the page. A navigation of unknown
  // frame counts as the page's own unless the engine keeps the page off that host by itself.
  bool pageItself =
      request.frame == NavigationFrame::main || (request.frame == NavigationFrame::unknown && !page.guardsSignInHost());
  if (parts.host && isSameHost(*parts.host, signInHost) && pageItself) {
    if (&page == activePage()) {
      requiresExternalSignIn.set(true);
      errorText.set(std::nullopt);
    }
    return PolicyDecision::cancel;
  }
  if (!parts.scheme) return PolicyDecision::allow;
  if (std::find(allowedSchemes.begin(), allowedSchemes.end(), *parts.scheme) != allowedSchemes.end()) {
    return PolicyDecision::allow;
  }
  // Other schemes belong to desktop applications. Only a navigation the user started goes
  // there, so a page's own script cannot launch local programs; local files never do.
  if (request.userGesture && *parts.scheme != "file") workspace_.openAddress(*request.address);
  return PolicyDecision::cancel;
}

void BrowserStore::pageRequestsNewWindow(WebPage& page, const NavigationRequest& request) {
  if (!request.address || request.address->empty()) return;
  // A frame of another origin may not replace the page without the user's action.
  if (!newWindowAllowed(request, page.currentAddress())) return;
  // The page loads the address itself. That load is the application's own and carries no user
  // gesture, so the navigation is decided here, with the gesture of the request: a click that opens
  // a mail address in a new window reaches the mail client as a click on a mail link does.
  if (pageDecidePolicy(page, request) == PolicyDecision::allow) page.load(*request.address);
}

std::optional<Uuid> BrowserStore::siteOf(const WebPage& page) const {
  for (const auto& [id, view] : views_) {
    if (view.get() == &page) return id;
  }
  return std::nullopt;
}

void BrowserStore::cancelDownload(const Uuid& site) {
  if (auto found = views_.find(site); found != views_.end()) found->second->cancelDownload();
}

bool BrowserStore::pageMayDownload(WebPage& page, const std::string& name) {
  auto site = siteOf(page);
  if (!site) return false;
  const auto& running = downloads();
  if (std::any_of(running.begin(), running.end(), [&](const RunningDownload& d) { return d.site == *site; })) {
    downloadNotice.set(strings::downloadBusy(name));
    return false;
  }
  downloadNotice.set(std::nullopt);
  std::vector<RunningDownload> next = running;
  next.push_back({*site, DownloadProgress{name, 0, std::nullopt}});
  downloads.set(std::move(next));
  return true;
}

void BrowserStore::pageDownloadProgressed(WebPage& page, const DownloadProgress& progress) {
  auto site = siteOf(page);
  if (!site) return;
  std::vector<RunningDownload> next = downloads();
  for (auto& download : next) {
    if (download.site == *site) download.progress = progress;
  }
  downloads.set(std::move(next));
}

void BrowserStore::pageDownloadEnded(WebPage& page, const DownloadReport& report) {
  auto site = siteOf(page);
  if (!site) return;
  std::vector<RunningDownload> next = downloads();
  std::erase_if(next, [&](const RunningDownload& download) { return download.site == *site; });
  downloads.set(std::move(next));
  // A finished download has its notification; a failed or stopped one also stays said in the panel.
  if (!report.succeeded && !report.cancelled) downloadNotice.set(report.message);
}

// A page that stopped answering shows the card until it answers again or "Try again" loads it
// in a new process; the page stays behind the card, as it was.
void BrowserStore::pageRespondingChanged(WebPage& page) {
  if (&page != activePage()) return;
  const std::string notResponding(strings::pageNotResponding());
  if (!page.responding()) {
    errorText.set(notResponding);
  } else if (errorText() == notResponding) {
    errorText.set(std::nullopt);
  }
}

void BrowserStore::pageTakesTyping(WebPage& page) {
  if (auto site = siteOf(page)) typingTaken.emit(*site);
}

bool BrowserStore::takesTyping(const Uuid& site) const {
  auto found = views_.find(site);
  return found != views_.end() && found->second->takesTyping();
}

void BrowserStore::pageTitleChanged(WebPage& page, const std::string& title) {
  if (auto site = siteOf(page)) titleChanged.emit(*site, title);
}

void BrowserStore::pageShowsNotification(WebPage& page, const PageNotification& notification) {
  if (auto site = siteOf(page)) notified.emit(*site, notification);
}

void BrowserStore::pageClosedNotification(WebPage& page, const std::string& key) {
  if (auto site = siteOf(page)) notificationClosed.emit(*site, key);
}

void BrowserStore::notificationClicked(const Uuid& site, const std::string& key) {
  if (auto found = views_.find(site); found != views_.end()) found->second->notificationClicked(key);
}

std::optional<PermissionAnswer> BrowserStore::storedAnswer(const std::string& origin,
                                                           const std::vector<PermissionKind>& kinds) const {
  // The names of the microphones and cameras go to an origin that may use one of them, as
  // browsers do; asking for them separately would only puzzle.
  if (kinds == std::vector<PermissionKind>{PermissionKind::deviceInfo}) {
    for (PermissionKind device : {PermissionKind::microphone, PermissionKind::camera}) {
      if (permissions_.answerFor(origin, {device}) == PermissionAnswer::allow) return PermissionAnswer::allow;
    }
    return PermissionAnswer::block;
  }
  return permissions_.answerFor(origin, kinds);
}

void BrowserStore::pageRequestsPermission(WebPage& page, PermissionRequest request) {
  if (!request.answer) return;
  auto site = siteOf(page);
  // A page that is not a site's (closing), or without an origin to keep an answer under, is refused.
  if (!site || request.origin.empty() || request.kinds.empty()) {
    request.answer(false);
    return;
  }
  if (auto stored = storedAnswer(request.origin, request.kinds)) {
    request.answer(*stored == PermissionAnswer::allow);
    return;
  }
  waiting_[*site].push_back(
      {PermissionPrompt{*site, std::move(request.kinds), std::move(request.origin), std::move(request.host)},
       std::move(request.answer)});
  if (site == activeID_ && waiting_[*site].size() == 1) showPrompt();
}

std::optional<PermissionAnswer> BrowserStore::pageStoredPermission(WebPage& /*page*/, const std::string& origin,
                                                                   PermissionKind kind) {
  return permissions_.answerFor(origin, {kind});
}

std::optional<PermissionPrompt> BrowserStore::answerPermission(PermissionAnswer answer) {
  if (!activeID_) return std::nullopt;
  auto found = waiting_.find(*activeID_);
  if (found == waiting_.end() || found->second.empty()) return std::nullopt;
  WaitingPermission first = std::move(found->second.front());
  found->second.pop_front();
  if (found->second.empty()) waiting_.erase(found);
  // The caller stores the answer right after; the page may look it up while it is told it.
  permissions_.remember(first.prompt.origin, first.prompt.kinds, answer);
  first.answer(answer == PermissionAnswer::allow);
  showPrompt();
  return first.prompt;
}

void BrowserStore::setPermissions(const SitePermissions& permissions) {
  permissions_ = permissions;
  factory_.setNotificationPermissions(permissions_.originsWith(PermissionKind::notifications, PermissionAnswer::allow),
                                      permissions_.originsWith(PermissionKind::notifications, PermissionAnswer::block));
  // Requests answered meanwhile (the same question from another page of the origin) get their answer.
  std::vector<std::pair<std::function<void(bool)>, bool>> answered;
  for (auto it = waiting_.begin(); it != waiting_.end();) {
    std::erase_if(it->second, [&](WaitingPermission& waiting) {
      auto stored = storedAnswer(waiting.prompt.origin, waiting.prompt.kinds);
      if (!stored) return false;
      answered.emplace_back(std::move(waiting.answer), *stored == PermissionAnswer::allow);
      return true;
    });
    it = it->second.empty() ? waiting_.erase(it) : std::next(it);
  }
  showPrompt();
  for (auto& [reply, allow] : answered) reply(allow);
}

std::size_t BrowserStore::waitingPermissions(const Uuid& site) const {
  auto found = waiting_.find(site);
  return found == waiting_.end() ? 0 : found->second.size();
}

void BrowserStore::refuseWaiting(Uuid site) {
  auto found = waiting_.find(site);
  if (found == waiting_.end()) return;
  std::deque<WaitingPermission> refused = std::move(found->second);
  waiting_.erase(found);
  if (site == activeID_) showPrompt();
  for (auto& waiting : refused) waiting.answer(false);
}

void BrowserStore::showPrompt() {
  std::optional<PermissionPrompt> prompt;
  if (activeID_) {
    if (auto found = waiting_.find(*activeID_); found != waiting_.end() && !found->second.empty()) {
      prompt = found->second.front().prompt;
    }
  }
  if (prompt != permissionPrompt()) permissionPrompt.set(std::move(prompt));
}

}  // namespace vesk
