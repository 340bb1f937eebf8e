#include "hotkeys/gnome_hotkey_service.h"

#include <gdk/gdk.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>

#include "hotkeys/key_table.h"
#include "model/shortcut.h"
#include "model/strings.h"
#include "model/text.h"

namespace vesk {

namespace {

// GNOME's own shortcuts, which a combination of Vesk's must not take over: the window manager's,
// the shell's and the settings daemon's.
constexpr std::array builtInSchemas = {"org.gnome.desktop.wm.keybindings", "org.gnome.shell.keybindings",
                                       "org.gnome.mutter.keybindings", "org.gnome.mutter.wayland.keybindings",
                                       gnomeKeys::mediaKeysSchema};

GSettingsSchemaPtr lookUpSchema(const char* id) {
  GSettingsSchemaSource* source = g_settings_schema_source_get_default();
  return GSettingsSchemaPtr(source ? g_settings_schema_source_lookup(source, id, TRUE) : nullptr);
}

std::vector<std::string> texts(gchar** list) {
  std::vector<std::string> result;
  for (gchar** item = list; item && *item; ++item) result.emplace_back(*item);
  return result;
}

std::vector<std::string> veskPaths() {
  std::vector<std::string> paths;
  for (auto action : allShortcutActions) paths.push_back(gnomeEntryPath(rawValue(action)));
  return paths;
}

bool isVeskPath(const std::string& path) {
  const auto paths = veskPaths();
  return std::find(paths.begin(), paths.end(), path) != paths.end();
}

std::string canonicalPath(const char* path) {
  char resolved[PATH_MAX];
  return path && realpath(path, resolved) ? std::string(resolved) : std::string();
}

}  // namespace

std::string gnomeEntryPath(std::uint32_t id) {
  return std::string(gnomeKeys::entryFolder) + "vesk-" + portalShortcutId(id).value_or("action") + "/";
}

std::vector<std::string> withVeskEntries(const std::vector<std::string>& list) {
  std::vector<std::string> result = withoutVeskEntries(list);
  for (const auto& path : veskPaths()) result.push_back(path);
  return result;
}

std::vector<std::string> withoutVeskEntries(const std::vector<std::string>& list) {
  std::vector<std::string> result;
  std::copy_if(list.begin(), list.end(), std::back_inserter(result),
               [](const auto& path) { return !isVeskPath(path); });
  return result;
}

bool holdsVeskEntries(const std::vector<std::string>& list) {
  return std::any_of(list.begin(), list.end(), isVeskPath);
}

namespace {

// An accelerator as keys: the lower-case key symbol (0 when there is none) and one bit per modifier.
std::pair<guint, unsigned> acceleratorKeys(std::string_view text) {
  static constexpr std::pair<std::string_view, unsigned> names[] = {
      {"control", 1}, {"ctrl", 1}, {"ctl", 1},   {"primary", 1}, {"alt", 2},   {"mod1", 2},
      {"shift", 4},   {"shft", 4}, {"super", 8}, {"mod4", 8},    {"meta", 16}, {"hyper", 32}};
  unsigned modifiers = 0;
  while (text.starts_with('<')) {
    const auto end = text.find('>');
    if (end == std::string_view::npos) return {0, 0};
    const std::string name = text::asciiLowercased(text.substr(1, end - 1));
    const auto* found =
        std::find_if(std::begin(names), std::end(names), [&](const auto& n) { return n.first == name; });
    if (found == std::end(names)) return {0, 0};
    modifiers |= found->second;
    text.remove_prefix(end + 1);
  }
  const guint key = text.empty() ? 0 : gdk_keyval_from_name(std::string(text).c_str());
  return {key == GDK_KEY_VoidSymbol ? 0 : gdk_keyval_to_lower(key), modifiers};
}

}  // namespace

bool sameAccelerator(std::string_view a, std::string_view b) {
  const auto first = acceleratorKeys(a);
  return first.first != 0 && first == acceleratorKeys(b);
}

std::string veskCommand(std::string_view option) {
  // Worked out once: where Vesk runs from does not change while it runs.
  static const std::string program = [] {
    GCharPtr self(g_file_read_link("/proc/self/exe", nullptr));
    GCharPtr onPath(g_find_program_in_path("vesk"));
    const std::string running = canonicalPath(self.get());
    if (running.empty() || (onPath && canonicalPath(onPath.get()) == running)) return std::string("vesk");
    return std::string(GCharPtr(g_shell_quote(running.c_str())).get());
  }();
  return program + " --" + std::string(option);
}

GnomeHotkeyService::GnomeHotkeyService(std::unique_ptr<PortalHotkeyService> portal) : portal_(std::move(portal)) {
  if (!portal_) {
    mode_ = Mode::customShortcuts;
    openSettings();
    return;
  }
  portal_->onPressed = [this](std::uint32_t id) {
    if (auto press = onPressed) press(id);
  };
  portal_->onOfferChanged = [this] { portalChanged(); };
}

GnomeHotkeyService::~GnomeHotkeyService() {
  if (portal_) {
    portal_->onPressed = nullptr;
    portal_->onOfferChanged = nullptr;
  }
  // GSettings hands writes to dconf on the main loop; the last ones must not be lost at exit.
  if (mediaKeys_) g_settings_sync();
  onPressed = nullptr;
  onOfferChanged = nullptr;
}

void GnomeHotkeyService::portalChanged() {
  if (portal_->offersGlobalKeys()) {
    mode_ = Mode::portal;
  } else if (portal_->isUnavailable() && mode_ != Mode::customShortcuts) {
    mode_ = Mode::customShortcuts;
    openSettings();
  }
  changed();
}

void GnomeHotkeyService::openSettings() {
  GSettingsSchemaPtr schema = lookUpSchema(gnomeKeys::mediaKeysSchema);
  if (!schema || !lookUpSchema(gnomeKeys::entrySchema)) return;  // the switch then says what is missing
  mediaKeys_.reset(g_settings_new_full(schema.get(), nullptr, nullptr));
  on_ = holdsVeskEntries(list());
  listWatch_ = SignalConnection::connect(mediaKeys_.get(), (std::string("changed::") + gnomeKeys::listKey).c_str(),
                                         G_CALLBACK(+[](GSettings*, const gchar*, gpointer self) {
                                           static_cast<GnomeHotkeyService*>(self)->listChanged();
                                         }),
                                         this);
}

void GnomeHotkeyService::listChanged() {
  // Vesk's own writes change nothing here; the user removing its entries in GNOME's Settings does.
  const bool on = holdsVeskEntries(list());
  if (on == on_) return;
  on_ = on;
  held_.clear();
  changed();
}

std::vector<std::string> GnomeHotkeyService::list() const {
  GStrvPtr paths(g_settings_get_strv(mediaKeys_.get(), gnomeKeys::listKey));
  return texts(paths.get());
}

GSettings* GnomeHotkeyService::entry(std::uint32_t id) {
  auto& settings = entries_[id];
  if (!settings) settings.reset(g_settings_new_with_path(gnomeKeys::entrySchema, gnomeEntryPath(id).c_str()));
  return settings.get();
}

void GnomeHotkeyService::writeEntry(std::uint32_t id, const std::string& binding) {
  GSettings* settings = entry(id);
  // Name and command each time: the command follows where this Vesk runs from.
  g_settings_set_string(settings, "name", strings::gnomeShortcutName(hotkeyDescription(id)).c_str());
  g_settings_set_string(settings, "command", veskCommand(portalShortcutId(id).value_or("toggle")).c_str());
  g_settings_set_string(settings, "binding", binding.c_str());
}

bool GnomeHotkeyService::takenElsewhere(const std::string& accelerator) const {
  for (const auto& path : list()) {
    if (isVeskPath(path) || !g_str_has_prefix(path.c_str(), "/") || !g_str_has_suffix(path.c_str(), "/")) continue;
    GObjectPtr<GSettings> other(g_settings_new_with_path(gnomeKeys::entrySchema, path.c_str()));
    GCharPtr binding(g_settings_get_string(other.get(), "binding"));
    if (sameAccelerator(binding.get(), accelerator)) return true;
  }
  for (const char* id : builtInSchemas) {
    GSettingsSchemaPtr schema = lookUpSchema(id);
    if (!schema) continue;
    GObjectPtr<GSettings> settings(g_settings_new_full(schema.get(), nullptr, nullptr));
    GStrvPtr keys(g_settings_schema_list_keys(schema.get()));
    for (gchar** key = keys.get(); *key; ++key) {
      if (g_str_equal(*key, gnomeKeys::listKey)) continue;
      GVariantPtr value(g_settings_get_value(settings.get(), *key));
      std::vector<std::string> bindings;
      if (g_variant_is_of_type(value.get(), G_VARIANT_TYPE_STRING)) {
        bindings.emplace_back(g_variant_get_string(value.get(), nullptr));
      } else if (g_variant_is_of_type(value.get(), G_VARIANT_TYPE_STRING_ARRAY)) {
        std::unique_ptr<const gchar*, GFreeDeleter> list(g_variant_get_strv(value.get(), nullptr));
        for (const gchar** item = list.get(); *item; ++item) bindings.emplace_back(*item);
      }
      for (const auto& binding : bindings) {
        if (sameAccelerator(binding, accelerator)) return true;
      }
    }
  }
  return false;
}

void GnomeHotkeyService::changed() const {
  if (auto change = onOfferChanged) change();
}

bool GnomeHotkeyService::registerHotkey(std::uint32_t id, std::uint32_t keyCode, std::uint32_t modifiers) {
  if (mode_ == Mode::portal) return portal_->registerHotkey(id, keyCode, modifiers);
  if (mode_ != Mode::customShortcuts || !on_ || !portalShortcutId(id)) return false;
  held_.erase(id);
  auto accelerator = gtkAccelerator(keyCode, modifiers);
  if (!accelerator) return false;
  for (const auto& [other, held] : held_) {
    if (held == *accelerator) return false;  // one press must name one action
  }
  if (takenElsewhere(*accelerator)) return false;
  writeEntry(id, *accelerator);
  held_[id] = *accelerator;
  return true;
}

void GnomeHotkeyService::unregisterHotkey(std::uint32_t id) {
  if (mode_ == Mode::portal) {
    portal_->unregisterHotkey(id);
    return;
  }
  if (held_.erase(id) > 0 && on_) g_settings_set_string(entry(id), "binding", "");
}

bool GnomeHotkeyService::offersGlobalKeys() const {
  if (mode_ == Mode::portal) return portal_->offersGlobalKeys();
  return mode_ == Mode::customShortcuts && on_;
}

std::optional<bool> GnomeHotkeyService::desktopBindings() const {
  if (mode_ != Mode::customShortcuts) return std::nullopt;
  return on_;
}

std::optional<std::string> GnomeHotkeyService::setDesktopBindings(bool on) {
  if (mode_ != Mode::customShortcuts) return std::nullopt;
  if (!mediaKeys_) return strings::gnomeShortcutsMissing(gnomeKeys::mediaKeysSchema);
  if (on == on_) return std::nullopt;
  on_ = on;  // before the list changes, so its change signal finds nothing new
  held_.clear();
  std::vector<std::string> paths;
  if (on) {
    // Every entry exists while on, without keys until its combination is registered.
    for (auto action : allShortcutActions) writeEntry(rawValue(action), "");
    paths = withVeskEntries(list());
  } else {
    for (auto action : allShortcutActions) {
      GSettings* settings = entry(rawValue(action));
      for (const char* key : {"name", "command", "binding"}) g_settings_reset(settings, key);
    }
    paths = withoutVeskEntries(list());
  }
  std::vector<const gchar*> values;
  for (const auto& path : paths) values.push_back(path.c_str());
  values.push_back(nullptr);
  g_settings_set_strv(mediaKeys_.get(), gnomeKeys::listKey, values.data());
  changed();
  return std::nullopt;
}

}  // namespace vesk
