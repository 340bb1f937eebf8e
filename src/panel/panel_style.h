// The panel's look as one style sheet generated from the palette, installed once for the
// screen, so a theme change repaints every panel and settings widget at once.
#pragma once

#include <gtkmm/cssprovider.h>

#include <string>

#include "model/settings_store.h"

namespace vesk {

// The whole style sheet for the theme stored in `store` (read now).
std::string panelCss(const SettingsStore& store);

// A style provider installed for the screen while it lives (one per panel view).
class PanelStyle {
 public:
  explicit PanelStyle(const SettingsStore& store);
  ~PanelStyle();
  PanelStyle(const PanelStyle&) = delete;
  PanelStyle& operator=(const PanelStyle&) = delete;

  // Regenerates the style sheet from the palette (after a theme change).
  void refresh();

 private:
  const SettingsStore& store_;
  Glib::RefPtr<Gtk::CssProvider> provider_;
};

}  // namespace vesk
