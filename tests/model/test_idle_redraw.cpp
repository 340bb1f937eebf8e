#include <gtest/gtest.h>

#include <memory>

#include "model/idle_redraw.h"

namespace vesk {
namespace {

void runPending() {
  while (g_main_context_iteration(nullptr, FALSE)) {
  }
}

TEST(IdleRedraw, ABurstOfChangesRedrawsOnceAfterTheLastValueIsIn) {
  Published<int> a, b;
  std::vector<int> drawn;  // a + b as each redraw saw them
  IdleRedraw redraw([&] { drawn.push_back(a() + b()); });
  redraw.watch(a);
  redraw.watch(b);
  a.set(1);
  b.set(2);
  a.set(3);
  EXPECT_TRUE(drawn.empty());
  runPending();
  EXPECT_EQ(drawn, std::vector<int>{5});

  // Redrawn directly meanwhile: the pending redraw is dropped.
  b.set(4);
  redraw.cancel();
  runPending();
  EXPECT_EQ(drawn, std::vector<int>{5});
}

TEST(IdleRedraw, NothingIsDrawnWhenUnwantedOrAfterTheOwnerIsGone) {
  Published<int> value;
  int draws = 0;
  bool wanted = false;
  IdleRedraw hidden([&] { ++draws; }, G_PRIORITY_DEFAULT_IDLE, [&] { return wanted; });
  hidden.watch(value);
  value.set(1);
  EXPECT_FALSE(hidden.pending());

  auto owned = std::make_unique<IdleRedraw>([&] { ++draws; });
  owned->watch(value);
  value.set(2);
  owned.reset();
  value.set(3);  // the watch ended with the owner
  runPending();
  EXPECT_EQ(draws, 0);

  wanted = true;
  value.set(4);
  runPending();
  EXPECT_EQ(draws, 1);
}

}  // namespace
}  // namespace vesk
