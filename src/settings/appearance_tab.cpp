// The Appearance tab: one card per theme; a click stores it and the whole panel repaints.
#include "settings/settings_widgets.h"

#include <cmath>

#include "panel/palette.h"
#include "shell/rounded_rectangle.h"

namespace vesk {

namespace {

// A 38-point square in the theme's own background colour, whatever theme is in force.
class Swatch final : public Gtk::DrawingArea {
 public:
  explicit Swatch(LinkTheme theme) : color_(Palette::colors(theme).background) { set_size_request(38, 38); }

 protected:
  bool on_draw(const Cairo::RefPtr<Cairo::Context>& cr) override {
    const double size = 38;
    const double x = (get_allocated_width() - size) / 2, y = (get_allocated_height() - size) / 2;
    roundedRectangle(cr, x + 0.5, y + 0.5, size - 1, size - 1, 8);
    cr->set_source_rgba(color_.red, color_.green, color_.blue, color_.alpha);
    cr->fill_preserve();
    cr->set_source_rgba(1, 1, 1, 0.16);
    cr->set_line_width(1);
    cr->stroke();
    return true;
  }

 private:
  Color color_;
};

// The current theme's mark: a filled circle in the accent colour with a check in the card's colour.
class CheckMark final : public Gtk::DrawingArea {
 public:
  explicit CheckMark(const SettingsStore& store) : store_(store) { set_size_request(18, 18); }

 protected:
  bool on_draw(const Cairo::RefPtr<Cairo::Context>& cr) override {
    const Color accent = Palette::accent(store_);
    const double cx = get_allocated_width() / 2.0, cy = get_allocated_height() / 2.0, r = 8.5;
    cr->arc(cx, cy, r, 0, 2 * M_PI);
    cr->set_source_rgba(accent.red, accent.green, accent.blue, accent.alpha);
    cr->fill();
    const Color surface = Palette::surface(store_);  // the card shows through the check
    cr->set_source_rgba(surface.red, surface.green, surface.blue, surface.alpha);
    cr->set_line_width(1.9);
    cr->set_line_cap(Cairo::LINE_CAP_ROUND);
    cr->set_line_join(Cairo::LINE_JOIN_ROUND);
    cr->move_to(cx - 3.9, cy + 0.2);
    cr->line_to(cx - 1.1, cy + 3.0);
    cr->line_to(cx + 4.0, cy - 3.2);
    cr->stroke();
    return true;
  }

 private:
  const SettingsStore& store_;
};

}  // namespace

AppearanceTab::AppearanceTab(VeskViewState& state) : SettingsTabView(0), state_(state) {
  pack_start(*sectionLabel(strings::themesSection()), Gtk::PACK_SHRINK);

  for (std::size_t i = 0; i < allLinkThemes.size(); ++i) {
    Card& card = cards[i];
    card.theme = allLinkThemes[i];
    card.button = Gtk::manage(new Gtk::Button());
    card.button->set_name(cardName(card.theme));
    card.button->set_relief(Gtk::RELIEF_NONE);
    card.button->set_focus_on_click(false);
    card.button->set_margin_bottom(9);
    addClasses(*card.button, {"settings-theme-card"});

    auto* row = Gtk::manage(new Gtk::Box(Gtk::ORIENTATION_HORIZONTAL, 12));
    auto* swatch = Gtk::manage(new Swatch(card.theme));
    swatch->set_valign(Gtk::ALIGN_CENTER);
    row->pack_start(*swatch, Gtk::PACK_SHRINK);
    auto* texts = Gtk::manage(new Gtk::Box(Gtk::ORIENTATION_VERTICAL, 3));
    texts->set_valign(Gtk::ALIGN_CENTER);
    texts->pack_start(*styledLabel(title(card.theme), {"settings-row-title"}, LabelFlow::leading), Gtk::PACK_SHRINK);
    texts->pack_start(*styledLabel(detail(card.theme), {"settings-detail"}, LabelFlow::wrapping), Gtk::PACK_SHRINK);
    row->pack_start(*texts, Gtk::PACK_EXPAND_WIDGET);
    card.check = Gtk::manage(new CheckMark(state_.model.store()));
    card.check->set_name(checkName(card.theme));
    card.check->set_valign(Gtk::ALIGN_CENTER);
    card.check->set_no_show_all(true);
    row->pack_end(*card.check, Gtk::PACK_SHRINK);
    card.button->add(*row);

    card.button->signal_clicked().connect([this, theme = card.theme] { state_.model.changeTheme(theme); });
    pack_start(*card.button, Gtk::PACK_SHRINK);
  }

  auto* footnote = styledLabel(strings::themeNote(), {"settings-detail"}, LabelFlow::wrapping);
  footnote->set_margin_top(8);
  pack_start(*footnote, Gtk::PACK_SHRINK);
}

void AppearanceTab::refresh() {
  for (Card& card : cards) {
    card.check->set_visible(state_.model.theme() == card.theme);
    card.check->queue_draw();  // the accent may have changed with the theme
  }
}

}  // namespace vesk
