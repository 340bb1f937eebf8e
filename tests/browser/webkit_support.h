// Helpers for tests on the real web engine: GTK start-up, waiting on the main loop,
// a loopback HTTP server and child runs of the test binary.
#pragma once

#include <libsoup/soup.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vesk::test {

// Opens the GTK display once per process (the harness provides one).
void ensureGtk();

// Runs the main loop until `condition` holds or `limitSeconds` pass; returns whether it holds.
bool waitFor(const std::function<bool()>& condition, int limitSeconds = 60);

// Runs the main loop for a short while so that pending events get dispatched.
void spinFor(int milliseconds);

// One HTTP response of the loopback server.
struct Reply {
  int status = 200;
  std::string contentType = "text/html; charset=utf-8";
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;
  bool hold = false;  // never answer (until the server goes away)
  int delayMs = 0;    // answer after this long
};

// A request as the server saw it.
struct SeenRequest {
  std::string path;
  std::optional<std::string> cookie;
};

// An HTTP server on 127.0.0.1 (a port the system picks), serving registered paths.
class LoopbackServer {
 public:
  LoopbackServer();
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  void route(const std::string& path, Reply reply) { routes_[path] = std::move(reply); }
  std::string url(const std::string& path) const;
  int port() const { return port_; }
  const std::vector<SeenRequest>& requests() const { return requests_; }
  int count(const std::string& path) const;

 private:
  static void handle(SoupServer*, SoupServerMessage* message, const char* path, GHashTable*, gpointer self);
  void respond(SoupServerMessage* message, const Reply& reply);

  SoupServer* server_ = nullptr;
  int port_ = 0;
  std::map<std::string, Reply> routes_;
  std::vector<SeenRequest> requests_;
  std::vector<SoupServerMessage*> held_;
};

// A loopback port with nothing listening on it.
int closedLoopbackPort();

// Runs this test binary again with only `testFilter` and the extra environment, keeping the main
// loop running meanwhile. Returns the child's exit status, or -1 when it could not start or hung.
int runChildTest(const std::string& testFilter, const std::map<std::string, std::string>& environment);

}  // namespace vesk::test
