// The login item on a freedesktop session: an XDG autostart entry
// $XDG_CONFIG_HOME/autostart/io.github.vesk.Vesk.desktop that starts the installed binary.
#pragma once

#include <optional>
#include <string>

#include "settings/login_items.h"

namespace vesk {

class AutostartLoginItems final : public LoginItems {
 public:
  // Uses the user's configuration folder ($XDG_CONFIG_HOME, by default ~/.config).
  AutostartLoginItems();
  explicit AutostartLoginItems(std::string configDirectory);

  // Enabled when the entry exists, reads as a desktop entry, and is neither hidden nor switched
  // off with X-GNOME-Autostart-enabled=false. This platform has no approval step.
  LoginItemStatus status() const override;
  // Writes the entry atomically, pointing at the running binary.
  std::optional<std::string> registerItem() override;
  // Removes the entry; a missing entry is success.
  std::optional<std::string> unregisterItem() override;

  const std::string& entryPath() const { return entryPath_; }

 private:
  std::string directory_;
  std::string entryPath_;
};

// The desktop entry that starts `executable` at login.
std::string autostartEntry(const std::string& executable);
// `path` as one argument of a desktop entry's Exec line (quoted when needed, % doubled).
std::string desktopExecArgument(const std::string& path);

}  // namespace vesk
