#include "browser/gestures.h"

#include <glib.h>

#include <algorithm>

#include "model/glib_handles.h"
#include "model/text.h"

namespace vesk {

namespace {

std::string_view withoutFragment(std::string_view address) { return address.substr(0, address.find('#')); }

}  // namespace

void DownloadConsent::grant(std::string_view address) {
  if (address.empty()) return;
  granted_.emplace_back(address);
  while (granted_.size() > limit) granted_.pop_front();
}

void DownloadConsent::navigationAllowed(std::string_view address, bool userGesture, std::string_view pageAddress) {
  if (!userGesture) return;
  // A fragment of the page itself scrolls the page: nothing is requested, nothing downloads.
  if (address.find('#') != std::string_view::npos && !pageAddress.empty() &&
      withoutFragment(address) == withoutFragment(pageAddress)) {
    return;
  }
  grant(address);
}

void DownloadConsent::menuOpened(const std::vector<std::string>& addresses) {
  for (const auto& address : addresses) grant(address);
}

void DownloadConsent::responseShown(std::string_view address) {
  // The user's navigation ended in a page, not a file: its consent is spent.
  if (auto found = std::find(granted_.begin(), granted_.end(), address); found != granted_.end()) {
    granted_.erase(found);
  }
}

bool DownloadConsent::take(std::string_view address) {
  auto found = std::find(granted_.begin(), granted_.end(), address);
  if (found == granted_.end()) return false;
  granted_.erase(found);
  return true;
}

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
