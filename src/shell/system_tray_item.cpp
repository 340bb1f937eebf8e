#include "shell/system_tray_item.h"

#include <gdk/gdk.h>
#include <gdk/gdkx.h>
#include <gtk-layer-shell/gtk-layer-shell.h>
#include <gtk/gtk.h>
#include <libdbusmenu-glib/menuitem.h>
#include <libdbusmenu-glib/server.h>
#include <unistd.h>

#include <cairomm/context.h>

#include <cmath>
#include <cstdlib>
#include <utility>

#include "model/constants.h"
#include "model/strings.h"
#include "shell/display_session.h"
#include "shell/portal_symbol.h"
#include "shell/sway_work_area.h"

namespace vesk {
namespace {

constexpr const char* itemPath = "/StatusNotifierItem";
constexpr const char* itemInterface = "org.kde.StatusNotifierItem";
constexpr const char* menuPath = "/MenuBar";
constexpr const char* watcherName = "org.kde.StatusNotifierWatcher";
constexpr const char* watcherPath = "/StatusNotifierWatcher";

constexpr const char* introspectionXml = R"xml(<node>
  <interface name="org.kde.StatusNotifierItem">
    <property name="Category" type="s" access="read"/>
    <property name="Id" type="s" access="read"/>
    <property name="Title" type="s" access="read"/>
    <property name="Status" type="s" access="read"/>
    <property name="WindowId" type="i" access="read"/>
    <property name="IconName" type="s" access="read"/>
    <property name="IconPixmap" type="a(iiay)" access="read"/>
    <property name="IconThemePath" type="s" access="read"/>
    <property name="OverlayIconName" type="s" access="read"/>
    <property name="OverlayIconPixmap" type="a(iiay)" access="read"/>
    <property name="AttentionIconName" type="s" access="read"/>
    <property name="AttentionIconPixmap" type="a(iiay)" access="read"/>
    <property name="AttentionMovieName" type="s" access="read"/>
    <property name="ToolTip" type="(sa(iiay)ss)" access="read"/>
    <property name="ItemIsMenu" type="b" access="read"/>
    <property name="Menu" type="o" access="read"/>
    <method name="ContextMenu"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="Activate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="SecondaryActivate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="Scroll"><arg name="delta" type="i" direction="in"/><arg name="orientation" type="s" direction="in"/></method>
    <signal name="NewTitle"/>
    <signal name="NewIcon"/>
    <signal name="NewAttentionIcon"/>
    <signal name="NewOverlayIcon"/>
    <signal name="NewToolTip"/>
    <signal name="NewStatus"><arg name="status" type="s"/></signal>
  </interface>
</node>)xml";

// The pixmap sizes offered to hosts that draw pixmaps instead of themed icons.
constexpr int pixmapSizes[] = {16, 22, 32, 48};

std::chrono::milliseconds doubleClickTime() {
  int time = 400;
  if (GtkSettings* settings = gtk_settings_get_default())
    g_object_get(settings, "gtk-double-click-time", &time, nullptr);
  return std::chrono::milliseconds(time > 0 ? time : 400);
}

// The name of the process with this id, as the kernel keeps it (at most 15 characters).
std::string processName(guint32 pid) {
  gchar* contents = nullptr;
  const std::string path = "/proc/" + std::to_string(pid) + "/comm";
  if (!g_file_get_contents(path.c_str(), &contents, nullptr, nullptr)) return {};
  GCharPtr owned(contents);
  std::string name = contents;
  while (!name.empty() && (name.back() == '\n' || name.back() == ' ')) name.pop_back();
  return name;
}

}  // namespace

TrayHost trayHostForProcess(std::string_view name) {
  constexpr std::string_view screenHosts[] = {"plasmashell", "gnome-shell",  "xfce4-panel", "lxqt-panel",
                                              "mate-panel",  "budgie-panel", "cinnamon",    "wrapper-2.0"};
  constexpr std::string_view barHosts[] = {"waybar", "sfwbar", "ironbar", "yambar", "eww"};
  for (auto host : screenHosts) {
    if (name == host) return TrayHost::screenPoints;
  }
  for (auto host : barHosts) {
    if (name == host) return TrayHost::barPoints;
  }
  return TrayHost::unknown;
}

SystemTrayItem::SystemTrayItem(std::string iconThemePath)
    : iconThemePath_(std::move(iconThemePath)),
      busName_("org.kde.StatusNotifierItem-" + std::to_string(getpid()) + "-1"),
      cancellable_(g_cancellable_new()) {
  counter_.setDoubleClickTime(doubleClickTime());
  GError* error = nullptr;
  connection_.reset(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error));
  GErrorPtr failure(error);
  if (!connection_) {
    // No session bus: only the XEmbed icon can work.
    showFallbackIcon();
    expectTrayHost();
    return;
  }
  // Hosts that draw the pixmaps instead of recolouring the symbolic icon get them redrawn in the
  // colour that reads on the desktop's panels whenever its preference changes.
  colorScheme_ = std::make_unique<DesktopColorScheme>(connection_.get(), [this] {
    emitSignal("NewIcon");
    emitSignal("NewToolTip");
  });
  exportItem();
}

SystemTrayItem::~SystemTrayItem() {
  if (trayHostCheck_) g_source_remove(trayHostCheck_);
  colorScheme_.reset();  // it uses the connection
  g_cancellable_cancel(cancellable_.get());
  if (watcherId_) g_bus_unwatch_name(watcherId_);
  if (ownerId_) g_bus_unown_name(ownerId_);
  if (objectId_) g_dbus_connection_unregister_object(connection_.get(), objectId_);
  // The rest in this order: the exported parts before the connection they were exported on.
  menuServer_.reset();
  introspection_.reset();
  hideFallbackIcon();
  menu_.reset();
  menuParentKeyboard_.reset();  // before the window it watches
  menuParent_.reset();
  connection_.reset();
}

void SystemTrayItem::MenuDestroy::operator()(GtkWidget* menu) const {
  gtk_widget_destroy(menu);
  g_object_unref(menu);
}

void SystemTrayItem::exportItem() {
  introspection_.reset(g_dbus_node_info_new_for_xml(introspectionXml, nullptr));
  static const GDBusInterfaceVTable vtable = {
      &SystemTrayItem::onMethodCall, &SystemTrayItem::onGetProperty, nullptr, {}};
  objectId_ = g_dbus_connection_register_object(connection_.get(), itemPath, introspection_->interfaces[0], &vtable,
                                                this, nullptr, nullptr);
  buildDbusMenu();

  ownerId_ = g_bus_own_name_on_connection(
      connection_.get(), busName_.c_str(), G_BUS_NAME_OWNER_FLAGS_NONE,
      [](GDBusConnection*, const char*, gpointer self) {
        auto* item = static_cast<SystemTrayItem*>(self);
        item->nameOwned_ = true;
        item->registerWithWatcher();
      },
      [](GDBusConnection*, const char*, gpointer self) { static_cast<SystemTrayItem*>(self)->nameOwned_ = false; },
      this, nullptr);

  // The watcher belongs to the tray host: register again every time it (re)appears, and fall
  // back to an XEmbed icon while there is none.
  watcherId_ = g_bus_watch_name_on_connection(
      connection_.get(), watcherName, G_BUS_NAME_WATCHER_FLAGS_NONE,
      [](GDBusConnection*, const char*, const char* owner, gpointer self) {
        static_cast<SystemTrayItem*>(self)->watcherAppeared(owner);
      },
      [](GDBusConnection*, const char*, gpointer self) { static_cast<SystemTrayItem*>(self)->watcherVanished(); }, this,
      nullptr);
}

void SystemTrayItem::watcherAppeared(const char* owner) {
  watcherPresent_ = true;
  // GNOME Shell's AppIndicator extension opens an item's menu on a click and calls Activate only
  // on a double click (an item without a menu it does not show at all): there the menu's first
  // item opens the panel, as GNOME's indicator menus begin with their application.
  lookUpProcess(owner ? owner : "", [this](const std::string& process) {
    const bool menuOnClick = process == "gnome-shell";
    if (menuOnClick == menuOnClick_) return;
    menuOnClick_ = menuOnClick;
    buildDbusMenu();
  });
  if (trayHostCheck_) g_source_remove(std::exchange(trayHostCheck_, 0));
  hideFallbackIcon();
  registerWithWatcher();
}

void SystemTrayItem::watcherVanished() {
  watcherPresent_ = false;
  showFallbackIcon();
  expectTrayHost();
}

void SystemTrayItem::expectTrayHost() {
  if (saidNoTrayHost_ || trayHostCheck_) return;
  trayHostCheck_ = g_timeout_add_seconds(
      static_cast<guint>(trayHostGrace.count()),
      [](gpointer self) -> gboolean {
        auto* item = static_cast<SystemTrayItem*>(self);
        item->trayHostCheck_ = 0;
        if (item->watcherPresent_ || item->isFallbackIconEmbedded() || item->saidNoTrayHost_) return G_SOURCE_REMOVE;
        item->saidNoTrayHost_ = true;
        if (item->onNoTrayHost) item->onNoTrayHost();
        return G_SOURCE_REMOVE;
      },
      this);
}

DisplayKind SystemTrayItem::displayKind() const {
  GdkDisplay* display = gdk_display_get_default();
  if (!display || !GDK_IS_X11_DISPLAY(display)) return DisplayKind::wayland;
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return wayland && *wayland ? DisplayKind::xwayland : DisplayKind::x11;
}

void SystemTrayItem::registerWithWatcher() {
  if (!nameOwned_ || !watcherPresent_) return;
  g_dbus_connection_call(
      connection_.get(), watcherName, watcherPath, watcherName, "RegisterStatusNotifierItem",
      g_variant_new("(s)", busName_.c_str()), nullptr, G_DBUS_CALL_FLAGS_NONE, -1, cancellable_.get(),
      [](GObject* source, GAsyncResult* result, gpointer self) {
        GError* raw = nullptr;
        GVariantPtr reply(g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &raw));
        GErrorPtr error(raw);
        if (reply) return;
        const bool cancelled = g_error_matches(error.get(), G_IO_ERROR, G_IO_ERROR_CANCELLED);
        // A watcher that refuses the item leaves the desktop without our icon: draw it ourselves.
        if (!cancelled) {
          static_cast<SystemTrayItem*>(self)->showFallbackIcon();
          static_cast<SystemTrayItem*>(self)->expectTrayHost();
        }
      },
      this);
}

void SystemTrayItem::onMethodCall(GDBusConnection*, const char*, const char*, const char*, const char* method,
                                  GVariant* parameters, GDBusMethodInvocation* invocation, gpointer self) {
  auto* item = static_cast<SystemTrayItem*>(self);
  const std::string name = method;
  int x = 0, y = 0;
  if (name == "Activate" || name == "SecondaryActivate" || name == "ContextMenu") {
    g_variant_get(parameters, "(ii)", &x, &y);
  }
  // Answer first: the host waits for the reply, and what follows may open a menu with a grab.
  g_dbus_method_invocation_return_value(invocation, nullptr);
  if (name == "Activate") {
    item->activatedBy(g_dbus_method_invocation_get_sender(invocation), x, y);
  } else if (name == "ContextMenu") {
    item->popUpMenuAt({x, y});
  }
  // SecondaryActivate (middle click) and Scroll have no meaning for Vesk.
}

GVariant* SystemTrayItem::onGetProperty(GDBusConnection*, const char*, const char*, const char*, const char* name,
                                        GError** error, gpointer self) {
  GVariant* value = static_cast<SystemTrayItem*>(self)->property(name);
  if (!value) g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "No property %s", name);
  return value;
}

GVariant* SystemTrayItem::property(const char* name) const {
  const std::string key = name;
  if (key == "Category") return g_variant_new_string("ApplicationStatus");
  // The same id as the desktop file, the D-Bus name and the windows' WM_CLASS, so hosts can match them.
  if (key == "Id") return g_variant_new_string(std::string(applicationId).c_str());
  if (key == "Title") return g_variant_new_string(std::string(strings::appName()).c_str());
  if (key == "Status") return g_variant_new_string("Active");
  if (key == "WindowId") return g_variant_new_int32(0);
  if (key == "IconName") return g_variant_new_string(std::string(trayIconName).c_str());
  if (key == "IconPixmap") return pixmaps();
  if (key == "IconThemePath") return g_variant_new_string(iconThemePath_.c_str());
  if (key == "OverlayIconName" || key == "AttentionIconName" || key == "AttentionMovieName") {
    return g_variant_new_string("");
  }
  if (key == "OverlayIconPixmap" || key == "AttentionIconPixmap") {
    return g_variant_new_array(G_VARIANT_TYPE("(iiay)"), nullptr, 0);
  }
  if (key == "ToolTip") return toolTipVariant();
  if (key == "ItemIsMenu") return g_variant_new_boolean(false);
  if (key == "Menu") return g_variant_new_object_path(menuPath);
  return nullptr;
}

GVariant* SystemTrayItem::pixmaps() const {
  GVariantBuilder builder;
  g_variant_builder_init(&builder, G_VARIANT_TYPE("a(iiay)"));
  const ColorScheme scheme = colorScheme_ ? colorScheme_->current() : ColorScheme::dark;
  for (int size : pixmapSizes) {
    auto argb = outlinedPortalSymbolArgb(size, trayGlyphColor(scheme), trayOutlineColor(scheme));
    GVariant* bytes = g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, argb.data(), argb.size(), 1);
    g_variant_builder_add(&builder, "(ii@ay)", size, size, bytes);
  }
  return g_variant_builder_end(&builder);
}

GVariant* SystemTrayItem::toolTipVariant() const {
  return g_variant_new("(s@a(iiay)ss)", std::string(trayIconName).c_str(), pixmaps(), toolTip_.c_str(), "");
}

void SystemTrayItem::emitSignal(const char* name, GVariant* parameters) {
  if (!connection_) return;
  g_dbus_connection_emit_signal(connection_.get(), nullptr, itemPath, itemInterface, name, parameters, nullptr);
}

void SystemTrayItem::setToolTip(const std::string& text) {
  if (text == toolTip_) return;
  toolTip_ = text;
  emitSignal("NewToolTip");
  if (statusIcon_) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    gtk_status_icon_set_tooltip_text(statusIcon_.get(), toolTip_.c_str());
#pragma GCC diagnostic pop
  }
}

void SystemTrayItem::lookUpProcess(const std::string& busName, std::function<void(const std::string& process)> found) {
  if (busName.empty() || !connection_) {
    found("");
    return;
  }
  using Found = std::function<void(const std::string&)>;
  g_dbus_connection_call(
      connection_.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
      "GetConnectionUnixProcessID", g_variant_new("(s)", busName.c_str()), G_VARIANT_TYPE("(u)"),
      G_DBUS_CALL_FLAGS_NONE, -1, cancellable_.get(),
      [](GObject* source, GAsyncResult* result, gpointer data) {
        std::unique_ptr<Found> found(static_cast<Found*>(data));
        GError* raw = nullptr;
        GVariantPtr reply(g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &raw));
        GErrorPtr error(raw);
        if (g_error_matches(error.get(), G_IO_ERROR, G_IO_ERROR_CANCELLED)) return;  // the item is gone
        guint32 pid = 0;
        if (reply) g_variant_get(reply.get(), "(u)", &pid);
        (*found)(pid != 0 ? processName(pid) : std::string());
      },
      new Found(std::move(found)));
}

void SystemTrayItem::activatedBy(const char* sender, int x, int y) {
  const int count = counter_.click(std::chrono::steady_clock::now());
  const std::string caller = sender ? sender : "";
  auto known = hosts_.find(caller);
  if (known != hosts_.end() || caller.empty() || displayKind() != DisplayKind::xwayland) {
    activated(count, x, y, known != hosts_.end() ? known->second : TrayHost::unknown);
    return;
  }
  // Which host calls tells how to read the point: asked once per caller, by its process's name.
  lookUpProcess(caller, [this, caller, count, x, y](const std::string& process) {
    const TrayHost host = trayHostForProcess(process);
    hosts_[caller] = host;
    activated(count, x, y, host);
  });
}

void SystemTrayItem::activated(int count, int x, int y, TrayHost host) {
  const DisplayKind display = displayKind();
  std::optional<ScreenPoint> pointer;
  if (display == DisplayKind::xwayland) {
    int pointerX = 0, pointerY = 0;
    GdkDevice* device = gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default()));
    if (device) {
      gdk_device_get_position(device, nullptr, &pointerX, &pointerY);
      pointer = ScreenPoint{pointerX, pointerY};
    }
  }
  const std::optional<ScreenPoint> point = screenClickPoint({x, y}, display, pointer, host);
  if (!point) {
    // Where the icon is stays unknown: the panel and the menu go to the top right.
    lastClick_.reset();
    lastArea_.reset();
    if (onClick) onClick(TrayClick{count, std::nullopt, std::nullopt});
    return;
  }
  lastClick_ = point;
  // The host tells only where the pointer was; the icon is the small square around it.
  lastArea_ = ScreenRect{x - 12, y - 12, 24, 24};
  if (onClick) onClick(TrayClick{count, lastClick_, std::nullopt});
}

std::optional<ScreenRect> SystemTrayItem::iconArea() const {
  if (statusIcon_ && isFallbackIconEmbedded()) {
    GdkRectangle area{};
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const bool known = gtk_status_icon_get_geometry(statusIcon_.get(), nullptr, &area, nullptr);
#pragma GCC diagnostic pop
    if (known && area.width > 0) return ScreenRect{area.x, area.y, area.width, area.height};
  }
  return lastArea_;
}

void SystemTrayItem::buildDbusMenu() {
  // Built again when the host turns out to want "Open Vesk": the server stays, its root changes.
  if (!menuServer_) menuServer_.reset(dbusmenu_server_new(menuPath));
  GObjectPtr<DbusmenuMenuitem> root(dbusmenu_menuitem_new());
  auto addItem = [&](const char* label, void (*handler)(DbusmenuMenuitem*, guint, gpointer)) {
    GObjectPtr<DbusmenuMenuitem> item(dbusmenu_menuitem_new());
    dbusmenu_menuitem_property_set(item.get(), DBUSMENU_MENUITEM_PROP_LABEL, label);
    g_signal_connect(item.get(), DBUSMENU_MENUITEM_SIGNAL_ITEM_ACTIVATED, G_CALLBACK(handler), this);
    dbusmenu_menuitem_child_append(root.get(), item.get());
  };
  if (menuOnClick_) {
    addItem(std::string(strings::trayMenuOpen()).c_str(), [](DbusmenuMenuitem*, guint, gpointer self) {
      auto* item = static_cast<SystemTrayItem*>(self);
      if (item->onOpen) item->onOpen();
    });
  }
  addItem(std::string(strings::trayMenuSettings()).c_str(), [](DbusmenuMenuitem*, guint, gpointer self) {
    auto* item = static_cast<SystemTrayItem*>(self);
    if (item->onSettings) item->onSettings();
  });
  GObjectPtr<DbusmenuMenuitem> separator(dbusmenu_menuitem_new());
  dbusmenu_menuitem_property_set(separator.get(), DBUSMENU_MENUITEM_PROP_TYPE, "separator");
  dbusmenu_menuitem_child_append(root.get(), separator.get());
  addItem(std::string(strings::quitVesk()).c_str(), [](DbusmenuMenuitem*, guint, gpointer self) {
    auto* item = static_cast<SystemTrayItem*>(self);
    if (item->onQuit) item->onQuit();
  });
  dbusmenu_server_set_root(menuServer_.get(), root.get());
}

GtkWidget* SystemTrayItem::menu() {
  if (menu_) return menu_.get();
  menu_.reset(GTK_WIDGET(g_object_ref_sink(gtk_menu_new())));
  auto addItem = [&](std::string_view label, void (*handler)(GtkMenuItem*, gpointer)) {
    GtkWidget* item = gtk_menu_item_new_with_label(std::string(label).c_str());
    g_signal_connect(item, "activate", G_CALLBACK(handler), this);
    gtk_menu_shell_append(GTK_MENU_SHELL(menu_.get()), item);
  };
  addItem(strings::trayMenuSettings(), [](GtkMenuItem*, gpointer self) {
    auto* item = static_cast<SystemTrayItem*>(self);
    if (item->onSettings) item->onSettings();
  });
  gtk_menu_shell_append(GTK_MENU_SHELL(menu_.get()), gtk_separator_menu_item_new());
  addItem(strings::quitVesk(), [](GtkMenuItem*, gpointer self) {
    auto* item = static_cast<SystemTrayItem*>(self);
    if (item->onQuit) item->onQuit();
  });
  gtk_widget_show_all(menu_.get());
  return menu_.get();
}

void SystemTrayItem::popUpMenu() {
  GdkDisplay* display = gdk_display_get_default();
  if (!display) return;
  if (!GDK_IS_X11_DISPLAY(display)) {
    popUpMenuOnLayer();
    return;
  }
  if (auto area = iconArea()) {
    popUpMenuAt({area->x + area->width / 2, area->y + area->height / 2});
    return;
  }
  if (lastClick_) {
    popUpMenuAt(*lastClick_);
    return;
  }
  // Where the icon is is unknown: the top right of the usable area, where trays usually are.
  // Through Xwayland the X11 screen knows nothing of the compositor's bars (the menu would open
  // behind them): on sway, sway says where they leave room.
  const char* sway = std::getenv("SWAYSOCK");
  if (displayKind() == DisplayKind::xwayland && sway && *sway) {
    askSwayWorkArea(sway, cancellable_.get(), [this](std::optional<ScreenRect> area) { popUpMenuAtTopRight(area); });
    return;
  }
  popUpMenuAtTopRight(std::nullopt);
}

void SystemTrayItem::popUpMenuAtTopRight(std::optional<ScreenRect> area) {
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
  popUpMenuAt({area->x + area->width - 1, area->y});
}

void SystemTrayItem::openMenuFromParent() {
  if (!menuParent_ || !gtk_widget_get_visible(menuParent_.get()) || gtk_widget_get_visible(menu())) return;
  gtk_menu_popup_at_widget(GTK_MENU(menu()), menuParent_.get(), GDK_GRAVITY_SOUTH_EAST, GDK_GRAVITY_NORTH_EAST,
                           nullptr);
}

void SystemTrayItem::popUpMenuOnLayer() {
  // Wayland has no parentless menus (they would become windows of their own) and no screen
  // positions: the menu opens from a window of ours at the top right. That window asks for the
  // keyboard and opens the menu once it has it, so that Escape and the arrows reach the menu; a
  // compositor that does not give it (sway 1.7) gets the menu a few frames later without keys.
  if (!layerShellOffered()) return;
  if (!menuParent_) {
    GtkWidget* parent = GTK_WIDGET(g_object_ref_sink(gtk_window_new(GTK_WINDOW_TOPLEVEL)));
    menuParent_.reset(parent);
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
    menuParentKeyboard_ = std::make_unique<LayerKeyboardClaim>(window, [this] { openMenuFromParent(); });
    g_signal_connect(parent, "focus-in-event", G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer self) -> gboolean {
                       auto* item = static_cast<SystemTrayItem*>(self);
                       // The menu opens once its parent has the keyboard: a menu's grab keeps
                       // the keyboard where it was when the menu opened.
                       item->openMenuFromParent();
                       return FALSE;
                     }),
                     this);
    // The menu has no input event of ours to grab the keyboard with: the keys reach its parent,
    // which hands them on (Escape closes it, arrows and Return choose).
    g_signal_connect(parent, "key-press-event",
                     G_CALLBACK(+[](GtkWidget*, GdkEventKey* event, gpointer self) -> gboolean {
                       auto* item = static_cast<SystemTrayItem*>(self);
                       if (!item->menu_ || !gtk_widget_get_visible(item->menu_.get())) return FALSE;
                       if (event->keyval == GDK_KEY_Escape) {
                         gtk_menu_shell_cancel(GTK_MENU_SHELL(item->menu_.get()));
                         return TRUE;
                       }
                       return gtk_widget_event(item->menu_.get(), reinterpret_cast<GdkEvent*>(event));
                     }),
                     this);
    // While the menu holds its grab the keys reach the menu itself, yet on sway GTK's own Escape
    // binding (looked up by key code, while each keyboard there may bring its own keymap) was seen
    // to leave it open: Escape closes it here by its key value.
    g_signal_connect(menu(), "key-press-event",
                     G_CALLBACK(+[](GtkWidget* menu, GdkEventKey* event, gpointer) -> gboolean {
                       if (event->keyval != GDK_KEY_Escape) return FALSE;
                       gtk_menu_shell_cancel(GTK_MENU_SHELL(menu));
                       return TRUE;
                     }),
                     nullptr);
    g_signal_connect(menu(), "deactivate", G_CALLBACK(+[](GtkMenuShell*, gpointer self) {
                       auto* item = static_cast<SystemTrayItem*>(self);
                       if (item->menuParent_) gtk_widget_hide(item->menuParent_.get());
                     }),
                     this);
  }
  if (gtk_widget_get_visible(menuParent_.get())) return;
  menuParentKeyboard_->start();
  gtk_widget_show(menuParent_.get());
}

void SystemTrayItem::popUpMenuAt(ScreenPoint point) {
  GdkDisplay* display = gdk_display_get_default();
  if (!display) return;
  GdkWindow* root = gdk_get_default_root_window();
  GdkRectangle rect{point.x, point.y, 1, 1};
  // Through Xwayland, X11 keys arrive only while the compositor gives the keyboard to one of our X11
  // windows, and wlroots compositors never give it to an X11 pop-up menu: marked as an ordinary
  // window the menu gets the keyboard when it appears, so that Escape and the arrows reach it.
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  g_object_set(menu(), "menu-type-hint",
               wayland && *wayland ? GDK_WINDOW_TYPE_HINT_NORMAL : GDK_WINDOW_TYPE_HINT_POPUP_MENU, nullptr);
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

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
// GtkStatusIcon is deprecated, but it is GTK 3's XEmbed tray icon and the only way to reach
// desktops whose tray has no StatusNotifierWatcher.
void SystemTrayItem::showFallbackIcon() {
  // XEmbed trays exist only on X11.
  GdkDisplay* display = gdk_display_get_default();
  if (!display || !GDK_IS_X11_DISPLAY(display)) return;
  if (!statusIcon_) {
    statusIcon_.reset(gtk_status_icon_new());
    gtk_status_icon_set_name(statusIcon_.get(), std::string(applicationId).c_str());
    gtk_status_icon_set_title(statusIcon_.get(), std::string(strings::appName()).c_str());
    gtk_status_icon_set_tooltip_text(statusIcon_.get(), toolTip_.c_str());
    fallbackSizeChanged(22);
    g_signal_connect(statusIcon_.get(), "size-changed",
                     G_CALLBACK(+[](GtkStatusIcon*, int size, gpointer self) -> gboolean {
                       static_cast<SystemTrayItem*>(self)->fallbackSizeChanged(size);
                       return TRUE;
                     }),
                     this);
    g_signal_connect(statusIcon_.get(), "button-press-event",
                     G_CALLBACK(+[](GtkStatusIcon*, GdkEventButton* event, gpointer self) -> gboolean {
                       return static_cast<SystemTrayItem*>(self)->fallbackButtonPressed(event);
                     }),
                     this);
  }
  gtk_status_icon_set_visible(statusIcon_.get(), TRUE);
}

bool SystemTrayItem::isFallbackIconEmbedded() const {
  return statusIcon_ && gtk_status_icon_is_embedded(statusIcon_.get());
}

void SystemTrayItem::hideFallbackIcon() {
  if (!statusIcon_) return;
  gtk_status_icon_set_visible(statusIcon_.get(), FALSE);
  g_signal_handlers_disconnect_by_data(statusIcon_.get(), this);
  statusIcon_.reset();
}

void SystemTrayItem::fallbackSizeChanged(int size) {
  if (size <= 0) return;
  // XEmbed trays do not tint icons and may be light or dark: the light symbol with a dark outline
  // reads on both.
  auto surface = outlinedPortalSymbol(size, symbolLight, symbolOutlineDark);
  GObjectPtr<GdkPixbuf> pixbuf(gdk_pixbuf_get_from_surface(surface->cobj(), 0, 0, size, size));
  gtk_status_icon_set_from_pixbuf(statusIcon_.get(), pixbuf.get());
}
#pragma GCC diagnostic pop

bool SystemTrayItem::fallbackButtonPressed(GdkEventButton* event) {
  const ScreenPoint point{static_cast<int>(std::lround(event->x_root)), static_cast<int>(std::lround(event->y_root))};
  if (event->button == GDK_BUTTON_PRIMARY) {
    // GTK reports a double click as press, press, double-press: each press is one click, counted
    // by its server time against the desktop's double-click time; the double- and triple-press
    // that follow only repeat the last press and must not toggle the panel again.
    if (event->type != GDK_BUTTON_PRESS) return true;
    const bool continues =
        lastPressTime_ && static_cast<guint32>(event->time - *lastPressTime_) <= doubleClickTime().count();
    pressCount_ = continues ? pressCount_ + 1 : 1;
    lastPressTime_ = event->time;
    lastClick_ = point;
    auto area = iconArea();
    if (area) lastArea_ = area;
    if (onClick) onClick(TrayClick{pressCount_, point, area});
    return true;
  }
  if (event->button == GDK_BUTTON_SECONDARY && event->type == GDK_BUTTON_PRESS) {
    gtk_menu_popup_at_pointer(GTK_MENU(menu()), reinterpret_cast<GdkEvent*>(event));
    return true;
  }
  return false;
}

}  // namespace vesk
