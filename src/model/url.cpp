#include "model/url.h"

#include <glib.h>

#include <cctype>
#include <string>

#include "model/text.h"

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
bool isSchemeCharacter(char c, bool first) {
  bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  if (first) return letter;
  return letter || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

}  // namespace

ParsedUrl splitUrl(std::string_view text) {
  ParsedUrl result;
  std::string_view rest = text;
  if (auto colon = text.find(':'); colon != std::string_view::npos && colon > 0) {
    std::string_view scheme = text.substr(0, colon);
    bool valid = true;
    for (std::size_t i = 0; i < scheme.size() && valid; ++i) valid = isSchemeCharacter(scheme[i], i == 0);
    if (valid) {
      result.scheme = text::asciiLowercased(scheme);
      rest = text.substr(colon + 1);
    }
  }
  if (rest.substr(0, 2) != "//") return result;
  std::string_view authority = rest.substr(2);
  authority = authority.substr(0, authority.find_first_of("/?#"));
  if (auto at = authority.rfind('@'); at != std::string_view::npos) authority.remove_prefix(at + 1);
  std::string_view host;
  if (!authority.empty() && authority.front() == '[') {
    auto close = authority.find(']');
    host = close == std::string_view::npos ? authority : authority.substr(0, close + 1);
  } else {
    host = authority.substr(0, authority.find(':'));
  }
  if (!host.empty()) result.host = std::string(host);
  return result;
}

std::optional<ParsedUrl> parseUrl(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if (!allowedInUri(c)) return std::nullopt;
    if (c == '%' && (i + 2 >= text.size() || !std::isxdigit(static_cast<unsigned char>(text[i + 1])) ||
                     !std::isxdigit(static_cast<unsigned char>(text[i + 2])))) {
      return std::nullopt;
    }
  }
  // GLib checks the structure (a malformed authority or port); the parts are read from the text
  // itself, since GLib decodes the host and drops the brackets of an IP literal.
  std::string owned(text);
  GError* error = nullptr;
  if (!g_uri_split(owned.c_str(), static_cast<GUriFlags>(G_URI_FLAGS_ENCODED | G_URI_FLAGS_NON_DNS), nullptr, nullptr,
                   nullptr, nullptr, nullptr, nullptr, nullptr, &error)) {
    g_clear_error(&error);
    return std::nullopt;
  }
  return splitUrl(text);
}

bool isSameHost(std::string_view host, std::string_view name) {
  if (!host.empty() && host.back() == '.') host.remove_suffix(1);
  if (host.size() != name.size()) return false;
  for (std::size_t i = 0; i < host.size(); ++i) {
    if (text::asciiLowercased(host[i]) != name[i]) return false;
  }
  return true;
}

}  // namespace vesk
