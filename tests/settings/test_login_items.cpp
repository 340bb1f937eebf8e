#include <gtest/gtest.h>

#include "settings/fake_login_items.h"
#include "settings/login_items.h"

namespace vesk {
namespace {

using testing::FakeLoginItems;

struct Row {
  LoginItemStatus statusReadBack;
  bool callFails;
  bool expectOn;
  const char* expectMessage;  // nullptr: no message
};

TEST(LoginItemChange, SwitchFollowsTheStatusReadBackNotTheRequest) {
  const std::string failed = "Could not change login setting: The folder is read-only";
  const Row table[] = {
      {LoginItemStatus::enabled, false, true, nullptr},
      {LoginItemStatus::requiresApproval, false, true, "Allow Vesk to start at login in your desktop's settings."},
      {LoginItemStatus::notRegistered, false, false, nullptr},
      {LoginItemStatus::enabled, true, true, failed.c_str()},
      {LoginItemStatus::requiresApproval, true, false, failed.c_str()},
      {LoginItemStatus::notRegistered, true, false, failed.c_str()},
  };
  for (bool requested : {true, false}) {
    for (const auto& row : table) {
      FakeLoginItems items;
      items.statusAfter = row.statusReadBack;
      if (row.callFails) items.failure = "The folder is read-only";
      auto state = changeLoginItem(items, requested);
      SCOPED_TRACE(::testing::Message() << "requested " << requested << " status " << int(row.statusReadBack)
                                        << " fails " << row.callFails);
      EXPECT_EQ(state.enabled, row.expectOn);
      if (row.expectMessage) {
        EXPECT_EQ(state.error, std::optional<std::string>(row.expectMessage));
      } else {
        EXPECT_FALSE(state.error);
      }
      EXPECT_EQ(items.registerCalls, requested ? 1 : 0);
      EXPECT_EQ(items.unregisterCalls, requested ? 0 : 1);
      EXPECT_EQ(items.statusReads, 1);
    }
  }
}

TEST(LoginItemChange, SuccessAfterFailureRemovesTheMessage) {
  FakeLoginItems items;
  items.failure = "denied";
  EXPECT_TRUE(changeLoginItem(items, true).error);
  items.failure.reset();
  items.statusAfter = LoginItemStatus::enabled;
  EXPECT_EQ(changeLoginItem(items, true), (LoginItemState{true, std::nullopt}));
}

TEST(LoginItemChange, InitialSwitchIsOnOnlyWhenEnabled) {
  FakeLoginItems items;
  items.statusAfter = LoginItemStatus::requiresApproval;
  EXPECT_FALSE(loginItemInitiallyEnabled(items));
  items.statusAfter = LoginItemStatus::enabled;
  EXPECT_TRUE(loginItemInitiallyEnabled(items));
}

}  // namespace
}  // namespace vesk
