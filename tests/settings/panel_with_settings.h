// The real panel view with its settings screen in a window, over fake page, clipboard, workspace,
// timer and login-item services: the settings as a user reaches them from the panel.
#pragma once

#include <gtkmm/window.h>

#include <memory>

#include "hotkeys/gtk_key_monitor.h"
#include "panel/panel_fakes.h"
#include "panel/vesk_view.h"
#include "settings/fake_login_items.h"
#include "settings/settings_screen.h"
#include "support/gtk_test_support.h"
#include "support/named_widgets.h"

namespace vesk::testing {

class PanelWithSettings {
 public:
  explicit PanelWithSettings(AppModel& model) : window(std::make_unique<Gtk::Window>()) {
    window->set_default_size(500, 700);
    view = Gtk::manage(new VeskView(
        model, PanelServices{pages, clipboard, workspace, keys, timers.runAfter(), [] { return false; }}, [] {},
        [this](VeskViewState& state) {
          return Gtk::manage(new SettingsScreen(state, SettingsServices{login, [] {}}));
        }));
    window->add(*view);
    keys.attach(*window);
    window->show_all();
  }

  // Shows the window and waits until the window manager gives it the keyboard focus.
  bool focus() {
    window->show();
    window->present();
    return waitFor([&] { return window->is_active(); });
  }

  SettingsScreen& screen() {
    return dynamic_cast<SettingsScreen&>(
        *testing::named<Gtk::Box>(*view, VeskView::WidgetName::settingsSlot).get_children().front());
  }

  // Opens the settings on `tab`; each tab's content is built anew when it is chosen.
  SettingsTabView& showTab(SettingsTab tab) {
    view->state().openSettings();
    view->state().chooseSettingsTab(tab);
    view->render();
    settle();
    return testing::named<SettingsTabView>(screen(), SettingsScreen::WidgetName::content);
  }

  FakePageFactory pages;
  FakeClipboard clipboard;
  FakeWorkspace workspace;
  FakeTimers timers;
  FakeLoginItems login;
  GtkKeyMonitor keys;
  std::unique_ptr<Gtk::Window> window;
  VeskView* view = nullptr;
};

}  // namespace vesk::testing
