// The one web-engine context shared by every page: persistent cookies and site data, sandboxed
// web processes, and downloads saved into the user's Download folder.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "browser/web_page.h"
#include "model/glib_handles.h"
#include "model/lifetime.h"
#include "model/published.h"

struct _WebKitWebContext;
struct _WebKitDownload;
struct _WebKitUserContentFilter;
struct _WebKitUserContentFilterStore;

namespace vesk {

class WebKitPage;

class WebEngine {
 public:
  struct Paths {
    std::string dataDirectory;   // cookies, local storage, caches of site data
    std::string cacheDirectory;  // the HTTP disk cache
  };
  // $XDG_DATA_HOME/vesk/web and $XDG_CACHE_HOME/vesk/web.
  static Paths defaultPaths();

  // Creates nothing yet: the context and its web processes start with the first page.
  explicit WebEngine(Paths paths = defaultPaths());
  ~WebEngine();
  WebEngine(const WebEngine&) = delete;
  WebEngine& operator=(const WebEngine&) = delete;

  // Why the engine cannot start here, in one sentence for the page area, or empty. Checked once,
  // on the first call (which also makes the data and cache folders, private to the user): the web
  // processes' sandbox binds folders under the user's config, data, cache, home and runtime
  // folders and refuses to start, which the engine answers by ending the program, when one of
  // them is a file; the cookie database must be a regular file.
  const std::string& problem();

  // The shared context, created on the first call. Pages made from it share cookies and site data,
  // which survive restarts. Only when problem() is empty.
  _WebKitWebContext* context();
  bool isStarted() const { return context_ != nullptr; }
  const Paths& paths() const { return paths_; }

  // The origins ("https://mail.example.com") whose notifications are allowed and blocked, as pages
  // read their permission (Notification.permission). Given to the context when it starts and to
  // every web process it starts; a process already running takes up a changed origin when its page
  // reloads (see WebKitPage::reload).
  void setNotificationPermissions(std::vector<std::string> allowed, std::vector<std::string> blocked);
  // A running web process keeps the notification answers it was given. Counts the changes of an
  // origin's answer (given, taken back or turned round): a page whose process started before the
  // last change of its origin needs a new process for its page to read the new answer, unless the
  // process learnt it by answering the page's own request (WebKitPage::notificationAnswerStale).
  std::uint64_t notificationChanges() const { return notificationChanges_; }
  std::uint64_t lastNotificationChange(const std::string& origin) const;
  // What a process started now would be given for `origin`: true allowed, false blocked, absent
  // neither (the page asks).
  std::optional<bool> notificationAnswer(const std::string& origin) const;

  // Whether pages made from now on share one web process with a live page (see
  // WebPageFactory::setSharedWebProcess). Off until told.
  void setSharedWebProcess(bool shared) { sharedWebProcess_ = shared; }
  bool sharesWebProcess() const { return sharedWebProcess_; }
  // The pages alive on the context, oldest first: each page adds itself when it is made and
  // leaves when it closes. A page made while sharing joins the process of one of them.
  void pageMade(WebKitPage* page) { pages_.push_back(page); }
  void pageGone(WebKitPage* page) { std::erase(pages_, page); }
  const std::vector<WebKitPage*>& livePages() const { return pages_; }

  // Every download that ended, successfully or not.
  Signal<const DownloadReport&> downloadEnded;
  // The user stops a download the engine runs; its partial file goes when it ends.
  static void cancelDownload(_WebKitDownload* download);

  // A content rule that stops every main-frame load of the sign-in host before its request goes
  // out, while frames the page embeds may still load from that host. The navigation policy cannot
  // tell a page's own navigations from its frames', the engine's content rules can. Compiled in the
  // background when the context starts; null until then, and for good if it cannot be compiled.
  _WebKitUserContentFilter* signInGuard() const { return signInGuard_.get(); }
  // Emitted once, when signInGuard() becomes available.
  Signal<> signInGuardReady;

 private:
  void downloadStarted(_WebKitDownload* download);
  void compileSignInGuard();
  void giveNotificationPermissions();

  struct FilterUnref {
    void operator()(_WebKitUserContentFilter* filter) const;
  };

  Paths paths_;
  std::optional<std::string> problem_;  // once checked
  bool dataFolder_ = true;              // the data folder exists: cookies can be kept
  GObjectPtr<_WebKitWebContext> context_;
  std::vector<std::string> allowedNotifications_;
  std::vector<std::string> blockedNotifications_;
  SignalConnection notificationPermissionsAsked_;
  bool sharedWebProcess_ = false;
  std::vector<WebKitPage*> pages_;
  bool siteIcons_ = false;  // the engine keeps site icons (see giveNotificationPermissions)
  std::uint64_t notificationChanges_ = 0;
  std::map<std::string, std::uint64_t> notificationChanged_;  // origin → the change that last took one back
  SignalConnection downloadStartedHandler_;
  GObjectPtr<_WebKitUserContentFilterStore> filterStore_;
  std::unique_ptr<_WebKitUserContentFilter, FilterUnref> signInGuard_;
  CallGuard calls_;                     // the rule's compilation
  Lifetime<WebEngine> lifetime_{this};  // lets downloads outlive us
};

}  // namespace vesk
