// The widget helpers of the panel's views and the settings screen: style classes, styled labels,
// symbols, the icon button style, dividers, margins, and two containers that adjust size requests
// (a maximum width, a shrinkable height).
#pragma once

#include <gtkmm/bin.h>
#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/image.h>
#include <gtkmm/label.h>

#include <initializer_list>
#include <string>
#include <string_view>

namespace vesk {

void addClasses(Gtk::Widget& widget, std::initializer_list<const char*> classes);
// Adds or removes one style class.
void setClass(Gtk::Widget& widget, const char* name, bool on);

// The same margin on all four sides.
void setMargins(Gtk::Widget& widget, int margin);

// A managed image of one of the panel's symbols, sized for a font of `points`.
Gtk::Image* symbolImage(std::string_view symbol, double points, std::initializer_list<const char*> classes = {});
// Changes the symbol an image shows, keeping its size.
void setSymbol(Gtk::Image& image, std::string_view symbol, double points);

// How a label sets its text in the space it gets.
enum class LabelFlow {
  centred,     // one line, centred (GTK's own default)
  leading,     // one line from the leading edge
  ellipsized,  // one line from the leading edge, ending in an ellipsis when it does not fit
  // From the leading edge, wrapped between words (inside a word when one alone is too long); it
  // asks for little width, so its column decides how wide it is, and keeps its full height.
  wrapping,
};
void setLabelFlow(Gtk::Label& label, LabelFlow flow);

// A managed label with the given style classes.
Gtk::Label* styledLabel(std::string_view text, std::initializer_list<const char*> classes,
                        LabelFlow flow = LabelFlow::centred);

// Lets a button's caption end in an ellipsis rather than widen its container; again after each
// change of the caption, which makes a new label.
void ellipsizeCaption(Gtk::Button& button);

// Gives `widget` the name a screen reader says for it.
void setAccessibleName(Gtk::Widget& widget, std::string_view name);
// Gives `widget` the description a screen reader says after its name (what it does).
void setAccessibleDescription(Gtk::Widget& widget, std::string_view description);

// The shared look of the panel's square symbol buttons: a 27-point square hit area, the symbol in
// the secondary colour, and a surface fill while pressed. No hover or disabled look of its own.
struct IconButtonStyle {
  static constexpr int side = 27;
  static constexpr double symbolPoints = 12;

  // A managed button with `symbol` and an optional tooltip; screen readers name it by its
  // tooltip, or by `name` when it has none.
  static Gtk::Button* make(std::string_view symbol, std::string_view tooltip = {}, std::string_view name = {});
  // Gives `button` the style, and its tooltip as its accessible name.
  static void apply(Gtk::Button& button);
};

// A full-width rule, white at opacity 0.1, one point high.
Gtk::Widget* divider();

// A vertical box whose content's natural width never exceeds `maxWidth` (it wraps instead); the
// box's own padding and border come on top of it.
class BoundedBox : public Gtk::Box {
 public:
  BoundedBox(int maxWidth, int spacing);

 protected:
  void get_preferred_width_vfunc(int& minimum, int& natural) const override;

 private:
  int maxWidth_;
};

// A bin that asks for no minimum height: content taller than the space it gets is cut off at the
// bottom instead of growing the panel.
class ShrinkableBin : public Gtk::Bin {
 public:
  ShrinkableBin();

 protected:
  void get_preferred_height_vfunc(int& minimum, int& natural) const override;
  void get_preferred_height_for_width_vfunc(int width, int& minimum, int& natural) const override;
  void on_size_allocate(Gtk::Allocation& allocation) override;
  bool on_draw(const Cairo::RefPtr<Cairo::Context>& cr) override;
};

}  // namespace vesk
