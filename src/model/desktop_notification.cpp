#include "model/desktop_notification.h"

#include <gio/gio.h>

#include <algorithm>
#include <memory>

#include "model/constants.h"
#include "model/glib_handles.h"
#include "model/strings.h"
#include "model/text.h"

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

namespace vesk {
namespace {

constexpr const char* serviceName = "org.freedesktop.Notifications";
constexpr const char* servicePath = "/org/freedesktop/Notifications";

// The notification's "image-data" hint, (iiibiiay): width, height, row stride, alpha, bits per
// sample, channels, pixels.
GVariant* imageData(const NoticeImage& image) {
  GVariant* pixels = g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, image.rgba.data(), image.rgba.size(), 1);
  return g_variant_new("(iiibii@ay)", image.width, image.height, image.width * 4, TRUE, 8, 4, pixels);
}

std::string cut(const std::string& text, std::size_t limit) { return std::string(text::firstCodePoints(text, limit)); }

}  // namespace

FreedesktopNotices::FreedesktopNotices(std::string appName, std::string desktopEntry)
    : appName_(std::move(appName)), desktopEntry_(std::move(desktopEntry)) {}

FreedesktopNotices::~FreedesktopNotices() = default;

void FreedesktopNotices::show(const DesktopNotice& notice) {
  if (bus_ == Bus::missing) return;
  if (bus_ != Bus::ready) {
    waiting_.emplace_back(notice, true);
    if (bus_ == Bus::none) {
      bus_ = Bus::connecting;
      calls_.connectSessionBus([this](GDBusConnection* connection) { connected(connection); });
    }
    return;
  }
  if (inFlight_.count(notice.key)) {
    // Sent once the service has named the one it replaces.
    queued_.insert_or_assign(notice.key, notice);
    closeOnReply_.erase(notice.key);
    return;
  }
  send(notice);
}

void FreedesktopNotices::withdraw(const std::string& key) {
  if (bus_ == Bus::connecting) {
    std::erase_if(waiting_, [&](const auto& entry) { return entry.first.key == key; });
    return;
  }
  if (bus_ != Bus::ready) return;
  if (inFlight_.count(key)) {
    queued_.erase(key);
    closeOnReply_.insert(key);
    return;
  }
  if (auto found = ids_.find(key); found != ids_.end()) {
    close(found->second);
    ids_.erase(found);
  }
}

void FreedesktopNotices::connected(GDBusConnection* connection) {
  if (!connection) {
    bus_ = Bus::missing;
    waiting_.clear();
    return;
  }
  connection_.reset(G_DBUS_CONNECTION(g_object_ref(connection)));
  signals_ = BusSubscription(
      connection,
      g_dbus_connection_signal_subscribe(
          connection, serviceName, serviceName, nullptr, servicePath, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
          [](GDBusConnection*, const char*, const char*, const char*, const char* name, GVariant* parameters,
             gpointer self) { static_cast<FreedesktopNotices*>(self)->signalled(name, parameters); },
          this, nullptr));
  // Whether the service reads markup in the body decides whether a page's text is escaped: its
  // "<b>" must show as written, and its "&" must not break the notice.
  g_dbus_connection_call(
      connection, serviceName, servicePath, serviceName, "GetCapabilities", nullptr, G_VARIANT_TYPE("(as)"),
      G_DBUS_CALL_FLAGS_NONE, -1, calls_.get(),
      [](GObject* source, GAsyncResult* result, gpointer data) {
        GError* raw = nullptr;
        GVariantPtr reply(g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &raw));
        GErrorPtr error(raw);
        if (CallGuard::cancelled(error.get())) return;
        auto* self = static_cast<FreedesktopNotices*>(data);
        if (reply) {
          GVariantIter* capabilities = nullptr;
          const char* capability = nullptr;
          g_variant_get(reply.get(), "(as)", &capabilities);
          while (g_variant_iter_next(capabilities, "&s", &capability)) {
            self->bodyMarkup_ |= std::string_view(capability) == "body-markup";
          }
          g_variant_iter_free(capabilities);
        }
        // Without an answer the service may still start when the first notice is sent.
        self->bus_ = Bus::ready;
        for (auto& [notice, show] : std::exchange(self->waiting_, {})) {
          if (show) {
            self->show(notice);
          } else {
            self->withdraw(notice.key);
          }
        }
      },
      this);
}

void FreedesktopNotices::send(const DesktopNotice& notice) {
  GVariantBuilder actions;
  g_variant_builder_init(&actions, G_VARIANT_TYPE_STRING_ARRAY);
  // The click on the notice itself; the label is shown only by services that draw it as a button.
  g_variant_builder_add(&actions, "s", "default");
  g_variant_builder_add(&actions, "s", std::string(strings::showNotice()).c_str());
  GVariantBuilder hints;
  g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
  g_variant_builder_add(&hints, "{sv}", "desktop-entry", g_variant_new_string(desktopEntry_.c_str()));
  const bool withImage = notice.image && notice.image->width > 0 && notice.image->height > 0 &&
                         notice.image->rgba.size() == static_cast<std::size_t>(notice.image->width) *
                                                          static_cast<std::size_t>(notice.image->height) * 4;
  if (withImage) g_variant_builder_add(&hints, "{sv}", "image-data", imageData(*notice.image));
  std::string body = cut(notice.body, noticeBodyLimit);
  if (bodyMarkup_) body = GCharPtr(g_markup_escape_text(body.c_str(), -1)).get();
  std::uint32_t replaces = 0;
  if (auto found = ids_.find(notice.key); found != ids_.end()) replaces = found->second;
  inFlight_.insert(notice.key);

  struct Call {
    FreedesktopNotices* self;
    std::string key;
  };
  g_dbus_connection_call(
      connection_.get(), serviceName, servicePath, serviceName, "Notify",
      g_variant_new("(susssasa{sv}i)", appName_.c_str(), replaces, withImage ? "" : notice.iconName.c_str(),
                    cut(notice.title, noticeTitleLimit).c_str(), body.c_str(), &actions, &hints, -1),
      G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, -1, calls_.get(),
      [](GObject* source, GAsyncResult* result, gpointer data) {
        std::unique_ptr<Call> call(static_cast<Call*>(data));
        GError* raw = nullptr;
        GVariantPtr reply(g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &raw));
        GErrorPtr error(raw);
        if (CallGuard::cancelled(error.get())) return;
        guint32 id = 0;
        if (reply) g_variant_get(reply.get(), "(u)", &id);
        call->self->sent(call->key, id);
      },
      new Call{this, notice.key});
}

void FreedesktopNotices::sent(const std::string& key, std::uint32_t id) {
  inFlight_.erase(key);
  if (id != 0) ids_[key] = id;
  if (closeOnReply_.erase(key)) {
    withdraw(key);
    return;
  }
  if (auto next = queued_.find(key); next != queued_.end()) {
    DesktopNotice notice = std::move(next->second);
    queued_.erase(next);
    send(notice);
  }
}

void FreedesktopNotices::close(std::uint32_t id) {
  g_dbus_connection_call(connection_.get(), serviceName, servicePath, serviceName, "CloseNotification",
                         g_variant_new("(u)", id), nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
}

void FreedesktopNotices::signalled(const char* name, GVariant* parameters) {
  const std::string_view signal = name;
  guint32 id = 0;
  const char* action = nullptr;
  if (signal == "ActionInvoked" && g_variant_is_of_type(parameters, G_VARIANT_TYPE("(us)"))) {
    g_variant_get(parameters, "(u&s)", &id, &action);
  } else if (signal == "NotificationClosed" && g_variant_is_of_type(parameters, G_VARIANT_TYPE("(uu)"))) {
    g_variant_get(parameters, "(uu)", &id, nullptr);
  } else {
    return;
  }
  // The service numbers the notices of every program: only Vesk's own are answered.
  auto found = std::find_if(ids_.begin(), ids_.end(), [id](const auto& entry) { return entry.second == id; });
  if (found == ids_.end()) return;
  const std::string key = found->first;
  if (!action) {
    ids_.erase(found);
    if (onClosed) onClosed(key);
    return;
  }
  if (std::string_view(action) == "default" && onActivated) onActivated(key);
}

}  // namespace vesk
