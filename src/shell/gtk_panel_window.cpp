#include "shell/gtk_panel_window.h"

#include <gdk/gdkx.h>
#include <gdkmm/display.h>
#include <gdkmm/monitor.h>
#include <gtk/gtk.h>

#include <algorithm>

#include "model/strings.h"

namespace vesk {
namespace {

constexpr int iconGap = 2;

GdkMonitor* monitorFor(const std::optional<ScreenRect>& anchor) {
  GdkDisplay* display = gdk_display_get_default();
  if (!display) return nullptr;
  GdkMonitor* monitor = nullptr;
  if (anchor)
    monitor = gdk_display_get_monitor_at_point(display, anchor->x + anchor->width / 2, anchor->y + anchor->height / 2);
  if (!monitor) monitor = gdk_display_get_primary_monitor(display);
  if (!monitor && gdk_display_get_n_monitors(display) > 0) monitor = gdk_display_get_monitor(display, 0);
  return monitor;
}

}  // namespace

PanelContentFrame::PanelContentFrame() { set_has_window(false); }

void PanelContentFrame::setSize(int width, int height) {
  if (width == width_ && height == height_) return;
  width_ = width;
  height_ = height;
  queue_resize();
}

Gtk::SizeRequestMode PanelContentFrame::get_request_mode_vfunc() const { return Gtk::SIZE_REQUEST_CONSTANT_SIZE; }

void PanelContentFrame::get_preferred_width_vfunc(int& minimum, int& natural) const { minimum = natural = width_; }

void PanelContentFrame::get_preferred_height_vfunc(int& minimum, int& natural) const { minimum = natural = height_; }

void PanelContentFrame::get_preferred_width_for_height_vfunc(int, int& minimum, int& natural) const {
  minimum = natural = width_;
}

void PanelContentFrame::get_preferred_height_for_width_vfunc(int, int& minimum, int& natural) const {
  minimum = natural = height_;
}

void PanelContentFrame::on_size_allocate(Gtk::Allocation& allocation) {
  set_allocation(allocation);
  Gtk::Widget* child = get_child();
  if (!child || !child->get_visible()) return;
  int minimumWidth = 0, naturalWidth = 0;
  child->get_preferred_width(minimumWidth, naturalWidth);
  const int width = std::max(allocation.get_width(), minimumWidth);
  int minimumHeight = 0, naturalHeight = 0;
  child->get_preferred_height_for_width(width, minimumHeight, naturalHeight);
  Gtk::Allocation inside = allocation;
  inside.set_width(width);
  inside.set_height(std::max(allocation.get_height(), minimumHeight));
  child->size_allocate(inside);
}

GtkPanelWindow::GtkPanelWindow() {
  window_.set_title(std::string(strings::appName()));
  window_.set_role("vesk-panel");
  window_.set_decorated(false);
  window_.set_resizable(false);
  window_.set_skip_taskbar_hint(true);
  window_.set_skip_pager_hint(true);
  window_.set_keep_above(true);
  window_.set_type_hint(Gdk::WINDOW_TYPE_HINT_UTILITY);
  window_.stick();
  window_.set_default_size(width_, height_);
  window_.get_style_context()->add_class("vesk-panel");
  frame_.setSize(width_, height_);
  window_.add(frame_);
  frame_.show();
  // Closing it from the window manager only hides it; the shell decides when it is shown.
  window_.signal_delete_event().connect([this](GdkEventAny*) {
    window_.hide();
    return true;
  });
}

GtkPanelWindow::~GtkPanelWindow() = default;

bool GtkPanelWindow::isShown() const { return window_.get_visible(); }

void GtkPanelWindow::setContentSize(int width, int height) {
  width_ = std::max(1, width);
  height_ = std::max(1, height);
  frame_.setSize(width_, height_);
  window_.set_size_request(width_, height_);
  window_.resize(width_, height_);
  // An open panel that grows (the size sliders act while dragging) stays under its icon and
  // inside the monitor's usable area.
  if (isShown()) {
    const ScreenRect area = workArea(anchor_).value_or(ScreenRect{0, 0, 1000, 800});
    const ScreenPoint at = placement(anchor_, area, width_, height_);
    window_.move(at.x, at.y);
  }
}

void GtkPanelWindow::setContent(Gtk::Widget* content) {
  if (!content) return;
  if (frame_.get_child()) frame_.remove();
  frame_.add(*content);
  content->show();
}

bool GtkPanelWindow::hasContent() const { return frame_.get_child() != nullptr; }

ScreenPoint GtkPanelWindow::placement(const std::optional<ScreenRect>& anchor, const ScreenRect& area, int width,
                                      int height) {
  int x = area.x + area.width - width;
  int y = area.y;
  if (anchor) {
    x = anchor->x + anchor->width / 2 - width / 2;
    const bool iconInLowerHalf = anchor->y + anchor->height / 2 > area.y + area.height / 2;
    y = iconInLowerHalf ? anchor->y - iconGap - height : anchor->y + anchor->height + iconGap;
  }
  x = std::clamp(x, area.x, std::max(area.x, area.x + area.width - width));
  y = std::clamp(y, area.y, std::max(area.y, area.y + area.height - height));
  return {x, y};
}

void GtkPanelWindow::showUnder(const std::optional<ScreenRect>& anchor) {
  anchor_ = anchor;
  const ScreenRect area = workArea(anchor).value_or(ScreenRect{0, 0, 1000, 800});
  const ScreenPoint at = placement(anchor, area, width_, height_);
  window_.move(at.x, at.y);
  gtk_widget_realize(GTK_WIDGET(window_.gobj()));
  // Focus goes to a window presented with the time of the user's action; a press on the tray
  // icon or a hot key reaches us without a GDK event, so ask the X server for its time.
  guint32 time = gtk_get_current_event_time();
  GdkWindow* gdkWindow = window_.get_window() ? window_.get_window()->gobj() : nullptr;
  if (time == GDK_CURRENT_TIME && gdkWindow && GDK_IS_X11_WINDOW(gdkWindow)) time = gdk_x11_get_server_time(gdkWindow);
  window_.show();
  window_.move(at.x, at.y);
  window_.present(time);
}

void GtkPanelWindow::close() { window_.hide(); }

std::optional<ScreenRect> GtkPanelWindow::workArea(const std::optional<ScreenRect>& anchor) const {
  GdkMonitor* monitor = monitorFor(anchor);
  if (!monitor) return std::nullopt;
  GdkRectangle area{};
  gdk_monitor_get_workarea(monitor, &area);
  if (area.width <= 0 || area.height <= 0) return std::nullopt;
  return ScreenRect{area.x, area.y, area.width, area.height};
}

}  // namespace vesk
