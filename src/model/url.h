// RFC 3986 parsing of address texts, without altering their components.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vesk {

struct ParsedUrl {
  std::optional<std::string> scheme;  // lower-cased; absent for a relative reference
  std::optional<std::string> host;    // as written (percent-encoded form); absent when empty or missing
};

// Parses an absolute URI or a relative reference. Texts with characters outside
// RFC 3986 (blanks, controls, non-ASCII letters) or a malformed authority are rejected.
std::optional<ParsedUrl> parseUrl(std::string_view text);

// Whether `host` names the same host as `name` (a lower-case host name): letters compare without
// regard to ASCII case, and one trailing dot (the fully qualified spelling) names the same host.
bool isSameHost(std::string_view host, std::string_view name);

}  // namespace vesk
