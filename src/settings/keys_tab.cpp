// The Keys tab: one row per global key combination, recorded by pressing it.
#include "hotkeys/current_session.h"
#include "settings/settings_widgets.h"

namespace vesk {

KeysTab::KeysTab(VeskViewState& state)
    : SettingsTabView(10), state_(state), logic_(state, currentDesktopSession().sway()) {
  pack_start(*sectionLabel(strings::shortcutsSection()), Gtk::PACK_SHRINK);

  sessionNotice = styledLabel("", {"settings-detail"}, LabelFlow::wrapping);
  sessionNotice->set_name(WidgetName::sessionNotice);
  sessionNotice->set_selectable(true);  // the commands are there to be copied
  sessionNotice->set_no_show_all(true);
  pack_start(*sessionNotice, Gtk::PACK_SHRINK);

  linesRow = Gtk::manage(new Gtk::Box(Gtk::ORIENTATION_HORIZONTAL, 10));
  bindingLines = styledLabel("", {"settings-lines"}, LabelFlow::wrapping);
  bindingLines->set_name(WidgetName::bindingLines);
  bindingLines->set_selectable(true);
  linesRow->pack_start(*bindingLines, Gtk::PACK_EXPAND_WIDGET);
  auto* copy = Gtk::manage(new Gtk::Button(std::string(strings::copyLines())));
  copy->set_name(WidgetName::copyButton);
  copy->set_valign(Gtk::ALIGN_START);
  copy->set_focus_on_click(false);
  copy->signal_clicked().connect([this] { logic_.pressCopyButton(); });
  linesRow->pack_start(*copy, Gtk::PACK_SHRINK);
  linesRow->set_no_show_all(true);
  pack_start(*linesRow, Gtk::PACK_SHRINK);

  auto* desktopRow = Gtk::manage(new Gtk::Box(Gtk::ORIENTATION_HORIZONTAL, 12));
  auto* desktopTexts = Gtk::manage(new Gtk::Box(Gtk::ORIENTATION_VERTICAL, 3));
  desktopTexts->pack_start(*styledLabel(strings::gnomeKeysSwitch(), {"settings-row-title"}, LabelFlow::leading),
                           Gtk::PACK_SHRINK);
  desktopTexts->pack_start(*styledLabel(strings::gnomeKeysDetail(), {"settings-detail"}, LabelFlow::wrapping),
                           Gtk::PACK_SHRINK);
  desktopRow->pack_start(*desktopTexts, Gtk::PACK_EXPAND_WIDGET);
  desktopSwitch.set_name(WidgetName::desktopSwitch);
  desktopSwitch.set_valign(Gtk::ALIGN_CENTER);
  setAccessibleName(desktopSwitch, strings::gnomeKeysSwitch());
  desktopRow->pack_end(desktopSwitch, Gtk::PACK_SHRINK);
  // As the login switch: it shows what the desktop holds, and only a position that differs from
  // that is a request.
  desktopSwitch.property_active().signal_changed().connect([this] {
    if (desktopSwitch.get_active() != logic_.desktopBindingsSwitch().value_or(false)) {
      logic_.switchDesktopBindings(desktopSwitch.get_active());
      refresh();  // springs back at once when the desktop said no
    }
  });
  desktopCard = settingsCard(desktopRow, 12);
  desktopCard->set_no_show_all(true);
  pack_start(*desktopCard, Gtk::PACK_SHRINK);

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
  const auto lines = logic_.bindingLines();
  bindingLines->set_text(lines.value_or(""));
  linesRow->set_visible(lines.has_value());
  if (lines) linesRow->show_all_children();
  const auto bindings = logic_.desktopBindingsSwitch();
  desktopCard->set_visible(bindings.has_value());
  if (bindings) {
    desktopCard->show_all_children();
    desktopSwitch.set_active(*bindings);
    desktopSwitch.set_state(*bindings);
  }
  const auto& message = state_.model.shortcutError();
  error->set_text(message.value_or(""));
  error->set_visible(message.has_value());
}

}  // namespace vesk
