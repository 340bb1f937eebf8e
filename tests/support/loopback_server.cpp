#include "support/loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace vesk::testing {

LoopbackServer::LoopbackServer(int port) {
  server_ = SOUP_SERVER(g_object_new(SOUP_TYPE_SERVER, "server-header", "vesk-test", nullptr));
  soup_server_add_handler(server_, nullptr, &LoopbackServer::handle, this, nullptr);
  GError* error = nullptr;
  if (!soup_server_listen_local(server_, static_cast<guint>(port), SOUP_SERVER_LISTEN_IPV4_ONLY, &error)) {
    ADD_FAILURE() << "cannot listen: " << error->message;
    g_clear_error(&error);
    return;
  }
  GSList* uris = soup_server_get_uris(server_);
  if (uris) port_ = g_uri_get_port(static_cast<GUri*>(uris->data));
  g_slist_free_full(uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));
}

LoopbackServer::~LoopbackServer() {
  soup_server_disconnect(server_);
  for (auto* message : held_) g_object_unref(message);
  g_object_unref(server_);
}

std::string LoopbackServer::url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

int LoopbackServer::count(const std::string& path) const {
  int seen = 0;
  for (const auto& request : requests_) seen += request.path == path;
  return seen;
}

void LoopbackServer::handle(SoupServer*, SoupServerMessage* message, const char* path, GHashTable*, gpointer self) {
  auto* server = static_cast<LoopbackServer*>(self);
  SeenRequest seen{path, std::nullopt, {}};
  auto* requestHeaders = soup_server_message_get_request_headers(message);
  if (const char* cookie = soup_message_headers_get_one(requestHeaders, "Cookie")) seen.cookie = cookie;
  if (const char* host = soup_message_headers_get_one(requestHeaders, "Host")) seen.host = host;
  server->requests_.push_back(seen);
  auto found = server->routes_.find(path);
  if (found == server->routes_.end()) {
    soup_server_message_set_status(message, 404, nullptr);
    return;
  }
  const Reply& reply = found->second;
  if (reply.hold) {
    soup_server_message_pause(message);
    server->held_.push_back(SOUP_SERVER_MESSAGE(g_object_ref(message)));
    return;
  }
  if (reply.delayMs > 0) {
    // Answer later from the main loop, like a slow server.
    soup_server_message_pause(message);
    server->respond(message, reply);
    g_timeout_add(
        reply.delayMs,
        +[](gpointer data) -> gboolean {
          auto* message = static_cast<SoupServerMessage*>(data);
          soup_server_message_unpause(message);
          g_object_unref(message);
          return G_SOURCE_REMOVE;
        },
        g_object_ref(message));
    return;
  }
  server->respond(message, reply);
}

void LoopbackServer::respond(SoupServerMessage* message, const Reply& reply) {
  soup_server_message_set_status(message, reply.status, nullptr);
  auto* headers = soup_server_message_get_response_headers(message);
  for (const auto& [name, value] : reply.headers) soup_message_headers_append(headers, name.c_str(), value.c_str());
  if (reply.endless) {
    // One chunk after another, each sent once the last one was written, until the client goes.
    static const std::string chunk(1 << 20, 'x');
    soup_message_headers_set_encoding(headers, SOUP_ENCODING_CHUNKED);
    soup_message_headers_set_content_type(headers, reply.contentType.c_str(), nullptr);
    SoupMessageBody* body = soup_server_message_get_response_body(message);
    soup_message_body_set_accumulate(body, FALSE);
    auto append = +[](SoupServerMessage* message) {
      soup_message_body_append(soup_server_message_get_response_body(message), SOUP_MEMORY_STATIC, chunk.data(),
                               chunk.size());
    };
    g_signal_connect(message, "wrote-chunk", G_CALLBACK(append), nullptr);
    append(message);
    return;
  }
  soup_server_message_set_response(message, reply.contentType.c_str(), SOUP_MEMORY_COPY, reply.body.data(),
                                   reply.body.size());
}

int closedLoopbackPort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  int port = ntohs(address.sin_port);
  close(fd);  // bound but never listening: connections are refused
  return port;
}

}  // namespace vesk::testing
