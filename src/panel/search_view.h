// The search row (field, paste and clear buttons) and the results list that replaces the browser
// area while the field holds text.
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/entry.h>
#include <gtkmm/label.h>

#include <string>
#include <vector>

#include "panel/vesk_view_state.h"
#include "panel/widgets.h"

namespace vesk {

class SearchRow : public Gtk::Box {
 public:
  explicit SearchRow(VeskViewState& state);

  void render();

  // The names of its parts (`Gtk::Widget::get_name`), for the inspector and for tests.
  struct WidgetName {
    static constexpr const char* row = "search-row";
    static constexpr const char* fieldFrame = "search-field-frame";
    static constexpr const char* field = "search-field";
    static constexpr const char* pasteButton = "search-paste-button";
    static constexpr const char* clearButton = "search-clear-button";
  };

 private:
  VeskViewState& state_;
  Gtk::Box frame_{Gtk::ORIENTATION_HORIZONTAL, 10};
  Gtk::Entry field_;
  Gtk::Button* pasteButton_;
  Gtk::Button clearButton_;
  bool updatingField_ = false;
};

class SearchResults : public ShrinkableBin {
 public:
  explicit SearchResults(VeskViewState& state);

  void render();

  // The names of its parts (`Gtk::Widget::get_name`), for the inspector and for tests. The
  // rows shown now are the children of `rows`, in order: one per match, then the quick-add row
  // when offered.
  struct WidgetName {
    static constexpr const char* results = "search-results";
    static constexpr const char* heading = "search-results-heading";
    static constexpr const char* rows = "search-results-rows";
    static constexpr const char* quickAddRow = "search-quick-add-row";
    static constexpr const char* noMatches = "search-no-matches";
  };

 private:
  Gtk::Button* resultRow(const LinkSite& site);
  Gtk::Button* quickAddButton();

  VeskViewState& state_;
  Gtk::Box list_{Gtk::ORIENTATION_VERTICAL, 5};
  Gtk::Label* heading_;
  Gtk::Box rowsBox_{Gtk::ORIENTATION_VERTICAL, 5};
  Gtk::Label* noMatches_;
  std::string renderedQuery_;
  std::vector<LinkSite> renderedSites_;
  bool rendered_ = false;
};

}  // namespace vesk
