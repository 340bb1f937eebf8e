// Owning handles for GLib and GObject resources: each alias frees its handle with the call GLib
// documents for it, once, when the pointer goes away; `SignalConnection` ends a GObject signal
// connection, `SourceGuard` removes a main-loop source and `CallGuard` cancels asynchronous calls
// when their owner goes.
#pragma once

#include <gio/gio.h>
#include <glib.h>

#include <chrono>
#include <functional>
#include <memory>
#include <utility>

namespace vesk {

struct GFreeDeleter {
  void operator()(void* p) const { g_free(p); }
};
struct GObjectUnref {
  void operator()(gpointer p) const { g_object_unref(p); }
};
struct GErrorFree {
  void operator()(GError* p) const { g_error_free(p); }
};
struct GKeyFileFree {
  void operator()(GKeyFile* p) const { g_key_file_free(p); }
};
struct GVariantUnref {
  void operator()(GVariant* p) const { g_variant_unref(p); }
};
struct GBytesUnref {
  void operator()(GBytes* p) const { g_bytes_unref(p); }
};
struct GDateTimeUnref {
  void operator()(GDateTime* p) const { g_date_time_unref(p); }
};
struct GDBusNodeInfoUnref {
  void operator()(GDBusNodeInfo* p) const { g_dbus_node_info_unref(p); }
};
struct GMainContextUnref {
  void operator()(GMainContext* p) const { g_main_context_unref(p); }
};
struct GStrvFree {
  void operator()(gchar** p) const { g_strfreev(p); }
};
struct GSettingsSchemaUnref {
  void operator()(GSettingsSchema* p) const { g_settings_schema_unref(p); }
};
// An attached source stops first (it never dispatches again), then the reference goes.
struct GSourceDestroy {
  void operator()(GSource* p) const {
    g_source_destroy(p);
    g_source_unref(p);
  }
};

// Text GLib hands over to the caller (g_strdup, g_build_filename, g_key_file_get_value, …).
using GCharPtr = std::unique_ptr<gchar, GFreeDeleter>;
// A reference to a GObject of type T that this pointer holds.
template <class T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;
using GErrorPtr = std::unique_ptr<GError, GErrorFree>;
using GKeyFilePtr = std::unique_ptr<GKeyFile, GKeyFileFree>;
using GVariantPtr = std::unique_ptr<GVariant, GVariantUnref>;
using GBytesPtr = std::unique_ptr<GBytes, GBytesUnref>;
using GDateTimePtr = std::unique_ptr<GDateTime, GDateTimeUnref>;
using GDBusNodeInfoPtr = std::unique_ptr<GDBusNodeInfo, GDBusNodeInfoUnref>;
using GMainContextPtr = std::unique_ptr<GMainContext, GMainContextUnref>;
// A NULL-terminated list of texts GLib hands over (g_settings_get_strv, …).
using GStrvPtr = std::unique_ptr<gchar*, GStrvFree>;
using GSettingsSchemaPtr = std::unique_ptr<GSettingsSchema, GSettingsSchemaUnref>;
// A source this pointer made (g_idle_source_new, …) and may have attached to a context.
using GSourcePtr = std::unique_ptr<GSource, GSourceDestroy>;

// One source on the default main context (an idle task, a timeout, a descriptor watch), removed
// when this goes or is given another: a member of the object whose `this` the source's callback
// receives, declared after whatever the callback uses. It stays where it is (no copy, no move), as
// the one-shot tasks it schedules clear it through its address.
class SourceGuard {
 public:
  SourceGuard() = default;
  ~SourceGuard() { remove(); }
  SourceGuard(const SourceGuard&) = delete;
  SourceGuard& operator=(const SourceGuard&) = delete;

  // Runs `task` once on the next idle at `priority`, in place of a task still pending.
  void idle(std::function<void()> task, int priority = G_PRIORITY_DEFAULT_IDLE) {
    remove();
    auto* once = new Once{this, std::move(task)};
    id_ = g_idle_add_full(priority, &Once::run, once, &Once::free);
  }
  // Runs `task` once after `delay`, in place of a task still pending.
  void timeout(std::chrono::milliseconds delay, std::function<void()> task, int priority = G_PRIORITY_DEFAULT) {
    remove();
    auto* once = new Once{this, std::move(task)};
    id_ = g_timeout_add_full(priority, static_cast<guint>(delay.count()), &Once::run, once, &Once::free);
  }
  // The same in whole seconds, on GLib's shared second ticks: one wake-up with the others.
  void timeoutSeconds(std::chrono::seconds delay, std::function<void()> task) {
    remove();
    auto* once = new Once{this, std::move(task)};
    id_ = g_timeout_add_seconds_full(G_PRIORITY_DEFAULT, static_cast<guint>(delay.count()), &Once::run, once,
                                     &Once::free);
  }
  // Takes over a source made elsewhere (g_unix_fd_add, …), in place of the one held.
  void adopt(guint id) {
    remove();
    id_ = id;
  }
  // The adopted source's callback returned G_SOURCE_REMOVE, so GLib ends it: only forgets the id.
  void finished() { id_ = 0; }

  void remove() {
    if (id_ != 0) g_source_remove(std::exchange(id_, 0));
  }
  bool pending() const { return id_ != 0; }

 private:
  struct Once {
    SourceGuard* guard;
    std::function<void()> task;
    // Clears the guard first: the task may schedule the next one, or destroy the owner (and the
    // guard); the task itself lives until GLib frees it after this returns.
    static gboolean run(gpointer data) {
      auto* once = static_cast<Once*>(data);
      once->guard->id_ = 0;
      once->task();
      return G_SOURCE_REMOVE;
    }
    static void free(gpointer data) { delete static_cast<Once*>(data); }
  };

  guint id_ = 0;
};

// One handler connected to a GObject's signal, disconnected when this goes (or is assigned
// another): a member of the object whose `this` the handler receives, declared after whatever the
// handler uses, so the handler never runs on a half-destroyed owner. It does not keep the
// instance alive; an instance that went first is simply not disconnected from.
class SignalConnection {
 public:
  SignalConnection() = default;
  // Takes over the handler `id` that g_signal_connect… returned for `instance`.
  SignalConnection(gpointer instance, gulong id) : id_(instance ? id : 0) {
    g_weak_ref_init(&instance_, id_ ? instance : nullptr);
  }
  // Connects `handler` to `signal` of `instance` with `data` as its last argument.
  static SignalConnection connect(gpointer instance, const char* signal, GCallback handler, gpointer data) {
    return {instance, g_signal_connect(instance, signal, handler, data)};
  }
  ~SignalConnection() {
    disconnect();
    g_weak_ref_clear(&instance_);
  }
  SignalConnection(SignalConnection&& other) noexcept : id_(std::exchange(other.id_, 0)) {
    GObjectPtr<GObject> instance(static_cast<GObject*>(g_weak_ref_get(&other.instance_)));
    g_weak_ref_init(&instance_, instance.get());
    g_weak_ref_set(&other.instance_, nullptr);
  }
  SignalConnection& operator=(SignalConnection&& other) noexcept {
    if (this == &other) return *this;
    disconnect();
    GObjectPtr<GObject> instance(static_cast<GObject*>(g_weak_ref_get(&other.instance_)));
    g_weak_ref_set(&instance_, instance.get());
    g_weak_ref_set(&other.instance_, nullptr);
    id_ = std::exchange(other.id_, 0);
    return *this;
  }
  SignalConnection(const SignalConnection&) = delete;
  SignalConnection& operator=(const SignalConnection&) = delete;

  void disconnect() {
    if (id_ == 0) return;
    GObjectPtr<GObject> instance(static_cast<GObject*>(g_weak_ref_get(&instance_)));
    if (instance && g_signal_handler_is_connected(instance.get(), id_))
      g_signal_handler_disconnect(instance.get(), id_);
    g_weak_ref_set(&instance_, nullptr);
    id_ = 0;
  }
  bool connected() const { return id_ != 0; }

 private:
  GWeakRef instance_{};  // zeroed: a GWeakRef that was never set holds nothing
  gulong id_ = 0;
};

// One subscription to a D-Bus signal (g_dbus_connection_signal_subscribe), ended when this goes or
// is assigned another; it keeps its connection alive for as long. Declared after whatever the
// handler uses, like `SignalConnection`.
class BusSubscription {
 public:
  BusSubscription() = default;
  // Takes over the subscription `id` made on `connection`.
  BusSubscription(GDBusConnection* connection, guint id)
      : connection_(id && connection ? G_DBUS_CONNECTION(g_object_ref(connection)) : nullptr),
        id_(connection_ ? id : 0) {}
  ~BusSubscription() { end(); }
  BusSubscription(BusSubscription&& other) noexcept
      : connection_(std::move(other.connection_)), id_(std::exchange(other.id_, 0)) {}
  BusSubscription& operator=(BusSubscription&& other) noexcept {
    if (this == &other) return *this;
    end();
    connection_ = std::move(other.connection_);
    id_ = std::exchange(other.id_, 0);
    return *this;
  }
  BusSubscription(const BusSubscription&) = delete;
  BusSubscription& operator=(const BusSubscription&) = delete;

  void end() {
    if (id_ != 0) g_dbus_connection_signal_unsubscribe(connection_.get(), std::exchange(id_, 0));
    connection_.reset();
  }
  bool active() const { return id_ != 0; }
  guint id() const { return id_; }

 private:
  GObjectPtr<GDBusConnection> connection_;
  guint id_ = 0;
};

// The guard of an owner's asynchronous GIO calls: each call takes `get()` as its GCancellable, and
// the guard cancels them when it goes, so their callbacks see G_IO_ERROR_CANCELLED (`cancelled()`)
// and return without touching the owner. A member declared after everything the callbacks use.
class CallGuard {
 public:
  CallGuard() : cancellable_(g_cancellable_new()) {}
  ~CallGuard() { g_cancellable_cancel(cancellable_.get()); }
  CallGuard(const CallGuard&) = delete;
  CallGuard& operator=(const CallGuard&) = delete;

  GCancellable* get() const { return cancellable_.get(); }
  // Cancels the calls under way; calls made after it run as usual.
  void cancelPending() {
    g_cancellable_cancel(cancellable_.get());
    cancellable_.reset(g_cancellable_new());
  }
  // Whether a finished call was cancelled: its owner may be gone, so its callback touches nothing.
  static bool cancelled(const GError* error) { return g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED); }

  // Connects to the session bus without waiting: `connected` gets the connection, or null when
  // there is none; it does not run once the guard cancelled the call.
  template <class Connected>
  void connectSessionBus(Connected connected) {
    g_bus_get(
        G_BUS_TYPE_SESSION, get(),
        [](GObject*, GAsyncResult* result, gpointer data) {
          std::unique_ptr<Connected> connected(static_cast<Connected*>(data));
          GError* raw = nullptr;
          GObjectPtr<GDBusConnection> connection(g_bus_get_finish(result, &raw));
          GErrorPtr error(raw);
          if (!cancelled(error.get())) (*connected)(connection.get());
        },
        new Connected(std::move(connected)));
  }

  // Calls a D-Bus method without waiting: `answered(reply, error)` gets the reply, or null and the
  // error when the call failed; it does not run once the guard cancelled the call. `parameters`
  // may be a floating reference, which the call takes.
  template <class Answered>
  void callMethod(GDBusConnection* connection, const char* name, const char* path, const char* interface,
                  const char* method, GVariant* parameters, const GVariantType* replyType, Answered answered) {
    g_dbus_connection_call(
        connection, name, path, interface, method, parameters, replyType, G_DBUS_CALL_FLAGS_NONE, -1, get(),
        [](GObject* source, GAsyncResult* result, gpointer data) {
          std::unique_ptr<Answered> answered(static_cast<Answered*>(data));
          GError* raw = nullptr;
          GVariantPtr reply(g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &raw));
          GErrorPtr error(raw);
          if (!cancelled(error.get())) (*answered)(reply.get(), error.get());
        },
        new Answered(std::move(answered)));
  }

 private:
  GObjectPtr<GCancellable> cancellable_;
};

}  // namespace vesk
