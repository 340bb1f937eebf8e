#include "webkit/web_engine.h"

#include <algorithm>

#include <fcntl.h>
#include <glib/gstdio.h>
#include <sys/stat.h>
#include <unistd.h>
#include <webkit2/webkit2.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <iostream>
#include <memory>
#include <variant>

#include "browser/download_consent.h"
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

// Members go in reverse order: the rule's compilation is cancelled, the sign-in guard and its store
// go, then the download handler, then the context.
WebEngine::~WebEngine() = default;

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
  downloadStartedHandler_ = SignalConnection::connect(
      context_.get(), "download-started", G_CALLBACK(+[](WebKitWebContext*, WebKitDownload* download, gpointer self) {
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

std::optional<bool> WebEngine::notificationAnswer(const std::string& origin) const {
  auto has = [&](const std::vector<std::string>& list) {
    return std::find(list.begin(), list.end(), origin) != list.end();
  };
  if (has(allowedNotifications_)) return true;
  if (has(blockedNotifications_)) return false;
  return std::nullopt;
}

void WebEngine::setNotificationPermissions(std::vector<std::string> allowed, std::vector<std::string> blocked) {
  auto has = [](const std::vector<std::string>& list, const std::string& origin) {
    return std::find(list.begin(), list.end(), origin) != list.end();
  };
  // An answer given, taken back or turned round: processes that were given the old one keep it
  // until they end.
  for (const auto& origin : allowedNotifications_) {
    if (!has(allowed, origin)) notificationChanged_[origin] = ++notificationChanges_;
  }
  for (const auto& origin : blockedNotifications_) {
    if (!has(blocked, origin)) notificationChanged_[origin] = ++notificationChanges_;
  }
  for (const auto& origin : allowed) {
    if (!has(allowedNotifications_, origin)) notificationChanged_[origin] = ++notificationChanges_;
  }
  for (const auto& origin : blocked) {
    if (!has(blockedNotifications_, origin)) notificationChanged_[origin] = ++notificationChanges_;
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
  // Site icons, which a site's desktop notifications carry, kept with the cache. The engine's icon
  // database is turned on only once some site may notify: with it on, the engine keeps a
  // connection (a socket here) of some released pages for good, which long use would pile up.
  if (!allowedNotifications_.empty() && !siteIcons_) {
    siteIcons_ = true;
    webkit_web_context_set_favicon_database_directory(
        context_.get(), joinPath(paths_.cacheDirectory.c_str(), "icons", nullptr).c_str());
  }
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
      filterStore_.get(), "sign-in-guard", source.get(), calls_.get(),
      +[](GObject* store, GAsyncResult* result, gpointer self) {
        GError* raw = nullptr;
        std::unique_ptr<WebKitUserContentFilter, FilterUnref> filter(
            webkit_user_content_filter_store_save_finish(WEBKIT_USER_CONTENT_FILTER_STORE(store), result, &raw));
        GErrorPtr error(raw);
        // Without the rule, pages keep every navigation of unknown frame off the sign-in host.
        if (CallGuard::cancelled(error.get()) || !filter) return;
        auto* engine = static_cast<WebEngine*>(self);
        engine->signInGuard_ = std::move(filter);
        engine->signInGuardReady.emit();
      },
      this);
}

namespace {

// One download as the engine runs it: the engine's signals go into its lifecycle, and the steps the
// lifecycle returns are carried out here. It lives as the download's data, so as long as the download.
class EngineDownload {
 public:
  EngineDownload(WebKitDownload* download, Lifetime<WebEngine>::Handle engine, Lifetime<WebKitPage>::Handle page)
      : download_(download), engine_(std::move(engine)), page_(std::move(page)) {
    signals_[0] = SignalConnection::connect(
        download, "decide-destination", G_CALLBACK(+[](WebKitDownload*, gchar* suggested, gpointer self) -> gboolean {
          // Always decided here: a download given no destination writes nothing.
          static_cast<EngineDownload*>(self)->destinationAsked(suggested ? suggested : "");
          return TRUE;
        }),
        this);
    signals_[1] = SignalConnection::connect(
        download, "received-data", G_CALLBACK(+[](WebKitDownload* download, guint64, gpointer self) {
          std::optional<std::uint64_t> total;
          if (WebKitURIResponse* response = webkit_download_get_response(download)) {
            if (guint64 length = webkit_uri_response_get_content_length(response)) total = length;
          }
          auto* run = static_cast<EngineDownload*>(self);
          run->carryOut(run->life.dataReceived(webkit_download_get_received_data_length(download), total));
        }),
        this);
    signals_[2] =
        SignalConnection::connect(download, "failed", G_CALLBACK(+[](WebKitDownload*, GError* error, gpointer self) {
                                    auto* run = static_cast<EngineDownload*>(self);
                                    run->carryOut(run->life.failed(error ? error->message : ""));
                                  }),
                                  this);
    signals_[3] = SignalConnection::connect(download, "finished", G_CALLBACK(+[](WebKitDownload*, gpointer self) {
                                              auto* run = static_cast<EngineDownload*>(self);
                                              run->carryOut(run->life.finished());
                                            }),
                                            this);
  }

  static EngineDownload* of(WebKitDownload* download) {
    return static_cast<EngineDownload*>(g_object_get_data(G_OBJECT(download), "vesk-download"));
  }

  void carryOut(DownloadSteps steps) {
    for (auto& step : steps) std::visit([this](auto& action) { perform(action); }, step);
  }

  DownloadLifecycle life;

 private:
  void destinationAsked(const std::string& suggested) {
    carryOut(life.destinationAsked(suggested, downloadDirectory()));
  }

  void perform(const download::Run&) {}
  void perform(const download::Refuse& refuse) {
    if (refuse.errorLine) std::cerr << *refuse.errorLine << "\n";
    webkit_download_cancel(download_);
  }
  void perform(const download::AskPage& ask) {
    WebKitPage* page = page_.get();
    carryOut(life.pageAnswered(page && page->delegate().pageMayDownload(*page, ask.name)));
  }
  void perform(const download::Adopt&) {
    if (WebKitPage* page = page_.get()) page->adoptDownload(download_);
  }
  // The file is made on a worker thread: the folder may be slow to answer (a network share, a
  // sleeping disk), and the engine holds the download until its destination is set.
  void perform(const download::ReserveFile& reserve) {
    struct Reservation {
      download::ReserveFile asked;
      std::string path;
      std::string error;
    };
    GTask* task = g_task_new(
        nullptr, nullptr,
        +[](GObject*, GAsyncResult* result, gpointer data) {
          GObjectPtr<WebKitDownload> download(static_cast<WebKitDownload*>(data));  // the task's reference
          auto* made = static_cast<Reservation*>(g_task_get_task_data(G_TASK(result)));
          if (EngineDownload* run = of(download.get())) {
            run->carryOut(
                made->path.empty()
                    ? run->life.reserveFailed(made->error)
                    : run->life.fileReserved(made->path, webkit_download_get_received_data_length(download.get())));
          }
        },
        g_object_ref(download_));
    g_task_set_task_data(task, new Reservation{reserve, {}, {}},
                         [](gpointer data) { delete static_cast<Reservation*>(data); });
    g_task_run_in_thread(
        task, +[](GTask* task, gpointer, gpointer data, GCancellable*) {
          auto* made = static_cast<Reservation*>(data);
          made->path = reserveDownloadFile(made->asked.folder, made->asked.suggested, &made->error);
          g_task_return_boolean(task, TRUE);
        });
    g_object_unref(task);
  }
  void perform(const download::Save& save) {
    webkit_download_set_allow_overwrite(download_, TRUE);
    GCharPtr uri(g_filename_to_uri(save.path.c_str(), nullptr, nullptr));
    webkit_download_set_destination(download_, uri.get());
  }
  void perform(const download::CheckFreeSpace& check) {
    GObjectPtr<GFile> folder(g_file_new_for_path(check.folder.c_str()));
    // The download (and with it this) stays alive until the answer arrives.
    g_file_query_filesystem_info_async(
        folder.get(), G_FILE_ATTRIBUTE_FILESYSTEM_FREE, G_PRIORITY_DEFAULT, nullptr,
        +[](GObject* source, GAsyncResult* result, gpointer data) {
          GObjectPtr<WebKitDownload> download(static_cast<WebKitDownload*>(data));  // the look-up's reference
          GObjectPtr<GFileInfo> info(g_file_query_filesystem_info_finish(G_FILE(source), result, nullptr));
          std::optional<std::uint64_t> free;
          if (info && g_file_info_has_attribute(info.get(), G_FILE_ATTRIBUTE_FILESYSTEM_FREE))
            free = g_file_info_get_attribute_uint64(info.get(), G_FILE_ATTRIBUTE_FILESYSTEM_FREE);
          if (EngineDownload* run = of(download.get())) run->carryOut(run->life.freeSpaceAnswered(free));
        },
        g_object_ref(download_));
  }
  void perform(const download::Progress& progress) {
    if (WebKitPage* page = page_.get()) page->delegate().pageDownloadProgressed(*page, progress.progress);
  }
  void perform(const download::Cancel&) { webkit_download_cancel(download_); }
  void perform(const download::RemoveFile& remove) {
    GObjectPtr<GFile> file(g_file_new_for_path(remove.path.c_str()));
    g_file_delete_async(
        file.get(), G_PRIORITY_DEFAULT, nullptr,
        +[](GObject* source, GAsyncResult* result, gpointer) {
          GError* raw = nullptr;
          g_file_delete_finish(G_FILE(source), result, &raw);
          GErrorPtr error(raw);  // gone already, or not ours to remove: nothing more to do
        },
        nullptr);
  }
  void perform(const download::Notify& notify) { notifyDesktop(notify.title, notify.body, downloadIcon); }
  void perform(const download::Report& report) {
    if (WebKitPage* page = page_.get()) {
      page->releaseDownload(download_);
      page->delegate().pageDownloadEnded(*page, report.report);
    }
    if (WebEngine* engine = engine_.get()) engine->downloadEnded.emit(report.report);
  }

  WebKitDownload* download_;            // holds this as its data
  Lifetime<WebEngine>::Handle engine_;  // expires with the engine
  Lifetime<WebKitPage>::Handle page_;   // the page that started it; expires with the page
  std::array<SignalConnection, 4> signals_;
};

}  // namespace

void WebEngine::downloadStarted(WebKitDownload* download) {
  WebKitPage* page = WebKitPage::of(webkit_download_get_web_view(download));
  WebKitURIRequest* request = webkit_download_get_request(download);
  const gchar* address = request ? webkit_uri_request_get_uri(request) : nullptr;
  auto* run = new EngineDownload(download, lifetime_.handle(), page ? page->handle() : Lifetime<WebKitPage>::Handle());
  g_object_set_data_full(G_OBJECT(download), "vesk-download", run,
                         [](gpointer data) { delete static_cast<EngineDownload*>(data); });
  // A download the user did not ask for is cancelled before any destination is chosen, so no file
  // is created.
  run->carryOut(run->life.started(address ? address : "", page ? &page->downloadConsent() : nullptr));
}

void WebEngine::cancelDownload(WebKitDownload* download) {
  if (EngineDownload* run = EngineDownload::of(download)) run->carryOut(run->life.cancelRequested());
}

}  // namespace vesk
