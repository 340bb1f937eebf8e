#include "panel/panel_style.h"

#include <gdkmm/screen.h>
#include <gtkmm/settings.h>
#include <gtkmm/stylecontext.h>

namespace vesk {

namespace {

bool isNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Sizes are CSS pixels; weights: 500 medium, 600 semibold.
constexpr std::string_view styleTemplate = R"css(
.vesk-panel { background-color: @bg; color: @primary; font-size: 13px; }
.vesk-panel label { text-shadow: none; }
.vesk-divider { background-color: @hairline; min-height: 1px; }
.vesk-primary { color: @primary; }
.vesk-secondary { color: @secondary; }
.vesk-accent { color: @accent; }

.vesk-settings-header { padding: 0 16px; }
.vesk-mark { background-color: @accent15; border-radius: 7px; }
.vesk-product-name { font-size: 14px; font-weight: 600; }
.vesk-badge { font-size: 11px; font-weight: 500; color: @secondary; padding: 5px 8px;
              background-color: @surface; border-radius: 6px; }

.vesk-site-bar { background-color: @surface; padding: 0 12px; }
.vesk-site-title { font-size: 12px; font-weight: 500; }

button.vesk-icon-button, button.vesk-plain-button, button.vesk-menu-button, button.vesk-row-button {
  background: none; border: none; box-shadow: none; text-shadow: none; -gtk-icon-shadow: none;
  padding: 0; margin: 0; min-width: 0; min-height: 0; border-radius: 0;
  color: @primary;
}
/* No fades: a pressed button and a new theme show at once. */
button.vesk-icon-button, button.vesk-plain-button, button.vesk-menu-button, button.vesk-row-button,
button.vesk-prominent, button.vesk-bordered { transition: none; }
button.vesk-icon-button { min-width: 27px; min-height: 27px; border-radius: 6px; color: @secondary; }
button.vesk-icon-button:hover, button.vesk-icon-button:disabled { background: none; color: @secondary; }
button.vesk-icon-button:active, button.vesk-icon-button:checked { background-color: @surface; }
button.vesk-icon-button image { color: @secondary; }
button.vesk-plain-button:active, button.vesk-row-button:active { opacity: 0.7; }
button.vesk-menu-button:hover, button.vesk-menu-button:checked { background: none; }
/* The rows of the drop-down's list of many sites look like menu items. */
button.vesk-site-choice { min-height: 0; padding: 0 8px; border-radius: 5px; }
.vesk-unread-dot { color: @orange; font-size: 9px; }
button.vesk-switch-button label { font-size: 11px; color: @secondary; }

.vesk-search-field { background-color: @surface; border: 1px solid @hairline; border-radius: 9px; padding: 0 13px; }
entry.vesk-search-entry { background: none; border: none; box-shadow: none; font-size: 13px; padding: 0;
                          min-height: 0; color: @primary; caret-color: @accent; }
entry.vesk-search-entry selection { background-color: @accent40; color: @primary; }

.vesk-results-heading { font-size: 10px; font-weight: 600; letter-spacing: 1.1px; color: @secondary; }
.vesk-result-row { background-color: @surface; border-radius: 8px; padding: 0 13px; }
.vesk-result-name { font-size: 13px; font-weight: 500; color: @primary; }
.vesk-result-host { font-size: 11px; color: @secondary; }
.vesk-quick-add-text { font-size: 13px; font-weight: 500; color: @primary; }
.vesk-no-matches { font-size: 12px; color: @secondary; }

.vesk-error-layer { background-color: @bg; }
/* The outline is part of the cards' padding: the content sits 25 (28) in from the outer edge. */
.vesk-card { background-color: @surface; border: 1px solid @hairline; border-radius: 16px; }
.vesk-error-card { padding: 24px; }
.vesk-handoff-card { padding: 27px; }
.vesk-error-title { font-size: 15px; font-weight: 600; }
.vesk-error-text { font-size: 11px; color: @secondary; }
.vesk-handoff-title { font-size: 17px; font-weight: 600; }
.vesk-handoff-text { font-size: 12px; color: @secondary; }
.vesk-empty-title { font-size: 14px; font-weight: 500; }

button.vesk-prominent { background-image: none; background-color: @accent; border-color: @accent;
                        box-shadow: none; text-shadow: none; color: @bg; }
button.vesk-prominent:hover { background-color: @accent90; }
button.vesk-prominent:active { background-color: @accent75; }
button.vesk-prominent label { color: @bg; }

.vesk-toolbar { background-color: @bg; padding: 0 15px; }
.vesk-save-error { font-size: 11px; font-weight: 500; color: @orange; background-color: @surface;
                   padding: 6px 15px; border-top: 1px solid @hairline; }
.vesk-host-text { font-size: 11px; color: @secondary; }
.vesk-download { font-size: 11px; background-color: @surface; padding: 2px 9px 2px 15px;
                 border-top: 1px solid @hairline; }
.vesk-download-progress { color: @secondary; }
.vesk-permission-bar { background-color: @surface; padding: 6px 9px 6px 15px; border-bottom: 1px solid @hairline; }
.vesk-permission-text { font-size: 12px; font-weight: 500; color: @primary; }
.vesk-download-notice { font-size: 11px; font-weight: 500; color: @orange; background-color: @surface;
                        padding: 2px 9px 2px 15px; border-top: 1px solid @hairline; }
)css";

}  // namespace

std::string fillStyleSheet(std::string_view sheet, const SettingsStore& store,
                           std::initializer_list<StyleColor> extra) {
  const Palette::ThemeColors theme = Palette::colors(Palette::theme(store));
  const StyleColor common[] = {
      {"bg", theme.background},           {"surface", theme.surface},          {"accent", theme.accent},
      {"primary", Palette::primary()},    {"secondary", Palette::secondary()}, {"hairline", Palette::hairline()},
      {"orange", {1.0, 0.624, 0.039, 1}},
  };
  auto colorNamed = [&](std::string_view name) -> const Color* {
    for (const StyleColor& named : extra) {
      if (named.name == name) return &named.color;
    }
    for (const StyleColor& named : common) {
      if (named.name == name) return &named.color;
    }
    return nullptr;
  };

  std::string out;
  out.reserve(sheet.size() + sheet.size() / 2);
  std::size_t at = 0;
  while (at < sheet.size()) {
    const std::size_t sign = sheet.find('@', at);
    if (sign == std::string_view::npos) {
      out.append(sheet.substr(at));
      break;
    }
    out.append(sheet.substr(at, sign - at));
    std::size_t end = sign + 1;
    while (end < sheet.size() && isNameCharacter(sheet[end])) ++end;
    if (const Color* color = colorNamed(sheet.substr(sign + 1, end - sign - 1))) {
      out.append(color->css());
    } else {
      out.append(sheet.substr(sign, end - sign));
    }
    at = end;
  }
  return out;
}

std::string panelCss(const SettingsStore& store) {
  const Color accent = Palette::accent(store);
  return fillStyleSheet(styleTemplate, store,
                        {{"accent15", accent.withAlpha(0.15)},
                         {"accent40", accent.withAlpha(0.4)},
                         {"accent75", accent.withAlpha(0.75)},
                         {"accent90", accent.withAlpha(0.9)}});
}

ScreenStyle::ScreenStyle(std::function<std::string()> sheet)
    : sheet_(std::move(sheet)), provider_(Gtk::CssProvider::create()) {
  refresh();
  Gtk::StyleContext::add_provider_for_screen(Gdk::Screen::get_default(), provider_,
                                             GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}

ScreenStyle::~ScreenStyle() {
  if (auto screen = Gdk::Screen::get_default()) Gtk::StyleContext::remove_provider_for_screen(screen, provider_);
}

void ScreenStyle::refresh() {
  std::string sheet = sheet_();
  if (sheet == loaded_) return;
  try {
    provider_->load_from_data(sheet);
    loaded_ = std::move(sheet);
  } catch (const Glib::Error& error) {
    // The sheets are made here, so this is a fault of the program: said once per sheet text,
    // and GTK keeps the rules it could read.
    g_printerr("vesk: style sheet not loaded: %s\n", error.what().c_str());
    loaded_ = std::move(sheet);
  }
}

PanelStyle::PanelStyle(const SettingsStore& store) : ScreenStyle([&store] { return panelCss(store); }) {
  if (auto settings = Gtk::Settings::get_default()) settings->property_gtk_application_prefer_dark_theme() = true;
}

}  // namespace vesk
