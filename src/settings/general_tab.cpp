// The General tab: launch at login, the lock-screen note and "Quit Vesk".
#include "model/strings.h"
#include "settings/settings_widgets.h"

namespace vesk {

GeneralTab::GeneralTab(VeskViewState& state, SettingsServices& services)
    : SettingsTabView(0), state_(state), services_(services) {
  pack_start(*sectionLabel(strings::startupSection()), Gtk::PACK_SHRINK);

  auto* row = Gtk::manage(new Gtk::Box(Gtk::ORIENTATION_HORIZONTAL, 12));
  auto* texts = Gtk::manage(new Gtk::Box(Gtk::ORIENTATION_VERTICAL, 4));
  texts->pack_start(*styledLabel(strings::launchAtLogin(), {"settings-row-title"}, LabelFlow::leading),
                    Gtk::PACK_SHRINK);
  texts->pack_start(*styledLabel(strings::launchAtLoginDetail(), {"settings-detail"}, LabelFlow::wrapping),
                    Gtk::PACK_SHRINK);
  row->pack_start(*texts, Gtk::PACK_EXPAND_WIDGET);
  loginSwitch.set_name(WidgetName::loginSwitch);
  loginSwitch.set_valign(Gtk::ALIGN_CENTER);
  setAccessibleName(loginSwitch, strings::launchAtLogin());
  row->pack_end(loginSwitch, Gtk::PACK_SHRINK);
  pack_start(*settingsCard(row, 13), Gtk::PACK_SHRINK);

  // The switch shows only what the service reports: a click asks, and the answer sets it. Only a
  // position that differs from the shown state is a request: GTK may report the switch being set
  // back to the answer after this handler has returned, and that is no new request.
  loginSwitch.property_active().signal_changed().connect([this] {
    if (loginSwitch.get_active() != state_.loginItemEnabled()) requested(loginSwitch.get_active());
  });

  message = styledLabel("", {"settings-login-error"}, LabelFlow::wrapping);
  message->set_name(WidgetName::message);
  message->set_margin_top(7);
  message->set_no_show_all(true);
  pack_start(*message, Gtk::PACK_SHRINK);

  auto* note = styledLabel(strings::lockScreenNote(), {"settings-detail"}, LabelFlow::wrapping);
  note->set_margin_top(22);
  pack_start(*note, Gtk::PACK_SHRINK);

  quitButton = Gtk::manage(new Gtk::Button(std::string(strings::quitVesk())));
  quitButton->set_name(WidgetName::quitButton);
  quitButton->set_relief(Gtk::RELIEF_NONE);
  quitButton->set_halign(Gtk::ALIGN_START);
  quitButton->set_margin_top(20);
  addClasses(*quitButton, {"settings-plain"});
  quitButton->signal_clicked().connect([this] {
    if (services_.quit) services_.quit();
  });
  pack_start(*quitButton, Gtk::PACK_SHRINK);
}

void GeneralTab::requested(bool on) {
  LoginItemState result = changeLoginItem(services_.loginItems, on);
  state_.loginItemChanged(result.enabled, result.error);
  refresh();  // the switch springs back at once when the service said no
}

void GeneralTab::refresh() {
  loginSwitch.set_active(state_.loginItemEnabled());
  loginSwitch.set_state(state_.loginItemEnabled());
  const auto& error = state_.loginItemError();
  message->set_text(error.value_or(""));
  message->set_visible(error.has_value());
}

}  // namespace vesk
