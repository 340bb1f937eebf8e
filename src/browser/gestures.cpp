#include "browser/gestures.h"

#include <glib.h>

#include "model/glib_handles.h"
#include "model/text.h"

namespace vesk {

std::optional<std::string> webOrigin(std::string_view address) {
  GUri* parsed =
      g_uri_parse(std::string(address).c_str(), GUriFlags(G_URI_FLAGS_ENCODED | G_URI_FLAGS_SCHEME_NORMALIZE), nullptr);
  if (!parsed) return std::nullopt;
  std::optional<std::string> origin;
  const char* scheme = g_uri_get_scheme(parsed);
  const char* host = g_uri_get_host(parsed);
  std::string lowerScheme = scheme ? text::asciiLowercased(scheme) : std::string();
  if ((lowerScheme == "http" || lowerScheme == "https") && host && *host) {
    origin = lowerScheme + "://" + text::asciiLowercased(host);
    // Scheme normalisation has dropped the scheme's default port already.
    if (int port = g_uri_get_port(parsed); port > 0) *origin += ":" + std::to_string(port);
  }
  g_uri_unref(parsed);
  return origin;
}

bool newWindowAllowed(const NavigationRequest& request, const std::optional<std::string>& pageAddress) {
  if (request.userGesture) return true;
  // Without a user action, only the page's own origin may replace the page. A requester the engine
  // does not name (its referrer withheld) is treated as another origin.
  if (!request.requester || !pageAddress) return false;
  auto requester = webOrigin(*request.requester);
  return requester && requester == webOrigin(*pageAddress);
}

}  // namespace vesk
