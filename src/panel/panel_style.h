// The one way Vesk builds and installs its style sheets: templates whose @names the palette
// fills, installed for the screen, so a theme change repaints every panel and settings widget at
// once. The panel's sheet is here; the settings screen's is settingsCss().
#pragma once

#include <gtkmm/cssprovider.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

#include "model/settings_store.h"
#include "panel/palette.h"

namespace vesk {

// A colour a style sheet template names as @name.
struct StyleColor {
  std::string_view name;
  Color color;
};

// `sheet` with every @name replaced by the CSS of its colour: one of `extra`, or one of the
// colours every sheet can use: @bg, @surface and @accent of the theme stored in `store` (read now),
// @primary, @secondary, @hairline, and @orange for warnings. A name runs over letters, digits and
// '_' ("@accent15" is one name); an @ with any other name stays as written.
std::string fillStyleSheet(std::string_view sheet, const SettingsStore& store,
                           std::initializer_list<StyleColor> extra = {});

// The panel's whole style sheet for the theme stored in `store`.
std::string panelCss(const SettingsStore& store);

// A style sheet installed for the screen while this lives.
class ScreenStyle {
 public:
  explicit ScreenStyle(std::function<std::string()> sheet);
  ~ScreenStyle();
  ScreenStyle(const ScreenStyle&) = delete;
  ScreenStyle& operator=(const ScreenStyle&) = delete;

  // Makes the sheet again (after a theme change) and reloads it only when its text changed; a
  // sheet that does not parse is reported once on standard error, never thrown.
  void refresh();

 private:
  std::function<std::string()> sheet_;
  Glib::RefPtr<Gtk::CssProvider> provider_;
  std::string loaded_;
};

// The panel's style sheet, installed once per panel view; the panel always uses the dark
// appearance, whatever the desktop's setting.
class PanelStyle : public ScreenStyle {
 public:
  explicit PanelStyle(const SettingsStore& store);
};

}  // namespace vesk
