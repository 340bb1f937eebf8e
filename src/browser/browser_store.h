// Owns one web page per saved site, publishes the active page's navigation state and
// decides which navigations stay inside the panel.
#pragma once

#include <array>
#include <cstddef>
#include <deque>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "browser/clipboard.h"
#include "browser/web_page.h"
#include "browser/workspace.h"
#include "model/link_site.h"
#include "model/published.h"
#include "model/site_permissions.h"
#include "model/uuid.h"

namespace vesk {

// Schemes whose navigations stay inside the panel.
inline constexpr std::array<std::string_view, 5> allowedSchemes{"http", "https", "about", "blob", "data"};

// Scheme and host of an address as the navigation policy reads them: those of `splitUrl`, the host
// lower-cased as well. Either is absent when the address has none.
struct AddressParts {
  std::optional<std::string> scheme;
  std::optional<std::string> host;
};
AddressParts splitAddress(std::string_view address);

// How many pages stay alive by default. Each live page keeps a web process of its own (tens of MiB)
// unless the sites share one (setSharedWebProcess); beyond this many, the page shown least recently is released and
// comes back, with its history and address, when shown again.
inline constexpr std::size_t defaultLivePageLimit = 8;

// A download that runs for a site.
struct RunningDownload {
  Uuid site;
  DownloadProgress progress;
};

// A site's page asks for a permission and waits for the user's answer.
struct PermissionPrompt {
  Uuid site;
  std::vector<PermissionKind> kinds;
  std::string origin;  // of the page that asks (see originOf)
  std::string host;    // for the question
  bool operator==(const PermissionPrompt&) const = default;
};

// One store per panel, kept for the whole run. Pages are created on first use and kept while their
// site is saved, up to `livePageLimit` live pages: when a site is shown and more pages live, the
// hidden pages shown least recently are released (their web processes end) and only their history
// is kept; showing such a site again makes a new page that restores that history and its address.
// The shown page and pages running a download are never released. Sign-in state lives in the
// shared cookies, so it survives a release. A removed site's page is closed (see forgetSites). All
// calls and all page events happen on the main thread.
class BrowserStore final : private WebPageDelegate {
 public:
  // The factory, clipboard and workspace must outlive the store. A limit below 1 counts as 1.
  BrowserStore(WebPageFactory& factory, Clipboard& clipboard, Workspace& workspace,
               std::size_t livePageLimit = defaultLivePageLimit);
  ~BrowserStore() override;
  BrowserStore(const BrowserStore&) = delete;
  BrowserStore& operator=(const BrowserStore&) = delete;

  // State of the active page. Observers run after each assignment, also when the value is unchanged.
  // Only the store assigns these fields; views read them and call the store's actions.
  Published<bool, BrowserStore> canGoBack{false};
  Published<bool, BrowserStore> canGoForward{false};
  Published<bool, BrowserStore> isLoading{false};
  Published<std::optional<std::string>, BrowserStore> errorText;  // last load failure of the active page
  Published<bool, BrowserStore> requiresExternalSignIn{false};    // the active site tried to open the sign-in host
  Published<std::optional<std::string>, BrowserStore> currentAddress;

  // Downloads of every site, in the order they started. Only a download the user started runs, and
  // at most one per site: a second one is refused while the first runs.
  Published<std::vector<RunningDownload>, BrowserStore> downloads;
  // Why the last download was refused or stopped, until dismissed or the next download starts.
  Published<std::optional<std::string>, BrowserStore> downloadNotice;
  // Stops the site's download and removes its partial file.
  void cancelDownload(const Uuid& site);
  void dismissDownloadNotice() { downloadNotice.set(std::nullopt); }

  // What the pages of every site tell beyond their navigation, with the site each belongs to: a
  // new title, a notification shown (or replaced under its key), a notification taken back.
  Event<BrowserStore, const Uuid&, const std::string&> titleChanged;
  Event<BrowserStore, const Uuid&, const PageNotification&> notified;
  Event<BrowserStore, const Uuid&, const std::string&> notificationClosed;
  // The site's page takes typing now: a field of its document has the focus, or it has loaded.
  Event<BrowserStore, const Uuid&> typingTaken;
  // Whether the site's live page takes typing (see WebPage::takesTyping); false without one.
  bool takesTyping(const Uuid& site) const;
  // Tells the site's page that the user clicked its notification `key`; nothing when the page is
  // no longer alive.
  void notificationClicked(const Uuid& site, const std::string& key);
  // The active site's first permission request that waits for the user's answer. A request with a
  // stored answer gets it at once; others wait, those of hidden sites until their site is shown.
  // One the user never answers is refused when its page goes (released, site removed, store
  // closed), its web process ends or it loads another document.
  Published<std::optional<PermissionPrompt>> permissionPrompt;
  // Answers the request permissionPrompt shows; returns it, so that the answer can be remembered.
  std::optional<PermissionPrompt> answerPermission(PermissionAnswer answer);
  // The user's stored answers changed: waiting requests that have an answer now get it, and the
  // engine learns which origins may show notifications.
  void setPermissions(const SitePermissions& permissions);
  // How many requests of `site` wait.
  std::size_t waitingPermissions(const Uuid& site) const;

  // The site whose page is shown, if any.
  const std::optional<Uuid>& activeID() const { return activeID_; }

  // The site's page: created and loaded on first use, reloaded in place when the site's
  // address differs from the one it was last given, otherwise returned untouched.
  // An address that does not parse loads nothing (the page stays blank).
  WebPage& view(const LinkSite& site);
  // Makes the site active, clears the error and sign-in flags and republishes the state. When the
  // site's web process ended and the page was not loaded since, errorText says so.
  // Does not create a page; call view() first. Then releases hidden pages beyond the limit.
  void activate(const LinkSite& site);

  // Whether the site's page is alive; false before its first view() and while it is released.
  bool isLive(const Uuid& id) const { return views_.count(id) > 0; }
  std::size_t livePageLimit() const { return livePageLimit_; }

  // Closes the page of every site that is not in `current`, the model's whole site list, and ends
  // its web process. A removed site is never shown again (adding it back makes a new site), so its
  // page would only hold memory. When the active site's page closes, no site is active and the
  // published state is that of no page.
  void forgetSites(const std::vector<LinkSite>& current);
  // Whether the site's page was closed because the site left the list.
  bool isForgotten(const Uuid& id) const { return forgotten_.count(id) > 0; }

  // Commands for the active page; nothing happens without one. The published state follows
  // when the resulting navigation starts.
  void goBack();
  void goForward();
  void reload();
  void runEditingCommand(EditingCommand command);

  // Whether the sites' pages share one web process. Pages made from now on follow; so that the
  // choice holds at once, a change releases every hidden page (its history is kept, as when the
  // live-page limit releases it; one running a download stays), and the next page of each site is
  // made the new way. The shown page keeps its process: the pages made later join it, or leave
  // it alone. While sharing, "Try again" on a page whose web process ended makes its page again, on
  // the process the other pages run in (a page reloaded in place would start one of its own).
  void setSharedWebProcess(bool shared);
  bool sharesWebProcess() const { return sharedWebProcess_; }

  // Applies the page zoom (1.0 = 100 %) to every page, active or not, and to pages made later.
  void setZoom(double zoom);
  double zoom() const { return zoom_; }

  // Copies the active page's address when `site` is active and its page has one, otherwise the
  // site's saved address.
  void copyCurrentAddress(const LinkSite& site);

 private:
  WebPage* activePage() const;
  void refreshState();
  void showNavigationError(const LoadError& error, WebPage& page);

  void pageDidStartLoading(WebPage& page) override;
  // The active page's state after a load started or finished.
  void pageLoadChanged(WebPage& page);
  void pageDidFinishLoading(WebPage& page) override;
  void pageDidFailLoading(WebPage& page, const LoadError& error) override;
  PolicyDecision pageDecidePolicy(WebPage& page, const NavigationRequest& request) override;
  void pageRequestsNewWindow(WebPage& page, const NavigationRequest& request) override;
  bool pageMayDownload(WebPage& page, const std::string& name) override;
  void pageDownloadProgressed(WebPage& page, const DownloadProgress& progress) override;
  void pageDownloadEnded(WebPage& page, const DownloadReport& report) override;
  void pageTitleChanged(WebPage& page, const std::string& title) override;
  void pageTakesTyping(WebPage& page) override;
  void pageRespondingChanged(WebPage& page) override;
  void pageShowsNotification(WebPage& page, const PageNotification& notification) override;
  void pageClosedNotification(WebPage& page, const std::string& key) override;
  void pageRequestsPermission(WebPage& page, PermissionRequest request) override;
  std::optional<PermissionAnswer> pageStoredPermission(WebPage& page, const std::string& origin,
                                                       PermissionKind kind) override;
  // The stored answer for a request, if any.
  std::optional<PermissionAnswer> storedAnswer(const std::string& origin,
                                               const std::vector<PermissionKind>& kinds) const;
  // Refuses every waiting request of `site`.
  void refuseWaiting(Uuid site);  // by value: callers may name a key of `waiting_` itself
  void showPrompt();
  std::optional<Uuid> siteOf(const WebPage& page) const;
  void releaseBeyondLimit();
  // Releases the page of `id` (see livePageLimit), keeping its history.
  void release(const Uuid& id, std::vector<std::unique_ptr<WebPage>>& closing);
  // Makes the page of `id` again from its history, in place of one whose web process ended.
  void remake(const Uuid& id);
  bool isDownloading(const Uuid& id) const;

  WebPageFactory& factory_;
  Clipboard& clipboard_;
  Workspace& workspace_;
  std::optional<Uuid> activeID_;
  std::map<Uuid, std::string> addresses_;
  std::set<Uuid> forgotten_;
  std::size_t livePageLimit_;
  std::list<Uuid> recent_;                // shown sites, the most recently shown first
  std::map<Uuid, std::string> released_;  // the history of each released page
  double zoom_ = 1.0;
  bool sharedWebProcess_ = false;
  struct WaitingPermission {
    PermissionPrompt prompt;
    std::function<void(bool allow)> answer;
  };
  std::map<Uuid, std::deque<WaitingPermission>> waiting_;  // per site, in the order asked
  SitePermissions permissions_;
  // The pages, last: they go first, while everything they may still report to is in place.
  std::map<Uuid, std::unique_ptr<WebPage>> views_;
};

}  // namespace vesk
