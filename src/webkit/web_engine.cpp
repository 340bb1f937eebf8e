#include "webkit/web_engine.h"

#include <algorithm>

#include <fcntl.h>
#include <glib/gstdio.h>
#include <sys/stat.h>
#include <unistd.h>
#include <webkit2/webkit2.h>

#include <cerrno>
#include <cstdint>
#include <iostream>
#include <memory>

#include "browser/downloads.h"
#include "model/constants.h"
#include "model/desktop_notification.h"
#include "model/own_paths.h"
#include "model/strings.h"
#include "webkit/webkit_page.h"

namespace vesk {

// The themed icon of download notifications.
constexpr const char* downloadIcon = "folder-download";

namespace {

std::string joinPath(const char* base, const char* a, const char* b) {
  return GCharPtr(g_build_filename(base, a, b, nullptr)).get();
}

// What a download needs to remember between its signals.
struct DownloadState {
  Lifetime<WebEngine>::Handle engine;  // expires with the engine
  Lifetime<WebKitPage>::Handle page;   // the page that started it; expires with the page
  std::string path;
  std::string folder;
  std::string failure;
  bool failed = false;
  bool reserved = false;             // `path` was created empty for this download
  bool refused = false;              // the page's delegate did not allow it
  bool adopted = false;              // the page runs it
  std::uint64_t nextSpaceCheck = 0;  // received bytes at which free space is checked next
  bool checkingSpace = false;
  bool ended = false;
  std::string name;     // the file's name as shown
  std::string stopped;  // why it was stopped for lack of space
};

std::string displayName(const std::string& path) {
  GCharPtr base(g_path_get_basename(path.c_str()));
  return GCharPtr(g_filename_display_name(base.get())).get();
}

std::string displayFolder(const std::string& path);

// Looks up the free space of the download's folder on a worker thread, at most one look-up at a
// time and then again after `freeSpaceCheckInterval` more bytes, and stops the download (its file
// removed when it ends) once less than `minimumFreeSpace` is left.
void checkFreeSpace(WebKitDownload* download, DownloadState* state) {
  if (state->checkingSpace || state->folder.empty()) return;
  state->checkingSpace = true;
  state->nextSpaceCheck = webkit_download_get_received_data_length(download) + freeSpaceCheckInterval;
  GObjectPtr<GFile> folder(g_file_new_for_path(state->folder.c_str()));
  // The download (and with it its state) stays alive until the answer arrives.
  g_file_query_filesystem_info_async(
      folder.get(), G_FILE_ATTRIBUTE_FILESYSTEM_FREE, G_PRIORITY_DEFAULT, nullptr,
      +[](GObject* source, GAsyncResult* result, gpointer data) {
        auto* download = static_cast<WebKitDownload*>(data);
        GObjectPtr<GFileInfo> info(g_file_query_filesystem_info_finish(G_FILE(source), result, nullptr));
        GObjectPtr<WebKitDownload> held(download);  // the reference taken for this look-up
        auto* state = static_cast<DownloadState*>(g_object_get_data(G_OBJECT(download), "vesk-download"));
        if (state) state->checkingSpace = false;
        if (state && !state->ended && info && g_file_info_has_attribute(info.get(), G_FILE_ATTRIBUTE_FILESYSTEM_FREE) &&
            !state->failed &&
            g_file_info_get_attribute_uint64(info.get(), G_FILE_ATTRIBUTE_FILESYSTEM_FREE) < minimumFreeSpace) {
          state->stopped = strings::downloadStopped(displayFolder(state->path));
          state->failed = true;
          webkit_download_cancel(download);
        }
      },
      g_object_ref(download));
}

std::string displayFolder(const std::string& path) {
  GCharPtr folder(g_path_get_dirname(path.c_str()));
  return GCharPtr(g_filename_display_name(folder.get())).get();
}

// The content rule behind WebEngine::signInGuard, in the engine's JSON rule format. The engine
// matches it against the canonical address (scheme and host lower-case, "/" after the host); the
// fully qualified spelling, with one trailing dot, names the same host.
std::string signInGuardRules() {
  std::string host;
  for (char c : signInHost) {
    if (c == '.') host += "\\\\";  // a regex escape, written inside a JSON string
    host += c;
  }
  return R"([{"trigger":{"url-filter":"^https?://([^/]*@)?)" + host +
         R"(\\.?[:/]","resource-type":["document"],"load-context":["top-frame"]},"action":{"type":"block"}}])";
}

// Creates `path` empty (or keeps it) with mode 0600 before the engine opens it as its cookie
// database: the database engine gives new files a mode readable by all, and its journals the
// database's mode. An empty file is an empty database. Never waits on what stands there; what
// is not a regular file comes back as the problem.
std::optional<std::string> makePrivateFile(const std::string& path) {
  const int fd = g_open(path.c_str(), O_RDONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
  struct stat info {};
  if (fd >= 0 && fstat(fd, &info) == 0 && !S_ISREG(info.st_mode)) {
    close(fd);
    return strings::notARegularFile(path, kindOf(info));
  }
  if (fd < 0 || fchmod(fd, 0600) != 0) {
    const int code = errno;
    std::cerr << strings::cannotMakePrivate(path, g_strerror(code)) << "\n";
  }
  if (fd >= 0) close(fd);
  return std::nullopt;
}

}  // namespace

WebEngine::Paths WebEngine::defaultPaths() {
  return {joinPath(g_get_user_data_dir(), "vesk", "web"), joinPath(g_get_user_cache_dir(), "vesk", "web")};
}

WebEngine::WebEngine(Paths paths) : paths_(std::move(paths)) {}

void WebEngine::FilterUnref::operator()(WebKitUserContentFilter* filter) const {
  webkit_user_content_filter_unref(filter);
}

WebEngine::~WebEngine() {
  // The guard and the filter store go before the context, as they came after it.
  signInGuard_.reset();
  filterStore_.reset();
  if (context_) g_signal_handlers_disconnect_by_data(context_.get(), this);
}

const std::string& WebEngine::problem() {
  if (problem_) return *problem_;
  problem_.emplace();
  // Every folder the sandbox binds anything beneath must be a folder or missing: the sandbox
  // skips what is missing but refuses to start on "Not a directory".
  for (const char* base : {g_get_user_config_dir(), g_get_user_data_dir(), g_get_user_cache_dir(), g_get_home_dir(),
                           g_get_user_runtime_dir()}) {
    if (auto notFolder = notAFolder(base)) {
      problem_ = strings::pagesCannotBeShown(*notFolder);
      return *problem_;
    }
  }
  // Cookies, site data and the cache are the user's alone: private folders, made before the
  // engine needs them, and made private again when something else made them readable by others.
  // Without them the engine still runs, keeping nothing across launches.
  for (const std::string* folder : {&paths_.dataDirectory, &paths_.cacheDirectory}) {
    if (auto notFolder = notAFolder(*folder)) {
      problem_ = strings::pagesCannotBeShown(*notFolder);
      return *problem_;
    }
    if (g_mkdir_with_parents(folder->c_str(), 0700) != 0) {
      dataFolder_ &= folder != &paths_.dataDirectory;
      const int code = errno;
      std::cerr << strings::cannotCreateDataFolder(*folder, g_strerror(code)) << "\n";
      continue;
    }
    if (auto failed = tightenFolder(*folder)) std::cerr << *failed << "\n";
  }
  if (dataFolder_) {
    if (auto notFile = makePrivateFile(joinPath(paths_.dataDirectory.c_str(), "cookies.sqlite", nullptr)))
      problem_ = strings::pagesCannotBeShown(*notFile);
  }
  return *problem_;
}

WebKitWebContext* WebEngine::context() {
  if (context_) return context_.get();
  problem();  // makes the folders
  GObjectPtr<WebKitWebsiteDataManager> manager(
      webkit_website_data_manager_new("base-data-directory", paths_.dataDirectory.c_str(), "base-cache-directory",
                                      paths_.cacheDirectory.c_str(), nullptr));
  context_.reset(webkit_web_context_new_with_website_data_manager(manager.get()));
  // Must happen before the first web process starts, that is before the first page loads.
  webkit_web_context_set_sandbox_enabled(context_.get(), TRUE);
  std::string cookies = joinPath(paths_.dataDirectory.c_str(), "cookies.sqlite", nullptr);
  webkit_cookie_manager_set_persistent_storage(webkit_website_data_manager_get_cookie_manager(manager.get()),
                                               cookies.c_str(), WEBKIT_COOKIE_PERSISTENT_STORAGE_SQLITE);
  manager.reset();
  // Site icons, which a site's desktop notifications carry; kept with the cache.
  webkit_web_context_set_favicon_database_directory(context_.get(),
                                                    joinPath(paths_.cacheDirectory.c_str(), "icons", nullptr).c_str());
  g_signal_connect(context_.get(), "download-started",
                   G_CALLBACK(+[](WebKitWebContext*, WebKitDownload* download, gpointer self) {
                     static_cast<WebEngine*>(self)->downloadStarted(download);
                   }),
                   this);
  notificationPermissionsAsked_ = SignalConnection::connect(
      context_.get(), "initialize-notification-permissions", G_CALLBACK(+[](WebKitWebContext*, gpointer self) {
        static_cast<WebEngine*>(self)->giveNotificationPermissions();
      }),
      this);
  giveNotificationPermissions();
  compileSignInGuard();
  return context_.get();
}

std::uint64_t WebEngine::lastNotificationChange(const std::string& origin) const {
  auto found = notificationChanged_.find(origin);
  return found == notificationChanged_.end() ? 0 : found->second;
}

void WebEngine::setNotificationPermissions(std::vector<std::string> allowed, std::vector<std::string> blocked) {
  auto has = [](const std::vector<std::string>& list, const std::string& origin) {
    return std::find(list.begin(), list.end(), origin) != list.end();
  };
  // An answer taken back or turned round: processes that were given it keep it until they end.
  for (const auto& origin : allowedNotifications_) {
    if (!has(allowed, origin)) notificationChanged_[origin] = ++notificationChanges_;
  }
  for (const auto& origin : blockedNotifications_) {
    if (!has(blocked, origin)) notificationChanged_[origin] = ++notificationChanges_;
  }
  allowedNotifications_ = std::move(allowed);
  blockedNotifications_ = std::move(blocked);
  // The context is made with the first page, not for this.
  if (context_) giveNotificationPermissions();
}

void WebEngine::giveNotificationPermissions() {
  auto origins = [](const std::vector<std::string>& texts) {
    GList* list = nullptr;
    for (const auto& text : texts) {
      if (WebKitSecurityOrigin* origin = webkit_security_origin_new_for_uri(text.c_str()))
        list = g_list_prepend(list, origin);
    }
    return list;
  };
  GList* allowed = origins(allowedNotifications_);
  GList* blocked = origins(blockedNotifications_);
  webkit_web_context_initialize_notification_permissions(context_.get(), allowed, blocked);
  g_list_free_full(allowed, reinterpret_cast<GDestroyNotify>(webkit_security_origin_unref));
  g_list_free_full(blocked, reinterpret_cast<GDestroyNotify>(webkit_security_origin_unref));
}

void WebEngine::compileSignInGuard() {
  filterStore_.reset(
      webkit_user_content_filter_store_new(joinPath(paths_.cacheDirectory.c_str(), "content-rules", nullptr).c_str()));
  std::string rules = signInGuardRules();
  GBytesPtr source(g_bytes_new(rules.data(), rules.size()));
  webkit_user_content_filter_store_save(
      filterStore_.get(), "sign-in-guard", source.get(), nullptr,
      +[](GObject* store, GAsyncResult* result, gpointer data) {
        std::unique_ptr<Lifetime<WebEngine>::Handle> weak(static_cast<Lifetime<WebEngine>::Handle*>(data));
        // Without the rule, pages keep every navigation of unknown frame off the sign-in host.
        std::unique_ptr<WebKitUserContentFilter, FilterUnref> filter(
            webkit_user_content_filter_store_save_finish(WEBKIT_USER_CONTENT_FILTER_STORE(store), result, nullptr));
        if (!filter) return;
        WebEngine* engine = weak->get();
        if (!engine) return;
        engine->signInGuard_ = std::move(filter);
        engine->signInGuardReady.emit();
      },
      new Lifetime<WebEngine>::Handle(lifetime_.handle()));
}

void WebEngine::downloadStarted(WebKitDownload* download) {
  WebKitPage* page = WebKitPage::of(webkit_download_get_web_view(download));
  WebKitURIRequest* request = webkit_download_get_request(download);
  const gchar* address = request ? webkit_uri_request_get_uri(request) : nullptr;
  if (!page || !address || !page->takeDownloadConsent(address)) {
    // The page's own script (or no page at all) started it: nothing is saved and nothing is said
    // beyond one line here per page load. Refused before any destination is chosen, so no file
    // is created.
    if (!page || page->firstRefusalOfThisLoad()) {
      std::cerr << strings::errorLine(strings::downloadRefused()) << "\n";
    }
    g_signal_connect(download, "decide-destination", G_CALLBACK(+[](WebKitDownload*, gchar*, gpointer) -> gboolean {
                       return TRUE;  // no destination: nothing is written
                     }),
                     nullptr);
    webkit_download_cancel(download);
    return;
  }
  auto* state = new DownloadState;
  state->engine = lifetime_.handle();
  state->page = page->handle();
  g_object_set_data_full(G_OBJECT(download), "vesk-download", state,
                         [](gpointer data) { delete static_cast<DownloadState*>(data); });

  g_signal_connect(download, "decide-destination",
                   G_CALLBACK(+[](WebKitDownload* download, gchar* suggested, gpointer data) -> gboolean {
                     auto* state = static_cast<DownloadState*>(data);
                     std::string directory = downloadDirectory();
                     WebKitPage* page = state->page.get();
                     std::string name = safeFileName(suggested ? suggested : "");
                     if (!page || !page->delegate().pageMayDownload(*page, name)) {
                       state->refused = true;
                       webkit_download_cancel(download);
                       return TRUE;
                     }
                     state->adopted = true;
                     page->adoptDownload(download);
                     std::string error;
                     state->folder = directory;
                     state->path = reserveDownloadFile(directory, suggested ? suggested : "", &error);
                     if (state->path.empty()) {
                       state->path = joinPath(directory.c_str(), name.c_str(), nullptr);
                       state->failed = true;
                       state->failure = error;
                       webkit_download_cancel(download);
                       return TRUE;
                     }
                     // The file was just created empty for this download alone.
                     state->reserved = true;
                     state->name = displayName(state->path);
                     webkit_download_set_allow_overwrite(download, TRUE);
                     GCharPtr uri(g_filename_to_uri(state->path.c_str(), nullptr, nullptr));
                     webkit_download_set_destination(download, uri.get());
                     checkFreeSpace(download, state);
                     return TRUE;
                   }),
                   state);

  g_signal_connect(download, "received-data", G_CALLBACK(+[](WebKitDownload* download, guint64, gpointer data) {
                     auto* state = static_cast<DownloadState*>(data);
                     if (!state->adopted || state->failed) return;
                     DownloadProgress progress;
                     progress.name = state->name;
                     progress.received = webkit_download_get_received_data_length(download);
                     if (WebKitURIResponse* response = webkit_download_get_response(download)) {
                       if (guint64 length = webkit_uri_response_get_content_length(response)) progress.total = length;
                     }
                     if (progress.received >= state->nextSpaceCheck) checkFreeSpace(download, state);
                     if (WebKitPage* page = state->page.get()) page->delegate().pageDownloadProgressed(*page, progress);
                   }),
                   state);

  g_signal_connect(download, "failed", G_CALLBACK(+[](WebKitDownload*, GError* error, gpointer data) {
                     auto* state = static_cast<DownloadState*>(data);
                     if (!state->failed) state->failure = error ? error->message : "";
                     state->failed = true;
                   }),
                   state);

  g_signal_connect(download, "finished", G_CALLBACK(+[](WebKitDownload* download, gpointer data) {
                     auto* state = static_cast<DownloadState*>(data);
                     if (state->refused) return;
                     state->ended = true;
                     DownloadReport report;
                     report.path = state->path;
                     report.succeeded = !state->failed;
                     report.cancelled = state->failed && g_object_get_data(G_OBJECT(download), "vesk-cancelled");
                     std::string name = state->path.empty() ? std::string(strings::theFile())
                                                            : strings::quotedName(displayName(state->path));
                     if (report.succeeded) {
                       report.message = strings::downloadSaved(name, displayFolder(state->path));
                       notifyDesktop(std::string(strings::downloadFinished()), report.message, downloadIcon);
                     } else {
                       // A partial file is no use and, under its final name, looks complete: leave nothing of
                       // ours behind.
                       if (state->reserved) g_unlink(state->path.c_str());
                       if (!state->stopped.empty()) {
                         report.message = state->stopped;
                         notifyDesktop(std::string(strings::downloadStoppedTitle()), report.message, downloadIcon);
                       } else if (!report.cancelled) {
                         report.message = state->failure.empty()
                                              ? strings::downloadNotSaved(name)
                                              : strings::downloadNotSavedBecause(name, state->failure);
                         if (report.message.back() != '.') report.message += ".";
                         notifyDesktop(std::string(strings::downloadFailed()), report.message, downloadIcon);
                       }
                     }
                     if (WebKitPage* page = state->page.get()) {
                       page->releaseDownload(download);
                       page->delegate().pageDownloadEnded(*page, report);
                     }
                     if (WebEngine* engine = state->engine.get()) engine->downloadEnded.emit(report);
                   }),
                   state);
}

}  // namespace vesk
