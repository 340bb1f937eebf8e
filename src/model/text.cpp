#include "model/text.h"

#include <glib.h>

#include <algorithm>
#include <memory>

#include "model/glib_handles.h"

namespace vesk::text {

bool isValidUtf8(std::string_view s) { return g_utf8_validate(s.data(), static_cast<gssize>(s.size()), nullptr); }

bool isWhitespaceOrNewline(char32_t c) {
  if ((c >= 0x09 && c <= 0x0D) || c == 0x85) return true;
  switch (g_unichar_type(static_cast<gunichar>(c))) {
    case G_UNICODE_SPACE_SEPARATOR:
    case G_UNICODE_LINE_SEPARATOR:
    case G_UNICODE_PARAGRAPH_SEPARATOR:
      return true;
    default:
      return false;
  }
}

std::string trimmed(std::string_view s) {
  if (!isValidUtf8(s)) return std::string(s);
  const char* begin = s.data();
  const char* end = s.data() + s.size();
  while (begin < end && isWhitespaceOrNewline(g_utf8_get_char(begin))) begin = g_utf8_next_char(begin);
  while (end > begin) {
    const char* prev = g_utf8_find_prev_char(begin, end);
    if (!prev || !isWhitespaceOrNewline(g_utf8_get_char(prev))) break;
    end = prev;
  }
  return std::string(begin, end);
}

bool canonicallyEqual(std::string_view a, std::string_view b) {
  if (a == b) return true;
  // Embedded NULs cannot pass through GLib's normaliser; compare such texts byte for byte.
  if (a.find('\0') != std::string_view::npos || b.find('\0') != std::string_view::npos) return false;
  if (!isValidUtf8(a) || !isValidUtf8(b)) return false;
  GCharPtr na(g_utf8_normalize(a.data(), static_cast<gssize>(a.size()), G_NORMALIZE_NFD));
  GCharPtr nb(g_utf8_normalize(b.data(), static_cast<gssize>(b.size()), G_NORMALIZE_NFD));
  return na && nb && std::string_view(na.get()) == std::string_view(nb.get());
}

std::string uppercased(std::string_view s) {
  if (!isValidUtf8(s)) return std::string(s);
  GCharPtr up(g_utf8_strup(s.data(), static_cast<gssize>(s.size())));
  return up ? std::string(up.get()) : std::string(s);
}

std::string asciiLowercased(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = asciiLowercased(c);
  return out;
}

std::size_t codePointCount(std::string_view s) {
  std::size_t count = 0;
  const char* p = s.data();
  const char* end = p + s.size();
  while (p < end) {
    gunichar c = g_utf8_get_char_validated(p, end - p);
    p += (c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2)) ? 1 : g_utf8_skip[static_cast<guchar>(*p)];
    ++count;
  }
  return count;
}

std::string_view firstCodePoints(std::string_view s, std::size_t limit) {
  const char* p = s.data();
  const char* end = p + s.size();
  for (std::size_t count = 0; p < end && count < limit; ++count) {
    gunichar c = g_utf8_get_char_validated(p, end - p);
    p += (c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2)) ? 1 : g_utf8_skip[static_cast<guchar>(*p)];
  }
  return s.substr(0, static_cast<std::size_t>(p - s.data()));
}

std::string shownOnOneLine(std::string_view s, std::size_t limit) {
  // At most `limit` characters are looked at, so a huge text costs no more than a short one.
  GCharPtr valid(g_utf8_make_valid(s.data(), static_cast<gssize>(std::min(s.size(), (limit + 1) * 4))));
  std::string out;
  std::size_t count = 0;
  for (const gchar* p = valid.get(); *p; p = g_utf8_next_char(p)) {
    if (count == limit) {
      out += "\u2026";
      break;
    }
    gunichar c = g_utf8_get_char(p);
    const bool breaks = c < 0x20 || c == 0x7F || c == 0x85 || c == 0x2028 || c == 0x2029;
    if (breaks) {
      out += ' ';
    } else {
      out.append(p, static_cast<std::size_t>(g_utf8_next_char(p) - p));
    }
    ++count;
  }
  return out;
}

}  // namespace vesk::text
