// The settings tabs' own building blocks and the tab views themselves; the widget helpers they
// share with the panel are in panel/widgets.h.
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/drawingarea.h>
#include <gtkmm/entry.h>
#include <gtkmm/image.h>
#include <gtkmm/label.h>
#include <gtkmm/scale.h>
#include <gtkmm/switch.h>

#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string_view>

#include "model/strings.h"
#include "panel/widgets.h"
#include "panel/windowed_rows.h"
#include "settings/keys_settings.h"
#include "settings/panel_settings.h"
#include "settings/settings_screen.h"
#include "settings/website_settings.h"

namespace vesk {

// The section label above a tab's content ("STARTUP", …).
Gtk::Label* sectionLabel(std::string_view title);
// A managed settings card holding `child`, padded on all sides.
Gtk::Box* settingsCard(Gtk::Widget* child, int padding = 13);

class GeneralTab final : public SettingsTabView {
 public:
  GeneralTab(VeskViewState& state, SettingsServices& services);
  void refresh() override;

  Gtk::Switch loginSwitch;
  Gtk::Label* message = nullptr;
  Gtk::Button* quitButton = nullptr;

 private:
  void requested(bool on);

  VeskViewState& state_;
  SettingsServices& services_;
};

class KeysTab final : public SettingsTabView {
 public:
  explicit KeysTab(VeskViewState& state);
  void refresh() override;

  struct Row {
    ShortcutAction action;
    Gtk::Button* setButton = nullptr;
    Gtk::Button* clearButton = nullptr;
  };
  std::array<Row, 3> rows;
  Gtk::Label* error = nullptr;
  Gtk::Label* sessionNotice = nullptr;  // where the session offers no global keys

 private:
  VeskViewState& state_;
  ShortcutRows logic_;
};

class PanelTab final : public SettingsTabView {
 public:
  explicit PanelTab(VeskViewState& state);
  void refresh() override;

  struct Card {
    PanelSlider slider;
    Gtk::Label* value = nullptr;
    Gtk::Scale* scale = nullptr;
  };
  std::array<Card, 3> cards;
  Gtk::Button* resetButton = nullptr;

 private:
  void changed(Card& card);

  VeskViewState& state_;
  bool syncing_ = false;
};

class SiteEditor final : public Gtk::Box {
 public:
  SiteEditor(AppModel& model, std::optional<LinkSite> existing, std::function<void()> cancel,
             std::function<void()> saved);

  // The site open in the form may have changed: refills the fields when its identity did.
  void setExisting(std::optional<LinkSite> existing);
  const SiteEditorState& editorState() const { return state_; }

  Gtk::Label title;
  Gtk::Entry nameField;
  Gtk::Entry addressField;
  Gtk::Label error;
  Gtk::Button cancelButton;
  Gtk::Button saveButton;

 private:
  void fill();
  void save();

  SiteEditorState state_;
  std::function<void()> cancel_;
  std::function<void()> saved_;
  bool syncing_ = false;
};

class WebsitesTab final : public SettingsTabView {
 public:
  explicit WebsitesTab(VeskViewState& state);
  void refresh() override;

  // The rows built: those in view and a few beyond (see WindowedRows).
  struct Row {
    LinkSite site;
    std::size_t index = 0;  // in the model's list
    Gtk::Label* name = nullptr;
    Gtk::Button* up = nullptr;
    Gtk::Button* down = nullptr;
    Gtk::Button* edit = nullptr;
    Gtk::Button* remove = nullptr;
  };
  std::vector<Row> rows;
  std::size_t dividerCount = 0;  // dividers among the built rows
  Gtk::Box list;
  Gtk::Button* addButton = nullptr;
  SiteEditor* editor = nullptr;
  // The sites with stored permission answers: one line listing them and a button that forgets them.
  struct PermissionRow {
    SitePermissionLine line;
    Gtk::Label* summary = nullptr;
    Gtk::Button* reset = nullptr;
  };
  std::vector<PermissionRow> permissionRows;

 private:
  void rebuildList();
  void rebuildPermissions();
  Gtk::Widget* buildRow(std::size_t index);
  void rowsChanged();

  VeskViewState& state_;
  WebsiteFormBinding form_;
  std::unique_ptr<WindowedRows> windowed_;
  std::map<Gtk::Widget*, Row> made_;
  Gtk::Box editorSlot_{Gtk::ORIENTATION_VERTICAL, 0};
  std::vector<LinkSite> shownSites_;
  bool listBuilt_ = false;
  Gtk::Label* permissionsHeading_ = nullptr;
  Gtk::Box permissionList_{Gtk::ORIENTATION_VERTICAL, 0};
  std::vector<SitePermissionLine> shownPermissions_;
};

class AppearanceTab final : public SettingsTabView {
 public:
  explicit AppearanceTab(VeskViewState& state);
  void refresh() override;

  struct Card {
    LinkTheme theme;
    Gtk::Button* button = nullptr;
    Gtk::Widget* check = nullptr;
  };
  std::array<Card, 3> cards;

 private:
  VeskViewState& state_;
};

}  // namespace vesk
