// The settings tabs' parts as tests reach them: by the names the tabs give them (`set_name`),
// inside the tab (or the site editor) `root`. Rows and cards are counted as the tabs list them:
// `allShortcutActions`, `allPanelSliders`, `allLinkThemes`.
#pragma once

#include <cstddef>

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
