#include <gtest/gtest.h>

#include "model/published.h"

namespace vesk {
namespace {

TEST(Published, StoresEachAssignmentThenNotifiesWithTheNewAndThePreviousValue) {
  Published<int> value{1};
  std::vector<std::pair<int, int>> seen;     // (value at notification, argument)
  std::vector<std::pair<int, int>> changes;  // (previous, current)
  auto sub = value.observe([&](const int& current) { seen.emplace_back(value(), current); });
  auto change =
      value.observeChange([&](const int& previous, const int& current) { changes.emplace_back(previous, current); });
  value.set(2);
  value.set(2);  // equal values notify too
  EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{2, 2}, {2, 2}}));
  EXPECT_EQ(changes, (std::vector<std::pair<int, int>>{{1, 2}, {2, 2}}));
  EXPECT_EQ(value(), 2);
}

// An observer that assigns again while others still run: each observer hears every assignment
// with its own value, in order, and the last assignment is what stays.
TEST(Published, AnAssignmentFromAnObserverReachesEveryObserverInOrder) {
  Published<int> value{0};
  std::vector<int> first, second;
  auto a = value.observe([&](const int& current) {
    first.push_back(current);
    if (current == 1) value.set(2);
  });
  auto b = value.observe([&](const int& current) { second.push_back(current); });
  value.set(1);
  EXPECT_EQ(first, (std::vector<int>{1, 2}));
  EXPECT_EQ(second, (std::vector<int>{2, 1}));
  EXPECT_EQ(value(), 2);
}

// Events carry requests: each emission reaches every listener once, and none after its
// subscription goes.
TEST(Event, ReachesEachListenerOncePerEmission) {
  struct Owner {
    Event<Owner, int> asked;
    void ask(int n) { asked.emit(n); }
  } owner;
  std::vector<int> heard;
  {
    auto listening = owner.asked.connect([&](int n) { heard.push_back(n); });
    owner.ask(1);
    owner.ask(1);
  }
  owner.ask(2);
  EXPECT_EQ(heard, (std::vector<int>{1, 1}));
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
