#include <gtest/gtest.h>

#include "model/published.h"

namespace vesk {
namespace {

TEST(Published, NotifiesBeforeEachAssignmentWithTheIncomingValue) {
  Published<int> value{1};
  std::vector<std::pair<int, int>> seen;  // (value at notification, incoming)
  auto sub = value.observe([&](const int& incoming) { seen.emplace_back(value(), incoming); });
  value.set(2);
  value.set(2);  // equal values notify too
  EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{1, 2}, {2, 2}}));
  EXPECT_EQ(value(), 2);
}

TEST(Published, EndsObservationWhenTheSubscriptionGoes) {
  Published<int> value;
  int calls = 0;
  {
    auto sub = value.observe([&](const int&) { ++calls; });
    value.set(1);
  }
  value.set(2);
  EXPECT_EQ(calls, 1);
}

TEST(Published, ObserversMayUnsubscribeOthersDuringANotification) {
  Published<int> value;
  int secondCalls = 0;
  Subscription second;
  auto first = value.observe([&](const int&) { second.reset(); });
  second = value.observe([&](const int&) { ++secondCalls; });
  value.set(1);
  value.set(2);
  EXPECT_EQ(secondCalls, 0);
}

}  // namespace
}  // namespace vesk
