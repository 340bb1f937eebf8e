#include "model/unread_count.h"

namespace vesk {

std::optional<unsigned> unreadCount(std::string_view title) {
  std::size_t at = title.find_first_not_of(" \t");
  if (at == std::string_view::npos) return std::nullopt;
  const char open = title[at];
  const char close = open == '(' ? ')' : open == '[' ? ']' : '\0';
  if (!close) return std::nullopt;
  ++at;
  unsigned count = 0;
  std::size_t digits = 0;
  while (at < title.size() && title[at] >= '0' && title[at] <= '9') {
    if (++digits > 6) return std::nullopt;
    count = count * 10 + static_cast<unsigned>(title[at] - '0');
    ++at;
  }
  if (digits == 0) return std::nullopt;
  if (at < title.size() && title[at] == '+') ++at;
  if (at >= title.size() || title[at] != close) return std::nullopt;
  if (count == 0) return std::nullopt;
  return count;
}

}  // namespace vesk
