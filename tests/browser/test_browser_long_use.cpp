// Long use on the real engine: switching among more sites than stay alive gives back every
// descriptor, thread and process a released page held. Loopback pages only.
#include <glib/gstdio.h>
#include <gtest/gtest.h>
#include <gtkmm/window.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "browser/browser_store.h"
#include "browser/browser_view.h"
#include "browser/fakes.h"
#include "support/gtk_test_support.h"
#include "support/loopback_server.h"
#include "webkit/web_engine.h"
#include "webkit/webkit_page.h"

namespace vesk {
namespace {

int entriesIn(const std::string& folder) {
  int count = 0;
  if (GDir* dir = g_dir_open(folder.c_str(), 0, nullptr)) {
    while (g_dir_read_name(dir)) ++count;
    g_dir_close(dir);
  }
  return count;
}

// Processes below this one (web and network processes, bwrap, xdg-dbus-proxy).
int descendants() {
  std::map<int, int> parents;
  GDir* proc = g_dir_open("/proc", 0, nullptr);
  while (const gchar* name = proc ? g_dir_read_name(proc) : nullptr) {
    int pid = std::atoi(name);
    if (pid <= 0) continue;
    std::ifstream in("/proc/" + std::string(name) + "/stat");
    std::stringstream stat;
    stat << in.rdbuf();
    std::string text = stat.str();
    auto close = text.rfind(')');
    int parent = 0;
    if (close == std::string::npos || std::sscanf(text.c_str() + close + 2, "%*c %d", &parent) != 1) continue;
    parents[pid] = parent;
  }
  if (proc) g_dir_close(proc);
  int count = 0;
  for (const auto& [pid, parent] : parents) {
    for (int up = parent; up > 1; up = parents.count(up) ? parents[up] : 0) {
      if (up == getpid()) {
        ++count;
        break;
      }
    }
  }
  return count;
}

struct Resources {
  int descriptors = entriesIn("/proc/self/fd");
  int threads = entriesIn("/proc/self/task");
  int processes = descendants();
};

std::ostream& operator<<(std::ostream& out, const Resources& r) {
  return out << r.descriptors << " descriptors, " << r.threads << " threads, " << r.processes << " processes";
}

// Room for what the engine opens and closes on its own (a cache file, a worker thread of its pools).
// A leak of one thread and one descriptor every few switches exceeds it within the rounds below.
constexpr int descriptorNoise = 8;
constexpr int threadNoise = 3;

TEST(LongUseTest, SwitchingAmongMoreSitesThanStayAliveGivesBackWhatReleasedPagesHeld) {
  ASSERT_TRUE(testing::startGtk()) << "no display";
  // One server, so one origin, per site, as saved sites are.
  constexpr int siteCount = 12;
  std::vector<std::unique_ptr<testing::LoopbackServer>> servers;
  std::vector<LinkSite> sites;
  for (int i = 0; i < siteCount; ++i) {
    auto& server = *servers.emplace_back(std::make_unique<testing::LoopbackServer>());
    testing::Reply reply;
    reply.body = "<!doctype html><title>" + std::to_string(i) + "</title><p>site " + std::to_string(i) +
                 "</p><iframe src='/frame'></iframe>";
    server.route("/", reply);
    reply.body = "<p>frame</p>";
    server.route("/frame", reply);
    sites.push_back(LinkSite{"Site " + std::to_string(i), server.url("/")});
  }
  WebEngine engine;
  WebKitPageFactory factory{engine};
  testing::FakeClipboard clipboard;
  testing::FakeWorkspace workspace;
  BrowserStore store{factory, clipboard, workspace};
  Gtk::Window window;
  window.set_default_size(640, 480);
  BrowserView host{store, sites[0]};
  window.add(host);
  window.show_all();

  int switches = 0;
  auto showNext = [&] {
    const LinkSite& site = sites[++switches % siteCount];
    host.setSite(site);
    return testing::waitFor([&] { return !store.isLoading() && store.currentAddress() == site.address; });
  };
  // Two rounds fill the live pages and start releasing the oldest at every switch.
  while (switches < 2 * siteCount) ASSERT_TRUE(showNext()) << "switch " << switches;
  Resources plateau;
  std::cout << "after " << switches << " switches: " << plateau << "\n";

  // Each of these switches makes a page and releases another.
  for (int round = 0; round < 6; ++round) {
    for (int i = 0; i < siteCount; ++i) ASSERT_TRUE(showNext()) << "switch " << switches;
    // Released pages end on the main loop after the switch: wait until they have.
    bool flat = testing::waitFor([&] {
      Resources now;
      return now.descriptors <= plateau.descriptors + descriptorNoise && now.threads <= plateau.threads + threadNoise &&
             now.processes <= plateau.processes;
    });
    EXPECT_TRUE(flat) << "after " << switches << " switches: " << Resources() << "; plateau " << plateau;
    std::cout << "after " << switches << " switches: " << Resources() << "\n";
    if (!flat) break;
  }
}

}  // namespace
}  // namespace vesk
