// Desktop notifications: the one way Vesk shows one (a finished download, a missing tray).
#pragma once

#include <string>

namespace vesk {

// Shows a desktop notification with the themed icon `iconName`, best effort: through the running
// GApplication when there is one, otherwise straight to the desktop's notification service over
// D-Bus. Never blocks; without a session bus or a notification service nothing is shown.
void notifyDesktop(const std::string& title, const std::string& body, const std::string& iconName);

}  // namespace vesk
