// The Keys tab: one row per global key combination, recorded by pressing it.
#include "settings/settings_widgets.h"

namespace vesk {

KeysTab::KeysTab(VeskViewState& state) : SettingsTabView(10), state_(state), logic_(state) {
  pack_start(*sectionLabel(strings::shortcutsSection()), Gtk::PACK_SHRINK);

  sessionNotice = styledLabel("", {"settings-detail"}, LabelFlow::wrapping);
  sessionNotice->set_name(WidgetName::sessionNotice);
  sessionNotice->set_selectable(true);  // the commands are there to be copied
  sessionNotice->set_no_show_all(true);
  pack_start(*sessionNotice, Gtk::PACK_SHRINK);

  for (std::size_t i = 0; i < allShortcutActions.size(); ++i) {
    Row& row = rows[i];
    row.action = allShortcutActions[i];
    auto* box = Gtk::manage(new Gtk::Box(Gtk::ORIENTATION_HORIZONTAL, 10));
    auto* texts = Gtk::manage(new Gtk::Box(Gtk::ORIENTATION_VERTICAL, 3));
    texts->pack_start(*styledLabel(title(row.action), {"settings-row-title"}, LabelFlow::leading), Gtk::PACK_SHRINK);
    texts->pack_start(*styledLabel(shortcutDescription(row.action), {"settings-detail"}, LabelFlow::wrapping),
                      Gtk::PACK_SHRINK);
    texts->set_margin_end(4);  // the least room between the texts and the buttons
    box->pack_start(*texts, Gtk::PACK_EXPAND_WIDGET);

    row.setButton = Gtk::manage(new Gtk::Button());
    row.setButton->set_name(setButtonName(row.action));
    row.setButton->set_valign(Gtk::ALIGN_CENTER);
    row.setButton->set_focus_on_click(false);
    row.setButton->signal_clicked().connect([this, action = row.action] { logic_.pressSetButton(action); });
    box->pack_start(*row.setButton, Gtk::PACK_SHRINK);

    if (row.action != ShortcutAction::show) {
      row.clearButton = IconButtonStyle::make("xmark", strings::clearShortcut());
      row.clearButton->set_name(clearButtonName(row.action));
      row.clearButton->set_no_show_all(true);
      row.clearButton->signal_clicked().connect([this, action = row.action] { logic_.pressClearButton(action); });
      box->pack_start(*row.clearButton, Gtk::PACK_SHRINK);
    }
    pack_start(*settingsCard(box, 12), Gtk::PACK_SHRINK);
  }

  error = styledLabel("", {"settings-shortcut-error"}, LabelFlow::wrapping);
  error->set_name(WidgetName::error);
  error->set_margin_top(4);
  error->set_no_show_all(true);
  pack_start(*error, Gtk::PACK_SHRINK);

  auto* help = styledLabel(strings::keysHelp(), {"settings-detail"}, LabelFlow::wrapping);
  help->set_margin_top(12);
  pack_start(*help, Gtk::PACK_SHRINK);
}

void KeysTab::refresh() {
  for (Row& row : rows) {
    auto caption = logic_.caption(row.action);
    if (row.setButton->get_label() != caption) {
      row.setButton->set_label(caption);
      ellipsizeCaption(*row.setButton);  // a label edited by hand in the settings file may be long
    }
    if (row.clearButton) {
      bool shown = logic_.hasClearButton(row.action);
      row.clearButton->set_visible(shown);
      if (shown) row.clearButton->show_all_children();
    }
  }
  const auto notice = logic_.sessionNotice();
  sessionNotice->set_text(notice.value_or(""));
  sessionNotice->set_visible(notice.has_value());
  const auto& message = state_.model.shortcutError();
  error->set_text(message.value_or(""));
  error->set_visible(message.has_value());
}

}  // namespace vesk
