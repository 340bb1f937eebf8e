// The top row of the browsing screen: loading indicator, the site drop-down, and the add,
// search and settings buttons.
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/image.h>
#include <gtkmm/label.h>
#include <gtkmm/menu.h>
#include <gtkmm/menubutton.h>
#include <gtkmm/popover.h>
#include <gtkmm/scrolledwindow.h>
#include <gtkmm/spinner.h>

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "panel/vesk_view_state.h"
#include "panel/windowed_rows.h"

namespace vesk {

class SiteBar : public Gtk::Box {
 public:
  explicit SiteBar(VeskViewState& state);

  void render();

  // Up to `menuLimit` sites the drop-down is a menu with one item per site; with more, a menu
  // would build and lay out every item on each opening, so it is a pop-over list that builds
  // only the rows in view.
  static constexpr std::size_t menuLimit = 50;

  // The names of its parts (`Gtk::Widget::get_name`), for the inspector and for tests; the
  // drop-down's menu and pop-over are the named button's `get_popup()` and `get_popover()`.
  struct WidgetName {
    static constexpr const char* siteBar = "site-bar";
    static constexpr const char* spinner = "site-spinner";
    static constexpr const char* linkSymbol = "site-link-symbol";
    static constexpr const char* menuButton = "site-menu-button";
    static constexpr const char* title = "site-title";
    static constexpr const char* addButton = "site-add-button";
    static constexpr const char* searchButton = "site-search-button";
    static constexpr const char* settingsButton = "site-settings-button";
    // The dot beside the name of a site with something unread, in the drop-down; the one beside
    // the drop-down's chevron while another site than the one shown has something unread.
    static constexpr const char* unreadDot = "site-unread-dot";
    static constexpr const char* otherUnreadDot = "site-other-unread-dot";
  };

 private:
  void rebuildMenu();
  void rebuildList();
  Gtk::Widget* buildListRow(std::size_t index);

  VeskViewState& state_;
  Gtk::Box indicator_;
  Gtk::Spinner spinner_;
  Gtk::Image* linkSymbol_;
  Gtk::MenuButton menuButton_;
  Gtk::Box menuLabel_{Gtk::ORIENTATION_HORIZONTAL, 5};
  Gtk::Label title_;
  Gtk::Label* otherUnread_;
  Gtk::Menu menu_;
  Gtk::Popover popover_;
  Gtk::ScrolledWindow listScroll_;
  Gtk::Box list_{Gtk::ORIENTATION_VERTICAL, 0};
  std::unique_ptr<WindowedRows> listRows_;
  bool usesList_ = false;
  Gtk::Button* addButton_;
  Gtk::Button* searchButton_;
  Gtk::Button* settingsButton_;
  // What the drop-down was last built from: each site's id, name and mark, and the selection.
  std::vector<std::string> menuKey_;
  std::vector<LinkSite> listSites_;
  std::optional<Uuid> listSelected_;
  std::set<Uuid> listUnread_;
};

}  // namespace vesk
