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

  Gtk::Entry& field() { return field_; }
  Gtk::Widget& fieldFrame() { return frame_; }
  Gtk::Button& pasteButton() { return *pasteButton_; }
  Gtk::Button& clearButton() { return clearButton_; }

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

  Gtk::Label& heading() { return *heading_; }
  // The rows shown now, in order: one per match, then the quick-add row when offered.
  const std::vector<Gtk::Button*>& rows() const { return rows_; }
  Gtk::Button* quickAddRow() const { return quickAdd_; }
  Gtk::Label& noMatches() { return *noMatches_; }

 private:
  Gtk::Button* resultRow(const LinkSite& site);
  Gtk::Button* quickAddButton();

  VeskViewState& state_;
  Gtk::Box list_{Gtk::ORIENTATION_VERTICAL, 5};
  Gtk::Label* heading_;
  Gtk::Box rowsBox_{Gtk::ORIENTATION_VERTICAL, 5};
  Gtk::Label* noMatches_;
  std::vector<Gtk::Button*> rows_;
  Gtk::Button* quickAdd_ = nullptr;
  std::string renderedQuery_;
  std::vector<LinkSite> renderedSites_;
  bool rendered_ = false;
};

}  // namespace vesk
