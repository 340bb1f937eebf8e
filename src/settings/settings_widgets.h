// The settings tabs' own building blocks and the tab views themselves; the widget helpers they
// share with the panel are in panel/widgets.h.
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/drawingarea.h>
#include <gtkmm/entry.h>
#include <gtkmm/image.h>
#include <gtkmm/label.h>
#include <gtkmm/radiobutton.h>
#include <gtkmm/scale.h>
#include <gtkmm/switch.h>

#include <array>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

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

// The name of one of a row of like parts: "keys-set-button-1".
template <class Key>
std::string partName(std::string_view part, Key key) {
  if constexpr (std::is_arithmetic_v<Key>)
    return std::string(part) + "-" + std::to_string(key);
  else
    return std::string(part) + "-" + std::string(key);
}

class GeneralTab final : public SettingsTabView {
 public:
  GeneralTab(VeskViewState& state, SettingsServices& services);
  void refresh() override;

  // The names of its parts (`Gtk::Widget::get_name`), for the inspector and for tests.
  struct WidgetName {
    static constexpr const char* loginSwitch = "general-login-switch";
    static constexpr const char* message = "general-login-message";
    static constexpr const char* quitButton = "general-quit-button";
  };

 private:
  void requested(bool on);

  Gtk::Switch loginSwitch;
  Gtk::Label* message = nullptr;
  Gtk::Button* quitButton = nullptr;

  VeskViewState& state_;
  SettingsServices& services_;
};

class KeysTab final : public SettingsTabView {
 public:
  explicit KeysTab(VeskViewState& state);
  void refresh() override;

  // The names of its parts (`Gtk::Widget::get_name`), for the inspector and for tests: each
  // action's buttons (`partName`), the model's message and the session's notice.
  static std::string setButtonName(ShortcutAction action) { return partName("keys-set-button", rawValue(action)); }
  static std::string clearButtonName(ShortcutAction action) { return partName("keys-clear-button", rawValue(action)); }
  struct WidgetName {
    static constexpr const char* error = "keys-error";
    static constexpr const char* sessionNotice = "keys-session-notice";
    static constexpr const char* bindingLines = "keys-binding-lines";
    static constexpr const char* copyButton = "keys-copy-button";
    static constexpr const char* desktopSwitch = "keys-desktop-switch";
  };

 private:
  struct Row {
    ShortcutAction action;
    Gtk::Button* setButton = nullptr;
    Gtk::Button* clearButton = nullptr;
  };
  std::array<Row, 3> rows;
  Gtk::Label* error = nullptr;
  Gtk::Label* sessionNotice = nullptr;  // where the session offers no global keys
  Gtk::Box* linesRow = nullptr;         // the lines to add there, with their Copy button
  Gtk::Label* bindingLines = nullptr;
  Gtk::Box* desktopCard = nullptr;  // GNOME's custom shortcuts, where the session has them
  Gtk::Switch desktopSwitch;
  VeskViewState& state_;
  ShortcutRows logic_;
};

class PanelTab final : public SettingsTabView {
 public:
  explicit PanelTab(VeskViewState& state);
  void refresh() override;

  // The names of its parts (`Gtk::Widget::get_name`), for the inspector and for tests: each
  // slider with the value shown above it, and the reset button.
  static std::string scaleName(PanelSlider slider) { return partName("panel-slider", static_cast<int>(slider)); }
  static std::string valueName(PanelSlider slider) { return partName("panel-value", static_cast<int>(slider)); }
  struct WidgetName {
    static constexpr const char* resetButton = "panel-reset-button";
    static constexpr const char* lessMemorySwitch = "panel-less-memory-switch";
  };

 private:
  struct Card {
    PanelSlider slider;
    Gtk::Label* value = nullptr;
    Gtk::Scale* scale = nullptr;
  };
  void changed(Card& card);

  std::array<Card, 3> cards;
  Gtk::Button* resetButton = nullptr;
  Gtk::Switch lessMemorySwitch;

  VeskViewState& state_;
  bool syncing_ = false;
};

class SiteEditor final : public Gtk::Box {
 public:
  SiteEditor(AppModel& model, std::optional<LinkSite> existing, std::function<void()> cancel,
             std::function<void()> saved);

  // The site open in the form may have changed: refills the fields when its identity did.
  void setExisting(std::optional<LinkSite> existing);

  // The names of the editor and its parts (`Gtk::Widget::get_name`), for the inspector and for tests.
  struct WidgetName {
    static constexpr const char* editor = "site-editor";
    static constexpr const char* title = "site-editor-title";
    static constexpr const char* nameField = "site-editor-name";
    static constexpr const char* addressField = "site-editor-address";
    static constexpr const char* error = "site-editor-error";
    static constexpr const char* cancelButton = "site-editor-cancel-button";
    static constexpr const char* saveButton = "site-editor-save-button";
    static constexpr const char* permissions = "site-editor-permissions";
  };

 private:
  void fill();
  void fillPermissions();
  void save();

  Gtk::Label title;
  Gtk::Entry nameField;
  Gtk::Entry addressField;
  Gtk::Label error;
  Gtk::Button cancelButton;
  Gtk::Button saveButton;
  // The stored site's answers: per kind, Allow, Block and Ask.
  Gtk::Box permissions{Gtk::ORIENTATION_VERTICAL, 6};
  std::vector<SitePermissionChoice> shownChoices_;
  std::vector<std::array<Gtk::RadioButton*, 3>> choiceButtons_;

  SiteEditorState state_;
  std::function<void()> cancel_;
  std::function<void()> saved_;
  bool syncing_ = false;
};

class WebsitesTab final : public SettingsTabView {
 public:
  explicit WebsitesTab(VeskViewState& state);
  void refresh() override;

  // The names of its parts (`Gtk::Widget::get_name`), for the inspector and for tests: the list,
  // each row built (those in view and a few beyond, see WindowedRows) with its line, name, buttons
  // and the divider under all but the last, and the add button.
  struct WidgetName {
    static constexpr const char* list = "websites-list";
    static constexpr const char* row = "websites-row";
    static constexpr const char* rowLine = "websites-row-line";
    static constexpr const char* rowName = "websites-row-name";
    static constexpr const char* upButton = "websites-row-up-button";
    static constexpr const char* downButton = "websites-row-down-button";
    static constexpr const char* editButton = "websites-row-edit-button";
    static constexpr const char* removeButton = "websites-row-remove-button";
    static constexpr const char* divider = "websites-row-divider";
    static constexpr const char* addButton = "websites-add-button";
    // The sites with stored permission answers: a row each with the line listing them and the
    // button that forgets them.
    static constexpr const char* permissionRow = "websites-permission-row";
    static constexpr const char* permissionSummary = "websites-permission-summary";
    static constexpr const char* resetPermissionsButton = "websites-reset-permissions-button";
  };

 private:
  void rebuildList();
  void rebuildPermissions();
  Gtk::Widget* buildRow(std::size_t index);

  Gtk::Box list;
  Gtk::Button* addButton = nullptr;
  SiteEditor* editor = nullptr;
  VeskViewState& state_;
  std::unique_ptr<WindowedRows> windowed_;
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

  // The names of its parts (`Gtk::Widget::get_name`), for the inspector and for tests: each
  // theme's card and the check on the current one.
  static std::string cardName(LinkTheme theme) { return partName("appearance-card", rawValue(theme)); }
  static std::string checkName(LinkTheme theme) { return partName("appearance-check", rawValue(theme)); }

 private:
  struct Card {
    LinkTheme theme;
    Gtk::Button* button = nullptr;
    Gtk::Widget* check = nullptr;
  };
  std::array<Card, 3> cards;

  VeskViewState& state_;
};

}  // namespace vesk
