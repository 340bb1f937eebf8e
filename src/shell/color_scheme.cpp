#include "shell/color_scheme.h"

#include <gio/gio.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

namespace vesk {
namespace {

constexpr const char* portalName = "org.freedesktop.portal.Desktop";
constexpr const char* portalPath = "/org/freedesktop/portal/desktop";
constexpr const char* settingsInterface = "org.freedesktop.portal.Settings";
constexpr const char* appearance = "org.freedesktop.appearance";
constexpr const char* colorSchemeKey = "color-scheme";

// The portal's value, unwrapped from the variants around it (Read answers a variant in a variant).
std::optional<std::uint32_t> colorSchemeValue(GVariant* value) {
  GVariantPtr inner(g_variant_ref(value));
  while (g_variant_is_of_type(inner.get(), G_VARIANT_TYPE_VARIANT)) inner.reset(g_variant_get_variant(inner.get()));
  if (!g_variant_is_of_type(inner.get(), G_VARIANT_TYPE_UINT32)) return std::nullopt;
  return g_variant_get_uint32(inner.get());
}

bool endsWithIgnoringCase(std::string_view text, std::string_view suffix) {
  if (text.size() < suffix.size()) return false;
  return g_ascii_strncasecmp(text.data() + text.size() - suffix.size(), suffix.data(), suffix.size()) == 0;
}

}  // namespace

ColorScheme desktopColorScheme(std::optional<std::uint32_t> portalColorScheme, std::string_view gtkThemeName) {
  if (portalColorScheme == 1u) return ColorScheme::dark;
  if (portalColorScheme == 2u) return ColorScheme::light;
  const bool darkTheme = endsWithIgnoringCase(gtkThemeName, "-dark") || endsWithIgnoringCase(gtkThemeName, ":dark");
  return darkTheme ? ColorScheme::dark : ColorScheme::light;
}

SymbolColor trayGlyphColor(ColorScheme scheme) { return scheme == ColorScheme::dark ? symbolLight : symbolDark; }

SymbolColor trayOutlineColor(ColorScheme scheme) {
  return scheme == ColorScheme::dark ? symbolOutlineDark : symbolOutlineLight;
}

namespace {

// The live schemes, told of every setting the desktop changes.
std::vector<DesktopColorScheme*>& liveSchemes() {
  static std::vector<DesktopColorScheme*> schemes;
  return schemes;
}

// GDK hands each setting the desktop changes (XSETTINGS on X11, the desktop's settings on Wayland)
// to GTK as an event; this hook passes every event on to GTK and then tells the schemes.
void seeSettingEvents(GdkEvent* event, gpointer) {
  gtk_main_do_event(event);
  if (event->type != GDK_SETTING) return;
  for (DesktopColorScheme* scheme : std::vector<DesktopColorScheme*>(liveSchemes())) scheme->settingChanged();
}

}  // namespace

std::string gtkThemeNameFromFiles(const std::vector<std::string>& configFolders) {
  // GTK reads every folder's file, a later one overriding an earlier one.
  std::string name;
  for (const auto& folder : configFolders) {
    GCharPtr path(g_build_filename(folder.c_str(), "gtk-3.0", "settings.ini", nullptr));
    std::unique_ptr<GKeyFile, decltype(&g_key_file_free)> file(g_key_file_new(), &g_key_file_free);
    if (!g_key_file_load_from_file(file.get(), path.get(), G_KEY_FILE_NONE, nullptr)) continue;
    if (GCharPtr value{g_key_file_get_string(file.get(), "Settings", "gtk-theme-name", nullptr)}) name = value.get();
  }
  return name;
}

DesktopColorScheme::DesktopColorScheme(GDBusConnection* connection, std::function<void()> changed)
    : connection_(connection), changed_(std::move(changed)) {
  // GTK's settings object is not asked for here: making it loads the whole widget theme, which only
  // the panel needs. Until a setting changes, the theme's name comes from GDK and the files.
  static const bool hooked = [] {
    gdk_event_handler_set(seeSettingEvents, nullptr, nullptr);
    return true;
  }();
  (void)hooked;
  liveSchemes().push_back(this);
  scheme_ = desktopColorScheme(std::nullopt, themeName());
  if (!connection_) return;
  subscription_ = BusSubscription(connection_, g_dbus_connection_signal_subscribe(
                                                   connection_, portalName, settingsInterface, "SettingChanged",
                                                   portalPath, appearance, G_DBUS_SIGNAL_FLAGS_NONE,
                                                   [](GDBusConnection*, const char*, const char*, const char*,
                                                      const char*, GVariant* parameters, gpointer data) {
                                                     const char* group = nullptr;
                                                     const char* key = nullptr;
                                                     GVariant* raw = nullptr;
                                                     if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ssv)")))
                                                       return;
                                                     g_variant_get(parameters, "(&s&sv)", &group, &key, &raw);
                                                     GVariantPtr value(raw);
                                                     if (g_strcmp0(key, colorSchemeKey) == 0) {
                                                       auto* self = static_cast<DesktopColorScheme*>(data);
                                                       self->portalValue_ = colorSchemeValue(value.get());
                                                       self->update();
                                                     }
                                                   },
                                                   this, nullptr));
  // Asked once, without waiting: until the answer comes the GTK theme decides. A desktop without
  // the portal answers with an error, which leaves it at that.
  calls_.callMethod(connection_, portalName, portalPath, settingsInterface, "Read",
                    g_variant_new("(ss)", appearance, colorSchemeKey), G_VARIANT_TYPE("(v)"),
                    [this](GVariant* reply, const GError*) {
                      if (!reply) return;
                      portalValue_ = colorSchemeValue(reply);
                      update();
                    });
}

DesktopColorScheme::~DesktopColorScheme() {
  auto& schemes = liveSchemes();
  schemes.erase(std::remove(schemes.begin(), schemes.end(), this), schemes.end());
}

void DesktopColorScheme::settingChanged() {
  // GTK has just handled the change, and made its settings object for it if it had none.
  if (!settings_) {
    if (GtkSettings* settings = gtk_settings_get_default()) settings_.reset(GTK_SETTINGS(g_object_ref(settings)));
  }
  update();
}

std::string DesktopColorScheme::themeName() const {
  // GTK_THEME overrides the desktop's theme for this program, as GTK itself does.
  if (const char* forced = std::getenv("GTK_THEME"); forced && *forced) return forced;
  if (settings_) {
    gchar* raw = nullptr;
    g_object_get(settings_.get(), "gtk-theme-name", &raw, nullptr);
    GCharPtr name(raw);
    return name ? name.get() : "";
  }
  // The desktop's own setting comes first, then the settings files, as GTK reads them.
  if (GdkScreen* screen = gdk_screen_get_default()) {
    GValue value = G_VALUE_INIT;
    g_value_init(&value, G_TYPE_STRING);
    std::string name;
    if (gdk_screen_get_setting(screen, "gtk-theme-name", &value) && g_value_get_string(&value))
      name = g_value_get_string(&value);
    g_value_unset(&value);
    if (!name.empty()) return name;
  }
  std::vector<std::string> folders;
  for (const gchar* const* folder = g_get_system_config_dirs(); *folder; ++folder)
    folders.insert(folders.begin(), *folder);
  folders.push_back(g_get_user_config_dir());
  return gtkThemeNameFromFiles(folders);
}

void DesktopColorScheme::update() {
  const ColorScheme scheme = desktopColorScheme(portalValue_, themeName());
  if (scheme == scheme_) return;
  scheme_ = scheme;
  if (changed_) changed_();
}

}  // namespace vesk
