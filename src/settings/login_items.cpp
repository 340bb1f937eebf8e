#include "settings/login_items.h"

namespace vesk {

bool loginItemInitiallyEnabled(const LoginItems& items) { return items.status() == LoginItemStatus::enabled; }

LoginItemState changeLoginItem(LoginItems& items, bool on) {
  auto failure = on ? items.registerItem() : items.unregisterItem();
  auto status = items.status();
  LoginItemState state;
  if (!failure) {
    state.enabled = status == LoginItemStatus::enabled || status == LoginItemStatus::requiresApproval;
    if (status == LoginItemStatus::requiresApproval) state.error = std::string(LoginItemMessage::approve);
  } else {
    state.enabled = status == LoginItemStatus::enabled;
    state.error = std::string(LoginItemMessage::failurePrefix) + *failure;
  }
  return state;
}

}  // namespace vesk
