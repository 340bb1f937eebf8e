// Owning pointers for GLib and GObject handles: each alias frees its handle with the call GLib
// documents for it, once, when the pointer goes away.
#pragma once

#include <gio/gio.h>
#include <glib.h>

#include <memory>

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

}  // namespace vesk
