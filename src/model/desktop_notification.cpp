#include "model/desktop_notification.h"

#include <gio/gio.h>

#include <memory>

#include "model/constants.h"
#include "model/glib_handles.h"
#include "model/strings.h"

namespace vesk {
namespace {

struct Notice {
  std::string title, body, iconName;
};

}  // namespace

void notifyDesktop(const std::string& title, const std::string& body, const std::string& iconName) {
  if (GApplication* application = g_application_get_default();
      application && g_application_get_is_registered(application)) {
    GObjectPtr<GNotification> notification(g_notification_new(title.c_str()));
    g_notification_set_body(notification.get(), body.c_str());
    GObjectPtr<GIcon> icon(g_themed_icon_new(iconName.c_str()));
    g_notification_set_icon(notification.get(), icon.get());
    g_application_send_notification(application, nullptr, notification.get());
    return;
  }
  g_bus_get(
      G_BUS_TYPE_SESSION, nullptr,
      +[](GObject*, GAsyncResult* result, gpointer data) {
        std::unique_ptr<Notice> notice(static_cast<Notice*>(data));
        GObjectPtr<GDBusConnection> bus(g_bus_get_finish(result, nullptr));
        if (!bus) return;
        GVariantBuilder hints;
        g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
        g_variant_builder_add(&hints, "{sv}", "desktop-entry",
                              g_variant_new_string(std::string(applicationId).c_str()));
        g_dbus_connection_call(
            bus.get(), "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
            "org.freedesktop.Notifications", "Notify",
            g_variant_new("(susssasa{sv}i)", std::string(strings::appName()).c_str(), 0u, notice->iconName.c_str(),
                          notice->title.c_str(), notice->body.c_str(), nullptr, &hints, -1),
            nullptr, G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr, nullptr);
      },
      new Notice{title, body, iconName});
}

}  // namespace vesk
