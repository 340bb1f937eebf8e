// The panel's loadable module: the web-facing layers (browser, panel, settings) live in a shared
// module that the executable loads when the panel is first shown, so WebKit is neither loaded
// nor relocated until a page is needed.
#pragma once

#include <functional>

namespace Gtk {
class Widget;
}

namespace vesk {
class AppModel;

// What the module builds the panel from.
struct PanelModuleArguments {
  AppModel* model = nullptr;
  std::function<void()> close;  // hides the panel
  std::function<void()> quit;   // quits Vesk
};

using MakePanelContentFunction = Gtk::Widget* (*)(const PanelModuleArguments&);

inline constexpr const char* panelModuleName = "libvesk-panel.so";
inline constexpr const char* panelModuleEntry = "vesk_make_panel_content";

}  // namespace vesk
