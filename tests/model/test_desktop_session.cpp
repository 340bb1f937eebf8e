#include <gtest/gtest.h>

#include "model/desktop_session.h"

namespace vesk {
namespace {

TEST(DesktopSession, TheDisplayGtkOpenedAndTheEnvironmentTellTheSession) {
  struct Case {
    const char* name;
    SessionEnvironment environment;
    bool displayIsX11;
    const char* windowManager;
    DisplayKind display;
    const char* swaySocket;
    bool kde, gnomeShell;
  } cases[] = {
      {"plain X11", {":0", "", "", "XFCE"}, true, "Xfwm4", DisplayKind::x11, "", false, false},
      {"X11 keeps no sway socket", {":0", "", "/run/sway.sock", ""}, true, "", DisplayKind::x11, "", false, false},
      {"Xwayland on sway",
       {":0", "wayland-1", "/run/sway.sock", "sway"},
       true,
       "",
       DisplayKind::xwayland,
       "/run/sway.sock",
       false,
       false},
      {"native Wayland on sway",
       {":0", "wayland-1", "/run/sway.sock", "sway"},
       false,
       "",
       DisplayKind::wayland,
       "/run/sway.sock",
       false,
       false},
      {"Xwayland on GNOME",
       {":0", "wayland-0", "", "GNOME"},
       true,
       "GNOME Shell",
       DisplayKind::xwayland,
       "",
       false,
       true},
      {"Mutter counts as GNOME",
       {":0", "wayland-0", "", "GNOME"},
       true,
       "Mutter",
       DisplayKind::xwayland,
       "",
       false,
       true},
      {"GNOME on X11 is X11", {":0", "", "", "GNOME"}, true, "GNOME Shell", DisplayKind::x11, "", false, false},
      {"Plasma through Xwayland", {":0", "wayland-0", "", "KDE"}, true, "KWin", DisplayKind::xwayland, "", true, false},
      {"a list of desktops", {":0", "wayland-0", "", "ubuntu:KDE"}, true, "", DisplayKind::xwayland, "", true, false},
      {"only whole names", {":0", "wayland-0", "", "KDEX"}, true, "", DisplayKind::xwayland, "", false, false},
      {"no display yet", {"", "", "", ""}, false, "", DisplayKind::wayland, "", false, false},
  };
  for (const auto& c : cases) {
    const DesktopSession session = desktopSession(c.environment, c.displayIsX11, c.windowManager);
    EXPECT_EQ(session.display, c.display) << c.name;
    EXPECT_EQ(session.swaySocket, c.swaySocket) << c.name;
    EXPECT_EQ(session.sway(), *c.swaySocket != '\0') << c.name;
    EXPECT_EQ(session.kde, c.kde) << c.name;
    EXPECT_EQ(session.gnomeShell, c.gnomeShell) << c.name;
    EXPECT_EQ(session.waylandSession(), c.display != DisplayKind::x11) << c.name;
  }
}

}  // namespace
}  // namespace vesk
