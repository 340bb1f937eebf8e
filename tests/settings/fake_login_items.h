// A login-items service for tests: the status read back and each call's outcome are set by hand.
#pragma once

#include <optional>
#include <string>

#include "settings/login_items.h"

namespace vesk::testing {

class FakeLoginItems final : public LoginItems {
 public:
  LoginItemStatus status() const override {
    ++statusReads;
    return statusAfter;
  }
  std::optional<std::string> registerItem() override {
    ++registerCalls;
    return failure;
  }
  std::optional<std::string> unregisterItem() override {
    ++unregisterCalls;
    return failure;
  }

  LoginItemStatus statusAfter = LoginItemStatus::notRegistered;
  std::optional<std::string> failure;
  mutable int statusReads = 0;
  int registerCalls = 0;
  int unregisterCalls = 0;
};

}  // namespace vesk::testing
