#include "shell/color_scheme.h"

#include <gio/gio.h>
#include <gtk/gtk.h>

#include <cstdlib>
#include <utility>

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

DesktopColorScheme::DesktopColorScheme(GDBusConnection* connection, std::function<void()> changed)
    : connection_(connection), changed_(std::move(changed)) {
  if (GtkSettings* settings = gtk_settings_get_default()) {
    settings_.reset(GTK_SETTINGS(g_object_ref(settings)));
    themeChanged_ = SignalConnection::connect(
        settings, "notify::gtk-theme-name",
        G_CALLBACK(+[](GtkSettings*, GParamSpec*, gpointer self) { static_cast<DesktopColorScheme*>(self)->update(); }),
        this);
  }
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

DesktopColorScheme::~DesktopColorScheme() = default;

std::string DesktopColorScheme::themeName() const {
  // GTK_THEME overrides the desktop's theme for this program, as GTK itself does.
  if (const char* forced = std::getenv("GTK_THEME"); forced && *forced) return forced;
  if (!settings_) return {};
  gchar* raw = nullptr;
  g_object_get(settings_.get(), "gtk-theme-name", &raw, nullptr);
  GCharPtr name(raw);
  return name ? name.get() : "";
}

void DesktopColorScheme::update() {
  const ColorScheme scheme = desktopColorScheme(portalValue_, themeName());
  if (scheme == scheme_) return;
  scheme_ = scheme;
  if (changed_) changed_();
}

}  // namespace vesk
