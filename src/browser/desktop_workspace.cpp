#include "browser/desktop_workspace.h"

#include <gio/gio.h>

#include "model/glib_handles.h"

namespace vesk {

void DesktopWorkspace::openAddress(const std::string& address) {
  // Asynchronous, so a slow launcher or portal never holds up the panel. Failures (no application
  // for the scheme, a launcher error) are not the user's business here and are dropped.
  g_app_info_launch_default_for_uri_async(
      address.c_str(), nullptr, nullptr,
      +[](GObject*, GAsyncResult* result, gpointer) {
        GError* error = nullptr;
        g_app_info_launch_default_for_uri_finish(result, &error);
        GErrorPtr dropped(error);
      },
      nullptr);
}

}  // namespace vesk
