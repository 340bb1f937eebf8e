#include "model/url.h"

#include <glib.h>

#include <cctype>
#include <string>

namespace vesk {

namespace {
bool allowedInUri(unsigned char c) {
  if (std::isalnum(c)) return true;
  switch (c) {
    case '-': case '.': case '_': case '~':                                   // unreserved
    case ':': case '/': case '?': case '#': case '[': case ']': case '@':     // gen-delims
    case '!': case '$': case '&': case '\'': case '(': case ')': case '*':    // sub-delims
    case '+': case ',': case ';': case '=':
    case '%':
      return true;
    default:
      return false;
  }
}
}  // namespace

std::optional<ParsedUrl> parseUrl(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if (!allowedInUri(c)) return std::nullopt;
    if (c == '%' && (i + 2 >= text.size() || !std::isxdigit(static_cast<unsigned char>(text[i + 1])) ||
                     !std::isxdigit(static_cast<unsigned char>(text[i + 2])))) {
      return std::nullopt;
    }
  }
  std::string owned(text);
  gchar* scheme = nullptr;
  gchar* host = nullptr;
  GError* error = nullptr;
  gboolean ok = g_uri_split(owned.c_str(), G_URI_FLAGS_ENCODED, &scheme, nullptr, &host, nullptr, nullptr, nullptr,
                            nullptr, &error);
  if (!ok) {
    g_clear_error(&error);
    return std::nullopt;
  }
  ParsedUrl result;
  if (scheme) {
    gchar* lower = g_ascii_strdown(scheme, -1);
    result.scheme = std::string(lower);
    g_free(lower);
  }
  if (host && *host) result.host = std::string(host);
  g_free(scheme);
  g_free(host);
  return result;
}

}  // namespace vesk
