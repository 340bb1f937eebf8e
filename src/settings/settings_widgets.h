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
#include <string>
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
  // action's buttons, the model's message and the session's notice.
  static std::string setButtonName(ShortcutAction action) {
    return "keys-set-button-" + std::to_string(rawValue(action));
  }
  static std::string clearButtonName(ShortcutAction action) {
    return "keys-clear-button-" + std::to_string(rawValue(action));
  }
  struct WidgetName {
    static constexpr const char* error = "keys-error";
    static constexpr const char* sessionNotice = "keys-session-notice";
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
  VeskViewState& state_;
  ShortcutRows logic_;
};

class PanelTab final : public SettingsTabView {
 public:
  explicit PanelTab(VeskViewState& state);
  void refresh() override;

  // The names of its parts (`Gtk::Widget::get_name`), for the inspector and for tests: each
  // slider with the value shown above it, and the reset button.
  static std::string scaleName(PanelSlider slider) {
    return "panel-slider-" + std::to_string(static_cast<int>(slider));
  }
  static std::string valueName(PanelSlider slider) { return "panel-value-" + std::to_string(static_cast<int>(slider)); }
  struct WidgetName {
    static constexpr const char* resetButton = "panel-reset-button";
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

  VeskViewState& state_;
  bool syncing_ = false;
};

class SiteEditor final : public Gtk::Box {
 public:
  SiteEditor(AppModel& model, std::optional<LinkSite> existing, std::function<void()> cancel,
             std::function<void()> saved);

  // The site open in the form may have changed: refills the fields when its identity did.
  void setExisting(std::optional<LinkSite> existing);

  // The names of its parts (`Gtk::Widget::get_name`), for the inspector and for tests.
  struct WidgetName {
    static constexpr const char* title = "site-editor-title";
    static constexpr const char* nameField = "site-editor-name";
    static constexpr const char* addressField = "site-editor-address";
    static constexpr const char* error = "site-editor-error";
    static constexpr const char* cancelButton = "site-editor-cancel-button";
    static constexpr const char* saveButton = "site-editor-save-button";
  };

 private:
  void fill();
  void save();

  Gtk::Label title;
  Gtk::Entry nameField;
  Gtk::Entry addressField;
  Gtk::Label error;
  Gtk::Button cancelButton;
  Gtk::Button saveButton;

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

 private:
  void rebuildList();
  Gtk::Widget* buildRow(std::size_t index);
  void rowsChanged();

  VeskViewState& state_;
  std::unique_ptr<WindowedRows> windowed_;
  std::map<Gtk::Widget*, Row> made_;
  Gtk::Box editorSlot_{Gtk::ORIENTATION_VERTICAL, 0};
  std::vector<LinkSite> shownSites_;
  bool listBuilt_ = false;
};

class AppearanceTab final : public SettingsTabView {
 public:
  explicit AppearanceTab(VeskViewState& state);
  void refresh() override;

  // The names of its parts (`Gtk::Widget::get_name`), for the inspector and for tests: each
  // theme's card and the check on the current one.
  static std::string cardName(LinkTheme theme) { return "appearance-card-" + std::string(rawValue(theme)); }
  static std::string checkName(LinkTheme theme) { return "appearance-check-" + std::string(rawValue(theme)); }

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
