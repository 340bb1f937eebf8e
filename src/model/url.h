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

}  // namespace vesk
