// The panel's settings screen: a scrolling column with the title, the tab strip and the
// selected tab's content, rendered from the panel's state and drawn in the current theme.
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/label.h>
#include <gtkmm/scrolledwindow.h>

#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "model/idle_redraw.h"
#include "panel/panel_style.h"
#include "panel/vesk_view_state.h"
#include "settings/login_items.h"

namespace vesk {

// What the settings screen works with besides the panel's state.
struct SettingsServices {
  LoginItems& loginItems;
  // Ends the application at once.
  std::function<void()> quit;
};

// One tab's content: its children go into the content column, and it redraws from state.
class SettingsTabView : public Gtk::Box {
 public:
  explicit SettingsTabView(int spacing) : Gtk::Box(Gtk::ORIENTATION_VERTICAL, spacing) {}
  virtual void refresh() = 0;
};

// The style sheet of the settings screen for the current theme.
std::string settingsCss(const SettingsStore& store);

class SettingsScreen : public Gtk::ScrolledWindow {
 public:
  SettingsScreen(VeskViewState& state, SettingsServices services);
  ~SettingsScreen() override;

  // Redraws now what changed since the last redraw (normally done on the next idle).
  void refresh();

  // The names of its parts (`Gtk::Widget::get_name`), for the inspector and for tests: the
  // shown tab's content, and one button per tab in the strip.
  struct WidgetName {
    static constexpr const char* content = "settings-content";
  };
  static std::string tabButtonName(SettingsTab tab) { return "settings-tab-" + std::string(rawValue(tab)); }

 private:
  Gtk::Button& tabButton(SettingsTab tab) { return *tabButtons_.at(tab); }
  void rebuildContent();

  VeskViewState& state_;
  SettingsServices services_;
  Gtk::Box column_{Gtk::ORIENTATION_VERTICAL, 0};
  Gtk::Label title_;
  Gtk::Label subtitle_;
  Gtk::Box stripFrame_{Gtk::ORIENTATION_HORIZONTAL, 0};
  Gtk::Box strip_{Gtk::ORIENTATION_HORIZONTAL, 5};
  std::map<SettingsTab, Gtk::Button*> tabButtons_;  // one for each of allSettingsTabs
  Gtk::Box contentSlot_{Gtk::ORIENTATION_VERTICAL, 0};
  SettingsTabView* content_ = nullptr;
  SettingsTab shownTab_ = SettingsTab::general;
  // Set while the screen was off screen: the tab's transient state starts again when it returns.
  bool stale_ = false;

  ScreenStyle style_{[this] { return settingsCss(state_.model.store()); }};
  // At high idle priority, before GTK's next layout and frame: a change of tab or of a list
  // rebuilds content whose size changes the layout, and a frame drawn in between would show the
  // old content in the new place.
  IdleRedraw refreshes_{[this] { refresh(); }, G_PRIORITY_HIGH_IDLE};
};

}  // namespace vesk
