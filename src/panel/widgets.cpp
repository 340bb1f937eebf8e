#include "panel/widgets.h"

#include <gtk/gtk.h>

#include <algorithm>

#include "panel/symbols.h"

namespace vesk {

void addClasses(Gtk::Widget& widget, std::initializer_list<const char*> classes) {
  auto context = widget.get_style_context();
  for (const char* name : classes) context->add_class(name);
}

void setClass(Gtk::Widget& widget, const char* name, bool on) {
  auto context = widget.get_style_context();
  if (on) {
    context->add_class(name);
  } else {
    context->remove_class(name);
  }
}

void setMargins(Gtk::Widget& widget, int margin) {
  widget.set_margin_top(margin);
  widget.set_margin_bottom(margin);
  widget.set_margin_start(margin);
  widget.set_margin_end(margin);
}

Gtk::Image* symbolImage(std::string_view symbol, double points, std::initializer_list<const char*> classes) {
  auto* image = Gtk::make_managed<Gtk::Image>();
  setSymbol(*image, symbol, points);
  addClasses(*image, classes);
  return image;
}

void setSymbol(Gtk::Image& image, std::string_view symbol, double points) {
  image.set_from_icon_name(std::string(symbolIconName(symbol)), Gtk::ICON_SIZE_BUTTON);
  image.set_pixel_size(symbolPixelSize(points));
}

void setLabelFlow(Gtk::Label& label, LabelFlow flow) {
  if (flow == LabelFlow::centred) return;
  label.set_xalign(0);
  switch (flow) {
    case LabelFlow::ellipsized:
      label.set_ellipsize(Pango::ELLIPSIZE_END);
      label.set_single_line_mode(true);
      break;
    case LabelFlow::wrapping:
      label.set_line_wrap(true);
      label.set_line_wrap_mode(Pango::WRAP_WORD_CHAR);
      // Wrapping labels ask for little width, so the column decides their width.
      label.set_width_chars(1);
      label.set_max_width_chars(1);
      break;
    case LabelFlow::centred:
    case LabelFlow::leading:
      break;
  }
}

Gtk::Label* styledLabel(std::string_view text, std::initializer_list<const char*> classes, LabelFlow flow) {
  auto* label = Gtk::make_managed<Gtk::Label>(std::string(text));
  setLabelFlow(*label, flow);
  addClasses(*label, classes);
  return label;
}

void ellipsizeCaption(Gtk::Button& button) {
  if (auto* label = dynamic_cast<Gtk::Label*>(button.get_child())) label->set_ellipsize(Pango::ELLIPSIZE_END);
}

void setAccessibleName(Gtk::Widget& widget, std::string_view name) {
  atk_object_set_name(gtk_widget_get_accessible(widget.gobj()), std::string(name).c_str());
}

void setAccessibleDescription(Gtk::Widget& widget, std::string_view description) {
  atk_object_set_description(gtk_widget_get_accessible(widget.gobj()), std::string(description).c_str());
}

Gtk::Button* IconButtonStyle::make(std::string_view symbol, std::string_view tooltip, std::string_view name) {
  auto* button = Gtk::make_managed<Gtk::Button>();
  button->set_image(*symbolImage(symbol, symbolPoints));
  button->set_always_show_image(true);
  if (!tooltip.empty()) button->set_tooltip_text(std::string(tooltip));
  apply(*button);
  if (tooltip.empty() && !name.empty()) setAccessibleName(*button, name);
  return button;
}

void IconButtonStyle::apply(Gtk::Button& button) {
  // A symbol says nothing to a screen reader: the button is named after its tooltip, also when
  // the tooltip changes later.
  auto nameAfterTooltip = [&button] {
    const std::string tooltip = button.get_tooltip_text();
    if (!tooltip.empty()) setAccessibleName(button, tooltip);
  };
  nameAfterTooltip();
  button.property_tooltip_text().signal_changed().connect(nameAfterTooltip);
  addClasses(button, {"vesk-icon-button"});
  button.set_relief(Gtk::RELIEF_NONE);
  button.set_focus_on_click(false);
  button.set_size_request(side, side);
  button.set_valign(Gtk::ALIGN_CENTER);
  button.set_halign(Gtk::ALIGN_CENTER);
}

Gtk::Widget* divider() {
  auto* rule = Gtk::make_managed<Gtk::Box>();
  addClasses(*rule, {"vesk-divider"});
  rule->set_size_request(-1, 1);
  rule->set_hexpand(true);
  return rule;
}

BoundedBox::BoundedBox(int maxWidth, int spacing) : Gtk::Box(Gtk::ORIENTATION_VERTICAL, spacing), maxWidth_(maxWidth) {}

void BoundedBox::get_preferred_width_vfunc(int& minimum, int& natural) const {
  Gtk::Box::get_preferred_width_vfunc(minimum, natural);
  auto context = get_style_context();
  const Gtk::StateFlags state = context->get_state();
  const Gtk::Border padding = context->get_padding(state);
  const Gtk::Border border = context->get_border(state);
  const int frame = padding.get_left() + padding.get_right() + border.get_left() + border.get_right();
  natural = std::max(minimum, std::min(natural, maxWidth_ + frame));
}

ShrinkableBin::ShrinkableBin() { set_has_window(false); }

void ShrinkableBin::get_preferred_height_vfunc(int& minimum, int& natural) const {
  minimum = 0;
  natural = 0;
  if (const Gtk::Widget* child = get_child(); child && child->get_visible()) {
    int childMinimum = 0;
    child->get_preferred_height(childMinimum, natural);
  }
}

void ShrinkableBin::get_preferred_height_for_width_vfunc(int width, int& minimum, int& natural) const {
  minimum = 0;
  natural = 0;
  if (const Gtk::Widget* child = get_child(); child && child->get_visible()) {
    int childMinimum = 0;
    child->get_preferred_height_for_width(width, childMinimum, natural);
  }
}

void ShrinkableBin::on_size_allocate(Gtk::Allocation& allocation) {
  set_allocation(allocation);
  if (Gtk::Widget* child = get_child(); child && child->get_visible()) {
    int childMinimum = 0, childNatural = 0;
    child->get_preferred_height_for_width(allocation.get_width(), childMinimum, childNatural);
    Gtk::Allocation childAllocation = allocation;
    childAllocation.set_height(std::max(allocation.get_height(), childMinimum));
    child->size_allocate(childAllocation);
  }
}

bool ShrinkableBin::on_draw(const Cairo::RefPtr<Cairo::Context>& cr) {
  cr->rectangle(0, 0, get_allocated_width(), get_allocated_height());
  cr->clip();
  return Gtk::Bin::on_draw(cr);
}

}  // namespace vesk
