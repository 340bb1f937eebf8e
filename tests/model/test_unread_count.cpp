#include <gtest/gtest.h>

#include "model/unread_count.h"

namespace vesk {
namespace {

TEST(UnreadCount, ReadsTheCountMailAndChatSitesPutBeforeTheirTitle) {
  const struct {
    const char* title;
    std::optional<unsigned> count;
  } cases[] = {
      {"(3) Inbox", 3u},
      {"(1) WhatsApp", 1u},
      {"(99+) Chat", 99u},
      {"[2] Element | Room", 2u},
      {"  (12) Discord", 12u},
      {"(4)", 4u},
      {"(123456) Feed", 123456u},
      {"(1234567) Feed", std::nullopt},  // no badge is that long: not a count
      {"(0) Inbox", std::nullopt},
      {"Inbox (3) - Mail", std::nullopt},  // only a count in front is one
      {"Inbox", std::nullopt},
      {"", std::nullopt},
      {"(beta) App", std::nullopt},
      {"[PDF] Report", std::nullopt},
      {"(3 Inbox", std::nullopt},
      {"(3] Inbox", std::nullopt},
      {"()", std::nullopt},
      {"(+) Plus", std::nullopt},
      {"(-3) Odd", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(unreadCount(c.title), c.count) << '"' << c.title << '"';
}

}  // namespace
}  // namespace vesk
