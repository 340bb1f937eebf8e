#include "settings/login_items.h"

#include "model/strings.h"

namespace vesk {

bool loginItemInitiallyEnabled(const LoginItems& items) { return items.status() == LoginItemStatus::enabled; }

LoginItemState changeLoginItem(LoginItems& items, bool on) {
  auto failure = on ? items.registerItem() : items.unregisterItem();
  auto status = items.status();
  LoginItemState state;
  if (!failure) {
    state.enabled = status == LoginItemStatus::enabled || status == LoginItemStatus::requiresApproval;
    if (status == LoginItemStatus::requiresApproval) state.error = std::string(strings::approveLoginItem());
  } else {
    state.enabled = status == LoginItemStatus::enabled;
    state.error = strings::loginSettingFailed(*failure);
  }
  return state;
}

}  // namespace vesk
