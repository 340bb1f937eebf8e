// Finds a view's parts the way a user's tools do: by the widget name the view gives them
// (`set_name`), so views need no accessors for tests.
#pragma once

#include <gtk/gtk.h>
#include <gtkmm/widget.h>

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vesk::testing {

namespace detail {
struct NamedSearch {
  std::string_view name;
  GType type;
  bool all = false;
  std::vector<GtkWidget*> found;
};

inline void collectNamed(GtkWidget* widget, NamedSearch& search) {
  if (!search.all && !search.found.empty()) return;
  if (search.name == gtk_widget_get_name(widget) && G_TYPE_CHECK_INSTANCE_TYPE(widget, search.type)) {
    search.found.push_back(widget);
  }
  // Internal children too (a button's label, a scrolled window's viewport).
  if (GTK_IS_CONTAINER(widget)) {
    gtk_container_forall(
        GTK_CONTAINER(widget),
        [](GtkWidget* child, gpointer data) { collectNamed(child, *static_cast<NamedSearch*>(data)); }, &search);
  }
}
}  // namespace detail

// Every widget inside `root` (root included, depth first, in widget order) named `name` and of
// type W.
template <class W = Gtk::Widget>
std::vector<W*> allNamed(Gtk::Widget& root, std::string_view name) {
  detail::NamedSearch search{name, W::get_base_type(), true, {}};
  detail::collectNamed(root.gobj(), search);
  std::vector<W*> widgets;
  for (GtkWidget* widget : search.found) widgets.push_back(dynamic_cast<W*>(Glib::wrap(widget)));
  return widgets;
}

// The first of them, or null when there is none.
template <class W = Gtk::Widget>
W* findNamed(Gtk::Widget& root, std::string_view name) {
  detail::NamedSearch search{name, W::get_base_type(), false, {}};
  detail::collectNamed(root.gobj(), search);
  return search.found.empty() ? nullptr : dynamic_cast<W*>(Glib::wrap(search.found.front()));
}

// The same, for a part the test cannot go on without: a missing one fails the test with its name.
template <class W = Gtk::Widget>
W& named(Gtk::Widget& root, std::string_view name) {
  if (W* widget = findNamed<W>(root, name)) return *widget;
  throw std::logic_error("no widget named \"" + std::string(name) + "\" of the expected type");
}

}  // namespace vesk::testing
