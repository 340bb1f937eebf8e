#include "webkit/webkit_services.h"

#include <webkit2/webkit2.h>

namespace vesk {

// A page whose web process does not answer (hung, or ended behind the error card) is not waited
// for, so the panel's keys keep working.
bool WebKitServices::answersKeysFirst(GtkWidget* focus) const {
  return WEBKIT_IS_WEB_VIEW(focus) && webkit_web_view_get_is_web_process_responsive(WEBKIT_WEB_VIEW(focus));
}

void provideWebKitServices(const WebServicesReceiver& receive) { receive(std::make_unique<WebKitServices>(), {}); }

}  // namespace vesk
