// RFC 3986 reading of address texts, without altering their components. This is the one place
// that takes a scheme or a host out of an address.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vesk {

struct ParsedUrl {
  // Lower-cased; absent for a relative reference or a text whose scheme is malformed ("1http:").
  std::optional<std::string> scheme;
  // The host of the authority ("//userinfo@host:port"), as written: case and percent escapes kept,
  // without user info or port. An IP literal keeps its brackets ("[::1]"), as RFC 3986 and browsers
  // write it: it then reads unambiguously beside a port and never equals a host name. Absent when
  // the text has no authority or the host is empty.
  std::optional<std::string> host;
};

// Scheme and host of any text, read without checking the rest: for addresses that come from the
// web engine, which are already well formed and must never be let through for being odd.
ParsedUrl splitUrl(std::string_view text);

// Parses an absolute URI or a relative reference. Texts with characters outside
// RFC 3986 (blanks, controls, non-ASCII letters) or a malformed authority are rejected.
std::optional<ParsedUrl> parseUrl(std::string_view text);

// Whether `host` names the same host as `name` (a lower-case host name): letters compare without
// regard to ASCII case, and one trailing dot (the fully qualified spelling) names the same host.
bool isSameHost(std::string_view host, std::string_view name);

}  // namespace vesk
