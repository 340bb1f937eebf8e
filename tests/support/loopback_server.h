// An HTTP server on 127.0.0.1 for tests that load pages in the real web engine.
#pragma once

#include <libsoup/soup.h>

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vesk::testing {

// One HTTP response of the loopback server.
struct Reply {
  int status = 200;
  std::string contentType = "text/html; charset=utf-8";
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;
  bool hold = false;     // never answer (until the server goes away)
  int delayMs = 0;       // answer after this long
  bool endless = false;  // a body that never ends, sent as fast as the client takes it
};

// A request as the server saw it.
struct SeenRequest {
  std::string path;
  std::optional<std::string> cookie;
  std::string host;  // the Host header: another host's name when the server serves as a proxy
};

// An HTTP server on 127.0.0.1 (a port the system picks), serving registered paths; other paths
// get 404. It answers from the main loop, so tests keep the loop running while pages load.
class LoopbackServer {
 public:
  // Listens on `port`, or on a port the system picks when it is 0.
  explicit LoopbackServer(int port = 0);
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

}  // namespace vesk::testing
