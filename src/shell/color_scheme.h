// Whether the desktop prefers a dark or a light look, and the colour of the tray glyph that reads
// on its panels. The preference comes from the XDG settings portal (the desktop's own colour
// scheme), else from the GTK theme the desktop set; both report changes, so nothing is polled.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/glib_handles.h"
#include "shell/portal_symbol.h"

typedef struct _GDBusConnection GDBusConnection;

typedef struct _GtkSettings GtkSettings;

namespace vesk {

enum class ColorScheme { dark, light };

// The desktop's scheme from the portal's `org.freedesktop.appearance` `color-scheme` (1 prefers
// dark, 2 prefers light, 0 or any other value no preference; absent when no portal answered) and,
// without a preference, the GTK theme's name: a dark variant ("Adwaita-dark", "Adwaita:dark", any
// case) is dark, every other theme light.
ColorScheme desktopColorScheme(std::optional<std::uint32_t> portalColorScheme, std::string_view gtkThemeName);

// The glyph colour of the tray pixmaps: light on the dark scheme's panels, dark on the light ones.
SymbolColor trayGlyphColor(ColorScheme scheme);

// The outline drawn around that glyph: its opposite, for panels that do not follow the scheme.
SymbolColor trayOutlineColor(ColorScheme scheme);

// The GTK theme named in the `gtk-3.0/settings.ini` files of `configFolders`, read as GTK reads
// them (a later folder's file overrides an earlier one's); empty when none names one.
std::string gtkThemeNameFromFiles(const std::vector<std::string>& configFolders);

// Follows the desktop's scheme: reads the portal once without blocking, then follows its
// SettingChanged signal and the GTK theme's name, and calls `changed` whenever the scheme changes.
class DesktopColorScheme {
 public:
  // `connection` (the session bus; may be null) is borrowed and must outlive this object.
  DesktopColorScheme(GDBusConnection* connection, std::function<void()> changed);
  ~DesktopColorScheme();
  DesktopColorScheme(const DesktopColorScheme&) = delete;
  DesktopColorScheme& operator=(const DesktopColorScheme&) = delete;

  ColorScheme current() const { return scheme_; }

  // The desktop changed one of its settings (GDK told GTK, which has handled it).
  void settingChanged();

 private:
  std::string themeName() const;
  // Decides the scheme again (the theme's name has already changed when GTK tells) and calls
  // `changed` when it differs from the last one.
  void update();

  GDBusConnection* connection_;
  std::function<void()> changed_;
  std::optional<std::uint32_t> portalValue_;
  ColorScheme scheme_ = ColorScheme::light;
  GObjectPtr<GtkSettings> settings_;  // GTK's, once it exists
  // The ways a change arrives (besides settingChanged), ended before the state above goes.
  BusSubscription subscription_;
  CallGuard calls_;
};

}  // namespace vesk
