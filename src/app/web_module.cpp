// Entry point of the web module: the web engine's services, made on the main loop once the module
// (and WebKit with it) has been loaded in the background.
#include <gmodule.h>

#include "webkit/webkit_services.h"

extern "C" G_MODULE_EXPORT vesk::WebServices* vesk_make_web_services() { return new vesk::WebKitServices(); }
