#include "panel/windowed_rows.h"

#include <gtkmm/adjustment.h>

#include <algorithm>

namespace vesk {

namespace {
// Before the list has a place on screen: as many rows as a panel of the default height shows.
constexpr int unplacedViewHeight = 700;
}  // namespace

WindowedRows::WindowedRows(Gtk::Box& box, int stride, int lastShorterBy, std::function<Gtk::Widget*(std::size_t)> build)
    : box_(box), stride_(stride), lastShorterBy_(lastShorterBy), build_(std::move(build)) {
  box_.pack_start(above_, Gtk::PACK_SHRINK);
  box_.pack_start(below_, Gtk::PACK_SHRINK);
  above_.set_no_show_all(true);
  below_.set_no_show_all(true);
  // The view is found once the list sits in a window; its size tells which rows are in view.
  allocated_ = box_.signal_size_allocate().connect([this](Gtk::Allocation&) { updates_.schedule(); });
}

WindowedRows::~WindowedRows() = default;

int WindowedRows::heightOf(std::size_t first, std::size_t end) const {
  if (end <= first) return 0;
  return static_cast<int>(end - first) * stride_ - (end == count_ ? lastShorterBy_ : 0);
}

void WindowedRows::watchView() {
  if (view_) return;
  view_ = dynamic_cast<Gtk::ScrolledWindow*>(
      Glib::wrap(gtk_widget_get_ancestor(GTK_WIDGET(box_.gobj()), GTK_TYPE_SCROLLED_WINDOW)));
  if (!view_) return;
  scrolled_ = view_->get_vadjustment()->signal_value_changed().connect([this] { updates_.schedule(); });
}

std::pair<std::size_t, std::size_t> WindowedRows::wanted() {
  watchView();
  int top = 0;
  int height = unplacedViewHeight;
  int x = 0, y = 0;
  if (view_ && box_.get_mapped() && box_.translate_coordinates(*view_, 0, 0, x, y)) {
    top = std::max(0, -y);
    height = view_->get_allocated_height();
  }
  const std::size_t first = static_cast<std::size_t>(top / stride_);
  const std::size_t last = static_cast<std::size_t>((top + height) / stride_) + 1;
  return {std::min(count_, first > margin ? first - margin : 0), std::min(count_, last + margin)};
}

void WindowedRows::reset(std::size_t count) {
  for (auto& [index, widget] : built_) gtk_widget_destroy(GTK_WIDGET(widget->gobj()));
  built_.clear();
  count_ = count;
  update();
}

void WindowedRows::update() {
  updates_.cancel();
  const auto [first, end] = wanted();
  const bool same = built_.empty() ? first == end : built_.front().first == first && built_.back().first + 1 == end;
  if (same && !built_.empty()) return;

  // Keep the rows that stay (one of them may hold the keyboard focus), drop the others.
  std::vector<std::pair<std::size_t, Gtk::Widget*>> rows;
  for (auto& [index, widget] : built_) {
    if (index >= first && index < end) {
      rows.emplace_back(index, widget);
    } else {
      gtk_widget_destroy(GTK_WIDGET(widget->gobj()));
    }
  }
  std::vector<std::pair<std::size_t, Gtk::Widget*>> next;
  std::size_t kept = 0;
  for (std::size_t index = first; index < end; ++index) {
    if (kept < rows.size() && rows[kept].first == index) {
      next.push_back(rows[kept++]);
      continue;
    }
    Gtk::Widget* widget = build_(index);
    box_.pack_start(*widget, Gtk::PACK_SHRINK);
    widget->show_all();
    next.emplace_back(index, widget);
  }
  int position = 1;
  for (auto& [index, widget] : next) box_.reorder_child(*widget, position++);
  built_ = std::move(next);

  above_.set_size_request(-1, heightOf(0, first));
  above_.set_visible(first > 0);
  below_.set_size_request(-1, heightOf(end, count_));
  below_.set_visible(end < count_);
  box_.reorder_child(below_, -1);
}

}  // namespace vesk
