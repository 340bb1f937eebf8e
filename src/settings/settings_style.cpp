// The settings screen's style sheet, filled from the palette for the current theme.
#include "panel/palette.h"
#include "panel/panel_style.h"
#include "settings/settings_screen.h"

namespace vesk {

namespace {

// Sizes are CSS pixels; weights: 500 medium, 600 semibold.
constexpr std::string_view settingsTemplate = R"css(
.vesk-settings { background-color: @bg; color: @primary; }
.vesk-settings label { color: inherit; }
.vesk-settings .settings-title { font-size: 21px; font-weight: 600; }
.vesk-settings .settings-subtitle { font-size: 12px; color: @secondary; }
.vesk-settings .settings-section { font-size: 10px; font-weight: 600; letter-spacing: 1.1px; color: @secondary; }
.vesk-settings .settings-card { background-color: @surface; border-radius: 10px; }
.vesk-settings .settings-tab-strip { background-color: @bg; border-radius: 10px; border: 1px solid @hairline; }
.vesk-settings button.settings-tab { background-image: none; background-color: transparent; border: none;
  box-shadow: none; text-shadow: none; border-radius: 7px; min-height: 31px; min-width: 0; padding: 0;
  font-size: 12px; font-weight: 500; color: @secondary; }
.vesk-settings button.settings-tab.selected { background-color: @surface; font-weight: 600; color: @primary; }
.vesk-settings .settings-row-title { font-size: 13px; font-weight: 500; }
.vesk-settings .settings-form-title { font-size: 13px; font-weight: 600; }
.vesk-settings .settings-detail { font-size: 11px; color: @secondary; }
.vesk-settings .settings-lines { font-family: monospace; font-size: 11px; }
.vesk-settings .settings-login-error { font-size: 11px; color: @loginError; }
.vesk-settings .settings-shortcut-error { font-size: 11px; color: @orange; }
.vesk-settings .settings-form-error { font-size: 11px; color: @red; }
.vesk-settings .settings-value-row { font-size: 12px; font-weight: 400; }
.vesk-settings .settings-value { color: @secondary; }
.vesk-settings .settings-accent { color: @accent; }
.vesk-settings button.settings-plain { background-image: none; background-color: transparent; border: none;
  box-shadow: none; text-shadow: none; padding: 0; min-height: 0; min-width: 0; font-size: 11px; color: @secondary; }
.vesk-settings button.settings-plain:hover { color: @primary; }
/* The site editor's "Cancel" is plain text in the body size. */
.vesk-settings button.settings-plain.settings-cancel { font-size: 13px; }
/* Disabled row buttons take the usual dimmed look. */
.vesk-settings button.vesk-icon-button:disabled image { color: @dimmed; }
.vesk-settings button.settings-prominent { background-image: none; background-color: @accent; border-color: @accent;
  box-shadow: none; text-shadow: none; color: @bg; font-weight: 500; }
.vesk-settings button.settings-prominent:hover {
  background-image: linear-gradient(rgba(255,255,255,0.1), rgba(255,255,255,0.1)); }
.vesk-settings button.settings-prominent:active {
  background-image: linear-gradient(rgba(0,0,0,0.12), rgba(0,0,0,0.12)); }
.vesk-settings button.settings-theme-card { background-image: none; background-color: @surface; border: none;
  box-shadow: none; text-shadow: none; border-radius: 10px; padding: 11px; }
.vesk-settings button.settings-theme-card:hover {
  background-image: linear-gradient(rgba(255,255,255,0.03), rgba(255,255,255,0.03)); }
.vesk-settings entry.settings-field { background-image: none; background-color: @bg; border: none; box-shadow: none;
  border-radius: 7px; padding: 10px; min-height: 0; color: @primary; caret-color: @accent; }
.vesk-settings entry.settings-field selection { background-color: @accent; color: @bg; }
.vesk-settings switch:checked { background-image: none; background-color: @accent; border-color: @accent; }
.vesk-settings scale.settings-slider highlight { background-image: none; background-color: @accent;
  border-color: @accent; }
)css";

}  // namespace

std::string settingsCss(const SettingsStore& store) {
  // Text colours of messages: the login-item failure colour, and the usual dark-mode orange and red.
  return fillStyleSheet(settingsTemplate, store,
                        {{"dimmed", Palette::secondary().withAlpha(0.35)},
                         {"loginError", {0.92, 0.55, 0.48, 1}},
                         {"orange", {1.0, 0.624, 0.039, 1}},
                         {"red", {1.0, 0.271, 0.227, 1}}});
}

}  // namespace vesk
