// The top row of the browsing screen: loading indicator, the site drop-down, and the add,
// search and settings buttons.
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/image.h>
#include <gtkmm/label.h>
#include <gtkmm/menu.h>
#include <gtkmm/menubutton.h>
#include <gtkmm/spinner.h>

#include <string>
#include <vector>

#include "panel/vesk_view_state.h"

namespace vesk {

class SiteBar : public Gtk::Box {
 public:
  explicit SiteBar(VeskViewState& state);

  void render();

  // For tests and keyboard users.
  Gtk::MenuButton& siteMenuButton() { return menuButton_; }
  Gtk::Menu& siteMenu() { return menu_; }
  Gtk::Label& titleLabel() { return title_; }
  Gtk::Spinner& spinner() { return spinner_; }
  Gtk::Image& linkSymbol() { return *linkSymbol_; }
  Gtk::Button& addButton() { return *addButton_; }
  Gtk::Button& searchButton() { return *searchButton_; }
  Gtk::Button& settingsButton() { return *settingsButton_; }

 private:
  void rebuildMenu();

  VeskViewState& state_;
  Gtk::Box indicator_;
  Gtk::Spinner spinner_;
  Gtk::Image* linkSymbol_;
  Gtk::MenuButton menuButton_;
  Gtk::Box menuLabel_{Gtk::ORIENTATION_HORIZONTAL, 5};
  Gtk::Label title_;
  Gtk::Menu menu_;
  Gtk::Button* addButton_;
  Gtk::Button* searchButton_;
  Gtk::Button* settingsButton_;
  // What the menu was last built from: each site's id and name, and the selection.
  std::vector<std::string> menuKey_;
};

}  // namespace vesk
