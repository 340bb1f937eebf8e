#include "panel/search.h"

#include <glib.h>

#include <memory>
#include <string>

#include "model/glib_handles.h"
#include "model/text.h"

namespace vesk {

namespace {

// Case-folded, canonically composed text; invalid UTF-8 falls back to ASCII lower-casing of the bytes.
std::string folded(std::string_view text) {
  if (!g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) return text::asciiLowercased(text);
  GCharPtr decomposed(g_utf8_normalize(text.data(), static_cast<gssize>(text.size()), G_NORMALIZE_DEFAULT));
  if (!decomposed) return std::string(text);
  GCharPtr caseFolded(g_utf8_casefold(decomposed.get(), -1));
  GCharPtr composed(g_utf8_normalize(caseFolded.get(), -1, G_NORMALIZE_DEFAULT_COMPOSE));
  return composed ? std::string(composed.get()) : std::string(caseFolded.get());
}

bool startsWithMark(const std::string& text, std::size_t offset) {
  if (offset >= text.size()) return false;
  gunichar c = g_utf8_get_char_validated(text.c_str() + offset, static_cast<gssize>(text.size() - offset));
  if (c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2)) return false;
  return g_unichar_ismark(c);
}

}  // namespace

bool localizedCaseInsensitiveContains(std::string_view text, std::string_view query) {
  if (query.empty()) return false;
  const std::string haystack = folded(text);
  const std::string needle = folded(query);
  if (needle.empty()) return false;
  for (std::size_t at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + 1)) {
    // A match that stops before a combining mark only matched part of a character.
    if (!startsWithMark(haystack, at + needle.size())) return true;
  }
  return false;
}

std::vector<LinkSite> matchingSites(const std::vector<LinkSite>& sites, std::string_view query) {
  std::vector<LinkSite> result;
  if (query.empty()) return result;
  for (const LinkSite& site : sites) {
    if (localizedCaseInsensitiveContains(site.name, query) || localizedCaseInsensitiveContains(site.host(), query)) {
      result.push_back(site);
    }
  }
  return result;
}

}  // namespace vesk
