// The settings tabs' own building blocks, made of the shared widget helpers (panel/widgets.h).
#include "settings/settings_widgets.h"

namespace vesk {

Gtk::Label* sectionLabel(std::string_view title) {
  auto* label = styledLabel(title, {"settings-section"}, LabelFlow::leading);
  label->set_margin_bottom(9);
  return label;
}

Gtk::Box* settingsCard(Gtk::Widget* child, int padding) {
  auto* card = Gtk::make_managed<Gtk::Box>(Gtk::ORIENTATION_VERTICAL, 0);
  addClasses(*card, {"settings-card"});
  setMargins(*child, padding);
  card->pack_start(*child, Gtk::PACK_SHRINK);
  return card;
}

}  // namespace vesk
