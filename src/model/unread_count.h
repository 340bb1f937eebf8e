// The count of new items that mail and chat sites put at the start of their page title:
// "(3) Inbox", "(99+) Chat", "[2] Element".
#pragma once

#include <optional>
#include <string_view>

namespace vesk {

// The count a page title starts with, or absent when it starts with none. The count stands in
// round or square brackets before the rest of the title, possibly after blanks, as one to six
// digits with an optional "+" ("(99+)" counts as 99). "(0)" and an empty title have no count; so do
// brackets holding anything else ("(beta) App", "[PDF] Report").
std::optional<unsigned> unreadCount(std::string_view title);

}  // namespace vesk
