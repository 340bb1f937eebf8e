// The Websites tab: the saved sites with move, edit and remove buttons, and the inline form.
#include <algorithm>
#include <map>

#include "model/text.h"
#include "settings/settings_widgets.h"

namespace vesk {

namespace {
// The height of a site row; a divider of one pixel follows every row but the last.
constexpr int rowHeight = 51;
}  // namespace

// ---- Site editor -----------------------------------------------------------------------------

SiteEditor::SiteEditor(AppModel& model, std::optional<LinkSite> existing, std::function<void()> cancel,
                       std::function<void()> saved)
    : Gtk::Box(Gtk::ORIENTATION_VERTICAL, 0),
      state_(model, std::move(existing)),
      cancel_(std::move(cancel)),
      saved_(std::move(saved)) {
  set_name(WidgetName::editor);
  addClasses(*this, {"settings-card"});
  auto* stack = Gtk::manage(new Gtk::Box(Gtk::ORIENTATION_VERTICAL, 10));
  setMargins(*stack, 13);

  title.set_name(WidgetName::title);
  nameField.set_name(WidgetName::nameField);
  addressField.set_name(WidgetName::addressField);
  error.set_name(WidgetName::error);
  cancelButton.set_name(WidgetName::cancelButton);
  saveButton.set_name(WidgetName::saveButton);
  setLabelFlow(title, LabelFlow::leading);
  addClasses(title, {"settings-form-title"});
  stack->pack_start(title, Gtk::PACK_SHRINK);

  auto setUpField = [&](Gtk::Entry& field, std::string_view placeholder, std::string& bound) {
    field.set_placeholder_text(std::string(placeholder));
    field.set_has_frame(false);
    field.set_activates_default(false);
    setAccessibleName(field, placeholder);
    addClasses(field, {"settings-field"});
    field.signal_changed().connect([this, &field, &bound] {
      if (!syncing_) bound = field.get_text();
    });
    stack->pack_start(field, Gtk::PACK_SHRINK);
  };
  setUpField(nameField, strings::namePlaceholder(), state_.name);
  setUpField(addressField, strings::addressPlaceholder(), state_.address);

  permissions.set_name(WidgetName::permissions);
  permissions.set_margin_top(4);
  permissions.set_no_show_all(true);
  stack->pack_start(permissions, Gtk::PACK_SHRINK);

  setLabelFlow(error, LabelFlow::wrapping);
  error.set_no_show_all(true);
  addClasses(error, {"settings-form-error"});
  stack->pack_start(error, Gtk::PACK_SHRINK);

  auto* buttons = Gtk::manage(new Gtk::Box(Gtk::ORIENTATION_HORIZONTAL, 6));
  cancelButton.set_label(std::string(strings::cancel()));
  cancelButton.set_relief(Gtk::RELIEF_NONE);
  cancelButton.set_valign(Gtk::ALIGN_CENTER);
  addClasses(cancelButton, {"settings-plain", "settings-cancel"});
  cancelButton.signal_clicked().connect([this] {
    if (cancel_) cancel_();
  });
  saveButton.set_valign(Gtk::ALIGN_CENTER);
  addClasses(saveButton, {"settings-prominent"});
  saveButton.signal_clicked().connect([this] { save(); });
  buttons->pack_start(cancelButton, Gtk::PACK_SHRINK);
  buttons->pack_end(saveButton, Gtk::PACK_SHRINK);
  stack->pack_start(*buttons, Gtk::PACK_SHRINK);

  pack_start(*stack, Gtk::PACK_SHRINK);
  state_.appear();
  fill();
}

void SiteEditor::setExisting(std::optional<LinkSite> existing) {
  state_.setExisting(std::move(existing));
  fill();
}

void SiteEditor::fill() {
  syncing_ = true;
  title.set_text(std::string(state_.title()));
  saveButton.set_label(std::string(state_.saveCaption()));
  if (nameField.get_text() != state_.name) nameField.set_text(state_.name);
  if (addressField.get_text() != state_.address) addressField.set_text(state_.address);
  error.set_text(state_.error.value_or(""));
  error.set_visible(state_.error.has_value());
  syncing_ = false;
  fillPermissions();
}

void SiteEditor::fillPermissions() {
  auto choices = state_.permissionChoices();
  if (choices == shownChoices_) return;
  const bool sameKinds = std::equal(choices.begin(), choices.end(), shownChoices_.begin(), shownChoices_.end(),
                                    [](const auto& a, const auto& b) { return a.kind == b.kind; });
  const std::array<std::optional<PermissionAnswer>, 3> answers{PermissionAnswer::allow, PermissionAnswer::block,
                                                               std::nullopt};
  syncing_ = true;
  if (!sameKinds) {
    // The rows are managed: taken out of the box, they are gone.
    for (auto* child : permissions.get_children()) permissions.remove(*child);
    choiceButtons_.clear();
    if (!choices.empty()) {
      permissions.pack_start(*styledLabel(strings::sitePermissionsHeading(), {"settings-detail"}, LabelFlow::leading),
                             Gtk::PACK_SHRINK);
    }
    const std::array<std::string_view, 3> captions{strings::allowPermission(), strings::blockPermission(),
                                                   strings::askPermission()};
    for (const auto& choice : choices) {
      auto* row = Gtk::make_managed<Gtk::Box>(Gtk::ORIENTATION_HORIZONTAL, 11);
      auto* title = styledLabel(choice.title, {"settings-row-title"}, LabelFlow::ellipsized);
      title->set_width_chars(1);
      row->pack_start(*title, Gtk::PACK_EXPAND_WIDGET);
      // One segmented control: three buttons of one group, joined.
      auto* segments = Gtk::make_managed<Gtk::Box>(Gtk::ORIENTATION_HORIZONTAL, 0);
      addClasses(*segments, {"linked"});
      Gtk::RadioButton::Group group;
      std::array<Gtk::RadioButton*, 3> buttons{};
      for (std::size_t i = 0; i < buttons.size(); ++i) {
        auto* button = Gtk::make_managed<Gtk::RadioButton>(group, std::string(captions[i]));
        button->set_mode(false);  // drawn as a button, not a dot
        button->set_focus_on_click(false);
        setAccessibleName(*button, strings::permissionChoiceName(choice.title, captions[i]));
        button->signal_toggled().connect([this, button, kind = choice.kind, answer = answers[i]] {
          if (!syncing_ && button->get_active()) state_.choosePermission(kind, answer);
        });
        segments->pack_start(*button, Gtk::PACK_SHRINK);
        buttons[i] = button;
      }
      row->pack_start(*segments, Gtk::PACK_SHRINK);
      permissions.pack_start(*row, Gtk::PACK_SHRINK);
      choiceButtons_.push_back(buttons);
    }
    permissions.show_all_children();
  }
  // Only the answers changed (or the rows are new): the buttons say them, and keep the focus.
  for (std::size_t row = 0; row < choices.size(); ++row) {
    for (std::size_t i = 0; i < answers.size(); ++i) {
      if (answers[i] == choices[row].answer) choiceButtons_[row][i]->set_active(true);
    }
  }
  permissions.set_visible(!choices.empty());
  shownChoices_ = std::move(choices);
  syncing_ = false;
}

void SiteEditor::save() {
  bool accepted = state_.save();
  fill();
  if (accepted && saved_) saved_();
}

// ---- The tab ---------------------------------------------------------------------------------

WebsitesTab::WebsitesTab(VeskViewState& state) : SettingsTabView(0), list(Gtk::ORIENTATION_VERTICAL, 0), state_(state) {
  pack_start(*sectionLabel(strings::websitesSection()), Gtk::PACK_SHRINK);

  list.set_name(WidgetName::list);
  addClasses(list, {"settings-card", "settings-site-list"});
  pack_start(list, Gtk::PACK_SHRINK);
  windowed_ = std::make_unique<WindowedRows>(list, rowHeight + 1, 1, [this](std::size_t i) { return buildRow(i); });

  addButton = Gtk::manage(new Gtk::Button());
  addButton->set_name(WidgetName::addButton);
  auto* label = Gtk::manage(new Gtk::Box(Gtk::ORIENTATION_HORIZONTAL, 6));
  label->set_halign(Gtk::ALIGN_CENTER);
  label->pack_start(*symbolImage("plus", 12), Gtk::PACK_SHRINK);
  label->pack_start(*styledLabel(strings::addWebsite(), {}), Gtk::PACK_SHRINK);
  addButton->add(*label);
  addButton->set_hexpand(true);
  addButton->set_margin_top(12);
  addButton->set_focus_on_click(false);
  addButton->signal_clicked().connect([this] { state_.openSiteEditor(std::nullopt); });
  pack_start(*addButton, Gtk::PACK_SHRINK);

  editorSlot_.set_margin_top(17);
  editorSlot_.set_no_show_all(true);
  pack_start(editorSlot_, Gtk::PACK_SHRINK);

  permissionsHeading_ = sectionLabel(strings::permissionsSection());
  permissionsHeading_->set_margin_top(22);
  permissionsHeading_->set_no_show_all(true);
  pack_start(*permissionsHeading_, Gtk::PACK_SHRINK);
  addClasses(permissionList_, {"settings-card"});
  permissionList_.set_no_show_all(true);
  pack_start(permissionList_, Gtk::PACK_SHRINK);

  auto* note = styledLabel(strings::websitesNote(), {"settings-detail"}, LabelFlow::wrapping);
  note->set_margin_top(22);
  pack_start(*note, Gtk::PACK_SHRINK);
}

void WebsitesTab::rebuildPermissions() {
  auto lines = sitePermissionLines(state_.model);
  if (lines.size() == shownPermissions_.size() &&
      std::equal(lines.begin(), lines.end(), shownPermissions_.begin(),
                 [](const auto& a, const auto& b) { return a.site == b.site && a.summary == b.summary; })) {
    return;
  }
  // The rows are managed: taken out of the list, they are gone.
  for (auto* child : permissionList_.get_children()) permissionList_.remove(*child);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const auto& line = lines[i];
    auto* box = Gtk::make_managed<Gtk::Box>(Gtk::ORIENTATION_HORIZONTAL, 11);
    box->set_name(WidgetName::permissionRow);
    box->set_margin_start(12);
    box->set_margin_end(12);
    auto* texts = Gtk::manage(new Gtk::Box(Gtk::ORIENTATION_VERTICAL, 2));
    texts->set_valign(Gtk::ALIGN_CENTER);
    texts->set_margin_top(8);
    texts->set_margin_bottom(8);
    auto* name = styledLabel(line.site.shownName(), {"settings-row-title"}, LabelFlow::ellipsized);
    auto* summary = styledLabel(line.summary, {"settings-detail"}, LabelFlow::wrapping);
    summary->set_name(WidgetName::permissionSummary);
    for (Gtk::Label* label : {name, summary}) {
      label->set_width_chars(1);
      texts->pack_start(*label, Gtk::PACK_SHRINK);
    }
    box->pack_start(*texts, Gtk::PACK_EXPAND_WIDGET);
    auto* reset = Gtk::manage(new Gtk::Button(std::string(strings::resetPermissions())));
    reset->set_name(WidgetName::resetPermissionsButton);
    reset->set_valign(Gtk::ALIGN_CENTER);
    reset->set_focus_on_click(false);
    setAccessibleName(*reset, strings::resetPermissionsOf(line.site.shownName()));
    reset->signal_clicked().connect([this, origin = line.origin] { state_.model.resetPermissions(origin); });
    box->pack_start(*reset, Gtk::PACK_SHRINK);
    if (i > 0) {
      auto* rule = divider();
      rule->set_margin_start(12);
      rule->set_margin_end(12);
      permissionList_.pack_start(*rule, Gtk::PACK_SHRINK);
    }
    permissionList_.pack_start(*box, Gtk::PACK_SHRINK);
  }
  permissionList_.show_all_children();
  permissionList_.set_visible(!lines.empty());
  permissionsHeading_->set_visible(!lines.empty());
  shownPermissions_ = std::move(lines);
}

Gtk::Widget* WebsitesTab::buildRow(std::size_t index) {
  const auto& sites = state_.model.sites();
  const LinkSite& site = sites[index];
  auto* entry = Gtk::manage(new Gtk::Box(Gtk::ORIENTATION_VERTICAL, 0));
  entry->set_name(WidgetName::row);
  auto* box = Gtk::manage(new Gtk::Box(Gtk::ORIENTATION_HORIZONTAL, 11));
  box->set_name(WidgetName::rowLine);
  // Every row is one line of name over one line of host, so all rows are equally high and only
  // those in view need to exist.
  box->set_size_request(-1, rowHeight);

  auto* globe = symbolImage("globe", 14, {"settings-accent"});
  globe->set_size_request(20, -1);
  box->pack_start(*globe, Gtk::PACK_SHRINK);

  auto* texts = Gtk::manage(new Gtk::Box(Gtk::ORIENTATION_VERTICAL, 2));
  texts->set_valign(Gtk::ALIGN_CENTER);
  texts->set_margin_top(6);
  texts->set_margin_bottom(6);
  auto* name = styledLabel(site.shownName(), {"settings-row-title"}, LabelFlow::ellipsized);
  name->set_name(WidgetName::rowName);
  auto* host =
      styledLabel(text::shownOnOneLine(siteRowHost(site), shownNameLength), {"settings-detail"}, LabelFlow::ellipsized);
  for (Gtk::Label* label : {name, host}) {
    label->set_width_chars(1);  // the row's width decides where the text is cut
    texts->pack_start(*label, Gtk::PACK_SHRINK);
  }
  box->pack_start(*texts, Gtk::PACK_EXPAND_WIDGET);

  auto* up = IconButtonStyle::make("arrow.up", strings::moveUp());
  up->set_name(WidgetName::upButton);
  up->set_sensitive(!isFirstSite(state_.model, site));
  up->signal_clicked().connect([this, site] { state_.model.move(site, -1); });
  auto* down = IconButtonStyle::make("arrow.down", strings::moveDown());
  down->set_name(WidgetName::downButton);
  down->set_sensitive(!isLastSite(state_.model, site));
  down->signal_clicked().connect([this, site] { state_.model.move(site, 1); });
  auto* edit = IconButtonStyle::make("pencil", editTooltip(site));
  edit->set_name(WidgetName::editButton);
  edit->signal_clicked().connect([this, site] { state_.openSiteEditor(site); });
  auto* remove = IconButtonStyle::make("trash", removeTooltip(site));
  remove->set_name(WidgetName::removeButton);
  remove->signal_clicked().connect([this, site] { state_.model.remove(site); });
  // Children of the row like the rest, so they stand as far apart.
  for (auto* button : {up, down, edit, remove}) box->pack_start(*button, Gtk::PACK_SHRINK);

  box->set_margin_start(12);
  box->set_margin_end(12);
  entry->pack_start(*box, Gtk::PACK_SHRINK);
  if (index + 1 != sites.size()) {
    auto* rule = divider();
    rule->set_name(WidgetName::divider);
    rule->set_margin_start(12);
    rule->set_margin_end(12);
    entry->pack_start(*rule, Gtk::PACK_SHRINK);
  }
  return entry;
}

void WebsitesTab::rebuildList() {
  const auto& sites = state_.model.sites();
  windowed_->reset(sites.size());
  // With no sites the card takes no room at all.
  list.set_visible(!sites.empty());
  shownSites_ = sites;
  listBuilt_ = true;
}

void WebsitesTab::refresh() {
  if (!listBuilt_ || shownSites_ != state_.model.sites()) rebuildList();
  rebuildPermissions();

  if (!state_.siteEditorOpen()) {
    if (editor) {
      editorSlot_.remove(*editor);
      editor = nullptr;
    }
    editorSlot_.hide();
    return;
  }
  if (!editor) {
    editor = Gtk::manage(new SiteEditor(
        state_.model, state_.editing(), [this] { state_.closeSiteEditor(); }, [this] { state_.siteSaved(); }));
    editorSlot_.pack_start(*editor, Gtk::PACK_SHRINK);
    editor->show_all();
  } else {
    editor->setExisting(state_.editing());
  }
  editorSlot_.show();
}

}  // namespace vesk
