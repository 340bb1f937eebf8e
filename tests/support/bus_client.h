// A second connection to the test's session bus, as another client (a tray host, a panel) has:
// method calls and property reads that run the main loop until their reply is in, so the service
// under test keeps answering on the same loop.
#pragma once

#include <gio/gio.h>

#include <string>

#include "support/gtk_test_support.h"

namespace vesk::testing {

class BusClient {
 public:
  BusClient() {
    gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    connection = g_dbus_connection_new_for_address_sync(
        address,
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
    g_free(address);
  }
  ~BusClient() {
    if (connection) g_object_unref(connection);
  }
  BusClient(const BusClient&) = delete;
  BusClient& operator=(const BusClient&) = delete;

  // The reply, owned by the caller, or null when the call failed or timed out.
  GVariant* call(const std::string& name, const char* path, const char* interface, const char* method,
                 GVariant* parameters) {
    struct Pending {
      GVariant* reply = nullptr;
      bool done = false;
    } pending;
    g_dbus_connection_call(
        connection, name.c_str(), path, interface, method, parameters, nullptr, G_DBUS_CALL_FLAGS_NONE, 5000, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
          auto* p = static_cast<Pending*>(data);
          p->reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr);
          p->done = true;
        },
        &pending);
    waitFor([&] { return pending.done; });
    return pending.reply;
  }

  // One property of a tray item, unboxed and owned by the caller, or null.
  GVariant* itemProperty(const std::string& name, const char* property) {
    GVariant* reply = call(name, "/StatusNotifierItem", "org.freedesktop.DBus.Properties", "Get",
                           g_variant_new("(ss)", "org.kde.StatusNotifierItem", property));
    if (!reply) return nullptr;
    GVariant* boxed = nullptr;
    g_variant_get(reply, "(v)", &boxed);
    g_variant_unref(reply);
    return boxed;
  }

  GDBusConnection* connection = nullptr;
};

}  // namespace vesk::testing
