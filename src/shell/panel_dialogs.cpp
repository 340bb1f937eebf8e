#include "shell/panel_dialogs.h"

#include <gdk/gdkx.h>

#include <algorithm>

namespace vesk {
namespace {

// Room left around a dialog inside the usable area, and what the window manager's frame (title
// bar and borders) adds to the content's height.
constexpr int dialogMargin = 24;
constexpr int frameHeight = 32;
constexpr int smallestWidth = 320;
constexpr int smallestHeight = 240;

// Marks a dialog already adopted, so a dialog shown again is not connected twice.
constexpr const char* adoptedKey = "vesk-panel-dialog";

}  // namespace

PanelDialogs::PanelDialogs(GtkWindow* panel) : panel_(panel) {
  // Every window passes here once it is realized, before it is sized and mapped (a window being
  // shown is realized first): the one place to see dialogs that the web engine makes on its own.
  realizeSignal_ = g_signal_lookup("realize", GTK_TYPE_WIDGET);
  hook_ = g_signal_add_emission_hook(realizeSignal_, 0, &PanelDialogs::onRealize, this, nullptr);
}

PanelDialogs::~PanelDialogs() {
  if (hook_) g_signal_remove_emission_hook(realizeSignal_, hook_);
  for (GtkWidget* dialog : adopted_) {
    g_signal_handlers_disconnect_by_data(dialog, this);
    g_object_weak_unref(G_OBJECT(dialog), weakNotify, this);
  }
}

ScreenSize PanelDialogs::largestSize(const ScreenRect& area) {
  return {std::max(smallestWidth, area.width - 2 * dialogMargin),
          std::max(smallestHeight, area.height - 2 * dialogMargin - frameHeight)};
}

bool PanelDialogs::belongsToPanel(GtkWindow* window) const {
  if (!window || window == panel_ || gtk_window_get_window_type(window) != GTK_WINDOW_TOPLEVEL) return false;
  for (GtkWindow* parent = gtk_window_get_transient_for(window); parent;
       parent = gtk_window_get_transient_for(parent)) {
    if (parent == panel_) return true;
  }
  return false;
}

gboolean PanelDialogs::onRealize(GSignalInvocationHint*, guint count, const GValue* values, gpointer self) {
  if (count > 0) {
    GObject* object = static_cast<GObject*>(g_value_get_object(&values[0]));
    if (object && GTK_IS_WINDOW(object)) static_cast<PanelDialogs*>(self)->adopt(GTK_WINDOW(object));
  }
  return TRUE;  // stay installed
}

void PanelDialogs::adopt(GtkWindow* dialog) {
  if (!belongsToPanel(dialog)) return;
  // The usable area of the monitor the panel is on.
  GdkDisplay* display = gtk_widget_get_display(GTK_WIDGET(panel_));
  GdkWindow* panelWindow = gtk_widget_get_window(GTK_WIDGET(panel_));
  GdkMonitor* monitor = panelWindow ? gdk_display_get_monitor_at_window(display, panelWindow) : nullptr;
  if (!monitor) monitor = gdk_display_get_primary_monitor(display);
  if (monitor) {
    GdkRectangle area{};
    gdk_monitor_get_workarea(monitor, &area);
    const ScreenSize largest = largestSize({area.x, area.y, area.width, area.height});
    GdkGeometry geometry{};
    geometry.max_width = largest.width;
    geometry.max_height = largest.height;
    gtk_window_set_geometry_hints(dialog, nullptr, &geometry, GDK_HINT_MAX_SIZE);
    int width = 0, height = 0;
    gtk_window_get_default_size(dialog, &width, &height);
    if (width > largest.width || height > largest.height) {
      gtk_window_set_default_size(dialog, std::min(width, largest.width), std::min(height, largest.height));
    }
  }
  // The panel is kept above other windows: its dialogs must be too, or they open behind it.
  gtk_window_set_keep_above(dialog, TRUE);
  if (g_object_get_data(G_OBJECT(dialog), adoptedKey)) return;
  g_object_set_data(G_OBJECT(dialog), adoptedKey, GINT_TO_POINTER(1));
  // Connected for as long as the panel's window lives (which outlives this object).
  g_signal_connect_object(dialog, "hide",
                          G_CALLBACK(+[](GtkWidget*, gpointer panel) { returnFocus(GTK_WINDOW(panel)); }), panel_,
                          GConnectFlags(0));
  // While this object lives: it disconnects them all when it goes.
  auto recount = +[](GtkWidget*, gpointer self) { static_cast<PanelDialogs*>(self)->recount(); };
  g_signal_connect(dialog, "map", G_CALLBACK(recount), this);
  g_signal_connect(dialog, "unmap", G_CALLBACK(recount), this);
  adopted_.push_back(GTK_WIDGET(dialog));
  g_object_weak_ref(G_OBJECT(dialog), weakNotify, this);
}

void PanelDialogs::weakNotify(gpointer self, GObject* gone) {
  auto* dialogs = static_cast<PanelDialogs*>(self);
  std::erase(dialogs->adopted_, reinterpret_cast<GtkWidget*>(gone));
  dialogs->recount();
}

void PanelDialogs::recount() {
  const bool open = std::any_of(adopted_.begin(), adopted_.end(), [](GtkWidget* dialog) {
    return gtk_widget_get_mapped(dialog) && gtk_widget_get_visible(dialog);
  });
  if (open == anyOpen_) return;
  anyOpen_ = open;
  if (onDialogsOpen) onDialogsOpen(open);
}

void PanelDialogs::returnFocus(GtkWindow* panel) {
  // The window manager may hand the keyboard elsewhere when a dialog closes: give it back to the
  // panel, whose focused widget (the page) then has it again.
  if (!gtk_widget_get_visible(GTK_WIDGET(panel))) return;
  guint32 time = gtk_get_current_event_time();
  GdkWindow* window = gtk_widget_get_window(GTK_WIDGET(panel));
  if (time == GDK_CURRENT_TIME && window && GDK_IS_X11_WINDOW(window)) time = gdk_x11_get_server_time(window);
  gtk_window_present_with_time(panel, time);
}

}  // namespace vesk
