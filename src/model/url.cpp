#include "model/url.h"

#include <glib.h>

#include <cctype>
#include <string>

namespace vesk {

namespace {
bool allowedInUri(unsigned char c) {
  if (std::isalnum(c)) return true;
  switch (c) {
    case '-':
    case '.':
    case '_':
    case '~':  // unreserved
    case ':':
    case '/':
    case '?':
    case '#':
    case '[':
    case ']':
    case '@':  // gen-delims
    case '!':
    case '$':
    case '&':
    case '\'':
    case '(':
    case ')':
    case '*':  // sub-delims
    case '+':
    case ',':
    case ';':
    case '=':
    case '%':
      return true;
    default:
      return false;
  }
}
// The host of the authority component ("//userinfo@host:port"), if the text has one.
std::optional<std::string_view> hostAsWritten(std::string_view text) {
  auto firstDelimiter = text.find_first_of(":/?#");
  std::size_t start = 0;
  if (firstDelimiter != std::string_view::npos && text[firstDelimiter] == ':' && firstDelimiter > 0) {
    start = firstDelimiter + 1;  // after the scheme
  }
  if (text.substr(start, 2) != "//") return std::nullopt;
  std::string_view authority = text.substr(start + 2);
  authority = authority.substr(0, authority.find_first_of("/?#"));
  if (auto at = authority.rfind('@'); at != std::string_view::npos) authority.remove_prefix(at + 1);
  if (!authority.empty() && authority.front() == '[') {
    auto close = authority.find(']');
    return close == std::string_view::npos ? authority : authority.substr(1, close - 1);
  }
  return authority.substr(0, authority.find(':'));
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
  gboolean ok = g_uri_split(owned.c_str(), static_cast<GUriFlags>(G_URI_FLAGS_ENCODED | G_URI_FLAGS_NON_DNS), &scheme,
                            nullptr, &host, nullptr, nullptr, nullptr, nullptr, &error);
  if (!ok) {
    g_clear_error(&error);
    return std::nullopt;
  }
  ParsedUrl result;
  g_free(host);
  host = nullptr;
  if (scheme) {
    gchar* lower = g_ascii_strdown(scheme, -1);
    result.scheme = std::string(lower);
    g_free(lower);
  }
  // GLib decodes the host; take it from the text so it stays exactly as written.
  if (auto written = hostAsWritten(text); written && !written->empty()) result.host = std::string(*written);
  g_free(scheme);
  return result;
}

bool isSameHost(std::string_view host, std::string_view name) {
  if (!host.empty() && host.back() == '.') host.remove_suffix(1);
  if (host.size() != name.size()) return false;
  for (std::size_t i = 0; i < host.size(); ++i) {
    if (g_ascii_tolower(host[i]) != name[i]) return false;
  }
  return true;
}

}  // namespace vesk
