// One embedded web page as the browser store sees it: loading, history, zoom, state and events.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "model/desktop_notification.h"
#include "model/site_permissions.h"
#include "model/strings.h"

namespace Gtk {
class Widget;
}

namespace vesk {

// Every load gives up when the page's main request makes no progress for this long.
inline constexpr std::chrono::seconds pageLoadTimeout{60};
// How long a page's process may leave a question unanswered, once the user clicked the page or
// the engine found it slow to take a key or a load, before the page counts as not responding: a
// page busy for a moment keeps its content on screen (browsers wait as long for a slow script).
inline constexpr std::chrono::seconds pageAnswerLimit{10};

// Why a load failed. `domain` is the error domain's name as the engine reports it
// (for GLib errors the quark's text, e.g. "WebKitNetworkError" or "g-io-error-quark").
struct LoadError {
  std::string domain;
  int code = 0;
  std::string message;  // one readable sentence, shown to the user unchanged
};

// Error domains and codes the store treats specially.
namespace LoadErrorKind {
inline constexpr std::string_view networkDomain = "WebKitNetworkError";
inline constexpr int cancelled = 302;  // the load was stopped or replaced by another one
inline constexpr std::string_view policyDomain = "WebKitPolicyError";
inline constexpr int interruptedByPolicy = 102;  // a response decision stopped the frame load

// Reported by the page itself when a load made no progress for `pageLoadTimeout`.
inline constexpr std::string_view timeoutDomain = "g-io-error-quark";
inline constexpr int timedOut = 24;  // G_IO_ERROR_TIMED_OUT

// Reported by the page itself when its web process ended (crash, memory limit, killed).
inline constexpr std::string_view processDomain = "vesk-web-process-error";
inline constexpr int processCrashed = 1;
inline constexpr int processExceededMemory = 2;
inline constexpr int processTerminated = 3;

// Reported by a page whose engine stopped a main-frame load of the sign-in host itself, before any
// request went out (see WebPage::guardsSignInHost).
inline constexpr std::string_view signInRefusedDomain = "vesk-sign-in-refused";
inline constexpr int signInRefused = 1;
}  // namespace LoadErrorKind

// The frame a navigation loads into.
enum class NavigationFrame {
  main,     // the page itself; new-window requests load here too
  sub,      // a frame the page embeds
  unknown,  // the engine cannot tell at decision time
};

// A navigation the page asks permission for.
struct NavigationRequest {
  std::optional<std::string> address;  // absent when the request carries no address
  bool userGesture = false;            // started by the user (a click, a key) rather than the page's own script
  bool newWindow = false;              // the page asked for the address in a new window
  NavigationFrame frame = NavigationFrame::main;
  // The address of the document that asked, as far as the engine tells (its referrer, which a page
  // may withhold); absent when it does not. Set for new-window requests.
  std::optional<std::string> requester;
};

enum class PolicyDecision { allow, cancel };

// Editing commands a page runs on its focused field, as its own menu would.
enum class EditingCommand { undo, redo };

// A download of a page while it runs.
struct DownloadProgress {
  std::string name;  // the file's name in the Download folder
  std::uint64_t received = 0;
  std::optional<std::uint64_t> total;  // absent when the server does not say
  bool operator==(const DownloadProgress&) const = default;
};

// How a page's download ended.
struct DownloadReport {
  std::string path;  // where the file was (or would have been) saved
  bool succeeded = false;
  bool cancelled = false;  // the user cancelled it
  std::string message;     // the notification's text
  bool operator==(const DownloadReport&) const = default;
};

// A notification the page shows (through the web's Notification API, once allowed to).
struct PageNotification {
  // The page's name for it: its tag when it has one (a later notification with the same tag
  // replaces it), else a name of its own.
  std::string key;
  std::string title;
  std::string body;
  std::optional<NoticeImage> icon;  // the page's icon (its favicon), when the engine has one
};

// A permission the page asks for (notifications, the microphone, ...).
struct PermissionRequest {
  std::vector<PermissionKind> kinds;  // the microphone and the camera asked at once are both here
  std::string origin;                 // of the page that asks (see originOf); empty when it has none
  std::string host;                   // the page's host, for the question
  // Gives the page the answer, once. A request dropped unanswered is refused: the page is never
  // left waiting, and nothing is granted without an answer.
  std::function<void(bool allow)> answer;
};

class WebPage;

// Receives a page's events, all on the main thread. The browser store implements it.
class WebPageDelegate {
 public:
  virtual ~WebPageDelegate() = default;

  // A main-frame load began (the request is on its way; the page's address may not have changed yet).
  virtual void pageDidStartLoading(WebPage& page) = 0;
  // A main-frame load completed successfully.
  virtual void pageDidFinishLoading(WebPage& page) = 0;
  // A load failed before or after its first data arrived, timed out, was stopped by the page's
  // sign-in guard, or the page's web process ended. The page keeps its previous content and history.
  virtual void pageDidFailLoading(WebPage& page, const LoadError& error) = 0;
  // Decides every navigation of the page, answered synchronously.
  virtual PolicyDecision pageDecidePolicy(WebPage& page, const NavigationRequest& request) = 0;
  // The page or one of its frames wants `request.address` in a new window; no new page or window is
  // ever created for it: the address may load into the page itself (see newWindowAllowed).
  virtual void pageRequestsNewWindow(WebPage& page, const NavigationRequest& request) = 0;
  // A download the user started on the page is about to be saved as `name`. Refused when false:
  // nothing is created. Downloads no user gesture started never get this far.
  virtual bool pageMayDownload(WebPage& page, const std::string& name) = 0;
  // The page's allowed download received data.
  virtual void pageDownloadProgressed(WebPage& page, const DownloadProgress& progress) = 0;
  // The page's allowed download ended; its partial file, if any, is gone.
  virtual void pageDownloadEnded(WebPage& page, const DownloadReport& report) = 0;
  // The page's title changed (empty while it has none).
  virtual void pageTitleChanged(WebPage& page, const std::string& title) = 0;
  // The page takes typing now (see WebPage::takesTyping).
  virtual void pageTakesTyping(WebPage& /*page*/) {}
  // The page's web process stopped answering, or answers again (see WebPage::responding).
  virtual void pageRespondingChanged(WebPage& page) = 0;
  // The page shows a notification, or replaces the one under the same key.
  virtual void pageShowsNotification(WebPage& page, const PageNotification& notification) = 0;
  // The page took back its notification `key` (it closed it, or left the document that showed it).
  virtual void pageClosedNotification(WebPage& page, const std::string& key) = 0;
  // The page asks for a permission. A delegate that keeps no request refuses it.
  virtual void pageRequestsPermission(WebPage& /*page*/, PermissionRequest /*request*/) {}
  // The answer already given for `kind` to the page's `origin`, for the page's own queries of its
  // permissions; absent when the user was not asked yet.
  virtual std::optional<PermissionAnswer> pageStoredPermission(WebPage& /*page*/, const std::string& /*origin*/,
                                                               PermissionKind /*kind*/) {
    return std::nullopt;
  }
};

class WebPage {
 public:
  virtual ~WebPage() = default;

  // Starts loading `address` (an absolute URL); it fails with a timeout error when the
  // load makes no progress for `pageLoadTimeout`.
  virtual void load(const std::string& address) = 0;
  virtual void goBack() = 0;
  virtual void goForward() = 0;
  // Reloads the page shown; until a first page arrived (its load failed, or the web process ended
  // first), loads again the address the page was last asked to load.
  virtual void reload() = 0;
  // Page zoom factor, 1.0 = 100 %.
  virtual void setZoom(double zoom) = 0;
  // Runs the engine's own editing command in the page's focused field (nothing without one).
  virtual void runEditingCommand(EditingCommand command) = 0;

  // Absolute address of the page shown (or being loaded), absent when the page never had one.
  virtual std::optional<std::string> currentAddress() const = 0;
  virtual bool canGoBack() const = 0;
  virtual bool canGoForward() const = 0;
  virtual bool isLoading() const = 0;
  // Why the page's web process ended, while it has not been loaded again; absent when it runs.
  virtual std::optional<LoadError> processFailure() const = 0;
  // False while the page's web process does not answer (a script that never ends, here or, when
  // sites share a process, on another site); it may answer again. reload() then loads the page in
  // a new process.
  virtual bool responding() const = 0;
  // Whether the engine itself stops every main-frame load of the sign-in host before its request
  // goes out, reporting it as a `signInRefused` failure. Navigations whose frame is unknown can then
  // be allowed: an embedded frame of that host loads, the page itself never does.
  virtual bool guardsSignInHost() const = 0;
  // Stops the page's running download, if any, and removes its partial file.
  virtual void cancelDownload() = 0;
  // The page's title, empty while it has none.
  virtual std::string title() const = 0;
  // Whether keys sent to the page reach its document: a field of its first document has the
  // focus, or that document has loaded. A page just made takes no keys before (they would reach
  // the blank document it starts with); it tells its delegate once it does (pageTakesTyping).
  virtual bool takesTyping() const = 0;
  // The user clicked the page's notification `key` on the desktop: the page hears of it (its
  // click handler runs). Nothing for a key the page no longer shows.
  virtual void notificationClicked(const std::string& key) = 0;

  // The page's history and its place in it, in the engine's own form; empty when there is none. A
  // page made later takes it up with restoreHistory().
  virtual std::string savedHistory() const = 0;
  // Takes up a history from savedHistory() and loads its current entry. False, with nothing
  // loaded, when the history is empty or cannot be read.
  virtual bool restoreHistory(const std::string& saved) = 0;

  // The widget that shows the page, owned by the page; null for pages without one.
  // Hosts may move it between containers; it lives as long as the page.
  virtual Gtk::Widget* widget() const = 0;
};

// Makes pages; the browser store asks it for one page per site.
class WebPageFactory {
 public:
  virtual ~WebPageFactory() = default;
  // Whether pages can be made now. A factory whose engine is still being loaded says no until it
  // is in; createPage may be called only while this holds.
  virtual bool ready() const { return true; }
  // Why pages can never be made (the engine could not be loaded), or empty.
  virtual std::string problem() const { return {}; }
  // The delegate outlives the page and receives all of its events.
  virtual std::unique_ptr<WebPage> createPage(WebPageDelegate& delegate) = 0;
  // The origins whose notifications are allowed and blocked, for pages' reading of their
  // notification permission. Taken up by web processes that start later; a page whose origin
  // changed answer reads the new one after it reloads.
  virtual void setNotificationPermissions(std::vector<std::string> /*allowed*/, std::vector<std::string> /*blocked*/) {}
  // Whether pages made from now on share one web process with the pages that live (less memory;
  // one process's crash or hang then reaches every page on it). A page made with no live page to
  // share with starts a process, which later pages join. Pages made earlier keep their process.
  virtual void setSharedWebProcess(bool /*shared*/) {}
};

}  // namespace vesk
