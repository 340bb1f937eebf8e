#include "shell/tray_menu.h"

#include <gdk/gdk.h>
#include <gtk-layer-shell/gtk-layer-shell.h>
#include <gtk/gtk.h>

#include <utility>

#include "model/strings.h"
#include "shell/display_session.h"
#include "shell/sway_work_area.h"

namespace vesk {

namespace {
constexpr const char* commandKey = "vesk-tray-command";
}  // namespace

std::vector<TrayMenuEntry> trayMenuEntries(bool withOpen) {
  std::vector<TrayMenuEntry> entries;
  if (withOpen) entries.push_back({std::string(strings::trayMenuOpen()), TrayCommand::open});
  entries.push_back({std::string(strings::trayMenuSettings()), TrayCommand::settings});
  entries.push_back({"", std::nullopt});
  entries.push_back({std::string(strings::quitVesk()), TrayCommand::quit});
  return entries;
}

void setTrayCommand(gpointer item, TrayCommand command) {
  g_object_set_data(G_OBJECT(item), commandKey, GINT_TO_POINTER(static_cast<int>(command) + 1));
}

TrayCommand trayCommandOf(gpointer item) {
  return static_cast<TrayCommand>(GPOINTER_TO_INT(g_object_get_data(G_OBJECT(item), commandKey)) - 1);
}

TrayPopupMenu::TrayPopupMenu(DesktopSession session, std::function<void(TrayCommand)> chosen)
    : session_(std::move(session)), chosen_(std::move(chosen)) {}

TrayPopupMenu::~TrayPopupMenu() = default;

void TrayPopupMenu::WidgetDestroy::operator()(GtkWidget* widget) const {
  gtk_widget_destroy(widget);
  g_object_unref(widget);
}

GtkWidget* TrayPopupMenu::menu() {
  if (menu_) return menu_.get();
  menu_.reset(GTK_WIDGET(g_object_ref_sink(gtk_menu_new())));
  for (const auto& entry : trayMenuEntries(false)) {
    if (!entry.command) {
      gtk_menu_shell_append(GTK_MENU_SHELL(menu_.get()), gtk_separator_menu_item_new());
      continue;
    }
    GtkWidget* item = gtk_menu_item_new_with_label(entry.label.c_str());
    setTrayCommand(item, *entry.command);
    signals_.push_back(SignalConnection::connect(item, "activate", G_CALLBACK(+[](GtkMenuItem* item, gpointer self) {
                                                   auto* menu = static_cast<TrayPopupMenu*>(self);
                                                   if (menu->chosen_) menu->chosen_(trayCommandOf(item));
                                                 }),
                                                 this));
    gtk_menu_shell_append(GTK_MENU_SHELL(menu_.get()), item);
  }
  gtk_widget_show_all(menu_.get());
  return menu_.get();
}

void TrayPopupMenu::popUp(std::optional<ScreenPoint> icon) {
  if (!gdk_display_get_default()) return;
  if (session_.display == DisplayKind::wayland) {
    popUpOnLayer();
    return;
  }
  if (icon) {
    popUpAt(*icon);
    return;
  }
  // Where the icon is is unknown: the top right of the usable area, where trays usually are.
  // Through Xwayland the X11 screen knows nothing of the compositor's bars (the menu would open
  // behind them): on sway, sway says where they leave room.
  if (session_.display == DisplayKind::xwayland && session_.sway()) {
    swayQuestion_.cancelPending();
    askSwayWorkArea(session_.swaySocket, swayQuestion_.get(),
                    [this](std::optional<ScreenRect> area) { popUpAtTopRight(area); });
    return;
  }
  popUpAtTopRight(std::nullopt);
}

void TrayPopupMenu::popUpAtPointer(GdkEvent* press) { gtk_menu_popup_at_pointer(GTK_MENU(menu()), press); }

void TrayPopupMenu::popUpAtTopRight(std::optional<ScreenRect> area) {
  GdkDisplay* display = gdk_display_get_default();
  if (!display) return;
  if (!area) {
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    if (!monitor && gdk_display_get_n_monitors(display) > 0) monitor = gdk_display_get_monitor(display, 0);
    if (!monitor) return;
    GdkRectangle workArea{};
    gdk_monitor_get_workarea(monitor, &workArea);
    area = ScreenRect{workArea.x, workArea.y, workArea.width, workArea.height};
  }
  popUpAt({area->x + area->width - 1, area->y});
}

void TrayPopupMenu::openFromParent() {
  if (!parent_ || !gtk_widget_get_visible(parent_.get()) || gtk_widget_get_visible(menu())) return;
  gtk_menu_popup_at_widget(GTK_MENU(menu()), parent_.get(), GDK_GRAVITY_SOUTH_EAST, GDK_GRAVITY_NORTH_EAST, nullptr);
}

void TrayPopupMenu::popUpOnLayer() {
  // Wayland has no parentless menus (they would become windows of their own) and no screen
  // positions: the menu opens from a window of ours at the top right. That window asks for the
  // keyboard and opens the menu once it has it, so that Escape and the arrows reach the menu; a
  // compositor that does not give it (sway 1.7) gets the menu a few frames later without keys.
  if (!layerShellOffered()) return;
  if (!parent_) {
    GtkWidget* parent = GTK_WIDGET(g_object_ref_sink(gtk_window_new(GTK_WINDOW_TOPLEVEL)));
    parent_.reset(parent);
    GtkWindow* window = GTK_WINDOW(parent);
    gtk_window_set_title(window, std::string(strings::appName()).c_str());
    gtk_window_set_default_size(window, 1, 1);
    gtk_widget_set_size_request(parent, 1, 1);
    gtk_widget_set_app_paintable(parent, TRUE);
    gtk_layer_init_for_window(window);
    gtk_layer_set_namespace(window, "vesk-menu");
    gtk_layer_set_layer(window, GTK_LAYER_SHELL_LAYER_OVERLAY);
    gtk_layer_set_keyboard_mode(window, GTK_LAYER_SHELL_KEYBOARD_MODE_EXCLUSIVE);
    gtk_layer_set_anchor(window, GTK_LAYER_SHELL_EDGE_TOP, TRUE);
    gtk_layer_set_anchor(window, GTK_LAYER_SHELL_EDGE_RIGHT, TRUE);
    // Without the keyboard after all, the menu opens anyway (it still closes on a click elsewhere).
    parentKeyboard_ = std::make_unique<LayerKeyboardClaim>(window, [this] { openFromParent(); });
    // The menu opens once its parent has the keyboard: a menu's grab keeps the keyboard where it
    // was when the menu opened.
    signals_.push_back(SignalConnection::connect(parent, "focus-in-event",
                                                 G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer self) -> gboolean {
                                                   static_cast<TrayPopupMenu*>(self)->openFromParent();
                                                   return FALSE;
                                                 }),
                                                 this));
    // The menu has no input event of ours to grab the keyboard with: the keys reach its parent,
    // which hands them on (Escape closes it, arrows and Return choose).
    signals_.push_back(SignalConnection::connect(
        parent, "key-press-event", G_CALLBACK(+[](GtkWidget*, GdkEventKey* event, gpointer self) -> gboolean {
          auto* menu = static_cast<TrayPopupMenu*>(self);
          if (!menu->menu_ || !gtk_widget_get_visible(menu->menu_.get())) return FALSE;
          if (event->keyval == GDK_KEY_Escape) {
            gtk_menu_shell_cancel(GTK_MENU_SHELL(menu->menu_.get()));
            return TRUE;
          }
          return gtk_widget_event(menu->menu_.get(), reinterpret_cast<GdkEvent*>(event));
        }),
        this));
    // While the menu holds its grab the keys reach the menu itself, yet on sway GTK's own Escape
    // binding (looked up by key code, while each keyboard there may bring its own keymap) was seen
    // to leave it open: Escape closes it here by its key value.
    signals_.push_back(SignalConnection::connect(
        menu(), "key-press-event", G_CALLBACK(+[](GtkWidget* menu, GdkEventKey* event, gpointer) -> gboolean {
          if (event->keyval != GDK_KEY_Escape) return FALSE;
          gtk_menu_shell_cancel(GTK_MENU_SHELL(menu));
          return TRUE;
        }),
        nullptr));
    signals_.push_back(SignalConnection::connect(menu(), "deactivate", G_CALLBACK(+[](GtkMenuShell*, gpointer self) {
                                                   auto* menu = static_cast<TrayPopupMenu*>(self);
                                                   if (menu->parent_) gtk_widget_hide(menu->parent_.get());
                                                 }),
                                                 this));
  }
  if (gtk_widget_get_visible(parent_.get())) return;
  parentKeyboard_->start();
  gtk_widget_show(parent_.get());
}

void TrayPopupMenu::popUpAt(ScreenPoint point) {
  GdkDisplay* display = gdk_display_get_default();
  if (!display) return;
  GdkWindow* root = gdk_get_default_root_window();
  GdkRectangle rect{point.x, point.y, 1, 1};
  // Through Xwayland, X11 keys arrive only while the compositor gives the keyboard to one of our X11
  // windows, and wlroots compositors never give it to an X11 pop-up menu: marked as an ordinary
  // window the menu gets the keyboard when it appears, so that Escape and the arrows reach it.
  g_object_set(
      menu(), "menu-type-hint",
      session_.display == DisplayKind::xwayland ? GDK_WINDOW_TYPE_HINT_NORMAL : GDK_WINDOW_TYPE_HINT_POPUP_MENU,
      nullptr);
  // A click on our own XEmbed icon is the event being handled: the menu takes over its grab.
  if (GdkEvent* current = gtk_get_current_event()) {
    const bool usable = current->type == GDK_BUTTON_PRESS || current->type == GDK_2BUTTON_PRESS ||
                        current->type == GDK_BUTTON_RELEASE || current->type == GDK_KEY_PRESS;
    if (usable)
      gtk_menu_popup_at_rect(GTK_MENU(menu()), root, &rect, GDK_GRAVITY_SOUTH_WEST, GDK_GRAVITY_NORTH_WEST, current);
    gdk_event_free(current);
    if (usable) return;
  }
  // The request came over the bus, not from one of our windows: give the menu an event of its
  // own so it can take the pointer and keyboard.
  GdkEvent* trigger = gdk_event_new(GDK_BUTTON_PRESS);
  trigger->button.window = GDK_WINDOW(g_object_ref(root));
  trigger->button.send_event = TRUE;
  trigger->button.time = GDK_CURRENT_TIME;
  trigger->button.button = 1;
  trigger->button.x = trigger->button.x_root = point.x;
  trigger->button.y = trigger->button.y_root = point.y;
  gdk_event_set_device(trigger, gdk_seat_get_pointer(gdk_display_get_default_seat(display)));
  gtk_menu_popup_at_rect(GTK_MENU(menu()), root, &rect, GDK_GRAVITY_SOUTH_WEST, GDK_GRAVITY_NORTH_WEST, trigger);
  gdk_event_free(trigger);
}

}  // namespace vesk
