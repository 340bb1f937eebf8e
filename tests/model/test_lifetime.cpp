#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "model/lifetime.h"

namespace vesk {
namespace {

struct Owner {
  Lifetime<Owner> lifetime{this};
  std::function<void()> onCall;
};

TEST(Lifetime, HandleFindsTheOwnerOnlyWhileItLives) {
  auto owner = std::make_unique<Owner>();
  auto handle = owner->lifetime.handle();
  EXPECT_EQ(handle.get(), owner.get());

  // A callback that destroys the owner sees it gone when it asks again.
  owner->onCall = [&] { owner.reset(); };
  handle.get()->onCall();
  EXPECT_EQ(handle.get(), nullptr);
  EXPECT_FALSE(handle);
  EXPECT_EQ(Lifetime<Owner>::Handle().get(), nullptr);

  Owner ending;
  auto early = ending.lifetime.handle();
  ending.lifetime.end();  // as the first step of a destructor
  EXPECT_EQ(early.get(), nullptr);
}

}  // namespace
}  // namespace vesk
