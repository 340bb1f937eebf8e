#include "shell/status_notifier_item.h"

#include <libdbusmenu-glib/menuitem.h>
#include <libdbusmenu-glib/server.h>

#include <utility>

#include "model/constants.h"
#include "model/strings.h"
#include "shell/portal_symbol.h"

namespace vesk {
namespace {

constexpr const char* itemPath = "/StatusNotifierItem";
constexpr const char* itemInterface = "org.kde.StatusNotifierItem";
constexpr const char* menuPath = "/MenuBar";
// How often the item registers again with one watcher that drops it.
constexpr int maxRegistrationsAfterDrop = 3;
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

StatusNotifierItem::StatusNotifierItem(GDBusConnection* connection, std::string busName, std::string iconThemePath,
                                       Events events)
    : connection_(G_DBUS_CONNECTION(g_object_ref(connection))),
      busName_(std::move(busName)),
      iconThemePath_(std::move(iconThemePath)),
      events_(std::move(events)),
      introspection_(g_dbus_node_info_new_for_xml(introspectionXml, nullptr)) {
  // Hosts that draw the pixmaps instead of recolouring the symbolic icon get them redrawn in the
  // colour that reads on the desktop's panels whenever its preference changes.
  colorScheme_ = std::make_unique<DesktopColorScheme>(connection_.get(), [this] {
    emitSignal("NewIcon");
    emitSignal("NewToolTip");
  });
  static const GDBusInterfaceVTable vtable = {
      &StatusNotifierItem::onMethodCall, &StatusNotifierItem::onGetProperty, nullptr, {}};
  objectId_ = g_dbus_connection_register_object(connection_.get(), itemPath, introspection_->interfaces[0], &vtable,
                                                this, nullptr, nullptr);
  buildMenu();

  ownerId_ = g_bus_own_name_on_connection(
      connection_.get(), busName_.c_str(), G_BUS_NAME_OWNER_FLAGS_NONE,
      [](GDBusConnection*, const char*, gpointer self) {
        auto* item = static_cast<StatusNotifierItem*>(self);
        item->nameOwned_ = true;
        item->registerWithWatcher();
      },
      [](GDBusConnection*, const char*, gpointer self) { static_cast<StatusNotifierItem*>(self)->nameOwned_ = false; },
      this, nullptr);

  // A host may drop the item while Vesk runs: GNOME Shell's extension sometimes does so right
  // after taking it, while GNOME Shell is itself still starting, and the icon is then gone for
  // the session. The item registers again, a few times at most for each watcher.
  dropped_ = BusSubscription(
      connection_.get(),
      g_dbus_connection_signal_subscribe(
          connection_.get(), watcherName, watcherName, "StatusNotifierItemUnregistered", watcherPath, busName_.c_str(),
          G_DBUS_SIGNAL_FLAGS_NONE,
          [](GDBusConnection*, const char*, const char*, const char*, const char*, GVariant*, gpointer self) {
            auto* item = static_cast<StatusNotifierItem*>(self);
            if (item->registrationsLeft_ <= 0) return;
            --item->registrationsLeft_;
            item->registerWithWatcher();
          },
          this, nullptr));

  // The watcher belongs to the tray host: register again every time it (re)appears.
  watcherId_ = g_bus_watch_name_on_connection(
      connection_.get(), watcherName, G_BUS_NAME_WATCHER_FLAGS_NONE,
      [](GDBusConnection*, const char*, const char* owner, gpointer self) {
        static_cast<StatusNotifierItem*>(self)->watcherAppeared(owner);
      },
      [](GDBusConnection*, const char*, gpointer self) {
        auto* item = static_cast<StatusNotifierItem*>(self);
        item->watcherPresent_ = false;
        item->menuFitsHost_ = false;
        if (item->events_.watcherChanged) item->events_.watcherChanged(false);
      },
      this, nullptr);
}

StatusNotifierItem::~StatusNotifierItem() {
  // The bus calls these with `this`: they end before any member goes.
  g_bus_unwatch_name(watcherId_);
  g_bus_unown_name(ownerId_);
  if (objectId_) g_dbus_connection_unregister_object(connection_.get(), objectId_);
}

void StatusNotifierItem::watcherAppeared(const char* owner) {
  watcherPresent_ = true;
  // GNOME Shell's AppIndicator extension opens an item's menu on a click and calls Activate only
  // on a double click (an item without a menu it does not show at all): there the menu's first
  // item opens the panel, as GNOME's indicator menus begin with their application.
  // The item registers once the menu fits the host: a host reads the menu when the item registers,
  // and GNOME Shell's extension does not read it again before it first shows it.
  menuFitsHost_ = false;
  registrationsLeft_ = maxRegistrationsAfterDrop;
  lookUpProcess(owner ? owner : "", [this](const std::string& process) {
    const bool menuOnClick = process == "gnome-shell";
    if (menuOnClick != menuOnClick_) {
      menuOnClick_ = menuOnClick;
      buildMenu();
    }
    menuFitsHost_ = true;
    registerWithWatcher();
  });
  if (events_.watcherChanged) events_.watcherChanged(true);
}

void StatusNotifierItem::registerWithWatcher() {
  if (!nameOwned_ || !watcherPresent_ || !menuFitsHost_) return;
  calls_.callMethod(connection_.get(), watcherName, watcherPath, watcherName, "RegisterStatusNotifierItem",
                    g_variant_new("(s)", busName_.c_str()), nullptr, [this](GVariant* reply, const GError*) {
                      // A watcher that refuses the item leaves the desktop without our icon.
                      if (!reply && events_.refused) events_.refused();
                    });
}

void StatusNotifierItem::onMethodCall(GDBusConnection*, const char*, const char*, const char*, const char* method,
                                      GVariant* parameters, GDBusMethodInvocation* invocation, gpointer self) {
  auto* item = static_cast<StatusNotifierItem*>(self);
  const std::string name = method;
  int x = 0, y = 0;
  if (name == "Activate" || name == "SecondaryActivate" || name == "ContextMenu") {
    g_variant_get(parameters, "(ii)", &x, &y);
  }
  const char* sender = g_dbus_method_invocation_get_sender(invocation);
  const std::string caller = sender ? sender : "";
  // Answer first: the host waits for the reply, and what follows may open a menu with a grab.
  g_dbus_method_invocation_return_value(invocation, nullptr);
  if (name == "Activate") {
    if (item->events_.activated) item->events_.activated(caller, x, y);
  } else if (name == "ContextMenu") {
    if (item->events_.contextMenu) item->events_.contextMenu({x, y});
  }
  // SecondaryActivate (middle click) and Scroll have no meaning for Vesk.
}

GVariant* StatusNotifierItem::onGetProperty(GDBusConnection*, const char*, const char*, const char*, const char* name,
                                            GError** error, gpointer self) {
  GVariant* value = static_cast<StatusNotifierItem*>(self)->property(name);
  if (!value) g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "No property %s", name);
  return value;
}

GVariant* StatusNotifierItem::property(const char* name) const {
  const std::string key = name;
  if (key == "Category") return g_variant_new_string("ApplicationStatus");
  // The same id as the desktop file, the D-Bus name and the windows' WM_CLASS, so hosts can match them.
  if (key == "Id") return g_variant_new_string(std::string(applicationId).c_str());
  if (key == "Title") return g_variant_new_string(std::string(strings::appName()).c_str());
  if (key == "Status") return g_variant_new_string("Active");
  if (key == "WindowId") return g_variant_new_int32(0);
  if (key == "IconName") return g_variant_new_string(unread_ ? "" : std::string(trayIconName).c_str());
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

GVariant* StatusNotifierItem::pixmaps() const {
  GVariantBuilder builder;
  g_variant_builder_init(&builder, G_VARIANT_TYPE("a(iiay)"));
  const ColorScheme scheme = colorScheme_ ? colorScheme_->current() : ColorScheme::dark;
  for (int size : pixmapSizes) {
    auto argb = outlinedPortalSymbolArgb(size, trayGlyphColor(scheme), trayOutlineColor(scheme), unread_);
    GVariant* bytes = g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, argb.data(), argb.size(), 1);
    g_variant_builder_add(&builder, "(ii@ay)", size, size, bytes);
  }
  return g_variant_builder_end(&builder);
}

GVariant* StatusNotifierItem::toolTipVariant() const {
  return g_variant_new("(s@a(iiay)ss)", std::string(trayIconName).c_str(), pixmaps(), toolTip_.c_str(), "");
}

void StatusNotifierItem::emitSignal(const char* name, GVariant* parameters) {
  g_dbus_connection_emit_signal(connection_.get(), nullptr, itemPath, itemInterface, name, parameters, nullptr);
}

void StatusNotifierItem::setToolTip(const std::string& text) {
  if (text == toolTip_) return;
  toolTip_ = text;
  emitSignal("NewToolTip");
}

void StatusNotifierItem::setUnread(bool unread) {
  if (unread == unread_) return;
  unread_ = unread;
  emitSignal("NewIcon");
}

void StatusNotifierItem::hostOf(const std::string& sender, std::function<void(TrayHost host)> found) {
  if (auto known = hosts_.find(sender); known != hosts_.end()) {
    found(known->second);
    return;
  }
  lookUpProcess(sender, [this, sender, found = std::move(found)](const std::string& process) {
    const TrayHost host = trayHostForProcess(process);
    hosts_[sender] = host;
    found(host);
  });
}

void StatusNotifierItem::lookUpProcess(const std::string& busName,
                                       std::function<void(const std::string& process)> found) {
  if (busName.empty()) {
    found("");
    return;
  }
  calls_.callMethod(connection_.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                    "GetConnectionUnixProcessID", g_variant_new("(s)", busName.c_str()), G_VARIANT_TYPE("(u)"),
                    [found = std::move(found)](GVariant* reply, const GError*) {
                      guint32 pid = 0;
                      if (reply) g_variant_get(reply, "(u)", &pid);
                      found(pid != 0 ? processName(pid) : std::string());
                    });
}

void StatusNotifierItem::buildMenu() {
  // Built again when the host turns out to want "Open Vesk": the server stays, its root changes.
  if (!menuServer_) menuServer_.reset(dbusmenu_server_new(menuPath));
  menuSignals_.clear();
  GObjectPtr<DbusmenuMenuitem> root(dbusmenu_menuitem_new());
  for (const auto& entry : trayMenuEntries(menuOnClick_)) {
    GObjectPtr<DbusmenuMenuitem> item(dbusmenu_menuitem_new());
    if (entry.command) {
      dbusmenu_menuitem_property_set(item.get(), DBUSMENU_MENUITEM_PROP_LABEL, entry.label.c_str());
      setTrayCommand(item.get(), *entry.command);
      menuSignals_.push_back(SignalConnection::connect(item.get(), DBUSMENU_MENUITEM_SIGNAL_ITEM_ACTIVATED,
                                                       G_CALLBACK(+[](DbusmenuMenuitem* item, guint, gpointer self) {
                                                         auto* owner = static_cast<StatusNotifierItem*>(self);
                                                         if (owner->events_.chosen)
                                                           owner->events_.chosen(trayCommandOf(item));
                                                       }),
                                                       this));
    } else {
      dbusmenu_menuitem_property_set(item.get(), DBUSMENU_MENUITEM_PROP_TYPE, "separator");
    }
    dbusmenu_menuitem_child_append(root.get(), item.get());
  }
  dbusmenu_server_set_root(menuServer_.get(), root.get());
}

}  // namespace vesk
