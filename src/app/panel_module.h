// The panel's loadable modules: the web-facing layers (browser, panel, settings) live in a shared
// module that the executable loads when the panel is first shown, and the web engine (the webkit
// layer, with WebKit) in a second one that is loaded in the background at the same moment, so the
// panel's chrome draws while WebKit is still being loaded and relocated.
#pragma once

#include <functional>

#include "browser/web_services.h"

namespace Gtk {
class Widget;
}

namespace vesk {
class AppModel;

// What the module builds the panel from.
struct PanelModuleArguments {
  AppModel* model = nullptr;
  std::function<void()> close;    // hides the panel
  std::function<void()> quit;     // quits Vesk
  RequestWebServices requestWeb;  // the web engine's services, from the web module
};

using MakePanelContentFunction = Gtk::Widget* (*)(const PanelModuleArguments&);

inline constexpr const char* panelModuleName = "libvesk-panel.so";
inline constexpr const char* panelModuleEntry = "vesk_make_panel_content";

// The web module's entry makes the web services; the caller owns them.
using MakeWebServicesFunction = WebServices* (*)();

inline constexpr const char* webModuleName = "libvesk-web.so";
inline constexpr const char* webModuleEntry = "vesk_make_web_services";

}  // namespace vesk
