// Desktop notifications through the session's notification service (org.freedesktop.Notifications).
#pragma once

#include <string>

namespace vesk {

// Sends one notification from Vesk without waiting for the answer; without a session bus or a
// notification service nothing is shown.
void sendDesktopNotification(const std::string& title, const std::string& body);

}  // namespace vesk
