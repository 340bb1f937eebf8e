#include "shell/click_monitor.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <gtk/gtkx.h>

#include <utility>

namespace vesk {
namespace {

bool isMonitoredButton(int button) { return button == 1 || button == 3; }

int xinputOpcode(Display* display) {
  int opcode = 0, event = 0, error = 0;
  return XQueryExtension(display, "XInputExtension", &opcode, &event, &error) ? opcode : -1;
}

// Which of our windows a toplevel is, seen from the panel.
ClickTarget classify(GtkWidget* toplevel, GtkWidget* panel) {
  if (!toplevel || !GTK_IS_WINDOW(toplevel)) return ClickTarget::other;
  if (panel && toplevel == panel) return ClickTarget::panel;
  if (GTK_IS_PLUG(toplevel)) return ClickTarget::trayIcon;
  // Menus, drop-downs, pop-ups and tooltips are popup windows of whatever opened them.
  if (gtk_window_get_window_type(GTK_WINDOW(toplevel)) == GTK_WINDOW_POPUP) return ClickTarget::ownTransient;
  // Dialogs a page or the panel opens (a file chooser) are transient for the panel.
  for (GtkWindow* parent = gtk_window_get_transient_for(GTK_WINDOW(toplevel)); parent;
       parent = gtk_window_get_transient_for(parent)) {
    if (GTK_WIDGET(parent) == panel) return ClickTarget::ownTransient;
  }
  return ClickTarget::other;
}

class FilterToken : public ClickMonitorToken {
 public:
  FilterToken() = default;
  ~FilterToken() override {
    if (installed_) gdk_window_remove_filter(nullptr, &FilterToken::dispatch, this);
  }

 protected:
  void install() {
    gdk_window_add_filter(nullptr, &FilterToken::dispatch, this);
    installed_ = true;
  }
  virtual void handle(XEvent& xevent) = 0;

 private:
  static GdkFilterReturn dispatch(GdkXEvent* xevent, GdkEvent*, gpointer self) {
    // The handler may remove this monitor: handle() must not touch the token after calling it.
    static_cast<FilterToken*>(self)->handle(*static_cast<XEvent*>(xevent));
    return GDK_FILTER_CONTINUE;
  }
  bool installed_ = false;
};

class GlobalMonitor final : public FilterToken {
 public:
  GlobalMonitor(GdkDisplay* display, std::function<void(ScreenPoint)> handler)
      : display_(display), xdisplay_(gdk_x11_display_get_xdisplay(display)), handler_(std::move(handler)) {
    opcode_ = xinputOpcode(xdisplay_);
    if (opcode_ < 0) return;
    select(true);
    install();
  }
  ~GlobalMonitor() override {
    if (opcode_ >= 0) select(false);
  }

 private:
  void select(bool on) {
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    if (on) XISetMask(bits, XI_RawButtonPress);
    XIEventMask mask{XIAllMasterDevices, on ? static_cast<int>(sizeof bits) : 0, bits};
    gdk_x11_display_error_trap_push(display_);
    XISelectEvents(xdisplay_, DefaultRootWindow(xdisplay_), &mask, 1);
    XFlush(xdisplay_);
    gdk_x11_display_error_trap_pop_ignored(display_);
  }

  void handle(XEvent& xevent) override {
    if (xevent.type != GenericEvent || xevent.xcookie.extension != opcode_ ||
        xevent.xcookie.evtype != XI_RawButtonPress || !xevent.xcookie.data) {
      return;
    }
    const auto* raw = static_cast<const XIRawEvent*>(xevent.xcookie.data);
    if (!isMonitoredButton(raw->detail)) return;
    // Raw events carry no position: ask where the pointer is. Presses over our own windows
    // (the panel, its menus, our own tray icon) belong to the local monitor.
    GdkDevice* pointer = gdk_seat_get_pointer(gdk_display_get_default_seat(display_));
    if (pointer && gdk_device_get_window_at_position(pointer, nullptr, nullptr)) return;
    Window root = 0, child = 0;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned int mask = 0;
    XQueryPointer(xdisplay_, DefaultRootWindow(xdisplay_), &root, &child, &rootX, &rootY, &x, &y, &mask);
    auto handler = handler_;  // the handler may destroy this monitor
    handler(ScreenPoint{rootX, rootY});
  }

  GdkDisplay* display_;
  Display* xdisplay_;
  std::function<void(ScreenPoint)> handler_;
  int opcode_ = -1;
};

class LocalMonitor final : public FilterToken {
 public:
  LocalMonitor(GdkDisplay* display, std::function<void*()> panel, std::function<void(ClickTarget)> handler)
      : display_(display), panel_(std::move(panel)), handler_(std::move(handler)) {
    opcode_ = xinputOpcode(gdk_x11_display_get_xdisplay(display));
    install();
  }

 private:
  void handle(XEvent& xevent) override {
    Window window = 0;
    if (xevent.type == GenericEvent && xevent.xcookie.extension == opcode_ && xevent.xcookie.evtype == XI_ButtonPress &&
        xevent.xcookie.data) {
      const auto* event = static_cast<const XIDeviceEvent*>(xevent.xcookie.data);
      if (!isMonitoredButton(event->detail)) return;
      window = event->event;
    } else if (xevent.type == ButtonPress) {
      if (!isMonitoredButton(static_cast<int>(xevent.xbutton.button))) return;
      window = xevent.xbutton.window;
    } else {
      return;
    }
    GdkWindow* gdkWindow = gdk_x11_window_lookup_for_display(display_, window);
    if (!gdkWindow) return;  // not a window GTK draws: nothing to decide
    gpointer widget = nullptr;
    gdk_window_get_user_data(gdk_window_get_toplevel(gdkWindow), &widget);
    const ClickTarget target = classify(widget ? GTK_WIDGET(widget) : nullptr, static_cast<GtkWidget*>(panel_()));
    auto handler = handler_;  // the handler may destroy this monitor
    handler(target);
  }

  GdkDisplay* display_;
  std::function<void*()> panel_;
  std::function<void(ClickTarget)> handler_;
  int opcode_ = -1;
};

class X11ClickMonitors final : public ClickMonitors {
 public:
  explicit X11ClickMonitors(std::function<void*()> panel) : panel_(std::move(panel)) {}

  std::unique_ptr<ClickMonitorToken> addGlobalMonitor(std::function<void(ScreenPoint)> handler) override {
    GdkDisplay* display = gdk_display_get_default();
    if (!display || !GDK_IS_X11_DISPLAY(display)) return nullptr;
    return std::make_unique<GlobalMonitor>(display, std::move(handler));
  }
  std::unique_ptr<ClickMonitorToken> addLocalMonitor(std::function<void(ClickTarget)> handler) override {
    GdkDisplay* display = gdk_display_get_default();
    if (!display || !GDK_IS_X11_DISPLAY(display)) return nullptr;
    return std::make_unique<LocalMonitor>(display, panel_, std::move(handler));
  }

 private:
  std::function<void*()> panel_;
};

}  // namespace

std::unique_ptr<ClickMonitors> makeX11ClickMonitors(std::function<void*()> panelWindow) {
  return std::make_unique<X11ClickMonitors>(std::move(panelWindow));
}

}  // namespace vesk
