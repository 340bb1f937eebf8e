// What a user action lets a page do: which new-window requests open in the panel (and, through
// download_consent.h, which downloads run). The rules are plain C++; the web engine's page tells
// them what happened.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "browser/download_consent.h"
#include "browser/web_page.h"

namespace vesk {

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
