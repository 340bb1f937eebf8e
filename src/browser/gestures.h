// What a user action lets a page do: which downloads run and which new-window requests open in
// the panel. The rules are plain C++; the web engine's page tells them what happened.
#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "browser/web_page.h"

namespace vesk {

// The downloads the user asked for on one page. A download runs only when the navigation that
// produced it came from a user action on that very navigation (its own click or key, or a command
// of the context menu opened on it), never from a gesture spent elsewhere: a click on an unrelated
// link, a fragment or a frame, or a menu opened and closed, consents to nothing the page's own
// script started. Consents are bound to the address the user acted on (a redirect carries the
// gesture of the navigation it continues, so its target is bound too); each serves one download.
class DownloadConsent {
 public:
  // At most this many consents wait for their download; the oldest goes first.
  static constexpr std::size_t limit = 16;

  // A navigation of the page or of one of its frames to `address` was allowed. When the user
  // started it, a download of `address` may run. `pageAddress` is the page's own address: a
  // navigation within it (only the fragment differs) loads nothing and consents to nothing.
  void navigationAllowed(std::string_view address, bool userGesture, std::string_view pageAddress = {});
  // The context menu opened on these addresses (the link, image or media under the pointer): the
  // menu's download commands may download them.
  void menuOpened(const std::vector<std::string>& addresses);
  // The response for `address` is shown in the page, so no download comes from that navigation.
  void responseShown(std::string_view address);
  // A download of `address` starts: whether the user asked for it. Uses up its consent.
  bool take(std::string_view address);

 private:
  void grant(std::string_view address);

  std::deque<std::string> granted_;  // the oldest first
};

// Whether a new-window request opens in the panel, where it replaces the page. Either the user
// asked for it (a click or key in the frame that asks), or it comes from the page itself or a
// frame of the page's own origin, which could navigate the page anyway. A frame of another origin
// without a user action is refused, as the engine refuses that frame's navigation of the page.
// `pageAddress` is the address the page shows; `request.requester` the asking document's address,
// as the engine reports it.
bool newWindowAllowed(const NavigationRequest& request, const std::optional<std::string>& pageAddress);

// The origin of an http or https address ("scheme://host" and ":port" unless it is the scheme's
// default), scheme and host lower-case; absent for any other address.
std::optional<std::string> webOrigin(std::string_view address);

}  // namespace vesk
