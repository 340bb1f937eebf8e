// A vertical list of many rows of one height inside a scrolled window that builds only the rows
// in view, plus a few beyond each edge so that keyboard focus can move on to them. Two blank
// boxes above and below the built rows stand in for the others, so the list keeps its full
// height and the scroll bar its meaning. Building a widget tree for every row of a long list
// costs seconds of layout and hundreds of megabytes.
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/scrolledwindow.h>

#include <cstddef>
#include <functional>
#include <utility>
#include <vector>

#include "model/idle_redraw.h"
#include "model/scoped_connection.h"

namespace vesk {

class WindowedRows {
 public:
  // `build(i)` returns a new managed widget for row i, exactly `stride` pixels high, except the
  // last row, which is `stride - lastShorterBy` high. The rows go into `box` (vertical, no
  // spacing), which must stay empty otherwise.
  WindowedRows(Gtk::Box& box, int stride, int lastShorterBy, std::function<Gtk::Widget*(std::size_t)> build);
  ~WindowedRows();
  WindowedRows(const WindowedRows&) = delete;
  WindowedRows& operator=(const WindowedRows&) = delete;

  // Drops every built row and builds the rows in view for a list of `count` rows.
  void reset(std::size_t count);
  // Builds and drops rows so that those in view (and the margin) are built.
  void update();

  // Rows built beyond each edge of the view.
  static constexpr std::size_t margin = 3;

 private:
  std::pair<std::size_t, std::size_t> wanted();
  void watchView();
  int heightOf(std::size_t first, std::size_t end) const;

  Gtk::Box& box_;
  int stride_;
  int lastShorterBy_;
  std::function<Gtk::Widget*(std::size_t)> build_;
  Gtk::Box above_;
  Gtk::Box below_;
  std::size_t count_ = 0;
  std::vector<std::pair<std::size_t, Gtk::Widget*>> built_;
  Gtk::ScrolledWindow* view_ = nullptr;
  // Rows are built and dropped outside of layout, at high idle priority: before GTK's next layout
  // and frame, which would otherwise show blank space where the scrolled-to rows belong.
  IdleRedraw updates_{[this] { update(); }, G_PRIORITY_HIGH_IDLE};
  // The box and its scrolled window may outlive the rows: their handlers end first.
  ScopedConnection scrolled_;
  ScopedConnection allocated_;
};

}  // namespace vesk
