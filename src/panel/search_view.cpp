#include "panel/search_view.h"

#include <utility>

#include "model/link_site.h"

namespace vesk {

SearchRow::SearchRow(VeskViewState& state) : Gtk::Box(Gtk::ORIENTATION_VERTICAL), state_(state) {
  // The rounded field, padded 16 left and right, 14 above and 12 below.
  set_margin_start(16);
  set_margin_end(16);
  set_margin_top(14);
  set_margin_bottom(12);
  addClasses(frame_, {"vesk-search-field"});
  frame_.set_size_request(-1, 39);
  pack_start(frame_, Gtk::PACK_SHRINK);

  auto* magnifier = symbolImage("magnifyingglass", 13, {"vesk-secondary"});
  frame_.pack_start(*magnifier, Gtk::PACK_SHRINK);

  field_.set_placeholder_text(std::string(strings::findSiteOrPasteLink()));
  field_.set_has_frame(false);
  field_.set_hexpand(true);
  field_.set_valign(Gtk::ALIGN_CENTER);
  field_.set_width_chars(1);
  // The field itself cuts what is typed or pasted, before laying it out: a pasted 20 MB text
  // would otherwise hold the panel for seconds, however quickly it is matched.
  field_.set_max_length(static_cast<int>(searchQueryLimit));
  addClasses(field_, {"vesk-search-entry"});
  frame_.pack_start(field_, Gtk::PACK_EXPAND_WIDGET);
  field_.signal_changed().connect([this] {
    if (!updatingField_) state_.setQuery(field_.get_text());
  });
  field_.signal_activate().connect([this] { state_.openFirstResult(); });
  field_.signal_focus_in_event().connect(
      [this](GdkEventFocus*) {
        state_.setSearchFocused(true);
        return false;
      },
      false);
  field_.signal_focus_out_event().connect(
      [this](GdkEventFocus*) {
        state_.setSearchFocused(false);
        return false;
      },
      false);

  pasteButton_ = IconButtonStyle::make("doc.on.clipboard", strings::addLinkFromClipboard());
  pasteButton_->signal_clicked().connect([this] { state_.pasteClipboardLink(); });
  frame_.pack_start(*pasteButton_, Gtk::PACK_SHRINK);

  clearButton_.set_image(*symbolImage("xmark.circle.fill", 13, {"vesk-secondary"}));
  clearButton_.set_always_show_image(true);
  clearButton_.set_relief(Gtk::RELIEF_NONE);
  clearButton_.set_focus_on_click(false);
  clearButton_.set_valign(Gtk::ALIGN_CENTER);
  addClasses(clearButton_, {"vesk-plain-button"});
  setAccessibleName(clearButton_, strings::clearSearch());
  clearButton_.signal_clicked().connect([this] { state_.clearQuery(); });
  frame_.pack_start(clearButton_, Gtk::PACK_SHRINK);

  show_all();
  render();
}

void SearchRow::render() {
  const std::string& query = state_.query();
  if (field_.get_text() != query) {
    updatingField_ = true;
    field_.set_text(query);
    field_.set_position(-1);
    updatingField_ = false;
  }
  clearButton_.set_visible(!query.empty());
  // Focus follows the state: the search button asks for it a moment after opening the row.
  if (state_.searchFocused() && get_mapped() && !field_.has_focus()) field_.grab_focus_without_selecting();
}

SearchResults::SearchResults(VeskViewState& state) : state_(state) {
  add(list_);
  list_.set_valign(Gtk::ALIGN_START);

  heading_ = styledLabel("SITES", {"vesk-results-heading"}, LabelFlow::leading);
  heading_->set_margin_start(16);
  heading_->set_margin_end(16);
  heading_->set_margin_top(4);
  list_.pack_start(*heading_, Gtk::PACK_SHRINK);
  list_.pack_start(rowsBox_, Gtk::PACK_SHRINK);

  noMatches_ = styledLabel(strings::noMatchingSites(), {"vesk-no-matches"}, LabelFlow::leading);
  noMatches_->set_margin_start(17);
  noMatches_->set_margin_end(17);
  noMatches_->set_margin_top(10);
  list_.pack_start(*noMatches_, Gtk::PACK_SHRINK);

  show_all();
  render();
}

namespace {

// A flat row button of the results, 16 in from both sides: a box of `height` with the result-row
// look, led by `symbol` in the accent colour in a 20-point column. The caller fills the box.
std::pair<Gtk::Button*, Gtk::Box*> rowButton(std::initializer_list<const char*> classes, int height,
                                             std::string_view symbol) {
  auto* button = Gtk::make_managed<Gtk::Button>();
  button->set_relief(Gtk::RELIEF_NONE);
  button->set_focus_on_click(false);
  addClasses(*button, classes);
  button->set_margin_start(16);
  button->set_margin_end(16);

  auto* row = Gtk::make_managed<Gtk::Box>(Gtk::ORIENTATION_HORIZONTAL, 11);
  addClasses(*row, {"vesk-result-row"});
  row->set_size_request(-1, height);
  auto* image = symbolImage(symbol, 13, {"vesk-accent"});
  image->set_size_request(20, -1);
  row->pack_start(*image, Gtk::PACK_SHRINK);
  button->add(*row);
  return {button, row};
}

}  // namespace

Gtk::Button* SearchResults::resultRow(const LinkSite& site) {
  auto [button, row] = rowButton({"vesk-row-button"}, 48, "globe");
  auto* texts = Gtk::make_managed<Gtk::Box>(Gtk::ORIENTATION_VERTICAL, 2);
  texts->set_valign(Gtk::ALIGN_CENTER);
  texts->pack_start(*styledLabel(site.shownName(), {"vesk-result-name"}, LabelFlow::ellipsized), Gtk::PACK_SHRINK);
  texts->pack_start(*styledLabel(site.host(), {"vesk-result-host"}, LabelFlow::ellipsized), Gtk::PACK_SHRINK);
  row->pack_start(*texts, Gtk::PACK_EXPAND_WIDGET);
  row->pack_end(*symbolImage("return", 10, {"vesk-secondary"}), Gtk::PACK_SHRINK);

  button->signal_clicked().connect([this, site] { state_.chooseResult(site); });
  button->show_all();
  return button;
}

Gtk::Button* SearchResults::quickAddButton() {
  auto [button, row] = rowButton({"vesk-row-button", "vesk-quick-add"}, 43, "plus");
  row->pack_start(*styledLabel(strings::addAndOpenLink(), {"vesk-quick-add-text"}, LabelFlow::leading),
                  Gtk::PACK_EXPAND_WIDGET);
  button->signal_clicked().connect([this] { state_.addPastedLink(); });
  button->show_all();
  return button;
}

void SearchResults::render() {
  const std::string& query = state_.query();
  const auto& sites = state_.model.sites();
  if (rendered_ && query == renderedQuery_ && sites == renderedSites_) return;
  rendered_ = true;
  renderedQuery_ = query;
  renderedSites_ = sites;

  for (Gtk::Widget* child : rowsBox_.get_children()) gtk_widget_destroy(child->gobj());
  rows_.clear();
  quickAdd_ = nullptr;

  const auto found = state_.matches();
  for (const LinkSite& site : found) {
    rows_.push_back(resultRow(site));
    rowsBox_.pack_start(*rows_.back(), Gtk::PACK_SHRINK);
  }
  if (state_.offersQuickAdd()) {
    quickAdd_ = quickAddButton();
    rows_.push_back(quickAdd_);
    rowsBox_.pack_start(*quickAdd_, Gtk::PACK_SHRINK);
  }
  rowsBox_.set_visible(!rows_.empty());
  noMatches_->set_visible(state_.showsNoMatches());
}

}  // namespace vesk
