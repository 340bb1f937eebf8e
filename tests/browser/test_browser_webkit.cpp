// The browser store, its host and the engine context on the real WebKitGTK engine, against a
// loopback HTTP server.
#include <fcntl.h>
#include <glib/gstdio.h>
#include <gtest/gtest.h>
#include <gtkmm/clipboard.h>
#include <gtkmm/window.h>
#include <sys/stat.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <map>
#include <sstream>

#include <signal.h>

#include "browser/browser_store.h"
#include "browser/browser_view.h"
#include "browser/child_test.h"
#include "browser/downloads.h"
#include "browser/fakes.h"
#include "browser/system_clipboard.h"
#include "model/constants.h"
#include "support/gtk_test_support.h"
#include "support/loopback_server.h"
#include "webkit/web_engine.h"
#include "webkit/webkit_page.h"

namespace vesk {
namespace {

using namespace std::chrono_literals;

// Points the engine's requests for every host but the loopback addresses at `proxyPort`.
void routeOtherHostsTo(WebEngine& engine, int proxyPort) {
  std::string proxy = "http://127.0.0.1:" + std::to_string(proxyPort);
  const char* direct[] = {"127.0.0.1", "localhost", nullptr};
  WebKitNetworkProxySettings* settings = webkit_network_proxy_settings_new(proxy.c_str(), direct);
  webkit_website_data_manager_set_network_proxy_settings(webkit_web_context_get_website_data_manager(engine.context()),
                                                         WEBKIT_NETWORK_PROXY_MODE_CUSTOM, settings);
  webkit_network_proxy_settings_free(settings);
}

// One engine for the whole process, as in the application. Nothing it loads leaves the machine:
// other hosts go to a proxy port where nothing listens, unless a test serves them itself.
WebEngine& sharedEngine() {
  static auto* engine = [] {
    auto* made = new WebEngine();
    routeOtherHostsTo(*made, testing::closedLoopbackPort());
    return made;
  }();
  return *engine;
}

// While it lives, `server` answers the engine's requests for other hosts, as their proxy.
class ProxyScope {
 public:
  explicit ProxyScope(const testing::LoopbackServer& server) { routeOtherHostsTo(sharedEngine(), server.port()); }
  ~ProxyScope() { routeOtherHostsTo(sharedEngine(), testing::closedLoopbackPort()); }
  ProxyScope(const ProxyScope&) = delete;
  ProxyScope& operator=(const ProxyScope&) = delete;
};

std::string page(const std::string& body, const std::string& script = "") {
  return "<!doctype html><html><head><title>t</title></head><body>" + body + "<script>" + script +
         "</script></body></html>";
}

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

// Every download report the engine sends while this lives.
struct DownloadReports : std::vector<DownloadReport> {
  Subscription ended =
      sharedEngine().downloadEnded.connect([this](const DownloadReport& report) { push_back(report); });
};

class WebKitBrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testing::startGtk()) << "no display";
    window = std::make_unique<Gtk::Window>();
    window->set_default_size(800, 600);
    server.route("/", Reply(page("<h1>Home</h1><a id='next' href='/next'>next</a>")));
    server.route("/next", Reply(page("<h1>Next</h1>")));
  }

  void TearDown() override {
    host.reset();
    window.reset();
  }

  static testing::Reply Reply(std::string body) {
    testing::Reply reply;
    reply.body = std::move(body);
    return reply;
  }

  // A file the server sends for download under `filename`.
  static testing::Reply attachment(const std::string& filename, std::string body) {
    testing::Reply reply;
    reply.contentType = "application/octet-stream";
    reply.body = std::move(body);
    reply.headers = {{"Content-Disposition", "attachment; filename=\"" + filename + "\""}};
    return reply;
  }

  // Shows the site in a host inside a mapped window, as the panel does.
  void show(const LinkSite& site) {
    if (!host) {
      host = std::make_unique<BrowserView>(store, site);
      window->add(*host);
      window->show_all();
    } else {
      host->setSite(site);
    }
  }

  WebKitWebView* webView(const LinkSite& site) { return static_cast<WebKitPage&>(store.view(site)).webView(); }

  // Runs script in the page from the application side (counts as a user action).
  void runScript(const LinkSite& site, const std::string& script) {
    webkit_web_view_evaluate_javascript(webView(site), script.c_str(), -1, nullptr, nullptr, nullptr, nullptr, nullptr);
  }

  // Runs script in the page and waits for its result as text.
  std::optional<std::string> evaluate(const LinkSite& site, const std::string& script) {
    std::optional<std::string> result;
    bool done = false;
    struct Call {
      std::optional<std::string>* result;
      bool* done;
    } call{&result, &done};
    webkit_web_view_evaluate_javascript(
        webView(site), script.c_str(), -1, nullptr, nullptr, nullptr,
        +[](GObject* view, GAsyncResult* outcome, gpointer data) {
          auto* call = static_cast<Call*>(data);
          if (JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), outcome, nullptr)) {
            gchar* text = jsc_value_to_string(value);
            *call->result = text;
            g_free(text);
            g_object_unref(value);
          }
          *call->done = true;
        },
        &call);
    testing::waitFor([&] { return done; });
    return result;
  }

  // Clicks with the real pointer (through the X server) at the centre of the element with `id`.
  void clickElement(const LinkSite& site, const std::string& id, int button = 1) {
    auto centre =
        evaluate(site, "(() => { const r = document.getElementById('" + id +
                           "').getBoundingClientRect();"
                           " return Math.round(r.left + r.width / 2) + ' ' + Math.round(r.top + r.height / 2); })()");
    ASSERT_TRUE(centre);
    int x = 0, y = 0;
    ASSERT_EQ(std::sscanf(centre->c_str(), "%d %d", &x, &y), 2);
    clickAt(site, x, y, button);
  }

  // Clicks the page at (x, y) of its view with the real pointer, without asking the page anything.
  void clickAt(const LinkSite& site, int x, int y, int button = 1) {
    GtkWidget* widget = GTK_WIDGET(webView(site));
    int originX = 0, originY = 0;
    gdk_window_get_origin(gtk_widget_get_window(widget), &originX, &originY);
    if (!gtk_widget_get_has_window(widget)) {
      GtkAllocation allocation;
      gtk_widget_get_allocation(widget, &allocation);
      originX += allocation.x;
      originY += allocation.y;
    }
    std::string command = "xdotool mousemove " + std::to_string(originX + x) + " " + std::to_string(originY + y) +
                          " click " + std::to_string(button);
    gint status = -1;
    ASSERT_TRUE(g_spawn_command_line_sync(command.c_str(), nullptr, nullptr, &status, nullptr));
    ASSERT_EQ(status, 0);
  }

  bool settledAt(const std::string& address) {
    return testing::waitFor([&] { return !store.isLoading() && store.currentAddress() == address; });
  }

  testing::LoopbackServer server;
  testing::FakeWorkspace workspace;
  SystemClipboard clipboard;
  // A page may leave a question unanswered for 5 s here rather than 10, so tests of a busy page
  // wait less (and a page slow to answer on a loaded machine still has ample time).
  WebKitPageFactory factory{sharedEngine(), pageLoadTimeout, std::chrono::seconds(5)};
  BrowserStore store{factory, clipboard, workspace};
  std::unique_ptr<Gtk::Window> window;
  std::unique_ptr<BrowserView> host;
};

TEST(WebKitErrorDomainsTest, MatchTheNamesTheStoreChecks) {
  EXPECT_EQ(g_quark_to_string(WEBKIT_NETWORK_ERROR), LoadErrorKind::networkDomain);
  EXPECT_EQ(g_quark_to_string(WEBKIT_POLICY_ERROR), LoadErrorKind::policyDomain);
  EXPECT_EQ(g_quark_to_string(G_IO_ERROR), LoadErrorKind::timeoutDomain);
}

TEST_F(WebKitBrowserTest, LoadSettlesAndAFollowedLinkEnablesBackAndForward) {
  LinkSite site{"Home", server.url("/")};
  show(site);
  ASSERT_TRUE(sharedEngine().isStarted());
  EXPECT_TRUE(webkit_web_context_get_sandbox_enabled(sharedEngine().context()));
  ASSERT_TRUE(settledAt(server.url("/")));
  EXPECT_FALSE(store.errorText());
  EXPECT_FALSE(store.canGoBack());

  runScript(site, "document.getElementById('next').click()");
  ASSERT_TRUE(settledAt(server.url("/next")));
  EXPECT_TRUE(store.canGoBack());
  EXPECT_FALSE(store.canGoForward());

  store.goBack();
  ASSERT_TRUE(settledAt(server.url("/")));
  EXPECT_TRUE(store.canGoForward());
}

TEST_F(WebKitBrowserTest, TargetBlankLinkAndWindowOpenLoadInTheSameView) {
  server.route("/", Reply(page("<a id='blank' target='_blank' href='/popup'>popup</a>")));
  server.route("/popup", Reply(page("<p>popup</p>", "setTimeout(() => window.open('/opened'), 10)")));
  server.route("/opened", Reply(page("<p>opened by script</p>")));
  LinkSite site{"Home", server.url("/")};
  show(site);
  ASSERT_TRUE(settledAt(server.url("/")));
  auto windowsBefore = Gtk::Window::list_toplevels().size();

  runScript(site, "document.getElementById('blank').click()");
  // The link's target, then the page's own window.open(), both end up in this view.
  ASSERT_TRUE(settledAt(server.url("/opened")));
  EXPECT_EQ(server.count("/popup"), 1);
  EXPECT_TRUE(store.canGoBack());
  EXPECT_EQ(Gtk::Window::list_toplevels().size(), windowsBefore);
  EXPECT_EQ(host->get_child(), static_cast<WebKitPage&>(store.view(site)).widget());
}

TEST_F(WebKitBrowserTest, ConnectionRefusedSetsErrorTextAndKeepsThePage) {
  LinkSite site{"Closed", "http://127.0.0.1:" + std::to_string(testing::closedLoopbackPort()) + "/"};
  show(site);
  ASSERT_TRUE(testing::waitFor([&] { return store.errorText().has_value() && !store.isLoading(); }));
  EXPECT_FALSE(store.errorText()->empty());
}

TEST_F(WebKitBrowserTest, RapidReloadsProduceNoErrorText) {
  testing::Reply slow = Reply(page("<p>slow</p>"));
  slow.delayMs = 300;
  server.route("/", slow);
  LinkSite site{"Home", server.url("/")};
  show(site);
  ASSERT_TRUE(settledAt(server.url("/")));
  std::vector<std::optional<std::string>> errors;
  auto watch = store.errorText.observe([&](const auto& text) { errors.push_back(text); });
  // Each reload replaces the one still waiting for the slow server.
  for (int i = 0; i < 4; ++i) {
    store.reload();
    testing::spinFor(50);
  }
  ASSERT_TRUE(testing::waitFor([&] { return server.count("/") >= 3; }));
  ASSERT_TRUE(settledAt(server.url("/")));
  testing::spinFor(300);
  for (const auto& error : errors) EXPECT_FALSE(error) << *error;
  EXPECT_FALSE(store.errorText());
}

TEST_F(WebKitBrowserTest, SignInLinkIsRefusedBeforeAnyNetworkAccess) {
  server.route("/", Reply(page("<a id='signin' href='http://accounts.google.com/ServiceLogin'>sign in</a>")));
  LinkSite site{"Home", server.url("/")};
  show(site);
  ASSERT_TRUE(settledAt(server.url("/")));
  runScript(site, "document.getElementById('signin').click()");
  ASSERT_TRUE(testing::waitFor([&] { return store.requiresExternalSignIn(); }));
  testing::spinFor(300);
  EXPECT_EQ(webkit_web_view_get_uri(webView(site)), server.url("/"));
  EXPECT_FALSE(store.errorText());
  EXPECT_FALSE(store.isLoading());
}

bool signInHostWasAsked(const testing::LoopbackServer& server) {
  for (const auto& request : server.requests()) {
    if (request.host.rfind(signInHost, 0) == 0) return true;
  }
  return false;
}

TEST_F(WebKitBrowserTest, ThePageItselfNeverReachesTheSignInHostWhateverTakesItThere) {
  ProxyScope proxy(server);  // a request for the sign-in host would show up here
  testing::Reply redirect;
  redirect.status = 302;
  redirect.headers = {{"Location", "http://accounts.google.com/ServiceLogin"}};
  server.route("/redirect", redirect);
  server.route("/", Reply(page("<a id='link' href='http://accounts.google.com/ServiceLogin'>sign in</a>"
                               "<a id='user' href='http://me@Accounts.Google.com:80/'>as me</a>"
                               "<a id='redirect' href='/redirect'>via a redirect</a>"
                               "<a id='dot' href='http://accounts.google.com./ServiceLogin'>trailing dot</a>"
                               "<a id='dots' href='http://Me@ACCOUNTS.Google.com.:80/'>dot, capitals, port</a>"
                               "<a id='escaped' href='http://accounts%2Egoogle%2Ecom./'>escaped dots</a>"
                               "<a id='blank' target='_blank' href='http://accounts.google.com./x'>new window</a>")));
  struct Case {
    const char* name;
    std::string script;
  } cases[] = {
      {"link", "document.getElementById('link').click()"},
      {"user info and capitals", "document.getElementById('user').click()"},
      {"server redirect", "document.getElementById('redirect').click()"},
      {"page script", "setTimeout(() => location.href = 'http://accounts.google.com/o/oauth2', 0)"},
      {"new window", "setTimeout(() => window.open('http://accounts.google.com/popup'), 0)"},
      // The fully qualified spelling, with one trailing dot, names the same host.
      {"trailing dot", "document.getElementById('dot').click()"},
      {"trailing dot, capitals, port", "document.getElementById('dots').click()"},
      {"trailing dot, escaped dots", "document.getElementById('escaped').click()"},
      {"trailing dot, new-window link", "document.getElementById('blank').click()"},
      {"trailing dot, page script", "setTimeout(() => location.href = 'https://accounts.google.com./', 0)"},
      {"trailing dot, window.open", "setTimeout(() => window.open('http://ACCOUNTS.GOOGLE.COM./popup'), 0)"},
  };
  LinkSite site{"Home", server.url("/")};
  LinkSite other{"Other", server.url("/next")};
  sharedEngine().context();
  ASSERT_TRUE(testing::waitFor([&] { return sharedEngine().signInGuard() != nullptr; }));
  show(site);
  ASSERT_TRUE(settledAt(server.url("/")));
  ASSERT_TRUE(store.view(site).guardsSignInHost());
  for (const Case& c : cases) {
    show(other);
    show(site);
    ASSERT_FALSE(store.requiresExternalSignIn());
    runScript(site, c.script);
    ASSERT_TRUE(testing::waitFor([&] { return store.requiresExternalSignIn(); })) << c.name;
    ASSERT_TRUE(testing::waitFor([&] { return !store.isLoading(); })) << c.name;
    EXPECT_EQ(webkit_web_view_get_uri(webView(site)), server.url("/")) << c.name;
    EXPECT_FALSE(store.errorText()) << c.name;
  }
  EXPECT_FALSE(signInHostWasAsked(server));
}

TEST_F(WebKitBrowserTest, AFrameTheSignInPageEmbedsFromTheSignInHostStaysInThePage) {
  ProxyScope proxy(server);  // serves the sign-in host's frame
  server.route("/gsi/button", Reply(page("<button>Sign in with the provider</button>")));
  // As sign-in pages do: the frame is added by script after the page loaded.
  server.route("/", Reply(page("<h1>Sign in</h1>",
                               "addEventListener('load', () => setTimeout(() => {"
                               " const f = document.createElement('iframe');"
                               " f.src = 'http://accounts.google.com/gsi/button';"
                               " document.body.appendChild(f); }, 200))")));
  sharedEngine().context();
  ASSERT_TRUE(testing::waitFor([&] { return sharedEngine().signInGuard() != nullptr; }));
  LinkSite site{"Home", server.url("/")};
  show(site);
  ASSERT_TRUE(testing::waitFor([&] { return server.count("/gsi/button") == 1; }));
  EXPECT_TRUE(signInHostWasAsked(server));
  testing::spinFor(300);
  EXPECT_FALSE(store.requiresExternalSignIn());
  EXPECT_EQ(webkit_web_view_get_uri(webView(site)), server.url("/"));
  EXPECT_EQ(evaluate(site, "document.querySelector('iframe').src"), "http://accounts.google.com/gsi/button");
}

TEST_F(WebKitBrowserTest, MailtoReachesTheDesktopOnlyWhenTheUserClicked) {
  server.route("/", Reply(page("<p><a id='mail' href='mailto:clicked@example.com'>mail</a></p>"
                               "<p><a id='pointer' href='mailto:pointer@example.com'>pointer</a></p>"
                               "<p><a id='timer' href='/timer'>timer</a></p>"
                               "<p><button id='open' onclick=\"window.open('mailto:opened@example.com')\">open"
                               "</button></p>",
                               // A window the page opens by itself, without a click, goes nowhere.
                               "setTimeout(() => window.open('mailto:unasked@example.com'), 0)")));
  // The page's own script tries to open the mail client, then moves on.
  server.route("/timer", Reply(page("<p>timer</p>",
                                    "setTimeout(() => { location.href = 'mailto:script@example.com';"
                                    " setTimeout(() => location.href = '/done', 100); }, 50)")));
  server.route("/done", Reply(page("<p>done</p>")));
  LinkSite site{"Home", server.url("/")};
  show(site);
  ASSERT_TRUE(settledAt(server.url("/")));

  runScript(site, "document.getElementById('mail').click()");
  ASSERT_TRUE(testing::waitFor([&] { return !workspace.opened.empty(); }));
  EXPECT_EQ(workspace.opened, std::vector<std::string>{"mailto:clicked@example.com"});
  EXPECT_EQ(webkit_web_view_get_uri(webView(site)), server.url("/"));

  // A real pointer click through the X server.
  clickElement(site, "pointer");
  ASSERT_TRUE(testing::waitFor([&] { return workspace.opened.size() == 2; }));
  EXPECT_EQ(workspace.opened[1], "mailto:pointer@example.com");

  // A click whose handler opens the address in a new window, as a click and through the X server.
  runScript(site, "document.getElementById('open').click()");
  ASSERT_TRUE(testing::waitFor([&] { return workspace.opened.size() == 3; }));
  EXPECT_EQ(workspace.opened[2], "mailto:opened@example.com");
  clickElement(site, "open");
  ASSERT_TRUE(testing::waitFor([&] { return workspace.opened.size() == 4; }));
  EXPECT_EQ(workspace.opened[3], "mailto:opened@example.com");
  EXPECT_EQ(webkit_web_view_get_uri(webView(site)), server.url("/"));

  runScript(site, "document.getElementById('timer').click()");
  ASSERT_TRUE(settledAt(server.url("/done")));
  EXPECT_EQ(workspace.opened.size(), 4u);
}

TEST_F(WebKitBrowserTest, KilledWebProcessShowsAFailureAndReloadRecovers) {
  LinkSite site{"Home", server.url("/")};
  show(site);
  ASSERT_TRUE(settledAt(server.url("/")));
  webkit_web_view_terminate_web_process(webView(site));
  ASSERT_TRUE(testing::waitFor([&] { return store.errorText().has_value(); }));
  EXPECT_EQ(*store.errorText(), strings::pageCrashed());

  // Still reported after switching away and back.
  LinkSite other{"Other", server.url("/next")};
  show(other);
  ASSERT_TRUE(settledAt(server.url("/next")));
  show(site);
  EXPECT_EQ(store.errorText(), strings::pageCrashed());

  store.reload();
  ASSERT_TRUE(testing::waitFor([&] { return !store.errorText() && !store.isLoading(); }));
  EXPECT_EQ(store.currentAddress(), server.url("/"));
  // The page runs again: its link works.
  runScript(site, "document.getElementById('next').click()");
  ASSERT_TRUE(settledAt(server.url("/next")));
  EXPECT_FALSE(store.errorText());
}

TEST_F(WebKitBrowserTest, TryAgainAfterAFailedFirstLoadLoadsTheSiteOnceItAnswers) {
  int port = testing::closedLoopbackPort();
  LinkSite site{"Late", "http://127.0.0.1:" + std::to_string(port) + "/"};
  show(site);
  ASSERT_TRUE(testing::waitFor([&] { return store.errorText().has_value() && !store.isLoading(); }));

  testing::LoopbackServer late(port);  // the site comes up
  late.route("/", Reply(page("<h1>Up</h1>")));
  store.reload();
  ASSERT_TRUE(testing::waitFor([&] { return late.count("/") == 1; }));
  ASSERT_TRUE(settledAt(site.address));
  EXPECT_FALSE(store.errorText());
}

TEST_F(WebKitBrowserTest, AWebProcessEndingBeforeTheFirstPageStopsLoadingAndTryAgainLoadsTheSite) {
  testing::Reply hang;
  hang.hold = true;
  testing::Reply toFile;
  toFile.status = 302;
  toFile.headers = {{"Location", "file:///etc/hostname"}};
  struct Case {
    const char* name;
    std::string path;
    testing::Reply first;
  } cases[] = {{"request without answer", "/hang", hang}, {"redirect to a local file", "/file", toFile}};
  for (const Case& c : cases) {
    server.route(c.path, c.first);
    LinkSite site{c.name, server.url(c.path)};
    show(site);
    ASSERT_TRUE(testing::waitFor([&] { return server.count(c.path) == 1; })) << c.name;
    testing::spinFor(100);
    webkit_web_view_terminate_web_process(webView(site));
    ASSERT_TRUE(testing::waitFor([&] { return store.errorText().has_value(); })) << c.name;
    EXPECT_EQ(store.errorText(), strings::pageCrashed()) << c.name;
    EXPECT_FALSE(store.isLoading()) << c.name;

    server.route(c.path, Reply(page("<p>answered</p>")));
    store.reload();
    ASSERT_TRUE(testing::waitFor([&] { return server.count(c.path) == 2; })) << c.name;
    ASSERT_TRUE(testing::waitFor([&] { return !store.errorText() && !store.isLoading(); })) << c.name;
    EXPECT_EQ(store.currentAddress(), site.address) << c.name;
  }
}

// Web processes running below this test process (the sandbox starts them through bwrap).
std::vector<int> webProcesses() {
  std::map<int, int> parents;
  std::vector<int> webProcesses;
  GDir* proc = g_dir_open("/proc", 0, nullptr);
  while (const gchar* name = proc ? g_dir_read_name(proc) : nullptr) {
    int pid = std::atoi(name);
    if (pid <= 0) continue;
    std::string stat = readFile("/proc/" + std::string(name) + "/stat");
    auto close = stat.rfind(')');
    if (close == std::string::npos) continue;
    int parent = 0;
    if (std::sscanf(stat.c_str() + close + 2, "%*c %d", &parent) != 1) continue;
    parents[pid] = parent;
    if (stat.find("(WebKitWebProces") != std::string::npos) webProcesses.push_back(pid);
  }
  if (proc) g_dir_close(proc);
  std::vector<int> ours;
  for (int pid : webProcesses) {
    for (int up = parents[pid]; up > 1; up = parents.count(up) ? parents[up] : 0) {
      if (up == getpid()) {
        ours.push_back(pid);
        break;
      }
    }
  }
  return ours;
}

int webProcessCount() { return static_cast<int>(webProcesses().size()); }

TEST_F(WebKitBrowserTest, ARemovedSiteTakesItsWebProcessWithIt) {
  LinkSite kept{"Kept", server.url("/")};
  LinkSite removed{"Removed", server.url("/next")};
  show(removed);
  ASSERT_TRUE(settledAt(server.url("/next")));
  show(kept);
  ASSERT_TRUE(settledAt(server.url("/")));
  int before = webProcessCount();
  ASSERT_GE(before, 2);
  store.forgetSites({kept});
  EXPECT_TRUE(testing::waitFor([&] { return webProcessCount() == before - 1; })) << webProcessCount();
  EXPECT_TRUE(settledAt(server.url("/")));
}

TEST_F(WebKitBrowserTest, AReleasedPageEndsItsWebProcessAndComesBackWithItsHistoryAndAddress) {
  server.route("/other", Reply(page("<h1>Other</h1>")));
  BrowserStore oneLive{factory, clipboard, workspace, 1};
  LinkSite first{"First", server.url("/")};
  LinkSite second{"Second", server.url("/other")};
  auto settled = [&](const std::string& address) {
    return testing::waitFor([&] { return !oneLive.isLoading() && oneLive.currentAddress() == address; });
  };
  auto local = std::make_unique<BrowserView>(oneLive, first);
  window->add(*local);
  window->show_all();
  ASSERT_TRUE(settled(server.url("/")));
  webkit_web_view_evaluate_javascript(static_cast<WebKitPage&>(oneLive.view(first)).webView(),
                                      "document.getElementById('next').click()", -1, nullptr, nullptr, nullptr, nullptr,
                                      nullptr);
  ASSERT_TRUE(settled(server.url("/next")));
  int before = webProcessCount();

  local->setSite(second);
  ASSERT_TRUE(settled(server.url("/other")));
  EXPECT_FALSE(oneLive.isLive(first.id));
  // One process came with the second page, the first page's went with it.
  EXPECT_TRUE(testing::waitFor([&] { return webProcessCount() == before; })) << webProcessCount();

  local->setSite(first);
  ASSERT_TRUE(settled(server.url("/next")));
  EXPECT_TRUE(oneLive.canGoBack());
  EXPECT_FALSE(oneLive.isLive(second.id));
  oneLive.goBack();
  ASSERT_TRUE(settled(server.url("/")));
  EXPECT_TRUE(oneLive.canGoForward());
  local.reset();
}

// Two sites on different hosts (127.0.0.1 and localhost), with and without "Use less memory". The
// engine's own identifier of a page's process is not public: the processes are counted in /proc.
class SharedProcessTest : public WebKitBrowserTest {
 protected:
  void TearDown() override {
    WebKitBrowserTest::TearDown();
    sharedEngine().setSharedWebProcess(false);
  }
  // Shows both sites, the second one last.
  void showBoth() {
    show(first);
    ASSERT_TRUE(settledAt(first.address));
    show(second);
    ASSERT_TRUE(settledAt(second.address));
  }
  bool running(const LinkSite& site) { return evaluate(site, "document.title") == std::optional<std::string>("t"); }

  LinkSite first{"First", server.url("/")};
  LinkSite second{"Second", "http://localhost:" + std::to_string(server.port()) + "/next"};
};

TEST_F(SharedProcessTest, SitesShareOneProcessOnlyWhenAskedAndACrossSiteLinkKeepsIt) {
  for (bool shared : {false, true}) {
    SCOPED_TRACE(shared ? "shared" : "one process each");
    BrowserStore local{factory, clipboard, workspace};
    local.setSharedWebProcess(shared);
    auto settled = [&](const std::string& address) {
      return testing::waitFor([&] { return !local.isLoading() && local.currentAddress() == address; });
    };
    auto view = std::make_unique<BrowserView>(local, first);
    window->add(*view);
    window->show_all();
    ASSERT_TRUE(settled(first.address));
    view->setSite(second);
    ASSERT_TRUE(settled(second.address));
    const int expected = shared ? 1 : 2;
    EXPECT_TRUE(testing::waitFor([&] { return webProcessCount() == expected; })) << webProcessCount();

    // A link from localhost to 127.0.0.1: the engine swaps no process for another site.
    webkit_web_view_evaluate_javascript(static_cast<WebKitPage&>(local.view(second)).webView(),
                                        ("location.href = '" + server.url("/") + "'").c_str(), -1, nullptr, nullptr,
                                        nullptr, nullptr, nullptr);
    ASSERT_TRUE(settled(server.url("/")));
    testing::spinFor(200);  // a swapped process would be up by now
    EXPECT_EQ(webProcessCount(), expected);
    window->remove();
    view.reset();
  }
}

TEST_F(SharedProcessTest, ACrashOfTheSharedProcessShowsOnEverySiteAndTryAgainRecoversEachOnOneProcess) {
  store.setSharedWebProcess(true);
  showBoth();
  auto before = webProcesses();
  ASSERT_EQ(before.size(), 1u);
  // SIGSEGV sent from outside does not end a web process (the script engine's fault handler
  // takes it and carries on): the process is killed outright, as the kernel would on a crash.
  ASSERT_EQ(kill(before.front(), SIGKILL), 0);

  // Every site shows the crash card, the hidden one when it is shown.
  ASSERT_TRUE(testing::waitFor([&] { return store.errorText().has_value(); }));
  EXPECT_EQ(store.errorText(), strings::pageCrashed());
  show(first);
  EXPECT_EQ(store.errorText(), strings::pageCrashed());

  // "Try again" on the first starts a new process; the second joins it.
  store.reload();
  ASSERT_TRUE(testing::waitFor([&] { return !store.errorText() && !store.isLoading(); }));
  EXPECT_EQ(store.currentAddress(), first.address);
  show(second);
  EXPECT_EQ(store.errorText(), strings::pageCrashed());
  store.reload();
  ASSERT_TRUE(testing::waitFor([&] { return !store.errorText() && !store.isLoading(); }));
  EXPECT_EQ(store.currentAddress(), second.address);
  EXPECT_TRUE(running(first));
  EXPECT_TRUE(running(second));
  EXPECT_TRUE(testing::waitFor([&] { return webProcessCount() == 1; })) << webProcessCount();
  EXPECT_NE(webProcesses(), before);
  // The host shows the page made again.
  EXPECT_EQ(host->get_child(), store.view(second).widget());
}

// A page renewed for a notification answer taken back ends the shared process: the other site's
// page loads again with it instead of showing the crash card.
TEST_F(SharedProcessTest, ARenewedPageTakesTheOtherPagesOnItsProcessAlongWithoutACrash) {
  store.setSharedWebProcess(true);
  const std::string origin = server.url("/").substr(0, server.url("/").size() - 1);
  sharedEngine().setNotificationPermissions({origin}, {});
  showBoth();
  sharedEngine().setNotificationPermissions({}, {});
  show(first);
  store.reload();
  ASSERT_TRUE(testing::waitFor([&] { return server.count("/") >= 2 && !store.isLoading(); }));
  EXPECT_FALSE(store.errorText());
  ASSERT_TRUE(testing::waitFor([&] { return server.count("/next") >= 2; })) << "the other page loaded again";
  show(second);
  EXPECT_FALSE(store.errorText());
  EXPECT_TRUE(settledAt(second.address));
  EXPECT_TRUE(running(second));
}

// A script that does not end holds up the shared process: every site says so, the card goes when
// the process answers again, and "Try again" loads every site again in a new process.
TEST_F(SharedProcessTest, APageThatStopsAnsweringShowsItOnEverySiteUntilItAnswersOrIsLoadedAgain) {
  store.setSharedWebProcess(true);
  showBoth();
  auto before = webProcesses();
  const auto notResponding = std::optional<std::string>(strings::pageNotResponding());
  // Each hang is followed by what the user would do next: a key press (which the engine times
  // itself), a click (which the page times).
  auto hang = [&](const std::string& loop, bool key) {
    runScript(second, "setTimeout(() => { " + loop + " }, 0)");
    testing::spinFor(200);
    if (!key) return clickAt(second, 20, 20);
    gtk_widget_grab_focus(GTK_WIDGET(webView(second)));
    gint status = -1;
    ASSERT_TRUE(g_spawn_command_line_sync("xdotool key a", nullptr, nullptr, &status, nullptr));
    ASSERT_EQ(status, 0);
  };

  // Busy until the test answers "go" at /release.
  const std::string untilReleased =
      "for (;;) { const end = Date.now() + 100; while (Date.now() < end) {}"
      " const r = new XMLHttpRequest(); r.open('GET', '/release', false); r.send();"
      " if (r.responseText === 'go') break; }";
  for (bool key : {true, false}) {
    SCOPED_TRACE(key ? "a key" : "a click");
    server.route("/release", Reply("wait"));
    hang(untilReleased, key);
    ASSERT_TRUE(testing::waitFor([&] { return store.errorText() == notResponding; }, 20));
    server.route("/release", Reply("go"));
    EXPECT_TRUE(testing::waitFor([&] { return !store.errorText(); }, 20)) << "the card stays once the page answers";
  }

  hang("for (;;) {}", false);
  ASSERT_TRUE(testing::waitFor([&] { return store.errorText() == notResponding; }, 15));
  show(first);
  EXPECT_EQ(store.errorText(), notResponding);
  const int firstLoads = server.count("/"), secondLoads = server.count("/next");
  store.reload();
  ASSERT_TRUE(testing::waitFor([&] { return server.count("/") > firstLoads && server.count("/next") > secondLoads; }));
  // The card goes when the new load starts, a moment after the server saw its request.
  EXPECT_TRUE(testing::waitFor([&] { return !store.errorText() && running(first); })) << *store.errorText();
  EXPECT_TRUE(settledAt(first.address));
  show(second);
  EXPECT_TRUE(settledAt(second.address));
  EXPECT_EQ(store.errorText(), std::nullopt);
  EXPECT_TRUE(testing::waitFor([&] { return running(second); }));
  EXPECT_TRUE(testing::waitFor([&] {
    auto now = webProcesses();
    return std::find(now.begin(), now.end(), before.front()) == now.end();
  })) << "the process that did not answer still runs";

  // The engine started both again in one process: closing one page (its site removed) leaves the
  // other's running.
  store.forgetSites({first});
  show(first);
  testing::spinFor(500);  // an ended process would have been reported by now
  EXPECT_EQ(store.errorText(), std::nullopt);
  EXPECT_TRUE(running(first));
}

TEST(WebKitTimeoutTest, ARequestWithoutAnswerTimesOut) {
  ASSERT_TRUE(testing::startGtk()) << "no display";
  testing::LoopbackServer server;
  testing::Reply hang;
  hang.hold = true;
  server.route("/hang", hang);
  testing::FakeWorkspace workspace;
  testing::FakeClipboard clipboard;
  WebKitPageFactory quick{sharedEngine(), 1500ms};
  BrowserStore store{quick, clipboard, workspace};
  LinkSite site{"Hang", server.url("/hang")};
  store.view(site);
  store.activate(site);
  ASSERT_TRUE(testing::waitFor([&] { return store.errorText().has_value(); }));
  EXPECT_EQ(*store.errorText(), strings::requestTimedOut());
  EXPECT_TRUE(testing::waitFor([&] { return !store.isLoading(); }));
}

TEST_F(WebKitBrowserTest, DownloadLandsInTheDownloadFolderUnderAFreshName) {
  std::string folder = downloadDirectory();
  if (const char* configured = g_getenv("XDG_DOWNLOAD_DIR")) {
    EXPECT_EQ(folder, configured);
  }
  ASSERT_EQ(g_mkdir_with_parents(folder.c_str(), 0755), 0);
  std::string existing = folder + "/report.txt";
  { std::ofstream(existing) << "older file"; }
  server.route("/report", attachment("report.txt", "downloaded content"));
  server.route("/", Reply(page("<a id='get' href='/report'>get</a>")));

  DownloadReports reports;
  LinkSite site{"Home", server.url("/")};
  show(site);
  ASSERT_TRUE(settledAt(server.url("/")));
  runScript(site, "document.getElementById('get').click()");
  ASSERT_TRUE(testing::waitFor([&] { return !reports.empty(); }));
  EXPECT_TRUE(reports[0].succeeded) << reports[0].message;
  EXPECT_EQ(reports[0].path, folder + "/report (1).txt");
  EXPECT_EQ(readFile(folder + "/report (1).txt"), "downloaded content");
  EXPECT_EQ(readFile(existing), "older file");
  EXPECT_NE(reports[0].message.find("report (1).txt"), std::string::npos);
  // The page stays where it was and the interrupted navigation is no error.
  EXPECT_TRUE(settledAt(server.url("/")));
  EXPECT_FALSE(store.errorText());
  g_unlink(existing.c_str());
  g_unlink((folder + "/report (1).txt").c_str());
}

TEST_F(WebKitBrowserTest, DownloadThatCannotBeSavedIsReportedAndHarmsNothing) {
  std::string blocker = std::string(g_getenv("VESK_TEST_TMP") ? g_getenv("VESK_TEST_TMP") : g_get_tmp_dir()) +
                        "/not-a-folder-" + std::to_string(getpid());
  { std::ofstream(blocker) << "a file where the Download folder should be"; }
  std::string saved = g_getenv("XDG_DOWNLOAD_DIR") ? g_getenv("XDG_DOWNLOAD_DIR") : "";
  g_setenv("XDG_DOWNLOAD_DIR", (blocker + "/Downloads").c_str(), TRUE);
  if (g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD)) GTEST_SKIP() << "the desktop configures a Download folder";

  server.route("/data", attachment("data.bin", "content"));
  server.route("/", Reply(page("<a id='get' href='/data'>get</a>")));
  DownloadReports reports;
  LinkSite site{"Home", server.url("/")};
  show(site);
  ASSERT_TRUE(settledAt(server.url("/")));
  runScript(site, "document.getElementById('get').click()");
  bool reported = testing::waitFor([&] { return !reports.empty(); });
  g_setenv("XDG_DOWNLOAD_DIR", saved.c_str(), TRUE);
  ASSERT_TRUE(reported);
  EXPECT_FALSE(reports[0].succeeded);
  EXPECT_NE(reports[0].message.find("could not be downloaded"), std::string::npos) << reports[0].message;
  EXPECT_EQ(readFile(blocker), "a file where the Download folder should be");
  g_unlink(blocker.c_str());
}

// The names in `folder`, sorted.
std::vector<std::string> filesIn(const std::string& folder) {
  std::vector<std::string> names;
  if (GDir* dir = g_dir_open(folder.c_str(), 0, nullptr)) {
    while (const char* name = g_dir_read_name(dir)) names.emplace_back(name);
    g_dir_close(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(WebKitBrowserTest, DownloadsThePageStartsByItselfAreRefusedBeforeAnyFileExists) {
  std::string folder = downloadDirectory();
  ASSERT_EQ(g_mkdir_with_parents(folder.c_str(), 0755), 0);
  const auto before = filesIn(folder);
  for (const char* name : {"/frame", "/anchor", "/moved"}) server.route(name, attachment(name + 1, "content"));
  // A frame, a link with the download attribute, a blob and the page itself moving to a file.
  server.route("/", Reply(page("<p>home</p>",
                               "const f = document.createElement('iframe'); f.src = '/frame';"
                               " document.body.appendChild(f);"
                               " const b = document.createElement('a'); b.download = 'blob.txt';"
                               " b.href = URL.createObjectURL(new Blob(['blob'])); document.body.appendChild(b);"
                               " b.click();"
                               " const a = document.createElement('a'); a.href = '/anchor'; a.download = 'a.txt';"
                               " document.body.appendChild(a); setTimeout(() => a.click(), 200);"
                               " setTimeout(() => location.href = '/moved', 400);")));
  DownloadReports reports;
  LinkSite site{"Home", server.url("/")};
  show(site);
  ASSERT_TRUE(testing::waitFor(
      [&] { return server.count("/frame") > 0 && server.count("/anchor") > 0 && server.count("/moved") > 0; }));
  testing::spinFor(1000);
  EXPECT_EQ(filesIn(folder), before);
  EXPECT_TRUE(store.downloads().empty());
  EXPECT_TRUE(reports.empty());
  EXPECT_FALSE(store.downloadNotice());
}

TEST_F(WebKitBrowserTest, DownloadsTheUserClickedRunWhateverTheLinkIs) {
  std::string folder = downloadDirectory();
  ASSERT_EQ(g_mkdir_with_parents(folder.c_str(), 0755), 0);
  server.route("/file", attachment("clicked.txt", "clicked content"));
  testing::Reply redirect;
  redirect.status = 302;
  redirect.headers = {{"Location", "/file"}};
  server.route("/redirect", redirect);
  server.route(
      "/", Reply(page("<a id='link' href='/file'>link</a> <a id='redirect' href='/redirect'>redirect</a>"
                      " <a id='attribute' href='/file' download>attribute</a>"
                      " <a id='blank' href='/file' target='_blank'>blank</a>"
                      " <button id='blob' onclick=\"const a = document.createElement('a');"
                      " a.download = 'clicked.txt'; a.href = window.URL.createObjectURL(new Blob(['clicked content']));"
                      " document.body.appendChild(a); a.click()\">blob</button>")));
  LinkSite site{"Home", server.url("/")};
  show(site);
  ASSERT_TRUE(settledAt(server.url("/")));
  for (const char* id : {"blob", "link", "redirect", "attribute", "blank"}) {
    SCOPED_TRACE(id);
    DownloadReports reports;
    runScript(site, std::string("document.getElementById('") + id + "').click()");
    ASSERT_TRUE(testing::waitFor([&] { return !reports.empty(); }));
    EXPECT_TRUE(reports[0].succeeded) << reports[0].message;
    EXPECT_EQ(readFile(reports[0].path), "clicked content");
    g_unlink(reports[0].path.c_str());
    EXPECT_TRUE(testing::waitFor([&] { return store.downloads().empty(); }));
  }
}

// Whether one of this process's pop-up menus is on screen, so that keys typed now reach it.
bool popupMenuShown() {
  GList* windows = gtk_window_list_toplevels();
  bool shown = false;
  for (GList* item = windows; item; item = item->next) {
    auto* window = GTK_WINDOW(item->data);
    GtkWidget* child = gtk_bin_get_child(GTK_BIN(window));
    shown = shown || (gtk_window_get_window_type(window) == GTK_WINDOW_POPUP &&
                      gtk_widget_get_mapped(GTK_WIDGET(window)) && child && GTK_IS_MENU(child));
  }
  g_list_free(windows);
  return shown;
}

TEST_F(WebKitBrowserTest, TheContextMenuDownloadsTheLinkTheUserChose) {
  server.route("/file", attachment("menu.txt", "chosen from the menu"));
  server.route("/", Reply(page("<p style='font-size: 40px'><a id='link' href='/file'>link</a></p>")));
  DownloadReports reports;
  LinkSite site{"Home", server.url("/")};
  show(site);
  ASSERT_TRUE(settledAt(server.url("/")));
  // The menu keeps only its "download linked file" item, chosen with the keyboard.
  g_signal_connect_after(
      webView(site), "context-menu",
      G_CALLBACK(+[](WebKitWebView*, WebKitContextMenu* menu, GdkEvent*, WebKitHitTestResult*, gpointer) -> gboolean {
        GList* items = g_list_copy(webkit_context_menu_get_items(menu));
        for (GList* item = items; item; item = item->next) {
          auto* entry = WEBKIT_CONTEXT_MENU_ITEM(item->data);
          if (webkit_context_menu_item_get_stock_action(entry) != WEBKIT_CONTEXT_MENU_ACTION_DOWNLOAD_LINK_TO_DISK) {
            webkit_context_menu_remove(menu, entry);
          }
        }
        g_list_free(items);
        return FALSE;
      }),
      nullptr);
  clickElement(site, "link", 3);
  ASSERT_TRUE(testing::waitFor(popupMenuShown)) << "no context menu";
  gint status = -1;
  ASSERT_TRUE(g_spawn_command_line_sync("xdotool key Down Return", nullptr, nullptr, &status, nullptr));
  ASSERT_TRUE(testing::waitFor([&] { return !reports.empty(); }));
  EXPECT_TRUE(reports[0].succeeded) << reports[0].message;
  EXPECT_EQ(readFile(reports[0].path), "chosen from the menu");
  g_unlink(reports[0].path.c_str());
}

// The page starts a slow download in a hidden frame by itself; while it waits, the user acts on
// something else. That action consents to its own navigation only, never to the page's file.
TEST_F(WebKitBrowserTest, AUserActionLetsNoDownloadRunButTheOneOfItsOwnNavigation) {
  std::string folder = downloadDirectory();
  ASSERT_EQ(g_mkdir_with_parents(folder.c_str(), 0755), 0);
  const auto before = filesIn(folder);
  constexpr int answerAfterMs = 3000;  // time for the user's action before the file arrives
  testing::Reply slow = attachment("stolen.txt", "the page's file");
  slow.delayMs = answerAfterMs;
  server.route("/slow", slow);
  server.route("/harmless", Reply(page("<p>harmless</p>")));
  server.route("/", Reply(page("<p style='font-size: 40px'><a id='fragment' href='#below'>fragment</a></p>"
                               "<p style='font-size: 40px'><a id='framed' href='/harmless' target='side'>framed</a></p>"
                               "<p style='font-size: 40px' id='plain'>plain text</p>"
                               "<iframe name='side'></iframe><iframe id='loader' style='display: none'></iframe>"
                               "<p id='below'>below</p>",
                               "setTimeout(() => document.getElementById('loader').src = '/slow', 100)")));
  struct Case {
    const char* name;
    std::function<void(const LinkSite&)> act;
  } cases[] = {
      {"a fragment link", [&](const LinkSite& site) { clickElement(site, "fragment"); }},
      {"a link aimed at a frame", [&](const LinkSite& site) { clickElement(site, "framed"); }},
      {"the context menu opened and closed",
       [&](const LinkSite& site) {
         clickElement(site, "plain", 3);
         ASSERT_TRUE(testing::waitFor(popupMenuShown)) << "no context menu";
         ASSERT_TRUE(testing::xdotool("key Escape"));
         ASSERT_TRUE(testing::waitFor([] { return !popupMenuShown(); }));
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DownloadReports reports;
    const int asked = server.count("/slow");
    LinkSite site{c.name, server.url("/")};  // a page of its own for each case
    show(site);
    ASSERT_TRUE(testing::waitFor([&] { return server.count("/slow") == asked + 1; }));
    c.act(site);
    // The file arrives after the action; give a download that must not run the time to show up.
    testing::spinFor(answerAfterMs + 1500);
    EXPECT_TRUE(reports.empty()) << reports.front().path;
    EXPECT_TRUE(store.downloads().empty());
    EXPECT_EQ(filesIn(folder), before);
  }
}

// New-window requests replace the page (the panel opens them in place): the page's own origin may
// ask at any time, a frame of another origin only with the user's action in it.
TEST_F(WebKitBrowserTest, ANewWindowReplacesThePageOnlyFromItsOwnOriginOrByTheUsersAction) {
  testing::LoopbackServer other;  // another origin: another port
  const std::string opens = "window.open('" + server.url("/opened") + "')";
  other.route("/auto",
              Reply(page("<p>other origin</p>", "setTimeout(() => { " + opens + "; fetch('/tried'); }, 100)")));
  other.route("/button", Reply("<!doctype html><body style='margin: 0'><button id='open' style='width: 100vw;"
                               " height: 100vh' onclick=\"" +
                               opens + "\">open</button></body>"));
  server.route("/same", Reply(page("<p>same origin</p>", "setTimeout(() => " + opens + ", 100)")));
  server.route("/opened", Reply(page("<p>opened</p>")));
  auto embedding = [](const std::string& frame, const std::string& attributes = "") {
    return page("<iframe id='frame' style='width: 300px; height: 200px' src='" + frame + "' " + attributes +
                "></iframe>");
  };
  server.route("/cross", Reply(embedding(other.url("/auto"))));
  server.route("/sandboxed", Reply(embedding(other.url("/auto"), "sandbox='allow-scripts allow-popups'")));
  server.route("/own", Reply(embedding("/same")));
  server.route("/clicked", Reply(embedding(other.url("/button"))));
  struct Case {
    const char* path;
    bool click;
    bool replaced;
  } cases[] = {
      {"/cross", false, false},      // another origin's script alone
      {"/sandboxed", false, false},  // the same, sandboxed to scripts and pop-ups
      {"/own", false, true},         // a frame of the page's own origin
      {"/clicked", true, true},      // the user's click in another origin's frame
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const int opened = server.count("/opened");
    const int tried = other.count("/tried");
    LinkSite site{c.path, server.url(c.path)};
    show(site);
    ASSERT_TRUE(settledAt(site.address));
    if (c.click) {
      ASSERT_TRUE(testing::waitFor([&] { return other.count("/button") > 0; }));
      testing::spinFor(300);  // the frame's button laid out
      clickElement(site, "frame");
    }
    if (c.replaced) {
      EXPECT_TRUE(settledAt(server.url("/opened")));
      continue;
    }
    // The frame has asked; a replacement that must not happen gets a moment to show up.
    ASSERT_TRUE(testing::waitFor([&] { return other.count("/tried") > tried; }));
    testing::spinFor(500);
    EXPECT_EQ(store.currentAddress(), site.address);
    EXPECT_EQ(server.count("/opened"), opened);
  }
}

TEST_F(WebKitBrowserTest, AClickedDownloadShowsItsProgressRunsAloneOnItsSiteAndCancelRemovesItsFile) {
  std::string folder = downloadDirectory();
  ASSERT_EQ(g_mkdir_with_parents(folder.c_str(), 0755), 0);
  for (const char* name : {"endless.bin", "second.bin"}) {
    testing::Reply endless = attachment(name, "");
    endless.endless = true;
    server.route(std::string("/") + name, endless);
  }
  server.route("/",
               Reply(page("<a id='first' href='/endless.bin'>first</a> <a id='second' href='/second.bin'>second</a>")));
  DownloadReports reports;
  LinkSite site{"Home", server.url("/")};
  show(site);
  ASSERT_TRUE(settledAt(server.url("/")));

  clickElement(site, "first");
  ASSERT_TRUE(
      testing::waitFor([&] { return !store.downloads().empty() && store.downloads()[0].progress.received > 0; }));
  ASSERT_EQ(store.downloads().size(), 1u);
  EXPECT_EQ(store.downloads()[0].site, site.id);
  EXPECT_EQ(store.downloads()[0].progress.name, "endless.bin");
  EXPECT_FALSE(store.downloads()[0].progress.total);
  const std::string path = folder + "/endless.bin";
  EXPECT_TRUE(g_file_test(path.c_str(), G_FILE_TEST_EXISTS));

  // A second download of the same site while the first runs: refused, said in the panel.
  runScript(site, "document.getElementById('second').click()");
  ASSERT_TRUE(testing::waitFor([&] { return store.downloadNotice().has_value(); }));
  EXPECT_NE(store.downloadNotice()->find("second.bin"), std::string::npos) << *store.downloadNotice();
  EXPECT_EQ(store.downloads().size(), 1u);
  EXPECT_FALSE(g_file_test((folder + "/second.bin").c_str(), G_FILE_TEST_EXISTS));

  store.cancelDownload(site.id);
  ASSERT_TRUE(testing::waitFor([&] { return !reports.empty(); }));
  EXPECT_TRUE(reports[0].cancelled);
  EXPECT_TRUE(store.downloads().empty());
  EXPECT_TRUE(testing::waitFor([&] { return !g_file_test(path.c_str(), G_FILE_TEST_EXISTS); }));
  EXPECT_EQ(reports.size(), 1u);
}

// Fills a small real file system (1 GiB and 24 MiB of tmpfs, which holds only what is written)
// with an endless download: it must stop while more than 1 GiB is still free.
TEST_F(WebKitBrowserTest, ADownloadStopsWhenLessThanAGigabyteIsFree) {
  const std::string mount = std::string(g_getenv("VESK_TEST_TMP") ? g_getenv("VESK_TEST_TMP") : g_get_tmp_dir()) +
                            "/small-" + std::to_string(getpid());
  ASSERT_EQ(g_mkdir_with_parents(mount.c_str(), 0755), 0);
  // Only inside the harness's own mount namespace: the mount must never reach the machine's.
  const char* namespaced = g_getenv("VESK_HEADLESS_NETNS");
  if (geteuid() != 0 || !namespaced || std::string(namespaced) != "private" ||
      std::system(("mount -t tmpfs -o size=1048M tmpfs '" + mount + "' 2>/dev/null").c_str()) != 0) {
    GTEST_SKIP() << "a small file system needs root in a private mount namespace (tests/harness/headless.sh)";
  }
  std::string saved = g_getenv("XDG_DOWNLOAD_DIR") ? g_getenv("XDG_DOWNLOAD_DIR") : "";
  g_setenv("XDG_DOWNLOAD_DIR", mount.c_str(), TRUE);
  testing::Reply endless = attachment("huge.bin", "");
  endless.endless = true;
  server.route("/huge", endless);
  server.route("/", Reply(page("<a id='get' href='/huge'>get</a>")));
  DownloadReports reports;
  LinkSite site{"Home", server.url("/")};
  show(site);
  bool started = settledAt(server.url("/"));
  if (started) runScript(site, "document.getElementById('get').click()");
  bool stopped = started && testing::waitFor([&] { return !reports.empty(); });
  if (stopped) testing::waitFor([&] { return filesIn(mount).empty(); });  // its file goes after the report
  std::vector<std::string> left = filesIn(mount);
  g_setenv("XDG_DOWNLOAD_DIR", saved.c_str(), TRUE);
  std::system(("umount -l '" + mount + "'").c_str());
  ASSERT_TRUE(stopped);
  EXPECT_FALSE(reports[0].succeeded);
  EXPECT_EQ(reports[0].message, "Download stopped: less than 1 GB is free in " + mount + ".");
  EXPECT_EQ(store.downloadNotice(), reports[0].message);
  EXPECT_TRUE(store.downloads().empty());
  EXPECT_TRUE(left.empty()) << left.front();
}

TEST_F(WebKitBrowserTest, CopiedAddressIsReadableByAnotherProcess) {
  LinkSite site{"Home", server.url("/")};
  show(site);
  ASSERT_TRUE(settledAt(server.url("/")));
  runScript(site, "document.getElementById('next').click()");
  ASSERT_TRUE(settledAt(server.url("/next")));
  store.copyCurrentAddress(site);

  std::string out = std::string(g_get_tmp_dir()) + "/vesk-clipboard-" + std::to_string(getpid());
  int status = test::runChildTest("WebKitChildProcess.ReadClipboard", {{"VESK_TEST_CLIPBOARD_OUT", out}});
  EXPECT_EQ(status, 0);
  EXPECT_EQ(readFile(out), server.url("/next"));
  g_unlink(out.c_str());
}

TEST_F(WebKitBrowserTest, CookiesSurviveARestartOnTheSameDataFolder) {
  testing::Reply setter = Reply(page("<p>cookie set</p>"));
  setter.headers = {{"Set-Cookie", "vesk_session=kept; Max-Age=3600; Path=/"}};
  server.route("/set", setter);
  server.route("/check", Reply(page("<p>checked</p>")));
  LinkSite site{"Cookie", server.url("/set")};
  show(site);
  ASSERT_TRUE(settledAt(server.url("/set")));

  // A fresh process builds its own context on the same folders, as the next launch does.
  EXPECT_TRUE(g_file_test((sharedEngine().paths().dataDirectory + "/cookies.sqlite").c_str(), G_FILE_TEST_EXISTS));
  // The cookie database is the user's alone.
  GStatBuf info{};
  ASSERT_EQ(g_stat((sharedEngine().paths().dataDirectory + "/cookies.sqlite").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  int status = test::runChildTest("WebKitChildProcess.LoadAddress", {{"VESK_TEST_LOAD", server.url("/check")}});
  EXPECT_EQ(status, 0);
  ASSERT_EQ(server.count("/check"), 1);
  for (const auto& request : server.requests()) {
    if (request.path == "/check") {
      EXPECT_EQ(request.cookie, "vesk_session=kept");
    }
  }
}

// Folders beneath a file cannot be made, and the web processes' sandbox would refuse to start on
// them (which the engine answers by ending the program): the engine says why instead of starting.
TEST_F(WebKitBrowserTest, AnEngineWhoseFoldersCannotBeMadeSaysWhyInsteadOfStarting) {
  const std::string blocked = std::string(g_get_tmp_dir()) + "/vesk-blocked-" + std::to_string(getpid());
  std::ofstream(blocked) << "a file where the folders should be";
  {
    WebEngine engine(WebEngine::Paths{blocked + "/data", blocked + "/cache"});
    WebKitPageFactory pages(engine);
    EXPECT_FALSE(pages.ready());
    EXPECT_EQ(pages.problem(), "Pages can't be shown: \u201c" + blocked + "\u201d is a file, not a folder.");
    EXPECT_FALSE(engine.isStarted());
  }
  g_unlink(blocked.c_str());
}

TEST_F(WebKitBrowserTest, HostsShareOnePageWidgetThatFollowsTheContainerSize) {
  LinkSite site{"Home", server.url("/")};
  show(site);
  Gtk::Widget* widget = static_cast<WebKitPage&>(store.view(site)).widget();
  ASSERT_EQ(host->get_child(), widget);

  window->resize(640, 480);
  ASSERT_TRUE(testing::waitFor([&] {
    auto outer = host->get_allocation();
    auto inner = widget->get_allocation();
    return outer.get_width() == 640 && inner.get_width() == outer.get_width() &&
           inner.get_height() == outer.get_height();
  }));

  // A second host for the same site takes the widget over; the first is left empty.
  auto other = std::make_unique<Gtk::Window>();
  auto* second = Gtk::manage(new BrowserView(store, site));
  other->add(*second);
  other->show_all();
  EXPECT_EQ(second->get_child(), widget);
  EXPECT_EQ(host->get_child(), nullptr);

  // Destroying a window with its host inside leaves the page alive for the next host.
  other.reset();
  BrowserView third(store, site);
  EXPECT_EQ(third.get_child(), widget);

  ASSERT_TRUE(settledAt(server.url("/")));
  EXPECT_FALSE(store.errorText());
}

TEST(BrowserViewTest, DestroyingAHostLeavesNoHandlerThatReachesIt) {
  ASSERT_TRUE(testing::startGtk()) << "no display";
  testing::FakePageFactory factory;
  testing::FakeClipboard clipboard;
  testing::FakeWorkspace workspace;
  BrowserStore store{factory, clipboard, workspace};
  auto host = std::make_unique<BrowserView>(store, LinkSite{"A", "https://a.example/"});
  // GTK destroys the widget after the C++ destructor has run: no handler may still hold the host.
  struct Seen {
    BrowserView* host;
    bool destroyed = false;
    bool reachable = false;
  } seen{host.get()};
  g_signal_connect(host->gobj(), "destroy", G_CALLBACK(+[](GtkWidget* widget, gpointer data) {
                     auto* seen = static_cast<Seen*>(data);
                     seen->destroyed = true;
                     seen->reachable =
                         g_signal_handler_find(widget, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr, seen->host) != 0;
                   }),
                   &seen);
  host.reset();
  EXPECT_TRUE(seen.destroyed);
  EXPECT_FALSE(seen.reachable);
}

TEST_F(WebKitBrowserTest, FileChooserOpensAttachedToTheHostWindow) {
  server.route("/", Reply(page("<input id='pick' type='file'>")));
  LinkSite site{"Home", server.url("/")};
  show(site);
  ASSERT_TRUE(settledAt(server.url("/")));
  runScript(site, "document.getElementById('pick').click()");
  GtkWindow* dialog = nullptr;
  ASSERT_TRUE(testing::waitFor([&] {
    for (Gtk::Window* candidate : Gtk::Window::list_toplevels()) {
      if (GTK_IS_FILE_CHOOSER_DIALOG(candidate->gobj()) && gtk_widget_get_visible(GTK_WIDGET(candidate->gobj()))) {
        dialog = candidate->gobj();
      }
    }
    return dialog != nullptr;
  }));
  EXPECT_EQ(gtk_window_get_transient_for(dialog), window->gobj());
  gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
  testing::spinFor(200);
}

// Run only as child processes of the tests above.
TEST(WebKitChildProcess, LoadAddress) {
  const char* address = g_getenv("VESK_TEST_LOAD");
  if (!address) GTEST_SKIP() << "runs as a child process only";
  ASSERT_TRUE(testing::startGtk()) << "no display";
  testing::FakeWorkspace workspace;
  testing::FakeClipboard clipboard;
  // A page may leave a question unanswered for 5 s here rather than 10, so tests of a busy page
  // wait less (and a page slow to answer on a loaded machine still has ample time).
  WebKitPageFactory factory{sharedEngine(), pageLoadTimeout, std::chrono::seconds(5)};
  BrowserStore store{factory, clipboard, workspace};
  LinkSite site{"Check", address};
  store.view(site);
  store.activate(site);
  ASSERT_TRUE(testing::waitFor([&] { return !store.isLoading() && store.currentAddress() == address; }));
  EXPECT_FALSE(store.errorText());
}

TEST(WebKitChildProcess, ReadClipboard) {
  const char* out = g_getenv("VESK_TEST_CLIPBOARD_OUT");
  if (!out) GTEST_SKIP() << "runs as a child process only";
  ASSERT_TRUE(testing::startGtk()) << "no display";
  SystemClipboard clipboard;
  std::optional<std::optional<std::string>> text;
  clipboard.requestText([&](std::optional<std::string> received) { text = std::move(received); });
  ASSERT_TRUE(testing::waitFor([&] { return text.has_value(); }));
  ASSERT_TRUE(text->has_value());
  std::ofstream(out) << **text;
}

// What cannot hold the engine's data keeps the engine from starting, with one reason for the page
// area, and never blocks; usable folders are made, or made again, private to the user.
TEST(WebEngineFolders, UnusableDataPathsStopTheEngineWithAReasonAndUsableOnesArePrivate) {
  const std::string base =
      std::string(g_getenv("VESK_TEST_TMP") ? g_getenv("VESK_TEST_TMP") : g_get_tmp_dir()) + "/engine-folders";
  auto mode = [](const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0u;
  };
  const std::string data = base + "/data/vesk/web", cache = base + "/cache/vesk/web";
  const std::string cookies = data + "/cookies.sqlite";
  const struct {
    const char* name;
    std::function<void()> make;
    std::string problem;  // empty: the engine may start
  } cases[] = {
      {"folders readable by others",
       [&] {
         g_mkdir_with_parents(data.c_str(), 0755);
         g_mkdir_with_parents(cache.c_str(), 0755);
         chmod(data.c_str(), 0755);
       },
       ""},
      {"no folders yet", [] {}, ""},
      {"a file where the data folder should be",
       [&] {
         g_mkdir_with_parents((base + "/data/vesk").c_str(), 0700);
         std::ofstream(data) << "x";
       },
       "Pages can't be shown: \u201c" + data + "\u201d is a file, not a folder."},
      {"a file above the cache folder",
       [&] {
         g_mkdir_with_parents((base + "/cache").c_str(), 0700);
         std::ofstream(base + "/cache/vesk") << "x";
       },
       "Pages can't be shown: \u201c" + base + "/cache/vesk\u201d is a file, not a folder."},
      {"a named pipe as the cookie file",
       [&] {
         g_mkdir_with_parents(data.c_str(), 0700);
         mkfifo(cookies.c_str(), 0644);
       },
       "Pages can't be shown: \u201c" + cookies + "\u201d is a named pipe, not a regular file."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(base);
    c.make();
    WebEngine engine({data, cache});
    WebKitPageFactory pages(engine);
    auto checking = std::async(std::launch::async, [&] { return pages.problem(); });
    if (checking.wait_for(60s) != std::future_status::ready) {
      ADD_FAILURE() << "checking the folders waited on the cookie file";
      const int fd = open(cookies.c_str(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) close(fd);
    }
    EXPECT_EQ(checking.get(), c.problem);
    EXPECT_EQ(pages.ready(), c.problem.empty());
    EXPECT_FALSE(engine.isStarted());
    if (c.problem.empty()) {
      EXPECT_EQ(mode(data), 0700u);
      EXPECT_EQ(mode(cache), 0700u);
      EXPECT_EQ(mode(cookies), 0600u);
    }
  }
  std::filesystem::remove_all(base);
}

// The microphone and the camera in the real engine, asked for on a real click: the request waits
// for the user's answer, Allow gives the page its stream, Block refuses, a stored answer is given
// without asking, and a request the page leaves unanswered is refused when it loads another
// document. The engine's mock capture devices stand in for a microphone and a camera here.
TEST_F(WebKitBrowserTest, MicrophoneAndCameraWaitForTheUsersAnswer) {
  server.route("/media", Reply(page("<button id=ask style='width:300px;height:200px' onclick=\""
                                    "window.result = 'waiting';"
                                    "navigator.mediaDevices.getUserMedia({audio: !location.hash.includes('camera'),"
                                    " video: !location.hash.includes('microphone')})"
                                    ".then(s => { window.result = s.getTracks().map(t => t.kind).sort().join(',');"
                                    " s.getTracks().forEach(t => t.stop()); })"
                                    ".catch(e => { window.result = e.name; })\">Ask</button>")));
  struct Case {
    const char* name;
    const char* fragment;
    std::vector<PermissionKind> kinds;
    std::optional<PermissionAnswer> stored;  // asked without a bar when present
    std::optional<PermissionAnswer> answer;  // the user's; absent: the page goes elsewhere instead
    const char* result;
  };
  const std::vector<Case> cases{
      {"both allowed",
       "#both",
       {PermissionKind::microphone, PermissionKind::camera},
       {},
       PermissionAnswer::allow,
       "audio,video"},
      {"microphone blocked",
       "#microphone",
       {PermissionKind::microphone},
       {},
       PermissionAnswer::block,
       "NotAllowedError"},
      {"camera stored as allowed", "#camera", {PermissionKind::camera}, PermissionAnswer::allow, {}, "video"},
      {"camera stored as blocked", "#camera", {PermissionKind::camera}, PermissionAnswer::block, {}, "NotAllowedError"},
      {"unanswered, the page moves on", "#microphone", {PermissionKind::microphone}, {}, {}, nullptr},
  };
  const std::string origin = *originOf(server.url("/"));
  for (const auto& c : cases) {
    LinkSite site{c.name, server.url("/media") + c.fragment};
    show(site);
    webkit_settings_set_enable_mock_capture_devices(webkit_web_view_get_settings(webView(site)), TRUE);
    ASSERT_TRUE(settledAt(site.address)) << c.name;
    store.activate(site);
    SitePermissions stored;
    if (c.stored) stored.remember(origin, c.kinds, *c.stored);
    store.setPermissions(stored);

    clickElement(site, "ask");
    if (c.stored) {
      ASSERT_TRUE(testing::waitFor([&] { return evaluate(site, "window.result") == c.result; }))
          << c.name << ": " << evaluate(site, "window.result").value_or("");
      EXPECT_FALSE(store.permissionPrompt()) << c.name;
      continue;
    }
    ASSERT_TRUE(testing::waitFor([&] { return store.permissionPrompt().has_value(); })) << c.name;
    EXPECT_EQ(store.permissionPrompt()->kinds, c.kinds) << c.name;
    EXPECT_EQ(store.permissionPrompt()->origin, origin) << c.name;
    EXPECT_EQ(evaluate(site, "window.result"), "waiting") << c.name;  // nothing granted yet
    if (!c.answer) {
      runScript(site, "location.href = '/next'");
      ASSERT_TRUE(settledAt(server.url("/next"))) << c.name;
      EXPECT_FALSE(store.permissionPrompt()) << c.name;
      EXPECT_EQ(store.waitingPermissions(site.id), 0u) << c.name;
      continue;
    }
    auto answered = store.answerPermission(*c.answer);
    ASSERT_TRUE(answered) << c.name;
    ASSERT_TRUE(testing::waitFor([&] { return evaluate(site, "window.result") == c.result; }))
        << c.name << ": " << evaluate(site, "window.result").value_or("");
    EXPECT_FALSE(store.permissionPrompt()) << c.name;
  }
}

}  // namespace
}  // namespace vesk
