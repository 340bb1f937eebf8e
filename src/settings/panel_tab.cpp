// The Panel tab: width, height and zoom sliders that apply while dragging, a reset, and whether the
// sites share one web process ("Use less memory").
#include "settings/settings_widgets.h"

#include <cmath>

namespace vesk {

namespace {

// A slider the mouse wheel does not move: the wheel scrolls the tab it sits in, so that a slider
// passing under the pointer while the tab scrolls never resizes the panel. Dragging, clicking
// and the keyboard still change it.
class SettingsSlider final : public Gtk::Scale {
 public:
  explicit SettingsSlider(const Glib::RefPtr<Gtk::Adjustment>& adjustment)
      : Gtk::Scale(adjustment, Gtk::ORIENTATION_HORIZONTAL) {}

 protected:
  bool on_scroll_event(GdkEventScroll*) override { return false; }  // on to the scrolled tab
};
}  // namespace

PanelTab::PanelTab(VeskViewState& state) : SettingsTabView(16), state_(state) {
  pack_start(*sectionLabel(strings::panelSizeSection()), Gtk::PACK_SHRINK);

  for (std::size_t i = 0; i < allPanelSliders.size(); ++i) {
    Card& card = cards[i];
    card.slider = allPanelSliders[i];
    const SliderSpec& range = sliderSpec(card.slider);

    auto* stack = Gtk::manage(new Gtk::Box(Gtk::ORIENTATION_VERTICAL, 7));
    auto* header = Gtk::manage(new Gtk::Box(Gtk::ORIENTATION_HORIZONTAL, 8));
    addClasses(*header, {"settings-value-row"});
    header->pack_start(*styledLabel(range.label(), {}, LabelFlow::leading), Gtk::PACK_EXPAND_WIDGET);
    card.value = styledLabel("", {"settings-value"}, LabelFlow::leading);
    card.value->set_name(valueName(card.slider));
    card.value->set_xalign(1);
    header->pack_end(*card.value, Gtk::PACK_SHRINK);
    stack->pack_start(*header, Gtk::PACK_SHRINK);

    auto adjustment = Gtk::Adjustment::create(range.lower, range.lower, range.upper, range.step, range.step, 0);
    card.scale = Gtk::manage(new SettingsSlider(adjustment));
    card.scale->set_name(scaleName(card.slider));
    card.scale->set_draw_value(false);
    card.scale->set_digits(card.slider == PanelSlider::zoom ? 2 : 0);
    card.scale->set_round_digits(-1);  // positions come from snapping to the steps, not from rounding
    card.scale->set_has_origin(true);
    setAccessibleName(*card.scale, range.label());
    addClasses(*card.scale, {"settings-slider"});
    card.scale->signal_value_changed().connect([this, &card] { changed(card); });
    stack->pack_start(*card.scale, Gtk::PACK_SHRINK);

    pack_start(*settingsCard(stack, 13), Gtk::PACK_SHRINK);
  }

  resetButton = Gtk::manage(new Gtk::Button(std::string(strings::resetPanel())));
  resetButton->set_name(WidgetName::resetButton);
  resetButton->set_halign(Gtk::ALIGN_START);
  resetButton->signal_clicked().connect([this] { resetPanel(state_.model); });
  pack_start(*resetButton, Gtk::PACK_SHRINK);

  pack_start(*styledLabel(strings::panelNote(), {"settings-detail"}, LabelFlow::wrapping), Gtk::PACK_SHRINK);

  // "Use less memory": the title, the one line saying what it trades, the switch at the right.
  auto* memory = sectionLabel(strings::memorySection());
  memory->set_margin_top(10);
  pack_start(*memory, Gtk::PACK_SHRINK);
  auto* row = Gtk::manage(new Gtk::Box(Gtk::ORIENTATION_HORIZONTAL, 12));
  auto* texts = Gtk::manage(new Gtk::Box(Gtk::ORIENTATION_VERTICAL, 4));
  texts->pack_start(*styledLabel(strings::lessMemory(), {"settings-row-title"}, LabelFlow::leading), Gtk::PACK_SHRINK);
  texts->pack_start(*styledLabel(strings::lessMemoryDetail(), {"settings-detail"}, LabelFlow::wrapping),
                    Gtk::PACK_SHRINK);
  row->pack_start(*texts, Gtk::PACK_EXPAND_WIDGET);
  lessMemorySwitch.set_name(WidgetName::lessMemorySwitch);
  lessMemorySwitch.set_valign(Gtk::ALIGN_CENTER);
  setAccessibleName(lessMemorySwitch, strings::lessMemory());
  row->pack_end(lessMemorySwitch, Gtk::PACK_SHRINK);
  pack_start(*settingsCard(row, 13), Gtk::PACK_SHRINK);
  lessMemorySwitch.property_active().signal_changed().connect([this] {
    if (!syncing_ && lessMemorySwitch.get_active() != state_.model.lessMemory())
      state_.model.changeLessMemory(lessMemorySwitch.get_active());
  });
}

void PanelTab::changed(Card& card) {
  if (syncing_) return;
  const SliderSpec& range = sliderSpec(card.slider);
  const double value = card.scale->get_value();
  const double snapped = snapToStep(range, value);
  if (snapped != value) {
    // Land on the step; this comes back here with the snapped value.
    card.scale->set_value(snapped);
    return;
  }
  // Every step of a drag goes to the model at once (the open panel resizes as the slider moves).
  if (snapped != sliderValue(state_.model, card.slider)) changeSlider(state_.model, card.slider, snapped);
  card.value->set_text(sliderValueText(card.slider, sliderValue(state_.model, card.slider)));
}

void PanelTab::refresh() {
  syncing_ = true;
  for (Card& card : cards) {
    const double value = sliderValue(state_.model, card.slider);
    if (card.scale->get_value() != value) card.scale->set_value(value);
    card.value->set_text(sliderValueText(card.slider, value));
  }
  lessMemorySwitch.set_active(state_.model.lessMemory());
  syncing_ = false;
}

}  // namespace vesk
