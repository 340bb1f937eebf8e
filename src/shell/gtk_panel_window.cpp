#include "shell/gtk_panel_window.h"

#include <gdk/gdkx.h>
#include <gdkmm/display.h>
#include <gdkmm/monitor.h>
#include <glibmm/main.h>
#include <gtk-layer-shell/gtk-layer-shell.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "hotkeys/current_session.h"
#include "model/glib_handles.h"
#include "model/strings.h"
#include "shell/display_session.h"
#include "shell/sway_work_area.h"

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
  // The panel keeps its look when it loses the keyboard. GTK would give every widget the
  // unfocused look (the backdrop state) as the hidden panel loses the focus, and restyle them all
  // again when it is next shown: a few milliseconds on the way from the key to the mapped panel.
  // The panel closes when it loses the keyboard, so that look would only ever show behind the
  // panel's own dialogs. Other window states still reach GTK.
  window_.signal_window_state_event().connect(
      [](GdkEventWindowState* event) {
        return (event->changed_mask & GDK_WINDOW_STATE_FOCUSED) &&
               !(event->new_window_state & GDK_WINDOW_STATE_FOCUSED);
      },
      false);
  frame_.setSize(width_, height_);
  window_.add(frame_);
  frame_.show();
  // Closing it from the window manager only hides it; the shell decides when it is shown.
  window_.signal_delete_event().connect([this](GdkEventAny*) {
    window_.hide();
    return true;
  });

  // On a Wayland compositor that offers layer surfaces the panel is one: kept above windows at a
  // screen edge, clear of the bars, taking the keyboard when shown and giving it back on demand.
  // It lives on the overlay layer, one above the click catcher's: compositors order the surfaces
  // of one layer as they please (sway 1.7 puts the older on top, and the catcher, mapped first,
  // then took every click meant for the panel), while a higher layer is always on top.
  GdkDisplay* display = gdk_display_get_default();
  if (display && !GDK_IS_X11_DISPLAY(display) && layerShellOffered()) {
    GtkWindow* window = window_.gobj();
    gtk_layer_init_for_window(window);
    gtk_layer_set_namespace(window, "vesk");
    gtk_layer_set_layer(window, GTK_LAYER_SHELL_LAYER_OVERLAY);
    gtk_layer_set_keyboard_mode(window, GTK_LAYER_SHELL_KEYBOARD_MODE_ON_DEMAND);
    layerShell_ = true;
    // Shown, it takes the keyboard as a window presented by the user would, and keeps it until
    // it closes (a click outside lands on the catcher below).
    keyboardClaim_ = std::make_unique<LayerKeyboardClaim>(window);
    // While the panel is shown a transparent layer surface under it covers the rest of the
    // screen, bars included: a click there closes the panel, as a click outside a pop-over does.
    GtkWindow* catcher = catcher_.gobj();
    gtk_layer_init_for_window(catcher);
    gtk_layer_set_namespace(catcher, "vesk-outside");
    gtk_layer_set_layer(catcher, GTK_LAYER_SHELL_LAYER_TOP);
    gtk_layer_set_keyboard_mode(catcher, GTK_LAYER_SHELL_KEYBOARD_MODE_NONE);
    gtk_layer_set_exclusive_zone(catcher, -1);
    for (auto edge :
         {GTK_LAYER_SHELL_EDGE_LEFT, GTK_LAYER_SHELL_EDGE_RIGHT, GTK_LAYER_SHELL_EDGE_TOP, GTK_LAYER_SHELL_EDGE_BOTTOM})
      gtk_layer_set_anchor(catcher, edge, TRUE);
    catchClicks();
  }
  // Where clicks in other applications cannot be seen (on Wayland, and in Wayland windows for an
  // X11 window through Xwayland), the panel closes when another application takes the keyboard.
  // A bar takes no keyboard: through Xwayland on sway, strips of Wayland surfaces of our own over
  // the bars catch clicks there while the panel is shown.
  const DesktopSession session = currentDesktopSession();
  if (session.display == DisplayKind::xwayland && session.sway()) {
    swaySocket_ = session.swaySocket;
    barCatcher_ = std::make_unique<BarClickCatcher>([this] {
      if (isShown() && onFocusLost) onFocusLost();
    });
    barHide_ = window_.signal_hide().connect([this] {
      barDelay_.disconnect();
      barQuestion_.cancelPending();
      barCatcher_->uncover();
    });
  }
  closesOnFocusLoss_ = session.waylandSession();
  focusIn_ = window_.signal_focus_in_event().connect([this](GdkEventFocus*) {
    if (onFocused) onFocused();
    return false;
  });
  if (session.gnomeShell) startDesktopCatcher();
  if (closesOnFocusLoss_) {
    focusOut_ = window_.signal_focus_out_event().connect([this](GdkEventFocus*) {
      focusOut();
      return false;
    });
  }
}

GtkPanelWindow::~GtkPanelWindow() = default;

void GtkPanelWindow::watchOverview(bool watch) {
  overviewWatch_.end();
  if (!watch) return;
  // The session bus is already connected (the tray icon lives on it): this returns it at once.
  GObjectPtr<GDBusConnection> bus(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
  if (!bus) return;
  overviewWatch_ = BusSubscription(
      bus.get(), g_dbus_connection_signal_subscribe(
                     bus.get(), "org.gnome.Shell", "org.freedesktop.DBus.Properties", "PropertiesChanged",
                     "/org/gnome/Shell", "org.gnome.Shell", G_DBUS_SIGNAL_FLAGS_NONE,
                     [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* parameters,
                        gpointer data) {
                       auto* self = static_cast<GtkPanelWindow*>(data);
                       if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(sa{sv}as)"))) return;
                       GVariantPtr changed(g_variant_get_child_value(parameters, 1));
                       gboolean overview = FALSE;
                       if (g_variant_lookup(changed.get(), "OverviewActive", "b", &overview) && overview &&
                           self->isShown() && self->onFocusLost)
                         self->onFocusLost();
                     },
                     this, nullptr));
}

void GtkPanelWindow::catchClicks() {
  if (auto visual = catcher_.get_screen()->get_rgba_visual())
    gtk_widget_set_visual(GTK_WIDGET(catcher_.gobj()), visual->gobj());
  catcher_.set_app_paintable(true);
  catcher_.add_events(Gdk::BUTTON_PRESS_MASK);
  catcher_.signal_draw().connect([](const Cairo::RefPtr<Cairo::Context>& cr) {
    cr->set_operator(Cairo::OPERATOR_SOURCE);
    cr->set_source_rgba(0, 0, 0, 0);
    cr->paint();
    return true;
  });
  catcher_.signal_button_press_event().connect([this](GdkEventButton*) {
    if (isShown() && onFocusLost) onFocusLost();
    return true;
  });
  window_.signal_hide().connect([this] {
    catcher_.hide();
    watchOverview(false);
  });
}

void GtkPanelWindow::startDesktopCatcher() {
  desktopCatcher_ = true;
  catcher_.set_title(std::string(strings::appName()));
  catcher_.set_decorated(false);
  catcher_.set_skip_taskbar_hint(true);
  catcher_.set_skip_pager_hint(true);
  catcher_.set_accept_focus(false);
  catcher_.set_type_hint(Gdk::WINDOW_TYPE_HINT_DESKTOP);
  catchClicks();
}

void GtkPanelWindow::showDesktopCatcher() {
  if (!desktopCatcher_) return;
  // It covers the panel's monitor; other windows, the panel and the shell stay above it.
  GdkMonitor* monitor = monitorFor(anchor_);
  if (!monitor) return;
  GdkRectangle area{};
  gdk_monitor_get_geometry(monitor, &area);
  catcher_.move(area.x, area.y);
  catcher_.set_default_size(area.width, area.height);
  catcher_.resize(area.width, area.height);
  catcher_.show();
  watchOverview(true);
}

void GtkPanelWindow::focusOut() {
  // The focus moves on a moment later to the panel's own menu or dialog, if it was one of them
  // that took it: decide once events have settled.
  focusCheck_ = Glib::signal_idle().connect([this] {
    if (isShown() && !window_.has_toplevel_focus() && !ownWindowHasFocus() && onFocusLost) onFocusLost();
    return false;
  });
}

bool GtkPanelWindow::ownWindowHasFocus() const {
  GList* windows = gtk_window_list_toplevels();
  bool focused = false;
  for (GList* item = windows; item && !focused; item = item->next) {
    auto* window = GTK_WINDOW(item->data);
    if (window == window_.gobj() || !gtk_widget_get_visible(GTK_WIDGET(window))) continue;
    // Menus and drop-downs are pop-ups; dialogs the panel opens are transient for it.
    bool ours = gtk_window_get_window_type(window) == GTK_WINDOW_POPUP;
    for (GtkWindow* parent = gtk_window_get_transient_for(window); parent && !ours;
         parent = gtk_window_get_transient_for(parent)) {
      ours = parent == window_.gobj();
    }
    focused = ours && (gtk_window_get_window_type(window) == GTK_WINDOW_POPUP || gtk_window_is_active(window));
  }
  g_list_free(windows);
  return focused;
}

bool GtkPanelWindow::isShown() const { return window_.get_visible(); }

void GtkPanelWindow::setContentSize(int width, int height) {
  width_ = std::max(1, width);
  height_ = std::max(1, height);
  frame_.setSize(width_, height_);
  window_.set_size_request(width_, height_);
  window_.resize(width_, height_);
  // An open panel that grows (the size sliders act while dragging) stays under its icon and
  // inside the monitor's usable area.
  if (isShown() && layerShell_) {
    placeLayer(anchor_);
  } else if (isShown()) {
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

GtkPanelWindow::LayerPlacement GtkPanelWindow::layerPlacement(const std::optional<ScreenRect>& anchor,
                                                              const ScreenRect& area, int width) {
  if (!anchor) return {};
  LayerPlacement placement;
  placement.top = anchor->y + anchor->height / 2 <= area.y + area.height / 2;
  placement.left = true;
  placement.sideMargin =
      std::clamp(anchor->x + anchor->width / 2 - width / 2 - area.x, 0, std::max(0, area.width - width));
  return placement;
}

void GtkPanelWindow::placeLayer(const std::optional<ScreenRect>& anchor) {
  const ScreenRect area = workArea(anchor).value_or(ScreenRect{0, 0, 1000, 800});
  const LayerPlacement at = layerPlacement(anchor, area, width_);
  GtkWindow* window = window_.gobj();
  gtk_layer_set_anchor(window, GTK_LAYER_SHELL_EDGE_TOP, at.top);
  gtk_layer_set_anchor(window, GTK_LAYER_SHELL_EDGE_BOTTOM, !at.top);
  gtk_layer_set_anchor(window, GTK_LAYER_SHELL_EDGE_LEFT, at.left);
  gtk_layer_set_anchor(window, GTK_LAYER_SHELL_EDGE_RIGHT, !at.left);
  gtk_layer_set_margin(window, at.top ? GTK_LAYER_SHELL_EDGE_TOP : GTK_LAYER_SHELL_EDGE_BOTTOM, iconGap);
  gtk_layer_set_margin(window, at.left ? GTK_LAYER_SHELL_EDGE_LEFT : GTK_LAYER_SHELL_EDGE_RIGHT, at.sideMargin);
}

void GtkPanelWindow::showUnder(const std::optional<ScreenRect>& anchor) {
  anchor_ = anchor;
  if (layerShell_) {
    placeLayer(anchor);
    if (!dialogsOpen_) {
      keyboardClaim_->start();
      catcher_.show();
    }
    window_.show();
    window_.present();
    gdk_display_flush(gdk_display_get_default());
    return;
  }
  const ScreenRect area = workArea(anchor).value_or(ScreenRect{0, 0, 1000, 800});
  const ScreenPoint at = placement(anchor, area, width_, height_);
  window_.move(at.x, at.y);
  gtk_widget_realize(GTK_WIDGET(window_.gobj()));
  // Focus goes to a window presented with the time of the user's action; a press on the tray
  // icon or a hot key reaches us without a GDK event, so ask the X server for its time.
  guint32 time = gtk_get_current_event_time();
  GdkWindow* gdkWindow = window_.get_window() ? window_.get_window()->gobj() : nullptr;
  if (time == GDK_CURRENT_TIME && gdkWindow && GDK_IS_X11_WINDOW(gdkWindow)) time = gdk_x11_get_server_time(gdkWindow);
  // The window is mapped stamped with that time. Until Vesk has had an input event of its own
  // (the first show, by a key the desktop's shortcut service reports over D-Bus), GTK would stamp
  // it 0, "do not focus on map", which KWin obeys: the keys then went to the desktop.
  if (gdkWindow && GDK_IS_X11_WINDOW(gdkWindow) && time != GDK_CURRENT_TIME)
    gdk_x11_window_set_user_time(gdkWindow, time);
  showDesktopCatcher();
  window_.show();
  window_.move(at.x, at.y);
  window_.present(time);
  // The map request goes out now, not at the end of this main-loop turn, which lays out and draws
  // the panel: the window manager maps the window meanwhile.
  gdk_display_flush(gdk_display_get_default());
  if (barCatcher_) coverBars();
}

void GtkPanelWindow::coverBars() {
  // The tray icon is in a bar: the second click of a double click on it (which opens the tray
  // menu) must still reach it, so the strips come only once the double-click time has passed.
  barDelay_ = Glib::signal_timeout().connect(
      [this] {
        askWhereTheBarsAre();
        return false;
      },
      static_cast<unsigned>(doubleClickTime().count()));
}

void GtkPanelWindow::askWhereTheBarsAre() {
  barQuestion_.cancelPending();
  askSwayWorkArea(swaySocket_, barQuestion_.get(), [this](std::optional<ScreenRect> area) {
    if (!area || !isShown()) return;
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* monitor =
        display ? gdk_display_get_monitor_at_point(display, area->x + area->width / 2, area->y + area->height / 2)
                : nullptr;
    if (!monitor) return;
    GdkRectangle output{};
    gdk_monitor_get_geometry(monitor, &output);
    barCatcher_->cover(ScreenRect{output.x, output.y, output.width, output.height}, *area);
  });
}

void GtkPanelWindow::close() { window_.hide(); }

void GtkPanelWindow::makeWayForDialogs(bool open) {
  if (!layerShell_ || open == dialogsOpen_) return;
  dialogsOpen_ = open;
  gtk_layer_set_layer(window_.gobj(), open ? GTK_LAYER_SHELL_LAYER_BOTTOM : GTK_LAYER_SHELL_LAYER_OVERLAY);
  if (open) {
    catcher_.hide();
  } else if (isShown()) {
    catcher_.show();
    // Back on top the panel asks for the keyboard again: the compositor gave it to the dialog.
    keyboardClaim_->start();
  }
}

std::optional<ScreenRect> GtkPanelWindow::workArea(const std::optional<ScreenRect>& anchor) const {
  GdkMonitor* monitor = monitorFor(anchor);
  if (!monitor) return std::nullopt;
  GdkRectangle area{};
  gdk_monitor_get_workarea(monitor, &area);
  if (area.width <= 0 || area.height <= 0) return std::nullopt;
  return ScreenRect{area.x, area.y, area.width, area.height};
}

}  // namespace vesk
