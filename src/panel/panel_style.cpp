#include "panel/panel_style.h"

#include <gdkmm/screen.h>
#include <gtkmm/settings.h>
#include <gtkmm/stylecontext.h>

#include "panel/palette.h"

namespace vesk {

namespace {

void replaceAll(std::string& text, std::string_view token, const std::string& value) {
  for (auto at = text.find(token); at != std::string::npos; at = text.find(token, at + value.size())) {
    text.replace(at, token.size(), value);
  }
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
.vesk-save-error { font-size: 11px; font-weight: 500; color: #ff9f0a; background-color: @surface;
                   padding: 6px 15px; border-top: 1px solid @hairline; }
.vesk-host-text { font-size: 11px; color: @secondary; }
.vesk-download { font-size: 11px; background-color: @surface; padding: 2px 9px 2px 15px;
                 border-top: 1px solid @hairline; }
.vesk-download-progress { color: @secondary; }
.vesk-download-notice { font-size: 11px; font-weight: 500; color: #ff9f0a; background-color: @surface;
                        padding: 2px 9px 2px 15px; border-top: 1px solid @hairline; }
)css";

}  // namespace

std::string panelCss(const SettingsStore& store) {
  const Color accent = Palette::accent(store);
  std::string css(styleTemplate);
  // Longer names first, so "@accent15" is not read as "@accent" followed by "15".
  replaceAll(css, "@accent15", accent.withAlpha(0.15).css());
  replaceAll(css, "@accent40", accent.withAlpha(0.4).css());
  replaceAll(css, "@accent75", accent.withAlpha(0.75).css());
  replaceAll(css, "@accent90", accent.withAlpha(0.9).css());
  replaceAll(css, "@accent", accent.css());
  replaceAll(css, "@bg", Palette::background(store).css());
  replaceAll(css, "@surface", Palette::surface(store).css());
  replaceAll(css, "@primary", Palette::primary().css());
  replaceAll(css, "@secondary", Palette::secondary().css());
  replaceAll(css, "@hairline", Palette::hairline().css());
  return css;
}

PanelStyle::PanelStyle(const SettingsStore& store) : store_(store), provider_(Gtk::CssProvider::create()) {
  // The panel always uses the dark appearance, whatever the desktop's setting.
  if (auto settings = Gtk::Settings::get_default()) settings->property_gtk_application_prefer_dark_theme() = true;
  refresh();
  Gtk::StyleContext::add_provider_for_screen(Gdk::Screen::get_default(), provider_,
                                             GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}

PanelStyle::~PanelStyle() {
  if (auto screen = Gdk::Screen::get_default()) Gtk::StyleContext::remove_provider_for_screen(screen, provider_);
}

void PanelStyle::refresh() { provider_->load_from_data(panelCss(store_)); }

}  // namespace vesk
