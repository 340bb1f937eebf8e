// The settings tabs' parts as tests reach them: by the names the tabs give them (`set_name`),
// inside the tab (or the site editor) `root`. Rows and cards are counted as the tabs list them:
// `allShortcutActions`, `allPanelSliders`, `allLinkThemes`.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "settings/settings_widgets.h"
#include "support/named_widgets.h"

namespace vesk::testing {

// General
inline Gtk::Switch& loginSwitch(Gtk::Widget& root) {
  return named<Gtk::Switch>(root, GeneralTab::WidgetName::loginSwitch);
}
inline Gtk::Label& loginMessage(Gtk::Widget& root) { return named<Gtk::Label>(root, GeneralTab::WidgetName::message); }
inline Gtk::Button& quitButton(Gtk::Widget& root) {
  return named<Gtk::Button>(root, GeneralTab::WidgetName::quitButton);
}

// Keys
inline Gtk::Button& setButton(Gtk::Widget& root, std::size_t row) {
  return named<Gtk::Button>(root, KeysTab::setButtonName(allShortcutActions.at(row)));
}
// Null for the row without one (the show combination is never cleared).
inline Gtk::Button* clearButton(Gtk::Widget& root, std::size_t row) {
  return findNamed<Gtk::Button>(root, KeysTab::clearButtonName(allShortcutActions.at(row)));
}
inline Gtk::Label& shortcutError(Gtk::Widget& root) { return named<Gtk::Label>(root, KeysTab::WidgetName::error); }
inline Gtk::Label& sessionNotice(Gtk::Widget& root) {
  return named<Gtk::Label>(root, KeysTab::WidgetName::sessionNotice);
}

// Panel
inline Gtk::Label& panelValue(Gtk::Widget& root, std::size_t card) {
  return named<Gtk::Label>(root, PanelTab::valueName(allPanelSliders.at(card)));
}
inline Gtk::Scale& panelScale(Gtk::Widget& root, std::size_t card) {
  return named<Gtk::Scale>(root, PanelTab::scaleName(allPanelSliders.at(card)));
}
inline Gtk::Switch& lessMemorySwitch(Gtk::Widget& root) {
  return named<Gtk::Switch>(root, PanelTab::WidgetName::lessMemorySwitch);
}
inline Gtk::Button& resetButton(Gtk::Widget& root) {
  return named<Gtk::Button>(root, PanelTab::WidgetName::resetButton);
}

// Appearance
inline Gtk::Button& themeCard(Gtk::Widget& root, std::size_t card) {
  return named<Gtk::Button>(root, AppearanceTab::cardName(allLinkThemes.at(card)));
}
inline Gtk::Widget& themeCheck(Gtk::Widget& root, std::size_t card) {
  return named(root, AppearanceTab::checkName(allLinkThemes.at(card)));
}

// Websites: the rows built, in the list's order.
struct SiteRow {
  std::string name;   // the site's name as the row shows it
  Gtk::Widget* line;  // the name and host with the buttons
  Gtk::Button* up;
  Gtk::Button* down;
  Gtk::Button* edit;
  Gtk::Button* remove;
};
inline std::vector<SiteRow> siteRows(Gtk::Widget& root) {
  using Name = WebsitesTab::WidgetName;
  std::vector<SiteRow> rows;
  for (Gtk::Box* row : allNamed<Gtk::Box>(root, Name::row)) {
    rows.push_back({named<Gtk::Label>(*row, Name::rowName).get_text(), &named<Gtk::Box>(*row, Name::rowLine),
                    &named<Gtk::Button>(*row, Name::upButton), &named<Gtk::Button>(*row, Name::downButton),
                    &named<Gtk::Button>(*row, Name::editButton), &named<Gtk::Button>(*row, Name::removeButton)});
  }
  return rows;
}
inline std::size_t siteDividers(Gtk::Widget& root) { return allNamed(root, WebsitesTab::WidgetName::divider).size(); }
inline Gtk::Box& siteList(Gtk::Widget& root) { return named<Gtk::Box>(root, WebsitesTab::WidgetName::list); }
inline Gtk::Button& addSiteButton(Gtk::Widget& root) {
  return named<Gtk::Button>(root, WebsitesTab::WidgetName::addButton);
}
// Null while the editor is closed.
inline SiteEditor* siteEditor(Gtk::Widget& root) { return findNamed<SiteEditor>(root, SiteEditor::WidgetName::editor); }

// The site editor
inline Gtk::Label& editorTitle(Gtk::Widget& root) { return named<Gtk::Label>(root, SiteEditor::WidgetName::title); }
inline Gtk::Entry& nameField(Gtk::Widget& root) { return named<Gtk::Entry>(root, SiteEditor::WidgetName::nameField); }
inline Gtk::Entry& addressField(Gtk::Widget& root) {
  return named<Gtk::Entry>(root, SiteEditor::WidgetName::addressField);
}
inline Gtk::Label& editorError(Gtk::Widget& root) { return named<Gtk::Label>(root, SiteEditor::WidgetName::error); }
inline Gtk::Button& cancelButton(Gtk::Widget& root) {
  return named<Gtk::Button>(root, SiteEditor::WidgetName::cancelButton);
}
inline Gtk::Button& saveButton(Gtk::Widget& root) {
  return named<Gtk::Button>(root, SiteEditor::WidgetName::saveButton);
}

}  // namespace vesk::testing
