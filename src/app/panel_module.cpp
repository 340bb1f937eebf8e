// Entry point of the panel module: builds the panel view with its settings screen.
#include "app/panel_module.h"

#include <gmodule.h>
#include <gtkmm/widget.h>

#include <memory>

#include "panel/vesk_view.h"
#include "settings/autostart_login_items.h"
#include "settings/settings_screen.h"

extern "C" G_MODULE_EXPORT Gtk::Widget* vesk_make_panel_content(const vesk::PanelModuleArguments& arguments) {
  // The login item behind the settings' "Launch at login" switch, read when the panel is made.
  auto loginItems = std::make_shared<vesk::AutostartLoginItems>();
  auto quit = arguments.quit;
  auto settings = [loginItems, quit](vesk::VeskViewState& state) -> Gtk::Widget* {
    return Gtk::manage(new vesk::SettingsScreen(state, vesk::SettingsServices{*loginItems, quit}));
  };
  return vesk::makeVeskView(*arguments.model, arguments.close, arguments.requestWeb, settings,
                            [loginItems] { return vesk::loginItemInitiallyEnabled(*loginItems); });
}
