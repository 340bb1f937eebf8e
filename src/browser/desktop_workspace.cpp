#include "browser/desktop_workspace.h"

#include <gio/gio.h>

#include "model/constants.h"
#include "model/glib_handles.h"

namespace vesk {

void DesktopWorkspace::openAddress(const std::string& address) {
  // Asynchronous, so a slow launcher or portal never holds up the panel. Failures (no application
  // for the scheme, a launcher error) are not the user's business here and are dropped.
  // The program that opens it does not inherit the switch Vesk set for its own web engine.
  GObjectPtr<GAppLaunchContext> context(g_app_launch_context_new());
  g_app_launch_context_unsetenv(context.get(), webMemoryMonitorSwitch);
  g_app_info_launch_default_for_uri_async(
      address.c_str(), context.get(), nullptr,
      +[](GObject*, GAsyncResult* result, gpointer) {
        GError* error = nullptr;
        g_app_info_launch_default_for_uri_finish(result, &error);
        GErrorPtr dropped(error);
      },
      nullptr);
}

}  // namespace vesk
