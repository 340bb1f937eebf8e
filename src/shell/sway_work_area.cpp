#include "shell/sway_work_area.h"

#include <gio/gio.h>
#include <gio/gunixsocketaddress.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <nlohmann/json.hpp>
#include <utility>
#include <vector>

#include "model/glib_handles.h"

namespace vesk {
namespace {

// i3's IPC framing, which sway speaks: "i3-ipc", the payload's length and the message type, both
// 32-bit in the machine's byte order.
constexpr std::string_view magic = "i3-ipc";
constexpr std::size_t headerSize = 14;
constexpr std::uint32_t getWorkspaces = 1;
// Far more than any workspace list: a larger answer is not sway's.
constexpr std::uint32_t maximumReply = 1 << 22;

struct Exchange {
  GObjectPtr<GSocketConnection> connection;
  GObjectPtr<GCancellable> cancellable;
  std::function<void(std::optional<ScreenRect>)> done;
  std::array<char, headerSize> header{};
  std::vector<char> payload;

  void finish(std::optional<ScreenRect> area) {
    if (!g_cancellable_is_cancelled(cancellable.get()) && done) done(area);
  }
};

using Owned = std::unique_ptr<Exchange>;

void payloadRead(GObject* source, GAsyncResult* result, gpointer data) {
  Owned exchange(static_cast<Exchange*>(data));
  gsize read = 0;
  const bool ok = g_input_stream_read_all_finish(G_INPUT_STREAM(source), result, &read, nullptr);
  if (!ok || read != exchange->payload.size()) return exchange->finish(std::nullopt);
  exchange->finish(focusedWorkspaceRect(std::string_view(exchange->payload.data(), exchange->payload.size())));
}

void headerRead(GObject* source, GAsyncResult* result, gpointer data) {
  Owned exchange(static_cast<Exchange*>(data));
  gsize read = 0;
  const bool ok = g_input_stream_read_all_finish(G_INPUT_STREAM(source), result, &read, nullptr);
  if (!ok || read != headerSize || std::string_view(exchange->header.data(), magic.size()) != magic)
    return exchange->finish(std::nullopt);
  std::uint32_t length = 0;
  std::memcpy(&length, exchange->header.data() + magic.size(), sizeof length);
  if (length == 0 || length > maximumReply) return exchange->finish(std::nullopt);
  exchange->payload.resize(length);
  GInputStream* input = g_io_stream_get_input_stream(G_IO_STREAM(exchange->connection.get()));
  Exchange* raw = exchange.get();
  g_input_stream_read_all_async(input, raw->payload.data(), length, G_PRIORITY_DEFAULT, raw->cancellable.get(),
                                payloadRead, exchange.release());
}

void requestWritten(GObject* source, GAsyncResult* result, gpointer data) {
  Owned exchange(static_cast<Exchange*>(data));
  if (!g_output_stream_write_all_finish(G_OUTPUT_STREAM(source), result, nullptr, nullptr))
    return exchange->finish(std::nullopt);
  GInputStream* input = g_io_stream_get_input_stream(G_IO_STREAM(exchange->connection.get()));
  Exchange* raw = exchange.get();
  g_input_stream_read_all_async(input, raw->header.data(), headerSize, G_PRIORITY_DEFAULT, raw->cancellable.get(),
                                headerRead, exchange.release());
}

void connected(GObject* source, GAsyncResult* result, gpointer data) {
  Owned exchange(static_cast<Exchange*>(data));
  exchange->connection.reset(g_socket_client_connect_finish(G_SOCKET_CLIENT(source), result, nullptr));
  g_object_unref(source);
  if (!exchange->connection) return exchange->finish(std::nullopt);
  std::memcpy(exchange->header.data(), magic.data(), magic.size());
  const std::uint32_t length = 0;
  std::memcpy(exchange->header.data() + magic.size(), &length, sizeof length);
  std::memcpy(exchange->header.data() + magic.size() + sizeof length, &getWorkspaces, sizeof getWorkspaces);
  GOutputStream* output = g_io_stream_get_output_stream(G_IO_STREAM(exchange->connection.get()));
  Exchange* raw = exchange.get();
  g_output_stream_write_all_async(output, raw->header.data(), headerSize, G_PRIORITY_DEFAULT, raw->cancellable.get(),
                                  requestWritten, exchange.release());
}

}  // namespace

std::optional<ScreenRect> focusedWorkspaceRect(std::string_view reply) {
  const auto workspaces = nlohmann::json::parse(reply, nullptr, false);
  if (!workspaces.is_array()) return std::nullopt;
  for (const auto& workspace : workspaces) {
    if (!workspace.is_object()) continue;
    const auto focused = workspace.find("focused");
    if (focused == workspace.end() || !focused->is_boolean() || !focused->get<bool>()) continue;
    const auto rect = workspace.find("rect");
    if (rect == workspace.end() || !rect->is_object()) return std::nullopt;
    auto number = [&](const char* key) -> std::optional<int> {
      const auto value = rect->find(key);
      if (value == rect->end() || !value->is_number_integer()) return std::nullopt;
      const auto n = value->get<long long>();
      if (n < -(1 << 20) || n > (1 << 20)) return std::nullopt;
      return static_cast<int>(n);
    };
    const auto x = number("x"), y = number("y"), width = number("width"), height = number("height");
    if (!x || !y || !width || !height || *width <= 0 || *height <= 0) return std::nullopt;
    return ScreenRect{*x, *y, *width, *height};
  }
  return std::nullopt;
}

void askSwayWorkArea(const std::string& socketPath, GCancellable* cancellable,
                     std::function<void(std::optional<ScreenRect>)> done) {
  auto exchange = std::make_unique<Exchange>();
  exchange->cancellable.reset(cancellable ? G_CANCELLABLE(g_object_ref(cancellable)) : g_cancellable_new());
  exchange->done = std::move(done);
  if (socketPath.empty()) {
    // Still on the main loop, as promised, never inside the caller.
    g_idle_add_once(
        [](gpointer data) {
          Owned exchange(static_cast<Exchange*>(data));
          exchange->finish(std::nullopt);
        },
        exchange.release());
    return;
  }
  GObjectPtr<GSocketAddress> address(g_unix_socket_address_new(socketPath.c_str()));
  GSocketClient* client = g_socket_client_new();
  Exchange* raw = exchange.get();
  g_socket_client_connect_async(client, G_SOCKET_CONNECTABLE(address.get()), raw->cancellable.get(), connected,
                                exchange.release());
}

}  // namespace vesk
