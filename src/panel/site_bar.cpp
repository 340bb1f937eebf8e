#include "panel/site_bar.h"

#include <gtkmm/menuitem.h>
#include <gtkmm/separatormenuitem.h>

#include "model/strings.h"
#include "panel/symbols.h"
#include "panel/widgets.h"

namespace vesk {

namespace {

// A menu item with a leading symbol.
Gtk::MenuItem* symbolMenuItem(std::string_view symbol, const std::string& text) {
  auto* item = Gtk::make_managed<Gtk::MenuItem>();
  auto* row = Gtk::make_managed<Gtk::Box>(Gtk::ORIENTATION_HORIZONTAL, 8);
  if (!symbol.empty()) {
    row->pack_start(*symbolImage(symbol, 12), Gtk::PACK_SHRINK);
  } else {
    auto* blank = Gtk::make_managed<Gtk::Box>();
    blank->set_size_request(symbolPixelSize(12), -1);
    row->pack_start(*blank, Gtk::PACK_SHRINK);
  }
  auto* label = Gtk::make_managed<Gtk::Label>(text);
  label->set_xalign(0);
  row->pack_start(*label, Gtk::PACK_EXPAND_WIDGET);
  item->add(*row);
  item->show_all();
  return item;
}

}  // namespace

SiteBar::SiteBar(VeskViewState& state) : Gtk::Box(Gtk::ORIENTATION_HORIZONTAL, 10), state_(state) {
  addClasses(*this, {"vesk-site-bar"});
  set_size_request(-1, 43);

  // Spinner while loading, otherwise the link symbol, in a 17-point square.
  indicator_.set_size_request(17, 17);
  indicator_.set_valign(Gtk::ALIGN_CENTER);
  indicator_.set_hexpand(false);  // its centred children must not make it take spare width
  spinner_.set_size_request(12, 12);
  spinner_.set_halign(Gtk::ALIGN_CENTER);
  spinner_.set_valign(Gtk::ALIGN_CENTER);
  spinner_.set_hexpand(true);
  linkSymbol_ = symbolImage("link", 13, {"vesk-accent"});
  linkSymbol_->set_hexpand(true);
  indicator_.pack_start(spinner_, Gtk::PACK_EXPAND_WIDGET);
  indicator_.pack_start(*linkSymbol_, Gtk::PACK_EXPAND_WIDGET);
  pack_start(indicator_, Gtk::PACK_SHRINK);

  // The site drop-down: the title and a small chevron, aligned leading in the remaining width.
  title_.set_ellipsize(Pango::ELLIPSIZE_MIDDLE);
  title_.set_single_line_mode(true);
  title_.set_xalign(0);
  addClasses(title_, {"vesk-site-title"});
  menuLabel_.pack_start(title_, Gtk::PACK_SHRINK);
  menuLabel_.pack_start(*symbolImage("chevron.down", 9, {"vesk-secondary"}), Gtk::PACK_SHRINK);
  menuLabel_.set_halign(Gtk::ALIGN_START);
  menuButton_.add(menuLabel_);
  menuButton_.set_relief(Gtk::RELIEF_NONE);
  menuButton_.set_focus_on_click(false);
  menuButton_.set_tooltip_text(std::string(strings::switchWebsite()));
  setAccessibleName(menuButton_, strings::switchWebsite());
  menuButton_.set_valign(Gtk::ALIGN_CENTER);
  addClasses(menuButton_, {"vesk-menu-button"});
  menuButton_.set_popup(menu_);
  menuButton_.set_hexpand(true);
  pack_start(menuButton_, Gtk::PACK_EXPAND_WIDGET);

  addButton_ = IconButtonStyle::make("plus", strings::addAWebsite());
  searchButton_ = IconButtonStyle::make("magnifyingglass", strings::findSiteOrPasteLink());
  settingsButton_ = IconButtonStyle::make("gearshape", strings::settings());
  for (Gtk::Button* button : {addButton_, searchButton_, settingsButton_}) pack_start(*button, Gtk::PACK_SHRINK);
  addButton_->signal_clicked().connect([this] { state_.addWebsite(); });
  searchButton_->signal_clicked().connect([this] { state_.toggleSearch(); });
  settingsButton_->signal_clicked().connect([this] { state_.openSettings(); });

  show_all();
  render();
}

void SiteBar::render() {
  const bool loading = state_.pageLoading();
  spinner_.set_visible(loading);
  if (loading) {
    spinner_.start();
  } else {
    spinner_.stop();
  }
  linkSymbol_->set_visible(!loading);

  const std::string title = state_.siteMenuTitle();
  if (title_.get_text() != title) title_.set_text(title);
  rebuildMenu();
}

void SiteBar::rebuildMenu() {
  std::vector<std::string> key;
  const auto& selected = state_.model.selectedID();
  for (const LinkSite& site : state_.model.sites()) {
    key.push_back(site.id.toString() + (selected == site.id ? "*" : " ") + site.name);
  }
  if (key == menuKey_ && !menu_.get_children().empty()) return;
  menuKey_ = key;

  // Destroying a managed item removes it from the menu and frees it.
  for (Gtk::Widget* child : menu_.get_children()) gtk_widget_destroy(child->gobj());
  for (const LinkSite& site : state_.model.sites()) {
    auto* item = symbolMenuItem(selected == site.id ? "checkmark" : "globe", site.name);
    item->signal_activate().connect([this, site] { state_.chooseSite(site); });
    menu_.append(*item);
  }
  auto* separator = Gtk::make_managed<Gtk::SeparatorMenuItem>();
  separator->show();
  menu_.append(*separator);
  auto* add = symbolMenuItem({}, "Add website\u2026");
  add->signal_activate().connect([this] { state_.addWebsite(); });
  menu_.append(*add);
}

}  // namespace vesk
