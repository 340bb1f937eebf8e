// Global keys on GNOME. Where GNOME offers the desktop portal's GlobalShortcuts (GNOME 48 and
// later), the portal binds them. Where it does not, GNOME gives programs no global keys, but its
// settings daemon runs commands bound as custom keyboard shortcuts: on the user's word Vesk
// writes its three combinations there, as entries at paths of its own that run `vesk --toggle`,
// `--next` and `--previous`, and keeps them in step with the Keys tab. GNOME's settings are the
// one record of whether they are on (Vesk's paths in the custom-keybindings list), so an entry
// the user removed in GNOME's Settings stays removed.
#pragma once

#include <gio/gio.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hotkeys/hotkey_service.h"
#include "hotkeys/portal_hotkey_service.h"
#include "model/glib_handles.h"

namespace vesk {

namespace gnomeKeys {
inline constexpr const char* mediaKeysSchema = "org.gnome.settings-daemon.plugins.media-keys";
inline constexpr const char* entrySchema = "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding";
inline constexpr const char* listKey = "custom-keybindings";
inline constexpr std::string_view entryFolder = "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/";
}  // namespace gnomeKeys

// The path of the custom shortcut entry Vesk keeps for the action `id` ("…/vesk-toggle/").
std::string gnomeEntryPath(std::uint32_t id);
// The custom-keybindings list with Vesk's three paths at its end, each once, and without them;
// every other entry keeps its place.
std::vector<std::string> withVeskEntries(const std::vector<std::string>& list);
std::vector<std::string> withoutVeskEntries(const std::vector<std::string>& list);
// Whether the list holds any of Vesk's paths: the bindings are on.
bool holdsVeskEntries(const std::vector<std::string>& list);
// Whether two accelerators in GTK's syntax name the same keys: modifiers in any order and
// spelling (<Primary> and <Ctrl> are <Control>), letters in either case. Empty or unreadable
// ones ("disabled", a path) match nothing.
bool sameAccelerator(std::string_view a, std::string_view b);

// The command that runs Vesk with `--option`: the plain `vesk` where that is this program on the
// PATH, else the running program's own path (a build tree), quoted for a shell.
std::string veskCommand(std::string_view option);

class GnomeHotkeyService : public HotkeyService {
 public:
  // Asks `portal` first (it probes without waiting); without one, or once the portal turns out
  // to be missing, GNOME's custom shortcuts serve.
  explicit GnomeHotkeyService(std::unique_ptr<PortalHotkeyService> portal);
  ~GnomeHotkeyService() override;  // writes out what is still on its way to GNOME's settings
  GnomeHotkeyService(const GnomeHotkeyService&) = delete;
  GnomeHotkeyService& operator=(const GnomeHotkeyService&) = delete;

  // With the custom shortcuts on: written at once, refused when the key table does not know the
  // key, another of Vesk's actions holds it, or another shortcut (the user's own, or one of
  // GNOME's) has the same keys. Presses arrive as Vesk's command line, not through onPressed.
  bool registerHotkey(std::uint32_t id, std::uint32_t keyCode, std::uint32_t modifiers) override;
  // Leaves the entry in GNOME's list, disabled (no keys).
  void unregisterHotkey(std::uint32_t id) override;
  bool offersGlobalKeys() const override;
  bool keepsKeysAfterExit() const override { return mode_ == Mode::customShortcuts && on_; }
  std::optional<bool> desktopBindings() const override;
  // On: adds Vesk's entries (without keys until registered) to GNOME's list. Off: resets them and
  // takes them off the list, leaving every other entry alone.
  std::optional<std::string> setDesktopBindings(bool on) override;

 private:
  enum class Mode { waiting, portal, customShortcuts };

  void portalChanged();
  void openSettings();
  void listChanged();
  std::vector<std::string> list() const;
  GSettings* entry(std::uint32_t id);
  void writeEntry(std::uint32_t id, const std::string& binding);
  // Whether a shortcut that is not Vesk's has the keys of `accelerator`.
  bool takenElsewhere(const std::string& accelerator) const;
  void changed() const;

  std::unique_ptr<PortalHotkeyService> portal_;
  Mode mode_ = Mode::waiting;
  GObjectPtr<GSettings> mediaKeys_;  // absent where GNOME's schemas are not installed
  std::map<std::uint32_t, GObjectPtr<GSettings>> entries_;
  std::map<std::uint32_t, std::string> held_;  // the accelerators Vesk wrote, by action
  bool on_ = false;
  SignalConnection listWatch_;  // ended before the settings above go
};

}  // namespace vesk
