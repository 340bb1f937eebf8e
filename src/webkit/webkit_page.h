// A WebPage backed by a WebKitGTK web view on the shared web-engine context.
// Wiring: WebEngine engine; WebKitPageFactory factory{engine}; BrowserStore store{factory, clipboard, workspace};
// the engine starts (and its web processes with it) only when the store makes its first page.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "browser/download_consent.h"
#include "browser/web_page.h"
#include "model/glib_handles.h"
#include "model/lifetime.h"
#include "webkit/typing_watch.h"
#include "webkit/web_engine.h"

struct _GError;
struct _WebKitDownload;
struct _WebKitNotification;
struct _WebKitPermissionRequest;
struct _WebKitPermissionStateQuery;
struct _WebKitPolicyDecision;
struct _WebKitWebView;

namespace vesk {

class WebKitPage final : public WebPage {
 public:
  // `loadTimeout` is how long a main-frame request may wait for its response, `answerLimit` how long
  // its process may leave a question unanswered (see responding()). The page runs on the
  // engine's context and takes up the engine's sign-in guard as soon as it is compiled.
  WebKitPage(WebEngine& engine, WebPageDelegate& delegate, std::chrono::milliseconds loadTimeout = pageLoadTimeout,
             std::chrono::milliseconds answerLimit = pageAnswerLimit);
  ~WebKitPage() override;
  WebKitPage(const WebKitPage&) = delete;
  WebKitPage& operator=(const WebKitPage&) = delete;

  void load(const std::string& address) override;
  void goBack() override;
  void goForward() override;
  void reload() override;
  void setZoom(double zoom) override;
  void runEditingCommand(EditingCommand command) override;

  std::optional<std::string> currentAddress() const override;
  bool canGoBack() const override;
  bool canGoForward() const override;
  // False once the web process ended, until the next load starts: the engine may still count the
  // load it was in the middle of.
  bool isLoading() const override;
  std::optional<LoadError> processFailure() const override { return processFailure_; }
  bool responding() const override;
  // Whether the page's web process runs and stays: not ended, nor being replaced.
  bool processRuns() const { return !processFailure_ && !renewingAt_; }
  // Whether the two pages run in the same web process (made related to each other, directly or
  // through other pages, and neither has had a new process since).
  bool sharesProcessWith(const WebKitPage& other) const;
  bool guardsSignInHost() const override { return guarded_; }
  bool takesTyping() const override { return typing_->ready(); }
  void cancelDownload() override;
  std::string title() const override;
  void notificationClicked(const std::string& key) override;
  std::string savedHistory() const override;
  bool restoreHistory(const std::string& saved) override;

  // The page that shows `view`, or null for a view no page made.
  static WebKitPage* of(_WebKitWebView* view);
  WebPageDelegate& delegate() const { return delegate_; }
  // Expires when the page goes.
  Lifetime<WebKitPage>::Handle handle() const { return lifetime_.handle(); }
  // What the user asked this page to download; the engine's downloads take their consent here.
  DownloadConsent& downloadConsent() { return consent_; }
  // The download the page runs, from when its delegate allowed it until it ends. The page stops it
  // when it closes.
  void adoptDownload(_WebKitDownload* download);
  void releaseDownload(_WebKitDownload* download);

  Gtk::Widget* widget() const override { return widget_; }
  _WebKitWebView* webView() const { return view_.get(); }

 private:
  void loadChanged(int event);
  void loadFailed(const _GError* error);
  int decidePolicy(_WebKitPolicyDecision* decision, int type);
  void responseDecided(_WebKitPolicyDecision* decision);
  void webProcessTerminated(int reason);
  // Ends the page's web process and loads `address` (when given) in a new one; the other pages on
  // a shared process load their own pages again with it.
  void renewProcess(const std::string& address);
  // The user clicked the page, or the engine found its process slow to take a key or a load (the
  // engine times those for 3 s, but not clicks: a click waits behind the pointer's move, which it
  // does not time). The page asks its process a trivial question; unanswered for `answerLimit_`,
  // the page stops responding() until the answer comes.
  void askForAnswer();
  void answered();
  void setUnanswered(bool unanswered);
  void armTimeout();
  void disarmTimeout();
  void timeoutExpired();
  void takeSignInGuard(WebEngine& engine);
  void showNotification(_WebKitNotification* notification);
  void notificationClosed(_WebKitNotification* notification);
  std::optional<NoticeImage> favicon() const;
  // The page asks for a permission: its delegate decides, through the user where needed.
  bool permissionRequested(_WebKitPermissionRequest* request);
  PermissionRequest requestOfPage(std::vector<PermissionKind> kinds) const;
  // The page asked for notifications outside a user action (see holdNotificationRequests).
  void notificationsAsked();
  // Whether the page's web process holds another notification answer for `origin` than the
  // engine would give it now.
  bool notificationAnswerStale(const std::string& origin) const;
  // The page reads one of its permissions (navigator.permissions.query).
  bool permissionQueried(_WebKitPermissionStateQuery* query);

  // Members end in reverse order: the lifetime first (a download's end reports to no page), then
  // the download (stopped), the handlers, the time limit, the guard subscription and the
  // notifications the page shows, and only then the view. Ending the view ends its web process, which emits signals
  // into whoever still listens.
  struct ViewEnd {
    void operator()(_WebKitWebView* view) const;
  };
  struct DownloadEnd {
    void operator()(_WebKitDownload* download) const;
  };

  std::unique_ptr<_WebKitWebView, ViewEnd> view_;
  WebEngine& engine_;
  Gtk::Widget* widget_ = nullptr;
  WebPageDelegate& delegate_;
  std::chrono::milliseconds loadTimeout_;
  std::chrono::milliseconds answerLimit_;
  bool timedOut_ = false;
  std::optional<LoadError> pendingFailure_;
  std::optional<LoadError> processFailure_;
  // What reload() loads until a first page arrived: the address last given to load().
  std::string lastRequested_;
  bool committed_ = false;
  bool guarded_ = false;
  DownloadConsent consent_;
  // The notifications the page shows, by key, each held until the page closes it: the engine
  // keeps one alive only while the page does, and a click on the desktop must still reach it.
  // Beyond `notificationLimit`, the oldest is closed (a chat that never closes its own would
  // otherwise keep every one).
  struct ShownNotification {
    GObjectPtr<_WebKitNotification> notification;
    SignalConnection closed;
    std::uint64_t order = 0;
  };
  static constexpr std::size_t notificationLimit = 32;
  std::map<std::string, ShownNotification> notifications_;
  std::uint64_t notificationsShown_ = 0;
  SignalConnection titleChanged_;
  SignalConnection respondingChanged_;
  SignalConnection pressed_;
  SignalConnection notificationShown_;
  // The engine's notificationChanges() when the page's web process started, and the address a
  // process being replaced for a changed answer loads again.
  std::uint64_t processNotificationChanges_ = 0;
  // The notification answers the web process was given since it started, by answering the page's
  // requests (true: allowed).
  std::map<std::string, bool> processLearnt_;
  bool notificationsAsking_ = false;
  SignalConnection notificationAsked_;
  std::optional<std::string> renewingAt_;
  // The process the page shares, after its renewal, with the pages renewed with it.
  std::shared_ptr<int> nextProcess_;
  // A question asked after a click is under way; it went unanswered for `pageAnswerLimit`.
  bool asking_ = false;
  bool unanswered_ = false;
  Subscription guardReady_;
  SourceGuard timeout_;
  SourceGuard answerWait_;
  CallGuard questions_;
  std::optional<TypingWatch> typing_;
  std::array<SignalConnection, 6> signals_;
  SignalConnection permissionRequest_;
  SignalConnection permissionQuery_;
  std::unique_ptr<_WebKitDownload, DownloadEnd> download_;
  Lifetime<WebKitPage> lifetime_{this};
};

// Makes WebKitPages on the engine's shared context, starting the engine with the first page.
class WebKitPageFactory final : public WebPageFactory {
 public:
  // The engine must outlive the factory and every page it makes.
  explicit WebKitPageFactory(WebEngine& engine, std::chrono::milliseconds loadTimeout = pageLoadTimeout,
                             std::chrono::milliseconds answerLimit = pageAnswerLimit)
      : engine_(engine), loadTimeout_(loadTimeout), answerLimit_(answerLimit) {}

  // Pages can be made unless the engine cannot start here (see WebEngine::problem).
  bool ready() const override { return engine_.problem().empty(); }
  std::string problem() const override { return engine_.problem(); }
  std::unique_ptr<WebPage> createPage(WebPageDelegate& delegate) override;
  void setNotificationPermissions(std::vector<std::string> allowed, std::vector<std::string> blocked) override {
    engine_.setNotificationPermissions(std::move(allowed), std::move(blocked));
  }
  void setSharedWebProcess(bool shared) override { engine_.setSharedWebProcess(shared); }

 private:
  WebEngine& engine_;
  std::chrono::milliseconds loadTimeout_;
  std::chrono::milliseconds answerLimit_;
};

}  // namespace vesk
