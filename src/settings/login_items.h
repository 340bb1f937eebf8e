// Starting Vesk at login: the login-items service, its three-way status, and the rule that turns
// a click of the "Launch at login" switch into what the switch and its message show.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vesk {

enum class LoginItemStatus {
  notRegistered,     // no login item (or one the desktop ignores)
  enabled,           // Vesk starts at login
  requiresApproval,  // registered, but the desktop waits for the user to allow it (a sandbox asking first)
};

class LoginItems {
 public:
  virtual ~LoginItems() = default;

  virtual LoginItemStatus status() const = 0;
  // Each returns absent on success, otherwise a readable description of the failure.
  virtual std::optional<std::string> registerItem() = 0;
  virtual std::optional<std::string> unregisterItem() = 0;
};

// What the switch shows and the message below it.
struct LoginItemState {
  bool enabled = false;
  std::optional<std::string> error;

  bool operator==(const LoginItemState&) const = default;
};

// The switch's value when the settings are first built: on exactly when the item is enabled.
bool loginItemInitiallyEnabled(const LoginItems& items);

// Registers (on) or unregisters (off), then derives the switch and the message from the status
// read back from the service, never from the requested value.
LoginItemState changeLoginItem(LoginItems& items, bool on);

}  // namespace vesk
