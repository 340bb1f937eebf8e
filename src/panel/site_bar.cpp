#include "panel/site_bar.h"

#include <gtkmm/menuitem.h>
#include <gtkmm/separator.h>
#include <gtkmm/separatormenuitem.h>

#include "model/strings.h"
#include "model/text.h"

#include "panel/symbols.h"
#include "panel/widgets.h"

namespace vesk {

namespace {

// The height of a row of the pop-over list, and the most of it shown before it scrolls.
constexpr int listRowHeight = 28;
constexpr int listMaxHeight = 420;
constexpr int listWidth = 280;
// The most of a page address the title shows.
constexpr std::size_t titleAddressLength = 4096;

// A symbol and a one-line text, as the drop-down shows a site; with `unread`, a dot after the
// text, which a screen reader reads as the row's description.
Gtk::Box* symbolRow(std::string_view symbol, const std::string& text, bool unread = false) {
  auto* row = Gtk::make_managed<Gtk::Box>(Gtk::ORIENTATION_HORIZONTAL, 8);
  if (!symbol.empty()) {
    row->pack_start(*symbolImage(symbol, 12), Gtk::PACK_SHRINK);
  } else {
    auto* blank = Gtk::make_managed<Gtk::Box>();
    blank->set_size_request(symbolPixelSize(12), -1);
    row->pack_start(*blank, Gtk::PACK_SHRINK);
  }
  auto* label = styledLabel(text, {}, LabelFlow::ellipsized);
  label->set_max_width_chars(60);
  row->pack_start(*label, Gtk::PACK_EXPAND_WIDGET);
  if (unread) {
    auto* dot = styledLabel("\u25cf", {"vesk-unread-dot"});
    dot->set_name(SiteBar::WidgetName::unreadDot);
    row->pack_start(*dot, Gtk::PACK_SHRINK);
  }
  return row;
}

// A menu item with a leading symbol.
Gtk::MenuItem* symbolMenuItem(std::string_view symbol, const std::string& text, bool unread = false) {
  auto* item = Gtk::make_managed<Gtk::MenuItem>();
  item->add(*symbolRow(symbol, text, unread));
  if (unread) setAccessibleDescription(*item, strings::unreadMark());
  item->show_all();
  return item;
}

}  // namespace

SiteBar::SiteBar(VeskViewState& state) : Gtk::Box(Gtk::ORIENTATION_HORIZONTAL, 10), state_(state) {
  addClasses(*this, {"vesk-site-bar"});
  set_name(WidgetName::siteBar);
  set_size_request(-1, 43);

  // Spinner while loading, otherwise the link symbol, in a 17-point square.
  indicator_.set_size_request(17, 17);
  indicator_.set_valign(Gtk::ALIGN_CENTER);
  indicator_.set_hexpand(false);  // its centred children must not make it take spare width
  spinner_.set_name(WidgetName::spinner);
  spinner_.set_size_request(12, 12);
  spinner_.set_halign(Gtk::ALIGN_CENTER);
  spinner_.set_valign(Gtk::ALIGN_CENTER);
  spinner_.set_hexpand(true);
  linkSymbol_ = symbolImage("link", 13, {"vesk-accent"});
  linkSymbol_->set_name(WidgetName::linkSymbol);
  linkSymbol_->set_hexpand(true);
  indicator_.pack_start(spinner_, Gtk::PACK_EXPAND_WIDGET);
  indicator_.pack_start(*linkSymbol_, Gtk::PACK_EXPAND_WIDGET);
  pack_start(indicator_, Gtk::PACK_SHRINK);

  // The site drop-down: the title and a small chevron, aligned leading in the remaining width.
  title_.set_name(WidgetName::title);
  title_.set_ellipsize(Pango::ELLIPSIZE_MIDDLE);
  title_.set_single_line_mode(true);
  title_.set_xalign(0);
  addClasses(title_, {"vesk-site-title"});
  menuLabel_.pack_start(title_, Gtk::PACK_SHRINK);
  menuLabel_.pack_start(*symbolImage("chevron.down", 9, {"vesk-secondary"}), Gtk::PACK_SHRINK);
  otherUnread_ = styledLabel("\u25cf", {"vesk-unread-dot"});
  otherUnread_->set_name(WidgetName::otherUnreadDot);
  otherUnread_->set_no_show_all(true);
  menuLabel_.pack_start(*otherUnread_, Gtk::PACK_SHRINK);
  menuLabel_.set_halign(Gtk::ALIGN_START);
  menuButton_.set_name(WidgetName::menuButton);
  menuButton_.add(menuLabel_);
  menuButton_.set_relief(Gtk::RELIEF_NONE);
  menuButton_.set_focus_on_click(false);
  menuButton_.set_tooltip_text(std::string(strings::switchWebsite()));
  // A screen reader reads the title shown on the button (set with it in render) and then what
  // the button does.
  setAccessibleDescription(menuButton_, strings::switchWebsite());
  menuButton_.set_valign(Gtk::ALIGN_CENTER);
  addClasses(menuButton_, {"vesk-menu-button"});
  menuButton_.set_popup(menu_);
  menuButton_.set_hexpand(true);

  // The pop-over list for many sites: the sites scroll, "Add website…" stays below them.
  auto* content = Gtk::make_managed<Gtk::Box>(Gtk::ORIENTATION_VERTICAL, 4);
  setMargins(*content, 6);
  listScroll_.set_policy(Gtk::POLICY_NEVER, Gtk::POLICY_AUTOMATIC);
  listScroll_.set_size_request(listWidth, listMaxHeight);
  listScroll_.add(list_);
  content->pack_start(listScroll_, Gtk::PACK_EXPAND_WIDGET);
  content->pack_start(*Gtk::make_managed<Gtk::Separator>(), Gtk::PACK_SHRINK);
  auto* add = Gtk::make_managed<Gtk::Button>();
  add->add(*symbolRow({}, std::string(strings::addWebsiteMenuItem())));
  add->set_relief(Gtk::RELIEF_NONE);
  addClasses(*add, {"vesk-site-choice"});
  add->signal_clicked().connect([this] {
    popover_.popdown();
    state_.addWebsite();
  });
  content->pack_start(*add, Gtk::PACK_SHRINK);
  content->show_all();
  popover_.add(*content);
  popover_.set_position(Gtk::POS_BOTTOM);
  listRows_ =
      std::make_unique<WindowedRows>(list_, listRowHeight, 0, [this](std::size_t i) { return buildListRow(i); });
  pack_start(menuButton_, Gtk::PACK_EXPAND_WIDGET);

  addButton_ = IconButtonStyle::make("plus", strings::addAWebsite());
  searchButton_ = IconButtonStyle::make("magnifyingglass", strings::findSiteOrPasteLink());
  settingsButton_ = IconButtonStyle::make("gearshape", strings::settings());
  addButton_->set_name(WidgetName::addButton);
  searchButton_->set_name(WidgetName::searchButton);
  settingsButton_->set_name(WidgetName::settingsButton);
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

  // A site's name is cut as in the lists; a page address (which may be long) much later.
  std::string title = state_.siteMenuTitle();
  auto site = state_.model.selectedSite();
  title = text::shownOnOneLine(title, site && title == site->name ? shownNameLength : titleAddressLength);
  if (title_.get_text() != title) {
    title_.set_text(title);
    setAccessibleName(menuButton_, title);
  }
  // Another site has something unread: the drop-down says so before it is opened.
  const auto& unread = state_.model.unreadSites();
  const auto& selected = state_.model.selectedID();
  const bool otherUnread = unread.size() > (selected && unread.count(*selected) ? 1u : 0u);
  if (otherUnread_->get_visible() != otherUnread) {
    otherUnread_->set_visible(otherUnread);
    setAccessibleDescription(menuButton_, otherUnread ? strings::switchWebsiteUnread() : strings::switchWebsite());
  }
  rebuildMenu();
}

Gtk::Widget* SiteBar::buildListRow(std::size_t index) {
  const LinkSite& site = listSites_[index];
  auto* button = Gtk::make_managed<Gtk::Button>();
  const bool unread = listUnread_.count(site.id) > 0;
  button->add(*symbolRow(state_.model.selectedID() == site.id ? "checkmark" : "globe", site.shownName(), unread));
  if (unread) setAccessibleDescription(*button, strings::unreadMark());
  button->set_relief(Gtk::RELIEF_NONE);
  button->set_size_request(-1, listRowHeight);
  addClasses(*button, {"vesk-site-choice"});
  button->signal_clicked().connect([this, site] {
    popover_.popdown();
    state_.chooseSite(site);
  });
  return button;
}

void SiteBar::rebuildList() {
  const bool many = state_.model.sites->size() > menuLimit;
  if (many != usesList_) {
    usesList_ = many;
    if (many) {
      menuButton_.set_popover(popover_);
    } else {
      menuButton_.set_popup(menu_);
    }
  }
  if (!many) {
    listSites_.clear();
    listRows_->reset(0);
    return;
  }
  if (listSites_ == state_.model.sites() && listSelected_ == state_.model.selectedID() &&
      listUnread_ == state_.model.unreadSites())
    return;
  listSites_ = state_.model.sites();
  listSelected_ = state_.model.selectedID();
  listUnread_ = state_.model.unreadSites();
  listRows_->reset(listSites_.size());
}

void SiteBar::rebuildMenu() {
  rebuildList();
  if (usesList_) {
    for (Gtk::Widget* child : menu_.get_children()) gtk_widget_destroy(child->gobj());
    menuKey_.clear();
    return;
  }
  std::vector<std::string> key;
  const auto& selected = state_.model.selectedID();
  const auto& unread = state_.model.unreadSites();
  for (const LinkSite& site : state_.model.sites()) {
    key.push_back(site.id.toString() + (selected == site.id ? "*" : " ") + (unread.count(site.id) ? "!" : " ") +
                  site.name);
  }
  if (key == menuKey_ && !menu_.get_children().empty()) return;
  menuKey_ = key;

  // Destroying a managed item removes it from the menu and frees it.
  for (Gtk::Widget* child : menu_.get_children()) gtk_widget_destroy(child->gobj());
  for (const LinkSite& site : state_.model.sites()) {
    auto* item =
        symbolMenuItem(selected == site.id ? "checkmark" : "globe", site.shownName(), unread.count(site.id) > 0);
    item->signal_activate().connect([this, site] { state_.chooseSite(site); });
    menu_.append(*item);
  }
  auto* separator = Gtk::make_managed<Gtk::SeparatorMenuItem>();
  separator->show();
  menu_.append(*separator);
  auto* add = symbolMenuItem({}, std::string(strings::addWebsiteMenuItem()));
  add->signal_activate().connect([this] { state_.addWebsite(); });
  menu_.append(*add);
}

}  // namespace vesk
