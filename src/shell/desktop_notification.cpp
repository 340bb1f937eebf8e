#include "shell/desktop_notification.h"

#include <gio/gio.h>

#include "model/constants.h"
#include "model/glib_handles.h"
#include "model/strings.h"
#include "shell/system_tray_item.h"

namespace vesk {

void sendDesktopNotification(const std::string& title, const std::string& body) {
  // The bus connection is the process's shared one, already open for the tray icon.
  GObjectPtr<GDBusConnection> bus(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
  if (!bus) return;
  GVariantBuilder actions;
  g_variant_builder_init(&actions, G_VARIANT_TYPE("as"));
  GVariantBuilder hints;
  g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
  g_variant_builder_add(&hints, "{sv}", "desktop-entry", g_variant_new_string(std::string(applicationId).c_str()));
  const std::string icon(trayIconName), app(strings::appName());
  g_dbus_connection_call(bus.get(), "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                         "org.freedesktop.Notifications", "Notify",
                         g_variant_new("(susssasa{sv}i)", app.c_str(), 0u, icon.c_str(), title.c_str(), body.c_str(),
                                       &actions, &hints, -1),
                         nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
}

}  // namespace vesk
