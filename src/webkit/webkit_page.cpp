#include "webkit/webkit_page.h"

#include <gtkmm/widget.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

namespace vesk {

static_assert(WEBKIT_NETWORK_ERROR_CANCELLED == LoadErrorKind::cancelled);
static_assert(WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE == LoadErrorKind::interruptedByPolicy);
static_assert(G_IO_ERROR_TIMED_OUT == LoadErrorKind::timedOut);

namespace {
// The policy error of a load that a content rule stopped (not in the public enumeration).
constexpr int blockedByContentRule = 104;
// The largest side of the site icon a notification carries; larger favicons are scaled down.
constexpr int noticeIconLimit = 64;

// A permission request of the engine, refused when it is dropped unanswered. `told` hears the
// answer the engine was given.
class PermissionReply {
 public:
  explicit PermissionReply(WebKitPermissionRequest* request, std::function<void(bool)> told = {})
      : request_(WEBKIT_PERMISSION_REQUEST(g_object_ref(request))), told_(std::move(told)) {}
  ~PermissionReply() { answer(false); }
  PermissionReply(const PermissionReply&) = delete;
  PermissionReply& operator=(const PermissionReply&) = delete;

  void answer(bool allow) {
    if (!request_) return;
    if (allow) {
      webkit_permission_request_allow(request_.get());
    } else {
      webkit_permission_request_deny(request_.get());
    }
    request_.reset();
    if (auto told = std::exchange(told_, nullptr)) told(allow);
  }

 private:
  GObjectPtr<WebKitPermissionRequest> request_;
  std::function<void(bool)> told_;
};

// The engine refuses Notification.requestPermission() made outside a user action in the page's
// own process, before the application hears of it, and chat and mail apps ask that way while
// they load. So the page's call is held in the page: a script in the page's world answers a
// call made outside a user action with the answer the page already has, or holds it and tells
// a script in a world of Vesk's own (the page can neither see nor change it), which tells Vesk.
// Once the user (or a stored answer) has answered, Vesk asks the engine itself from its own
// world, as a user action: the engine answers that from the stored answer, its web process keeps
// it, and the held calls read it. Both scripts run in the main frame only: a frame the page
// embeds asks in the page's name, so it gets no more than the engine's own rule.
constexpr const char* notificationWorld = "vesk-permissions";
constexpr const char* notificationMessage = "veskNotificationAsked";
constexpr const char* holdNotificationRequests = R"js((() => {
  const N = window.Notification;
  if (typeof N !== 'function' || typeof N.requestPermission !== 'function') return;
  const request = N.requestPermission;
  const waiting = [];
  addEventListener('vesk-notification-answered', () => { for (const done of waiting.splice(0)) done(N.permission); });
  N.requestPermission = function requestPermission(callback) {
    if (navigator.userActivation && navigator.userActivation.isActive) return request.apply(N, arguments);
    const answer = N.permission !== 'default' ? Promise.resolve(N.permission) : new Promise(done => waiting.push(done));
    if (N.permission === 'default') dispatchEvent(new Event('vesk-notification-asked'));
    if (typeof callback === 'function') answer.then(callback);
    return answer;
  };
})();)js";
constexpr const char* passNotificationRequests =
    "addEventListener('vesk-notification-asked', () => webkit.messageHandlers.veskNotificationAsked.postMessage(0));";
constexpr const char* askEngineForNotifications =
    "Notification.requestPermission().then(() => dispatchEvent(new Event('vesk-notification-answered')));";

void addUserScript(WebKitUserContentManager* manager, const char* source, const char* world) {
  WebKitUserScript* script =
      world ? webkit_user_script_new_for_world(source, WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                                               WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, world, nullptr, nullptr)
            : webkit_user_script_new(source, WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                                     WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
  webkit_user_content_manager_add_script(manager, script);
  webkit_user_script_unref(script);
}

// What the request asks for; empty for requests no site is asked about (installing media
// plugins, sharing the screen).
std::vector<PermissionKind> kindsOf(WebKitPermissionRequest* request) {
  if (WEBKIT_IS_NOTIFICATION_PERMISSION_REQUEST(request)) return {PermissionKind::notifications};
  if (WEBKIT_IS_USER_MEDIA_PERMISSION_REQUEST(request)) {
    auto* media = WEBKIT_USER_MEDIA_PERMISSION_REQUEST(request);
    if (webkit_user_media_permission_is_for_display_device(media)) return {};
    std::vector<PermissionKind> kinds;
    if (webkit_user_media_permission_is_for_audio_device(media)) kinds.push_back(PermissionKind::microphone);
    if (webkit_user_media_permission_is_for_video_device(media)) kinds.push_back(PermissionKind::camera);
    return kinds;
  }
  if (WEBKIT_IS_GEOLOCATION_PERMISSION_REQUEST(request)) return {PermissionKind::location};
  if (WEBKIT_IS_CLIPBOARD_PERMISSION_REQUEST(request)) return {PermissionKind::clipboard};
  if (WEBKIT_IS_POINTER_LOCK_PERMISSION_REQUEST(request)) return {PermissionKind::pointerLock};
  if (WEBKIT_IS_MEDIA_KEY_SYSTEM_PERMISSION_REQUEST(request)) return {PermissionKind::mediaKeys};
  if (WEBKIT_IS_DEVICE_INFO_PERMISSION_REQUEST(request)) return {PermissionKind::deviceInfo};
  if (WEBKIT_IS_WEBSITE_DATA_ACCESS_PERMISSION_REQUEST(request)) return {PermissionKind::websiteData};
  return {};
}

// Which web process a view runs in, as far as the pages know: views made related to each other share
// one token, kept as the view's data, and a view that gets a new process gets a new token. The
// engine does not tell a view's process, and a closing view must know whether others still use it.
using ProcessToken = std::shared_ptr<int>;
constexpr const char* processKey = "vesk-process";

const ProcessToken* processOf(WebKitWebView* view) {
  return static_cast<const ProcessToken*>(g_object_get_data(G_OBJECT(view), processKey));
}

void setProcess(WebKitWebView* view, ProcessToken token) {
  g_object_set_data_full(G_OBJECT(view), processKey, new ProcessToken(std::move(token)),
                         [](gpointer data) { delete static_cast<ProcessToken*>(data); });
}

// The permission a page's query names ("notifications", "microphone", "camera", "geolocation").
std::optional<PermissionKind> queriedKind(std::string_view name) {
  if (name == "geolocation") return PermissionKind::location;
  auto kind = permissionKindNamed(name);
  if (kind == PermissionKind::notifications || kind == PermissionKind::microphone || kind == PermissionKind::camera)
    return kind;
  return std::nullopt;
}
}  // namespace

WebKitPage::WebKitPage(WebEngine& engine, WebPageDelegate& delegate, std::chrono::milliseconds loadTimeout,
                       std::chrono::milliseconds answerLimit)
    : engine_(engine),
      delegate_(delegate),
      loadTimeout_(loadTimeout),
      answerLimit_(answerLimit),
      processNotificationChanges_(engine.notificationChanges()) {
  // The page's settings are made before its view and given to it at construction: a page that
  // joined a shared process with the engine's default settings and was given these only afterwards
  // ended that process, with every page on it.
  GObjectPtr<WebKitSettings> settings(webkit_settings_new());
  webkit_settings_set_javascript_can_open_windows_automatically(settings.get(), TRUE);
  webkit_settings_set_enable_back_forward_navigation_gestures(settings.get(), TRUE);
  // Pages draw without GPU compositing: each web process then skips the GL buffers and tiles
  // it would keep (about 50 MiB per site with software GL, measured in bench/), and switching
  // sites gets faster. The panel shows ordinary web apps, which do not need it.
  webkit_settings_set_hardware_acceleration_policy(settings.get(), WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
  // Microphone and camera (getUserMedia, through GStreamer and the desktop's PipeWire or
  // PulseAudio) and calls; each capture waits for the user's answer (permissionRequested).
  webkit_settings_set_enable_media_stream(settings.get(), TRUE);
  webkit_settings_set_enable_webrtc(settings.get(), TRUE);

  // While the engine shares a web process, the page joins that of the last page made whose
  // process runs (a page behind the crash card would start a process of its own for it). The
  // related view gives only its process and context: settings and content rules stay the page's own.
  WebKitWebView* relative = nullptr;
  if (engine.sharesWebProcess()) {
    const auto& pages = engine.livePages();
    auto running =
        std::find_if(pages.rbegin(), pages.rend(), [](const WebKitPage* page) { return page->processRuns(); });
    if (running != pages.rend()) relative = (*running)->webView();
  }
  // The page owns its view; hosts only borrow it, so it survives moving between containers.
  // A related view runs on its relative's context.
  gpointer made =
      relative
          ? g_object_new(WEBKIT_TYPE_WEB_VIEW, "related-view", relative, "settings", settings.get(), nullptr)
          : g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", engine.context(), "settings", settings.get(), nullptr);
  view_.reset(WEBKIT_WEB_VIEW(g_object_ref_sink(made)));
  WebKitWebView* view = view_.get();
  setProcess(view, relative ? *processOf(relative) : std::make_shared<int>());
  engine.pageMade(this);
  g_object_set_data(G_OBJECT(view), "vesk-page", this);
  typing_.emplace(view, [this] { delegate_.pageTakesTyping(*this); });

  signals_[0] = SignalConnection::connect(view, "load-changed",
                                          G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, gpointer self) {
                                            static_cast<WebKitPage*>(self)->loadChanged(event);
                                          }),
                                          this);
  signals_[1] = SignalConnection::connect(
      view, "load-failed",
      G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent, gchar*, GError* error, gpointer self) -> gboolean {
        static_cast<WebKitPage*>(self)->loadFailed(error);
        return TRUE;  // keep the previous content instead of WebKit's error page
      }),
      this);
  signals_[2] = SignalConnection::connect(view, "decide-policy",
                                          G_CALLBACK(+[](WebKitWebView*, WebKitPolicyDecision* decision,
                                                         WebKitPolicyDecisionType type, gpointer self) -> gboolean {
                                            return static_cast<WebKitPage*>(self)->decidePolicy(decision, type);
                                          }),
                                          this);
  signals_[3] = SignalConnection::connect(
      view, "create", G_CALLBACK(+[](WebKitWebView*, WebKitNavigationAction* action, gpointer self) -> GtkWidget* {
        auto* page = static_cast<WebKitPage*>(self);
        WebKitURIRequest* uriRequest = webkit_navigation_action_get_request(action);
        const gchar* uri = uriRequest ? webkit_uri_request_get_uri(uriRequest) : nullptr;
        if (uri && *uri) {
          NavigationRequest request;
          request.address = uri;
          request.userGesture = webkit_navigation_action_is_user_gesture(action);
          request.newWindow = true;
          request.frame = NavigationFrame::main;  // it loads into the page itself
          // The engine names the asking document only as its referrer; a page that
          // withholds it is not named.
          SoupMessageHeaders* headers = webkit_uri_request_get_http_headers(uriRequest);
          const char* referrer = headers ? soup_message_headers_get_one(headers, "Referer") : nullptr;
          if (referrer && *referrer) request.requester = referrer;
          page->consent_.newWindowRequested(request.userGesture);
          page->delegate_.pageRequestsNewWindow(*page, request);
          page->consent_.newWindowHandled();
        }
        return nullptr;  // never a second view or window
      }),
      this);
  // The menu's download items start their downloads without a navigation, on the user's choice:
  // they may download what the menu was opened on, and nothing else.
  signals_[4] = SignalConnection::connect(
      view, "context-menu",
      G_CALLBACK(+[](WebKitWebView*, WebKitContextMenu*, GdkEvent*, WebKitHitTestResult* hit,
                     gpointer self) -> gboolean {
        std::vector<std::string> targets;
        for (const gchar* uri : {webkit_hit_test_result_get_link_uri(hit), webkit_hit_test_result_get_image_uri(hit),
                                 webkit_hit_test_result_get_media_uri(hit)}) {
          if (uri && *uri) targets.emplace_back(uri);
        }
        static_cast<WebKitPage*>(self)->consent_.menuOpened(targets);
        return FALSE;
      }),
      this);
  signals_[5] = SignalConnection::connect(
      view, "web-process-terminated",
      G_CALLBACK(+[](WebKitWebView*, WebKitWebProcessTerminationReason reason, gpointer self) {
        static_cast<WebKitPage*>(self)->webProcessTerminated(reason);
      }),
      this);

  pressed_ = SignalConnection::connect(view, "button-press-event",
                                       G_CALLBACK(+[](WebKitWebView*, GdkEvent*, gpointer self) -> gboolean {
                                         static_cast<WebKitPage*>(self)->askForAnswer();
                                         return FALSE;  // the engine handles the click as usual
                                       }),
                                       this);
  respondingChanged_ = SignalConnection::connect(view, "notify::is-web-process-responsive",
                                                 G_CALLBACK(+[](WebKitWebView* view, GParamSpec*, gpointer self) {
                                                   if (!webkit_web_view_get_is_web_process_responsive(view))
                                                     static_cast<WebKitPage*>(self)->askForAnswer();
                                                 }),
                                                 this);
  titleChanged_ =
      SignalConnection::connect(view, "notify::title", G_CALLBACK(+[](WebKitWebView*, GParamSpec*, gpointer self) {
                                  auto* page = static_cast<WebKitPage*>(self);
                                  page->delegate_.pageTitleChanged(*page, page->title());
                                }),
                                this);
  // The page's notifications go to the desktop through the panel, which knows the site and
  // whether it is on screen; the engine's own way (straight to the notification service) is not used.
  notificationShown_ = SignalConnection::connect(
      view, "show-notification",
      G_CALLBACK(+[](WebKitWebView*, WebKitNotification* notification, gpointer self) -> gboolean {
        static_cast<WebKitPage*>(self)->showNotification(notification);
        return TRUE;
      }),
      this);
  permissionRequest_ = SignalConnection::connect(
      view, "permission-request",
      G_CALLBACK(+[](WebKitWebView*, WebKitPermissionRequest* request, gpointer self) -> gboolean {
        return static_cast<WebKitPage*>(self)->permissionRequested(request);
      }),
      this);
  permissionQuery_ = SignalConnection::connect(
      view, "query-permission-state",
      G_CALLBACK(+[](WebKitWebView*, WebKitPermissionStateQuery* query, gpointer self) -> gboolean {
        return static_cast<WebKitPage*>(self)->permissionQueried(query);
      }),
      this);

  WebKitUserContentManager* content = webkit_web_view_get_user_content_manager(view);
  addUserScript(content, holdNotificationRequests, nullptr);
  addUserScript(content, passNotificationRequests, notificationWorld);
  webkit_user_content_manager_register_script_message_handler_in_world(content, notificationMessage, notificationWorld);
  notificationAsked_ =
      SignalConnection::connect(content, (std::string("script-message-received::") + notificationMessage).c_str(),
                                G_CALLBACK(+[](WebKitUserContentManager*, gpointer, gpointer self) {
                                  static_cast<WebKitPage*>(self)->notificationsAsked();
                                }),
                                this);

  widget_ = Glib::wrap(GTK_WIDGET(view));
  gtk_widget_show(GTK_WIDGET(view));

  if (engine.signInGuard()) {
    takeSignInGuard(engine);
  } else {
    guardReady_ = engine.signInGuardReady.connect([this, &engine] { takeSignInGuard(engine); });
  }
}

void WebKitPage::takeSignInGuard(WebEngine& engine) {
  webkit_user_content_manager_add_filter(webkit_web_view_get_user_content_manager(view_.get()), engine.signInGuard());
  guarded_ = true;
}

// No page made from now on may join this one's process; everything else ends with the members, in
// reverse order (see the header).
WebKitPage::~WebKitPage() { engine_.pageGone(this); }

bool WebKitPage::sharesProcessWith(const WebKitPage& other) const {
  const ProcessToken* mine = processOf(view_.get());
  const ProcessToken* theirs = processOf(other.view_.get());
  return mine && theirs && *mine == *theirs;
}

void WebKitPage::ViewEnd::operator()(WebKitWebView* view) const {
  g_object_set_data(G_OBJECT(view), "vesk-page", nullptr);
  const ProcessToken* process = processOf(view);
  const bool alone = !process || process->use_count() == 1;
  g_object_set_data(G_OBJECT(view), processKey, nullptr);
  // The page's web process ends now, not when the engine gets round to it: a page merely closed
  // leaves, every few closes, the engine's connection to its process (a thread and a descriptor in
  // this process) behind for good. Nothing of the page is lost: its history was saved, and cookies
  // and site data live in the network process. A process other pages still run in stays.
  if (alone) webkit_web_view_terminate_web_process(view);
  // Destroying the view also takes it out of whatever container shows it and ends its page.
  gtk_widget_destroy(GTK_WIDGET(view));
  g_object_unref(view);
}

// Its download goes with the page, reporting to no one.
void WebKitPage::DownloadEnd::operator()(WebKitDownload* download) const {
  WebEngine::cancelDownload(download);
  g_object_unref(download);
}

WebKitPage* WebKitPage::of(WebKitWebView* view) {
  return view ? static_cast<WebKitPage*>(g_object_get_data(G_OBJECT(view), "vesk-page")) : nullptr;
}

void WebKitPage::adoptDownload(WebKitDownload* download) {
  releaseDownload(download_.get());
  download_.reset(WEBKIT_DOWNLOAD(g_object_ref(download)));
}

// An ended download is let go without being stopped.
void WebKitPage::releaseDownload(WebKitDownload* download) {
  if (download && download_.get() == download) g_object_unref(download_.release());
}

void WebKitPage::cancelDownload() {
  if (download_) WebEngine::cancelDownload(download_.get());
}

std::string WebKitPage::title() const {
  const gchar* text = webkit_web_view_get_title(view_.get());
  return text ? text : "";
}

void WebKitPage::showNotification(WebKitNotification* notification) {
  // A tag names the notification across the page's life (a new one with the same tag replaces
  // it); without one, each is its own.
  const gchar* tag = webkit_notification_get_tag(notification);
  const std::string key =
      tag && *tag ? std::string("tag:") + tag : "id:" + std::to_string(webkit_notification_get_id(notification));
  const gchar* title = webkit_notification_get_title(notification);
  const gchar* body = webkit_notification_get_body(notification);
  ShownNotification& shown = notifications_[key];
  shown.closed.disconnect();
  shown.notification.reset(WEBKIT_NOTIFICATION(g_object_ref(notification)));
  shown.order = ++notificationsShown_;
  shown.closed = SignalConnection::connect(notification, "closed",
                                           G_CALLBACK(+[](WebKitNotification* notification, gpointer self) {
                                             static_cast<WebKitPage*>(self)->notificationClosed(notification);
                                           }),
                                           this);
  delegate_.pageShowsNotification(*this, PageNotification{key, title ? title : "", body ? body : "", favicon()});
  if (notifications_.size() > notificationLimit) {
    auto oldest = std::min_element(notifications_.begin(), notifications_.end(),
                                   [](const auto& a, const auto& b) { return a.second.order < b.second.order; });
    // Its "closed" handler takes it out of the map and off the desktop; should the engine not
    // emit it, it is taken out here.
    const std::string key = oldest->first;
    GObjectPtr<WebKitNotification> closing(WEBKIT_NOTIFICATION(g_object_ref(oldest->second.notification.get())));
    webkit_notification_close(closing.get());
    if (auto still = notifications_.find(key);
        still != notifications_.end() && still->second.notification.get() == closing.get()) {
      notifications_.erase(still);
      delegate_.pageClosedNotification(*this, key);
    }
  }
}

void WebKitPage::notificationClosed(WebKitNotification* notification) {
  auto found = std::find_if(notifications_.begin(), notifications_.end(),
                            [&](const auto& entry) { return entry.second.notification.get() == notification; });
  if (found == notifications_.end()) return;
  const std::string key = found->first;
  // The handler running now belongs to the entry: it goes once the handler has returned.
  GObjectPtr<WebKitNotification> keep(std::move(found->second.notification));
  found->second.closed.disconnect();
  notifications_.erase(found);
  delegate_.pageClosedNotification(*this, key);
}

void WebKitPage::notificationClicked(const std::string& key) {
  if (auto found = notifications_.find(key); found != notifications_.end()) {
    webkit_notification_clicked(found->second.notification.get());
  }
}

std::optional<NoticeImage> WebKitPage::favicon() const {
  cairo_surface_t* icon = webkit_web_view_get_favicon(view_.get());
  if (!icon || cairo_surface_get_type(icon) != CAIRO_SURFACE_TYPE_IMAGE) return std::nullopt;
  const int width = cairo_image_surface_get_width(icon), height = cairo_image_surface_get_height(icon);
  if (width <= 0 || height <= 0) return std::nullopt;
  // Drawn at most `noticeIconLimit` wide and high, keeping its shape, on a transparent square.
  const double scale = std::min(1.0, static_cast<double>(noticeIconLimit) / std::max(width, height));
  const int side = std::max(1, static_cast<int>(std::lround(std::max(width, height) * scale)));
  cairo_surface_t* square = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, side, side);
  cairo_t* cr = cairo_create(square);
  cairo_translate(cr, (side - width * scale) / 2, (side - height * scale) / 2);
  cairo_scale(cr, scale, scale);
  cairo_set_source_surface(cr, icon, 0, 0);
  cairo_paint(cr);
  cairo_destroy(cr);
  cairo_surface_flush(square);
  NoticeImage image{side, side, {}};
  image.rgba.reserve(static_cast<std::size_t>(side) * side * 4);
  const unsigned char* data = cairo_image_surface_get_data(square);
  const int stride = cairo_image_surface_get_stride(square);
  for (int y = 0; y < side; ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(data + y * stride);
    for (int x = 0; x < side; ++x) {
      // Premultiplied ARGB in the machine's byte order, to straight RGBA.
      const std::uint32_t pixel = row[x], a = pixel >> 24;
      for (int shift : {16, 8, 0}) {
        const std::uint32_t c = (pixel >> shift) & 0xff;
        image.rgba.push_back(a == 0 ? 0
                                    : static_cast<std::uint8_t>(std::min<std::uint32_t>(255, (c * 255 + a / 2) / a)));
      }
      image.rgba.push_back(static_cast<std::uint8_t>(a));
    }
  }
  cairo_surface_destroy(square);
  return image;
}

std::string WebKitPage::savedHistory() const {
  WebKitWebViewSessionState* state = webkit_web_view_get_session_state(view_.get());
  if (!state) return {};
  GBytesPtr bytes(webkit_web_view_session_state_serialize(state));
  webkit_web_view_session_state_unref(state);
  if (!bytes) return {};
  gsize size = 0;
  const auto* data = static_cast<const char*>(g_bytes_get_data(bytes.get(), &size));
  return data ? std::string(data, size) : std::string();
}

bool WebKitPage::restoreHistory(const std::string& saved) {
  if (saved.empty()) return false;
  GBytesPtr bytes(g_bytes_new(saved.data(), saved.size()));
  WebKitWebViewSessionState* state = webkit_web_view_session_state_new(bytes.get());
  if (!state) return false;
  webkit_web_view_restore_session_state(view_.get(), state);
  webkit_web_view_session_state_unref(state);
  // Restoring fills the back-forward list only; the page loads its current entry itself.
  WebKitBackForwardListItem* current =
      webkit_back_forward_list_get_current_item(webkit_web_view_get_back_forward_list(view_.get()));
  const gchar* uri = current ? webkit_back_forward_list_item_get_uri(current) : nullptr;
  if (!uri || !*uri) return false;
  lastRequested_ = uri;
  consent_.historyRestored();
  webkit_web_view_go_to_back_forward_list_item(view_.get(), current);
  return true;
}

void WebKitPage::load(const std::string& address) {
  lastRequested_ = address;
  consent_.loadRequested();
  webkit_web_view_load_uri(view_.get(), address.c_str());
}

void WebKitPage::goBack() { webkit_web_view_go_back(view_.get()); }
void WebKitPage::goForward() { webkit_web_view_go_forward(view_.get()); }

void WebKitPage::reload() {
  const gchar* shown = webkit_web_view_get_uri(view_.get());
  // A process that does not answer would never carry out the reload: the page loads again in a
  // new one.
  if (!responding()) {
    renewProcess(shown && *shown ? shown : lastRequested_);
    return;
  }
  // The notification answer of this origin changed since the web process had it (from the
  // engine when it started, or from a request of its own that was answered): it would still
  // read the old one. A new process takes up the engine's answers; the page loads again in it.
  auto origin = shown ? originOf(shown) : std::nullopt;
  if (origin && committed_ && notificationAnswerStale(*origin)) {
    renewProcess(shown);
    return;
  }
  // WebKit reloads only a page that arrived. Until one did (the first load failed with its error
  // page suppressed, or the web process ended first), webkit_web_view_reload() sends nothing.
  if (!committed_ && !lastRequested_.empty()) {
    webkit_web_view_load_uri(view_.get(), lastRequested_.c_str());
    return;
  }
  webkit_web_view_reload(view_.get());
}

void WebKitPage::renewProcess(const std::string& address) {
  // Every page on a shared process loses it with this one: each loads its page again too,
  // rather than showing a crash. The engine starts the pages it relaunches together in one
  // process again, so they keep counting as one: closing one of them must not end the others'.
  auto together = std::make_shared<int>();
  for (WebKitPage* page : engine_.livePages()) {
    if (page == this || !page->sharesProcessWith(*this) || !page->processRuns()) continue;
    const gchar* at = webkit_web_view_get_uri(page->view_.get());
    if (!at || !*at) continue;
    page->renewingAt_ = at;
    page->processNotificationChanges_ = engine_.notificationChanges();
    page->nextProcess_ = together;
  }
  nextProcess_ = together;
  if (!address.empty()) renewingAt_ = address;
  processNotificationChanges_ = engine_.notificationChanges();
  webkit_web_view_terminate_web_process(view_.get());
}

bool WebKitPage::notificationAnswerStale(const std::string& origin) const {
  if (auto learnt = processLearnt_.find(origin); learnt != processLearnt_.end()) {
    return learnt->second != engine_.notificationAnswer(origin);
  }
  return engine_.lastNotificationChange(origin) > processNotificationChanges_;
}

bool WebKitPage::responding() const { return processFailure_ || renewingAt_ || !unanswered_; }

void WebKitPage::askForAnswer() {
  if (asking_ || !processRuns()) return;
  asking_ = true;
  answerWait_.timeout(answerLimit_, [this] { setUnanswered(true); });
  // In a world of its own, so the page's scripts neither see nor change it.
  webkit_web_view_evaluate_javascript(
      view_.get(), "0", -1, "vesk-answer", nullptr, questions_.get(),
      +[](GObject* view, GAsyncResult* result, gpointer self) {
        GError* raw = nullptr;
        if (JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), result, &raw)) {
          g_object_unref(value);
        }
        GErrorPtr error(raw);
        // An answer, or the process ended: either way the page no longer waits.
        if (!CallGuard::cancelled(error.get())) static_cast<WebKitPage*>(self)->answered();
      },
      this);
}

void WebKitPage::answered() {
  asking_ = false;
  answerWait_.remove();
  if (unanswered_) setUnanswered(false);
}

// The question went to the page's process: every page on it waits as long.
void WebKitPage::setUnanswered(bool unanswered) {
  std::vector<WebKitPage*> pages = engine_.livePages();  // the delegates' answers may close pages
  for (WebKitPage* page : pages) {
    if (page != this && !page->sharesProcessWith(*this)) continue;
    if (std::exchange(page->unanswered_, unanswered) != unanswered) page->delegate_.pageRespondingChanged(*page);
  }
}

void WebKitPage::setZoom(double zoom) { webkit_web_view_set_zoom_level(view_.get(), zoom); }

void WebKitPage::runEditingCommand(EditingCommand command) {
  webkit_web_view_execute_editing_command(
      view_.get(), command == EditingCommand::undo ? WEBKIT_EDITING_COMMAND_UNDO : WEBKIT_EDITING_COMMAND_REDO);
}

std::optional<std::string> WebKitPage::currentAddress() const {
  const gchar* uri = webkit_web_view_get_uri(view_.get());
  if (!uri || !*uri) return std::nullopt;
  return std::string(uri);
}

bool WebKitPage::canGoBack() const { return webkit_web_view_can_go_back(view_.get()); }
bool WebKitPage::canGoForward() const { return webkit_web_view_can_go_forward(view_.get()); }
bool WebKitPage::isLoading() const { return !processFailure_ && webkit_web_view_is_loading(view_.get()); }

void WebKitPage::loadChanged(int event) {
  switch (event) {
    case WEBKIT_LOAD_STARTED:
      consent_.loadStarted();
      pendingFailure_.reset();
      processFailure_.reset();
      timedOut_ = false;
      armTimeout();
      delegate_.pageDidStartLoading(*this);
      break;
    case WEBKIT_LOAD_REDIRECTED:
      // Each hop of a redirect is a new request with its own time limit.
      armTimeout();
      break;
    case WEBKIT_LOAD_COMMITTED:
      // The main request has its response.
      disarmTimeout();
      committed_ = true;
      typing_->committed();
      break;
    case WEBKIT_LOAD_FINISHED: {
      disarmTimeout();
      // WebKit reports a failure first and then finishes the load; the failure is passed on here,
      // once the view no longer counts as loading.
      if (timedOut_ && !pendingFailure_) {
        pendingFailure_ = LoadError{std::string(LoadErrorKind::timeoutDomain), LoadErrorKind::timedOut,
                                    std::string(strings::requestTimedOut())};
      }
      timedOut_ = false;
      if (auto failure = std::exchange(pendingFailure_, std::nullopt)) {
        typing_->finished(false);
        delegate_.pageDidFailLoading(*this, *failure);
      } else {
        typing_->finished(true);
        delegate_.pageDidFinishLoading(*this);
      }
      break;
    }
    default:
      break;
  }
}

void WebKitPage::loadFailed(const GError* error) {
  disarmTimeout();
  if (timedOut_ && g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED)) {
    // The cancellation came from our own time limit.
    pendingFailure_ = LoadError{std::string(LoadErrorKind::timeoutDomain), LoadErrorKind::timedOut,
                                std::string(strings::requestTimedOut())};
    return;
  }
  if (guarded_ && g_error_matches(error, WEBKIT_POLICY_ERROR, blockedByContentRule)) {
    // The sign-in guard is the only content rule: the page itself tried the sign-in host.
    pendingFailure_ = LoadError{std::string(LoadErrorKind::signInRefusedDomain), LoadErrorKind::signInRefused,
                                error->message ? error->message : ""};
    return;
  }
  pendingFailure_ = LoadError{g_quark_to_string(error->domain), error->code, error->message ? error->message : ""};
}

int WebKitPage::decidePolicy(WebKitPolicyDecision* decision, int type) {
  if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) {
    responseDecided(decision);
    return FALSE;  // WebKit shows what it can and downloads the rest
  }
  if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION && type != WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION) {
    return FALSE;
  }
  WebKitNavigationAction* action =
      webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
  NavigationRequest request;
  request.userGesture = webkit_navigation_action_is_user_gesture(action);
  request.newWindow = type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION;
  // WebKit asks the same question for the page's own navigations and for its frames', and tells
  // nothing of which it is. A new window would load into the page itself.
  request.frame = request.newWindow ? NavigationFrame::main : NavigationFrame::unknown;
  if (WebKitURIRequest* uriRequest = webkit_navigation_action_get_request(action)) {
    const gchar* uri = webkit_uri_request_get_uri(uriRequest);
    if (uri && *uri) request.address = uri;
  }
  bool allowed = delegate_.pageDecidePolicy(*this, request) == PolicyDecision::allow;
  // A download may come from this navigation: it runs only when the user started this very one.
  const gchar* shown = webkit_web_view_get_uri(view_.get());
  consent_.navigationDecided({request.address, request.userGesture, bool(webkit_navigation_action_is_redirect(action)),
                              request.newWindow, allowed, shown ? shown : ""});
  if (allowed) {
    webkit_policy_decision_use(decision);
  } else {
    webkit_policy_decision_ignore(decision);
  }
  return TRUE;
}

void WebKitPage::responseDecided(WebKitPolicyDecision* decision) {
  auto* response = WEBKIT_RESPONSE_POLICY_DECISION(decision);
  WebKitURIRequest* request = webkit_response_policy_decision_get_request(response);
  const gchar* address = request ? webkit_uri_request_get_uri(request) : nullptr;
  if (!address) return;
  std::string disposition;
  if (WebKitURIResponse* answer = webkit_response_policy_decision_get_response(response)) {
    if (SoupMessageHeaders* headers = webkit_uri_response_get_http_headers(answer)) {
      char* type = nullptr;
      if (soup_message_headers_get_content_disposition(headers, &type, nullptr) && type) disposition = type;
      g_free(type);
    }
  }
  consent_.responseDecided(address, webkit_response_policy_decision_is_mime_type_supported(response), disposition);
}

// The page's own origin: a frame it embeds asks in its name, as the page shows it.
PermissionRequest WebKitPage::requestOfPage(std::vector<PermissionKind> kinds) const {
  PermissionRequest asked;
  asked.kinds = std::move(kinds);
  const gchar* uri = webkit_web_view_get_uri(view_.get());
  if (auto origin = uri ? originOf(uri) : std::nullopt) {
    asked.origin = *origin;
    asked.host = asked.origin.substr(asked.origin.find("://") + 3);
  }
  return asked;
}

bool WebKitPage::permissionRequested(WebKitPermissionRequest* request) {
  PermissionRequest asked = requestOfPage(kindsOf(request));
  // The web process keeps the notification answer it is given, until it ends.
  std::function<void(bool)> told;
  if (asked.kinds == std::vector{PermissionKind::notifications} && !asked.origin.empty()) {
    told = [page = handle(), origin = asked.origin](bool allowed) {
      if (auto* self = page.get()) self->processLearnt_[origin] = allowed;
    };
  }
  auto reply = std::make_shared<PermissionReply>(request, std::move(told));
  if (asked.kinds.empty()) return true;  // refused as `reply` goes
  asked.answer = [reply](bool allow) { reply->answer(allow); };
  delegate_.pageRequestsPermission(*this, std::move(asked));
  return true;
}

void WebKitPage::notificationsAsked() {
  // One question at a time, however often the page asks.
  if (notificationsAsking_) return;
  notificationsAsking_ = true;
  PermissionRequest asked = requestOfPage({PermissionKind::notifications});
  asked.answer = [page = handle(), origin = asked.origin](bool) {
    auto* self = page.get();
    if (!self) return;
    self->notificationsAsking_ = false;
    // Only an answer the user gave (now or before) is passed on. A request dropped unanswered
    // (the page left, or went) leaves the page's calls waiting, as for a question the user let pass.
    if (origin.empty() || !self->delegate_.pageStoredPermission(*self, origin, PermissionKind::notifications)) return;
    webkit_web_view_evaluate_javascript(self->view_.get(), askEngineForNotifications, -1, notificationWorld, nullptr,
                                        nullptr, nullptr, nullptr);
  };
  delegate_.pageRequestsPermission(*this, std::move(asked));
}

bool WebKitPage::permissionQueried(WebKitPermissionStateQuery* query) {
  auto kind = queriedKind(webkit_permission_state_query_get_name(query));
  WebKitSecurityOrigin* securityOrigin = webkit_permission_state_query_get_security_origin(query);
  GCharPtr text(securityOrigin ? webkit_security_origin_to_string(securityOrigin) : nullptr);
  auto origin = text ? originOf(text.get()) : std::nullopt;
  if (!kind || !origin) return false;  // the engine's own answer
  auto answer = delegate_.pageStoredPermission(*this, *origin, *kind);
  if (!answer) return false;
  webkit_permission_state_query_finish(
      query, *answer == PermissionAnswer::allow ? WEBKIT_PERMISSION_STATE_GRANTED : WEBKIT_PERMISSION_STATE_DENIED);
  return true;
}

void WebKitPage::webProcessTerminated(int reason) {
  disarmTimeout();
  // A question the ended process left unanswered says nothing about the next one.
  questions_.cancelPending();
  asking_ = false;
  unanswered_ = false;
  answerWait_.remove();
  processLearnt_.clear();
  // Whatever runs the page next is a process of its own, or the one the pages renewed with it share.
  setProcess(view_.get(), nextProcess_ ? std::exchange(nextProcess_, nullptr) : std::make_shared<int>());
  if (auto address = std::exchange(renewingAt_, std::nullopt);
      address && reason == WEBKIT_WEB_PROCESS_TERMINATED_BY_API) {
    // Ended by reload() for a new process: nothing failed.
    webkit_web_view_load_uri(view_.get(), address->c_str());
    return;
  }
  pendingFailure_.reset();
  timedOut_ = false;
  LoadError error{std::string(LoadErrorKind::processDomain), LoadErrorKind::processCrashed,
                  std::string(strings::pageCrashed())};
  if (reason == WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT) {
    error.code = LoadErrorKind::processExceededMemory;
    error.message = strings::pageExceededMemory();
  } else if (reason == WEBKIT_WEB_PROCESS_TERMINATED_BY_API) {
    error.code = LoadErrorKind::processTerminated;
  }
  processFailure_ = error;
  delegate_.pageDidFailLoading(*this, error);
}

void WebKitPage::armTimeout() {
  timeout_.timeout(loadTimeout_, [this] { timeoutExpired(); });
}

void WebKitPage::disarmTimeout() { timeout_.remove(); }

void WebKitPage::timeoutExpired() {
  timedOut_ = true;
  webkit_web_view_stop_loading(view_.get());
}

std::unique_ptr<WebPage> WebKitPageFactory::createPage(WebPageDelegate& delegate) {
  return std::make_unique<WebKitPage>(engine_, delegate, loadTimeout_, answerLimit_);
}

}  // namespace vesk
